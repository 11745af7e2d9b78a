#pragma once

#include <QString>
#include <QStringList>

// The one CSV and JSON string form every file of the analysis reads and
// writes: fields with commas, quotes or line breaks quoted, a quote doubled.

// One field as a CSV row holds it.
QString csvField(const QString &text);
// Fields joined by commas, each quoted where it needs it.
QString csvRow(const QStringList &fields);
// The fields of one line as csvRow writes them: a quoted field keeps its
// commas, and a doubled quote inside it is one quote.
QStringList csvLineFields(QStringView line);
// The text as a JSON string, quotes and escapes included.
QString jsonString(const QString &text);
