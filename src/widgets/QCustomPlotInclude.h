#pragma once

// The graph library's header uses Qt's lower-case keywords, which this
// program switches off; they are lent to it for the one include.
#include <QObject>
#include <QtGlobal>

#define signals Q_SIGNALS
#define slots Q_SLOTS
#define emit Q_EMIT
#define foreach Q_FOREACH
#include <qcustomplot.h>
#undef signals
#undef slots
#undef emit
#undef foreach
