#pragma once

#include <QPointF>
#include <QString>
#include <QStringList>

#include <ostream>

// Readable failure output for Qt values.
inline void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}

inline void PrintTo(const QStringList &texts, std::ostream *out)
{
    *out << '[' << texts.join(QStringLiteral("|")).toStdString() << ']';
}

inline void PrintTo(const QPointF &point, std::ostream *out)
{
    *out << '(' << point.x() << ", " << point.y() << ')';
}
