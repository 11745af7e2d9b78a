#pragma once

#include "analysis/report/Report.h"
#include "recording/DataFileReader.h"

#include <QObject>
#include <QPointer>

#include <atomic>
#include <functional>
#include <memory>

class QAction;
class QShortcut;
class QToolBar;
class QWidget;

// What a list window hands to its report: the readings with their header,
// and the lines for the first page.
struct ReportSource
{
    QString name; // the file's path, or the window's caption
    DataFileContents contents;
    QString company;
    QString sector;
    QString person;
    ResolutionMode mode = ResolutionMode::Tenth;
    // The spans the file's exclusions file takes out of the figures.
    std::shared_ptr<const ExclusionSpans> exclusions;
    QString exclusionsSource;
};

// The "Report" button of a list window's tool bar: asks for a PDF file,
// builds the report with the progress in the window's caption, writes it
// atomically and offers to open it. While it runs the same button (and Esc)
// cancels it.
class ReportCommand : public QObject
{
    Q_OBJECT

public:
    ReportCommand(QWidget *window, QToolBar *toolBar, std::function<ReportSource()> source);

    QAction *action() const { return m_action; }
    // What a worker thread runs to make the report.
    using ReportJob = std::function<std::optional<Report>(const ReportProgress &progress)>;
    // Prepares, on this thread and from the options the command made, the
    // job that makes the report in place of one section of the source's
    // readings; the job must hold copies of all it reads.
    using Builder = std::function<ReportJob(const ReportOptions &options)>;
    void setBuilder(Builder builder) { m_builder = std::move(builder); }
    bool running() const { return m_running; }
    void cancel();

    // The whole command, as the button runs it. Returns the written path,
    // or an empty text when nothing was written.
    QString run();

    static QString pdfFilter() { return QStringLiteral("PDF Files (*.pdf)|*.pdf|"); }
    static QString writtenMessage(const QString &path);
    static QString toolTip() { return QStringLiteral("PDF Report"); }
    static QString cancelToolTip() { return QStringLiteral("Cancel Report"); }

Q_SIGNALS:
    // The caption while the report is made, for a window that shows it elsewhere.
    void progressed(const QString &caption);

private:
    // What the worker thread and this one share. It outlives this object,
    // which goes with its window even while a report is being made.
    struct Shared
    {
        std::atomic<bool> cancelled { false };
        std::atomic<int> permille { 0 };
    };

    void setRunning(bool running);
    // Runs work on a thread of its own while this thread's events go on.
    void runAside(const std::function<void()> &work);
    void showProgress(double done);

    QPointer<QWidget> m_window;
    QAction *m_action = nullptr;
    QShortcut *m_escape = nullptr;
    std::function<ReportSource()> m_source;
    Builder m_builder;
    bool m_running = false;
    std::shared_ptr<Shared> m_shared = std::make_shared<Shared>();
};
