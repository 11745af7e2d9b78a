#pragma once

#include <QStringList>
#include <QUrl>

#include <functional>

class QWidget;

// Lets data files (".vorn") be dropped on the widget: a drag that carries at
// least one is accepted, and on the drop `open` gets their paths, after the
// drop has finished (so that messages shown then do not hold the drag source).
void AcceptDataFileDrops(QWidget *target, std::function<void(const QStringList &paths)> open);

// The local ".vorn" files among dropped URLs, in their order.
QStringList DataFilesAmong(const QList<QUrl> &urls);
