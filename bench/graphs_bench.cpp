// Graph window timings: the ten-day live series from a click to the first
// paint, pan and zoom redraws over it, and plotting the longest reading list.
#include "graphs/gui/Plot.h"
#include "graphs/gui/RealTimeGraph.h"
#include "panel/gui/LiveGraphs.h"
#include "widgets/QCustomPlotInclude.h"

#include <QApplication>

#include <benchmark/benchmark.h>

#include <cmath>

namespace {

constexpr int LiveLogSize = 864001;
constexpr int LongestList = 348000;

std::vector<double> &liveLevels()
{
    static std::vector<double> values = [] {
        std::vector<double> v(LiveLogSize);
        for (int i = 0; i < LiveLogSize; ++i)
            v[std::size_t(i)]
                = 60.0 + 10.0 * std::sin(i / 3000.0) + (int64_t(i) * 7919 % 97) / 10.0;
        return v;
    }();
    return values;
}

LiveGraphData fullLog()
{
    LiveGraphData data;
    data.levelLog = liveLevels();
    data.leqLog = liveLevels();
    data.selLog = liveLevels();
    data.liveLogIndex = LiveLogSize;
    data.classMin01dB = 500;
    data.classMax01dB = 800;
    return data;
}

void paintNow(QWidget *window)
{
    QCoreApplication::processEvents();
    window->repaint();
}

void BM_StripClickToFirstPaint864001(benchmark::State &state)
{
    LiveGraphs graphs;
    graphs.setDataSource(fullLog);
    for (auto _ : state) {
        graphs.openStripChart(LiveGraphs::LevelChart);
        RealTimeGraph *window = RealTimeGraph::openWindow();
        window->graph()->plot()->replot(QCustomPlot::rpImmediateRefresh);
        paintNow(window);
    }
    state.SetLabel("< 300 ms");
    delete RealTimeGraph::openWindow();
}

void BM_PanRedraw864001(benchmark::State &state)
{
    RealTimeGraph *window
        = RealTimeGraph::LoadSeries(liveLevels(), LiveLogSize, "SPL (dB)", 50, 80);
    paintNow(window);
    QCPAxis *x = window->graph()->plot()->xAxis;
    double shift = 20000;
    for (auto _ : state) {
        x->moveRange(shift);
        shift = -shift;
        window->graph()->plot()->replot(QCustomPlot::rpImmediateRefresh);
    }
    state.SetLabel("< 33 ms");
    delete window;
}

void BM_ZoomRedraw864001(benchmark::State &state)
{
    RealTimeGraph *window
        = RealTimeGraph::LoadSeries(liveLevels(), LiveLogSize, "SPL (dB)", 50, 80);
    paintNow(window);
    QCPAxis *x = window->graph()->plot()->xAxis;
    bool in = true;
    for (auto _ : state) {
        if (in)
            x->setRange(200000, 300000);
        else
            x->setRange(1, LiveLogSize);
        in = !in;
        window->graph()->plot()->replot(QCustomPlot::rpImmediateRefresh);
    }
    state.SetLabel("< 33 ms");
    delete window;
}

void BM_PlotFromList348000(benchmark::State &state)
{
    std::vector<QString> texts;
    texts.reserve(LongestList);
    for (int i = 0; i < LongestList; ++i) {
        QString text = QString::number(liveLevels()[std::size_t(i)], 'f', 1);
        if (i % 5000 < 40)
            text += QLatin1Char('*');
        texts.push_back(text);
    }
    QWidget mainWindow;
    mainWindow.setWindowTitle(QStringLiteral("VORN"));
    for (auto _ : state) {
        Plot *plot = Plot::PlotFromList(texts, PlotHost { &mainWindow, nullptr });
        plot->graph()->plot()->replot(QCustomPlot::rpImmediateRefresh);
        paintNow(plot);
    }
    state.SetLabel("< 1 s");
    delete Plot::openWindow();
}

// A list alternating marked and plain readings: every reading starts or ends
// a pause run, so 100,000 readings carry 100,000 "Pause"/"Start" markers.
// Each iteration plots them, draws them, and clears them with the next list.
void BM_PauseMarkers100000(benchmark::State &state)
{
    constexpr int Markers = 100000;
    std::vector<QString> texts;
    texts.reserve(Markers);
    for (int i = 0; i < Markers; ++i)
        texts.push_back(i % 2 == 0 ? QStringLiteral("70.0*") : QStringLiteral("60.0"));
    const std::vector<QString> plain(10, QStringLiteral("60.0"));
    QWidget mainWindow;
    int markers = 0;
    for (auto _ : state) {
        Plot *plot = Plot::PlotFromList(texts, PlotHost { &mainWindow, nullptr });
        markers = plot->graph()->annotationCount();
        plot->graph()->plot()->replot(QCustomPlot::rpImmediateRefresh);
        paintNow(plot);
        Plot::PlotFromList(plain, PlotHost { &mainWindow, nullptr });
    }
    state.counters["markers"] = markers;
    state.SetLabel("< 0.5 s");
    delete Plot::openWindow();
}

} // namespace

BENCHMARK(BM_StripClickToFirstPaint864001)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(5);
BENCHMARK(BM_PanRedraw864001)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(30);
BENCHMARK(BM_ZoomRedraw864001)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(30);
BENCHMARK(BM_PlotFromList348000)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_PauseMarkers100000)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
