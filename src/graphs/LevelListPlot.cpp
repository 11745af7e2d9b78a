#include "LevelListPlot.h"

#include "recording/LevelNumber.h"

LevelListPlot levelsFromList(std::span<const QString> texts,
                             const std::function<void(int)> &progress)
{
    LevelListPlot result;
    const int count = int(texts.size());
    result.levels.resize(texts.size());

    bool paused = false;

    for (int row = 1; row <= count; ++row) {
        const QString &text = texts[std::size_t(row - 1)];
        const double value = leadingLevelValue(text);
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
                result.markers.push_back({ row, QStringLiteral("Pause"), PauseCaptionLevel });
            } else if (paused && !marked) {
                paused = false;
                result.markers.push_back({ row, QStringLiteral("Start"), StartCaptionLevel });
            }
        }
        result.levels[std::size_t(row - 1)] = level;
        if (progress)
            progress(row);
    }
    return result;
}
