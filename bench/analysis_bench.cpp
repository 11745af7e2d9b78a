// Opening a long real-time file and the level distribution of its readings.
#include "analysis/ListDistribution.h"
#include "recording/DataFileReader.h"
#include "platform/ReadingListModel.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <random>

namespace {

constexpr int RecordCount = 348000;

QVector<QString> sampleLevels()
{
    std::mt19937 random(3);
    std::normal_distribution<double> level(65.0, 8.0);
    QVector<QString> levels;
    levels.reserve(RecordCount);
    for (int i = 0; i < RecordCount; ++i) {
        const int tenths = std::clamp(int(level(random) * 10.0), 300, 1400);
        QString text = QString::number(tenths / 10) + u'.' + QString::number(tenths % 10);
        if (i % 997 == 0)
            text = QStringLiteral("--");
        else if (i % 1009 == 0)
            text += u'*';
        levels.append(text);
    }
    return levels;
}

QByteArray realTimeFileBytes(const QVector<QString> &levels)
{
    QByteArray file = "Real Time\r\n 1 \r\nA\r\nSlow\r\n30-90\r\n98.7\r\n2013/03/04 08:00:05\r\n"
                      "120.4\r\n85.3\r\nNo.s\tDate Time\tdB\t\r\n";
    file.reserve(RecordCount * 36);
    for (int i = 0; i < levels.size(); ++i) {
        const int s = i % 60, m = (i / 60) % 60, h = (i / 3600) % 24;
        file += QByteArray::number(i + 1) + "\t2013/03/04 "
            + QByteArray::number(h).rightJustified(2, '0') + ':'
            + QByteArray::number(m).rightJustified(2, '0') + ':'
            + QByteArray::number(s).rightJustified(2, '0') + '\t' + levels.at(i).toLatin1()
            + "\t\r\n";
    }
    return file;
}

void OpenRealTimeFile(benchmark::State &state)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("long.vorn");
    {
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(realTimeFileBytes(sampleLevels()));
    }
    for (auto _ : state) {
        DataFileContents contents = DataFileReader::readFile(path, [](qint64) {});
        ReadingListModel list;
        DataFileReader::moveRowsInto(contents, list);
        if (list.count() != RecordCount)
            state.SkipWithError("wrong record count");
        benchmark::DoNotOptimize(list);
    }
    state.SetLabel("< 250 ms for 348,000 records, list filled");
}
BENCHMARK(OpenRealTimeFile)->Unit(benchmark::kMillisecond);

void Distribution(benchmark::State &state, ResolutionMode mode)
{
    const QVector<QString> levels = sampleLevels();
    for (auto _ : state)
        benchmark::DoNotOptimize(BuildListDistribution(levels, mode));
    state.SetLabel("< 30 ms for 348,000 readings, counting included");
}
BENCHMARK_CAPTURE(Distribution, Tenth, ResolutionMode::Tenth)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Distribution, Whole, ResolutionMode::Whole)->Unit(benchmark::kMillisecond);

void Percentiles(benchmark::State &state, ResolutionMode mode)
{
    ListDistribution distribution;
    distribution.mode = mode;
    countLevelTexts(sampleLevels(), distribution);
    for (auto _ : state) {
        computeLnTable(distribution);
        benchmark::DoNotOptimize(distribution.LnTable);
    }
    state.SetLabel("< 1 ms for the 100 percentiles once counted");
}
BENCHMARK_CAPTURE(Percentiles, Tenth, ResolutionMode::Tenth)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(Percentiles, Whole, ResolutionMode::Whole)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
