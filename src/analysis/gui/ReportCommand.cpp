#include "ReportCommand.h"

#include "analysis/report/pdf/ReportPdf.h"
#include "widgets/Dialogs.h"
#include "widgets/ToolbarIcons.h"

#include <QAction>
#include <QCoreApplication>
#include <QDateTime>
#include <QDesktopServices>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QScopeGuard>
#include <QShortcut>
#include <QThread>
#include <QTimer>
#include <QToolBar>
#include <QUrl>
#include <QWidget>

#include <optional>

namespace {

// Building the content takes this share of the progress, drawing the rest.
constexpr double ContentShare = 0.6;
constexpr int CaptionIntervalMs = 50;

} // namespace

ReportCommand::ReportCommand(QWidget *window, QToolBar *toolBar,
                             std::function<ReportSource()> source)
    : QObject(window)
    , m_window(window)
    , m_source(std::move(source))
{
    m_action = toolBar->addAction(ToolbarImage(ReportImage), QStringLiteral("Report"));
    m_action->setObjectName(QStringLiteral("Report"));
    m_action->setToolTip(toolTip());
    if (QWidget *button = toolBar->widgetForAction(m_action)) {
        button->setObjectName(QStringLiteral("Report"));
        button->setAccessibleName(toolTip());
    }
    connect(m_action, &QAction::triggered, this, [this] {
        if (m_running)
            cancel();
        else
            run();
    });
    m_escape = new QShortcut(QKeySequence(Qt::Key_Escape), window);
    m_escape->setEnabled(false);
    connect(m_escape, &QShortcut::activated, this, &ReportCommand::cancel);
}

QString ReportCommand::writtenMessage(const QString &path)
{
    return QStringLiteral("The report is written to\n%1\n\nOpen it now?")
        .arg(QDir::toNativeSeparators(path));
}

void ReportCommand::cancel()
{
    if (m_running)
        m_shared->cancelled = true;
}

void ReportCommand::setRunning(bool running)
{
    m_running = running;
    m_escape->setEnabled(running);
    const QString tip = running ? cancelToolTip() : toolTip();
    m_action->setToolTip(tip);
    if (QToolBar *bar = qobject_cast<QToolBar *>(m_action->parent()))
        if (QWidget *button = bar->widgetForAction(m_action))
            button->setAccessibleName(tip);
}

void ReportCommand::showProgress(double done)
{
    const QString caption = distributionProgressCaption(100.0 * done);
    if (m_window)
        m_window->setWindowTitle(caption);
    Q_EMIT progressed(caption);
}

void ReportCommand::runAside(const std::function<void()> &work)
{
    const std::shared_ptr<Shared> shared = m_shared;
    std::unique_ptr<QThread> thread(QThread::create(work));
    QEventLoop loop;
    connect(thread.get(), &QThread::finished, &loop, &QEventLoop::quit);
    // The caption follows the worker's progress; the loop sleeps in between.
    QTimer caption;
    caption.setInterval(CaptionIntervalMs);
    connect(&caption, &QTimer::timeout, this,
            [this, shared] { showProgress(shared->permille.load() / 1000.0); });
    caption.start();
    thread->start();
    loop.exec();
    thread->wait();
}

QString ReportCommand::run()
{
    if (m_running || !m_window)
        return {};
    QString path = dialogs().saveFileName(m_window, pdfFilter(), true);
    if (path.isEmpty())
        return {};
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".pdf");

    // Events run while the report is made, and they may close the window
    // and with it this object: after every wait, `self` tells.
    const QPointer<ReportCommand> self(this);
    const QPointer<QWidget> window = m_window;
    m_shared = std::make_shared<Shared>();
    const std::shared_ptr<Shared> shared = m_shared;
    setRunning(true);
    // The panel's timers are left alone: the content is made on a thread of
    // its own, and a recording must not lose its records to a report.
    const QString keptCaption = window->windowTitle();
    const auto restore = qScopeGuard([&] {
        if (window)
            window->setWindowTitle(keptCaption);
        if (self)
            setRunning(false);
    });

    // The readings are shared, not copied: the window's list stays as it
    // is while the content is computed on a thread of its own.
    const ReportSource source = m_source();
    ReportOptions options;
    options.company = source.company;
    options.sector = source.sector;
    options.name = source.person;
    options.mode = source.mode;
    options.exclusions = source.exclusions;
    options.exclusionsSource = source.exclusionsSource;
    options.reportDate = reportDateText(QDateTime::currentDateTime());
    options.programVersion = programVersionText();
    std::optional<Report> report;
    const ReportJob job
        = m_builder ? m_builder(options) : [&source, &options](const ReportProgress &progress) {
              return buildReport({ { source.name, &source.contents } }, options, progress);
          };
    runAside([&report, &job, shared] {
        report = job([shared](double done) {
            shared->permille = int(1000.0 * ContentShare * done);
            return !shared->cancelled.load();
        });
    });
    if (!self || shared->cancelled || !report)
        return {};

    // The graphs are widgets, so the pages are drawn here, one at a time
    // with the events in between.
    const ReportPdf drawn = drawReportPdf(*report, [&](double done) {
        if (!self)
            return false;
        showProgress(ContentShare + (1.0 - ContentShare) * done);
        QCoreApplication::processEvents();
        return self && !shared->cancelled;
    });
    if (!self || drawn.cancelled)
        return {};

    QString error = drawn.error;
    if (error.isEmpty()) {
        // The disk may be slow (a network folder): the write goes aside too,
        // and once begun it is finished.
        shared->permille = 1000;
        runAside([&] { error = saveReportPdf(path, drawn.bytes); });
        if (!self)
            return error.isEmpty() ? path : QString();
    }
    if (window)
        window->setWindowTitle(keptCaption);
    if (!error.isEmpty()) {
        dialogs().message(window, error, QString(), MessageIcon::Critical, MessageButtons::Ok);
        return {};
    }
    if (dialogs().message(window, writtenMessage(path), QString(), MessageIcon::Question,
                          MessageButtons::YesNo)
        == MessageAnswer::Yes)
        QDesktopServices::openUrl(QUrl::fromLocalFile(path));
    return path;
}
