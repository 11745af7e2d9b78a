#pragma once

#include <QString>
#include <QWidget>

#include <functional>

class PanelTimers;

// What the analysis windows need of the live panel: the panel itself (they
// open beside it and are its children), its two timers, switched off while a
// long operation runs, and its caption, which counts the progress of a read.
struct AnalysisHost
{
    QWidget *panel = nullptr;
    PanelTimers *timers = nullptr;
    // The panel's caption; when unset, the panel's window title.
    std::function<QString()> caption;
    std::function<void(const QString &)> setCaption;
    // Whether the panel records now; files are not opened then. Unset: no
    // panel, no recording.
    std::function<bool()> recording;

    QString currentCaption() const
    {
        if (caption)
            return caption();
        return panel ? panel->windowTitle() : QString();
    }
    bool isRecording() const { return recording && recording(); }
    void showCaption(const QString &text) const
    {
        if (setCaption)
            setCaption(text);
        else if (panel)
            panel->setWindowTitle(text);
    }
};
