#pragma once

#include "SeriesGraphWindow.h"
#include "graphs/LevelListPlot.h"

#include <QVector>

#include <functional>
#include <span>

class PanelTimers;
class QLineEdit;
class ReadingListModel;

// Where the list graph reports to while it works: the main window whose
// caption counts the rows (and beside which the graph opens) and the panel
// timers that stay off meanwhile. Both may be null.
struct PlotHost
{
    QWidget *mainWindow = nullptr;
    PanelTimers *timers = nullptr;
    // What the list comes from (a file's path), so a report of the same
    // file can take the graph's Company, Sector and Name lines.
    QString source;
};

// The graph of a reading list's levels, with "Pause" and "Start" captions
// where the recording was paused and resumed. One window stays open and
// takes each new list.
class Plot : public SeriesGraphWindow
{
    Q_OBJECT

public:
    // Plots the level texts (data rows only, in reading order): row r at X = r.
    static Plot *PlotFromList(std::span<const QString> levels, const PlotHost &host = {});
    static Plot *PlotFromList(const QVector<QString> &levels, const PlotHost &host = {});
    static Plot *PlotFromList(const ReadingListModel &list, const PlotHost &host = {});
    // The open list graph, or nullptr.
    static Plot *openWindow();

    // A caption tied to the reading of `row`, its text at (row, captionLevel).
    void AddPlotMarker(int row, const QString &caption, double captionLevel);

    void resetScale() override;
    void printGraph() override;

    QLineEdit *freeText(int index) const { return m_texts.at(index); }
    // The source of the list plotted last (see PlotHost::source).
    QString source() const { return m_source; }

protected:
    QString cursorDescriptionUnit() const override { return QStringLiteral("dB"); }
    void showCursor() override;
    void hideCursor() override;

private:
    Plot();

    // Turns the list into levels and markers (reporting rows done), then
    // fills and shows the window.
    static Plot *
    plotLevels(const PlotHost &host,
               const std::function<LevelListPlot(const std::function<void(int)> &)> &levels);

    std::array<QLineEdit *, 3> m_texts {};
    QString m_source;
};
