#pragma once

class QWidget;
struct LoggerSetView;

// Where the memory window shows a decoded data set. The live panel hands one
// down, so that the logger's windows need not know the window that lists a
// set (it belongs to the analysis windows, which come later in the build).
class LoggerSetHost
{
public:
    virtual ~LoggerSetHost() = default;

    // Opens an empty window for a set, in place of the one open before; its
    // caption counts the decoding.
    virtual QWidget *openSetWindow() = 0;
    // Fills a window that openSetWindow() returned.
    virtual void showSet(QWidget *window, const LoggerSetView &set, int sampleInterval) = 0;
};
