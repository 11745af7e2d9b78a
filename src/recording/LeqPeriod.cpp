#include "LeqPeriod.h"

namespace {

constexpr int MaxPartDigits = 9; // keeps every part inside an int

std::optional<int> ReadPart(const QString &part)
{
    const QString trimmed = part.trimmed();
    if (trimmed.isEmpty())
        return 0;
    if (trimmed.size() > MaxPartDigits)
        return std::nullopt;
    int value = 0;
    for (const QChar c : trimmed) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
        value = value * 10 + (c.unicode() - u'0');
    }
    return value;
}

QString TwoDigits(int value)
{
    return QString::number(value).rightJustified(2, u'0');
}

} // namespace

std::optional<LeqPeriod> ReadLeqPeriod(const QString &answer)
{
    const qsizetype firstColon = answer.indexOf(u':');
    if (firstColon < 0)
        return std::nullopt;
    // With one colon the number after it is the seconds and minutes are 0.
    qsizetype secondColon = answer.indexOf(u':', firstColon + 1);
    if (secondColon < 0)
        secondColon = firstColon;
    const QString minutesText = secondColon > firstColon
        ? answer.mid(firstColon + 1, secondColon - firstColon - 1)
        : QString();

    const auto hours = ReadPart(answer.left(firstColon));
    const auto minutes = ReadPart(minutesText);
    const auto seconds = ReadPart(answer.mid(secondColon + 1, 2));
    const bool trailing = !answer.mid(secondColon + 3).trimmed().isEmpty();
    if (!hours || !minutes || !seconds || trailing)
        return std::nullopt;

    const int h = *hours % 24;
    const int m = *minutes % 60;
    const int s = *seconds % 60;
    const int total = h * 3600 + m * 60 + s;
    if (total == 0)
        return std::nullopt;
    return LeqPeriod { TwoDigits(h) + u':' + TwoDigits(m) + u':' + TwoDigits(s), total };
}

QString LeqPeriodPrompt()
{
    return QStringLiteral("Set up the willing time period to launch. \r\n (hh:nn:ss) ");
}

QString LeqPeriodTitle()
{
    return QStringLiteral("Set up the willing time period");
}

QString LeqPeriodDefault()
{
    return QStringLiteral("00:00:10");
}

QString LeqPeriodInvalidMessage()
{
    return QStringLiteral("Invalid, comply with the data format properly\r\n");
}
