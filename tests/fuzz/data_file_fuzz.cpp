// Feeds arbitrary bytes to the data file reader, and every level text it
// yields to the level classification, the distribution and the report layout.
#include "analysis/LevelText.h"
#include "analysis/ListDistribution.h"
#include "analysis/StatisticsReport.h"
#include "recording/DataFileReader.h"
#include "platform/ReadingListModel.h"

#include <cstdint>
#include <cstdlib>
#include <numeric>

namespace {

void require(bool condition)
{
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    (void)DataFileReader::leadingNumber(bytes);

    const DataFileContents contents = DataFileReader::readBytes(bytes);
    // Each column once: every copy would only fill the sanitizer's quarantine.
    const QVector<QString> numbers = contents.numbers();
    const QVector<QString> times = contents.times();
    QVector<QString> levels = contents.levels();
    const qsizetype rows = levels.size();
    require(numbers.size() == rows);
    require(times.size() == rows);
    // Only an empty file or an overlong first line leave nothing to show.
    require(contents.isEmpty() == (size == 0) || !contents.problem.isEmpty());

    // Every line also as one level text, so that the parser meets texts the
    // reader would have cut at a TAB.
    levels.append(QString::fromLatin1(bytes.first(std::min<qsizetype>(bytes.size(), 64))));
    for (const QString &text : levels) {
        const LevelTextClass level = classifyLevelText(text);
        if (level.kind == LevelKind::Ordinary)
            require(level.value >= 0.0 && level.value < OverRangeLevel);
        (void)StatisticsReport::perLineFromAnswer(text);
    }

    for (const ResolutionMode mode : { ResolutionMode::Tenth, ResolutionMode::Whole }) {
        const ListDistribution d = BuildListDistribution(levels, mode);
        const auto counts = d.chosenCounts();
        require(std::accumulate(counts.begin(), counts.end(), qint64(0)) == d.ListSampleCount);
        require(d.ListSampleCount + d.markedCount + d.damagedCount == levels.size());
        for (int m = 1; m < ListDistribution::LnCount; ++m)
            require(d.LnClass[m] <= d.LnClass[m - 1]);
    }

    StatisticsReportInput report;
    report.numbers = numbers;
    report.times = times;
    levels.removeLast();
    report.levels = levels;
    DataFileContents moved = contents;
    ReadingListModel list;
    DataFileReader::moveRowsInto(moved, list);
    require(list.count() == rows && moved.recordCount() == 0);
    const int perLine = size ? 1 + data[0] % 5 : 1;
    const QStringList lines = StatisticsReport::lines(report, perLine);
    require(lines.size() == 13 + (rows + perLine - 1) / perLine);
    return 0;
}
