#include "StatisticsReport.h"

#include "LevelText.h"

#include <cmath>

namespace StatisticsReport {

QString pad(int width, const QString &text)
{
    if (text.size() >= width)
        return text;
    return QString(width - text.size(), u' ') + text;
}

QStringList heading(const StatisticsReportInput &in)
{
    const QString bullet = QStringLiteral("-") + QString(9, u' ');
    const QString colon = QStringLiteral(" : ");
    return {
        QStringLiteral(" "),
        QStringLiteral(" "),
        QStringLiteral(" "),
        QStringLiteral(" "),
        bullet + in.freqCaption + colon + in.freqText,
        bullet + in.timeCaption + colon + in.timeText,
        bullet + in.rangeCaption + colon + in.rangeText,
        bullet + in.maxCaption + colon + in.maxText + QStringLiteral(" - ") + in.maxTimeText,
        bullet + in.selCaption + colon + in.selText,
        bullet + in.leqCaption + colon + in.leqText,
        QStringLiteral("-"),
        pad(NumberWidth, in.numberHeader) + pad(TimeWidth, in.timeHeader) + QString(5, u' ')
            + QStringLiteral("(dB)"),
        QString(9, u' ') + QString(71, u'-'),
    };
}

QString readingLine(const StatisticsReportInput &in, qsizetype firstRow, int perLine)
{
    QString line
        = pad(NumberWidth, in.numbers.value(firstRow)) + pad(TimeWidth, in.times.value(firstRow));
    const qsizetype end = std::min<qsizetype>(firstRow + perLine, in.levels.size());
    for (qsizetype row = firstRow; row < end; ++row)
        line += pad(LevelWidth, in.levels.at(row));
    return line;
}

QStringList lines(const StatisticsReportInput &in, int perLine)
{
    QStringList result = heading(in);
    for (qsizetype row = 0; row < in.levels.size(); row += perLine)
        result.append(readingLine(in, row, perLine));
    return result;
}

std::optional<int> perLineFromAnswer(const QString &answer)
{
    if (!isWholeNumberText(answer))
        return std::nullopt;
    // The range test is on the integer part: 5.9 is taken as 5.
    const double whole = std::floor(leadingLevelValue(answer));
    if (whole < MinPerLine || whole > MaxPerLine)
        return std::nullopt;
    return int(whole);
}

QString progressCaption(qsizetype readingNumber)
{
    return QString::number(readingNumber) + QStringLiteral(" Completed");
}

QString perLinePrompt()
{
    return QStringLiteral("Input record(s) to print in one row (1-5)");
}

} // namespace StatisticsReport
