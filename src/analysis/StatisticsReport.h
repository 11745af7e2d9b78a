#pragma once

#include <QString>
#include <QStringList>
#include <QVector>

#include <optional>

// What a statistics report prints: the captions and texts of the window's
// boards and its reading list. Any list window fills one of these, so the
// report looks the same wherever it is printed from.
struct StatisticsReportInput
{
    QString freqCaption = QStringLiteral("Freq Weight");
    QString freqText;
    QString timeCaption = QStringLiteral("Time Weight");
    QString timeText;
    QString rangeCaption = QStringLiteral("Level Range");
    QString rangeText;
    QString maxCaption = QStringLiteral("Max dB");
    QString maxText;
    QString maxTimeText;
    QString selCaption = QStringLiteral("SEL");
    QString selText;
    QString leqCaption = QStringLiteral("Leq");
    QString leqText;
    QString numberHeader = QStringLiteral("No.s");
    QString timeHeader = QStringLiteral("Date Time");
    // One entry per reading, all three the same length.
    QVector<QString> numbers;
    QVector<QString> times;
    QVector<QString> levels;
};

namespace StatisticsReport {

constexpr int NumberWidth = 14;
constexpr int TimeWidth = 21;
constexpr int LevelWidth = 9;
constexpr int MinPerLine = 1;
constexpr int MaxPerLine = 5;

// The text right-aligned in a field of the width; a longer text is kept
// whole, without leading blanks, rather than cut.
QString pad(int width, const QString &text);

// Lines 1 … 13 of one copy: blank lines, the boards, the column heads, the rule.
QStringList heading(const StatisticsReportInput &input);

// The reading line that starts with reading firstRow (counted from 0) and
// holds up to perLine levels.
QString readingLine(const StatisticsReportInput &input, qsizetype firstRow, int perLine);

// One whole copy: the heading, then every reading line.
QStringList lines(const StatisticsReportInput &input, int perLine);

// The readings per line from the user's answer: a number whose integer
// part is 1 … 5 ("5.9" gives 5); std::nullopt for anything else, so the
// question is asked again.
std::optional<int> perLineFromAnswer(const QString &answer);

// Caption while printing: the number of the first reading of the line
// (counted from 1) and " Completed".
QString progressCaption(qsizetype readingNumber);

QString perLinePrompt();

} // namespace StatisticsReport
