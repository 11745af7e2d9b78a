#include "LevelListPlot.h"

#include "recording/LevelNumber.h"
#include "platform/ReadingRows.h"

namespace {

// What the plot needs to know of one level text.
struct LevelFacts
{
    double value = 0.0;
    bool underRange = false; // "--"
    bool overRangeMark = false; // "L"
    bool marked = false; // "*"
};

LevelFacts factsOfText(const QString &text)
{
    return { leadingLevelValue(text), text.contains(QLatin1String("--")),
             text.contains(QLatin1Char('L')), text.contains(QLatin1Char('*')) };
}

template<typename FactsOf>
LevelListPlot plotLevels(qsizetype count, FactsOf factsOf, const std::function<void(int)> &progress)
{
    LevelListPlot result;
    result.levels.resize(std::size_t(count));

    bool paused = false;

    for (int row = 1; row <= count; ++row) {
        const LevelFacts facts = factsOf(row - 1);
        // Inside a pause run the meter's own over-range limit applies, not the
        // lower one used for ordinary readings.
        const double overLimit = paused ? 145.0 : 140.0;
        double level;
        if (facts.underRange) {
            level = UnderRangePlotLevel;
        } else if (facts.value >= overLimit || facts.overRangeMark) {
            level = OverRangePlotLevel;
        } else {
            level = facts.value;
            if (!paused && facts.marked) {
                paused = true;
                result.markers.push_back({ row, QStringLiteral("Pause"), PauseCaptionLevel });
            } else if (paused && !facts.marked) {
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

} // namespace

LevelListPlot levelsFromList(std::span<const QString> texts,
                             const std::function<void(int)> &progress)
{
    return plotLevels(
        qsizetype(texts.size()), [&](qsizetype i) { return factsOfText(texts[std::size_t(i)]); },
        progress);
}

LevelListPlot levelsFromRows(const ReadingRows &rows, const std::function<void(int)> &progress)
{
    return plotLevels(
        rows.count(),
        [&](qsizetype i) {
            const int tenths = rows.levelTenths(i);
            if (tenths < 0)
                return factsOfText(rows.level(i));
            // A canonical text "65.3" or "65.3*": its value, and a marker at most.
            return LevelFacts { double(tenths) / 10.0, false, false, rows.levelMarked(i) };
        },
        progress);
}
