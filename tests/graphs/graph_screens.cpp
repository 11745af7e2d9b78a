// Saves a picture of each graph window filled with made-up but plausible
// data: a 10,000-reading list with pause runs, both histogram kinds, a live
// series and the live panel's small graphs.
#include "graphs/gui/Histogram.h"
#include "graphs/gui/Plot.h"
#include "graphs/gui/RealHistogram.h"
#include "graphs/gui/RealTimeGraph.h"
#include "panel/gui/LiveGraphs.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>

#include <cmath>
#include <random>

namespace {

void save(QWidget *window, const QString &folder, const QString &name)
{
    window->show();
    QElapsedTimer shown;
    shown.start();
    while (shown.elapsed() < 150)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    window->grab().save(QDir(folder).filePath(name + QStringLiteral(".png")));
}

std::vector<double> levels(int count, unsigned seed)
{
    std::mt19937 random(seed);
    std::normal_distribution<double> noise(0.0, 2.5);
    std::vector<double> values;
    for (int i = 0; i < count; ++i)
        values.push_back(std::round((62.0 + 8.0 * std::sin(i / 700.0) + noise(random)) * 10.0)
                         / 10.0);
    return values;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");

    const std::vector<double> series = levels(10000, 1);
    std::vector<QString> texts;
    for (int i = 0; i < 10000; ++i) {
        QString text = QString::number(series[std::size_t(i)], 'f', 1);
        if ((i >= 2000 && i < 2300) || (i >= 6100 && i < 6180) || i >= 9900)
            text += QLatin1Char('*');
        if (i % 997 == 0)
            text = QStringLiteral("--");
        if (i % 1499 == 0)
            text = QStringLiteral("L");
        texts.push_back(text);
    }
    Plot *plot = Plot::PlotFromList(texts);
    plot->chooseTrackMode(GraphControl::TrackMode::CursorCoordinates);
    save(plot, folder, QStringLiteral("plot"));

    RealTimeGraph *live
        = RealTimeGraph::LoadSeries(series, 3600, QStringLiteral("SPL (dB)"),
                                    *std::min_element(series.begin(), series.begin() + 3600),
                                    *std::max_element(series.begin(), series.begin() + 3600));
    save(live, folder, QStringLiteral("realtimegraph"));

    std::vector<int64_t> tenths(1401, 0);
    std::vector<int64_t> wholes(141, 0);
    int low = 1400, high = 0;
    for (int i = 0; i < 3600; ++i) {
        const int t = int(std::lround(series[std::size_t(i)] * 10));
        ++tenths[std::size_t(t)];
        ++wholes[std::size_t(t % 10 == 0 ? t / 10 : t / 10 + 1)];
        low = std::min(low, t);
        high = std::max(high, t);
    }
    save(RealHistogram::LoadClassCounts(tenths, ClassWidth::Tenth, low, high), folder,
         QStringLiteral("realhistogram_tenth"));
    save(RealHistogram::LoadClassCounts(wholes, ClassWidth::Whole, low / 10, high / 10 + 1), folder,
         QStringLiteral("realhistogram_whole"));

    HistogramInput input;
    input.width = ClassWidth::Tenth;
    input.counts.assign(1451, 0);
    for (double level : series)
        ++input.counts[std::size_t(std::lround(level * 10))];
    std::vector<double> sorted = series;
    std::sort(sorted.begin(), sorted.end());
    for (int m = 0; m < 100; ++m)
        input.lnTexts[std::size_t(m)]
            = QString::number(sorted[std::size_t(std::min(9999, (100 - m) * 100 - 50))], 'f', 1);
    Histogram *histogram = Histogram::LoadListHistogram(input);
    save(histogram, folder, QStringLiteral("histogram_tenth"));
    input.width = ClassWidth::Whole;
    input.counts.assign(146, 0);
    for (double level : series)
        ++input.counts[std::size_t(std::floor(level))];
    for (QString &text : input.lnTexts)
        text = QString::number(int(text.toDouble()));
    save(Histogram::LoadListHistogram(input), folder, QStringLiteral("histogram_whole"));

    LiveGraphs graphs;
    graphs.resize(420, 420);
    std::vector<int64_t> counts1(141, 0), counts01(1401, 0);
    LiveGraphData data;
    data.classMin1dB = 145;
    data.classMin01dB = 1450;
    double energy = 0;
    for (int i = 0; i < 900; ++i) {
        const double level = series[std::size_t(i)];
        energy += std::pow(10.0, level / 10.0);
        const double leq = std::trunc(10.0 * std::log10(energy / (i + 1)) * 10.0) / 10.0;
        const double sel = std::trunc((leq + 10.0 * std::log10(i + 1.0)) * 10.0) / 10.0;
        graphs.appendSample(level, leq, sel);
        const int t = int(std::lround(level * 10));
        ++counts01[std::size_t(t)];
        ++counts1[std::size_t(t % 10 == 0 ? t / 10 : t / 10 + 1)];
        data.classMin01dB = std::min(data.classMin01dB, t);
        data.classMax01dB = std::max(data.classMax01dB, t);
        data.classMin1dB = std::min(data.classMin1dB, int(level - 1));
        data.classMax1dB = std::max(data.classMax1dB, int(level + 1));
    }
    data.classCounts1dB = counts1;
    data.classCounts01dB = counts01;
    graphs.setClassTables(data);
    save(&graphs, folder, QStringLiteral("livegraphs_level_tenth"));
    graphs.setVisibleStripChart(LiveGraphs::SelChart);
    data.classMin01dB = 300; // a spread over 30 dB shows whole classes
    graphs.setClassTables(data);
    save(&graphs, folder, QStringLiteral("livegraphs_sel_whole"));
    return 0;
}
