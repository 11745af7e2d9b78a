#include "LevelListPlot.h"

double leadingNumber(const QString &text)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && text.at(i) == QLatin1Char(' '))
        ++i;
    const qsizetype start = i;
    if (i < n && (text.at(i) == QLatin1Char('-') || text.at(i) == QLatin1Char('+')))
        ++i;
    bool digits = false;
    bool point = false;
    for (; i < n; ++i) {
        const QChar c = text.at(i);
        if (c.isDigit() && c.unicode() < 128) {
            digits = true;
        } else if (c == QLatin1Char('.') && !point) {
            point = true;
        } else {
            break;
        }
    }
    if (!digits)
        return 0.0;
    bool ok = false;
    const double value = QStringView(text).mid(start, i - start).toDouble(&ok);
    return ok ? value : 0.0;
}

LevelListPlot levelsFromList(std::span<const QString> texts,
                             const std::function<void(int)> &progress)
{
    LevelListPlot result;
    const int count = int(texts.size());
    result.levels.resize(texts.size());

    bool paused = false;

    for (int row = 1; row <= count; ++row) {
        const QString &text = texts[std::size_t(row - 1)];
        const double value = leadingNumber(text);
        // Inside a pause run the meter's own over-range limit applies, not the
        // lower one used for ordinary readings.
        const double overLimit = paused ? 145.0 : 140.0;
        double level;
        if (text.contains(QLatin1String("--"))) {
            level = UnderRangePlotLevel;
        } else if (value >= overLimit || text.contains(QLatin1Char('L'))) {
            level = OverRangePlotLevel;
        } else {
            level = value;
            const bool marked = text.contains(QLatin1Char('*'));
            if (!paused && marked) {
                paused = true;
                result.markers.push_back({row, QStringLiteral("Pause"), PauseCaptionLevel});
            } else if (paused && !marked) {
                paused = false;
                result.markers.push_back({row, QStringLiteral("Start"), StartCaptionLevel});
            }
        }
        result.levels[std::size_t(row - 1)] = level;
        if (progress)
            progress(row);
    }
    return result;
}
