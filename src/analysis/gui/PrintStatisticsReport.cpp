#include "PrintStatisticsReport.h"

#include "platform/ReadingListModel.h"

#include "platform/PanelTimers.h"
#include "widgets/Dialogs.h"
#include "widgets/PrintDocument.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QPointer>
#include <QPrinter>
#include <QScopeGuard>
#include <QWidget>

#include <optional>

namespace {

constexpr int ProgressIntervalMs = 30;
constexpr qreal FontSize = 8;

// The readings per line, asked until the answer is 1 … 5; nullopt when the
// user gives no answer.
std::optional<int> askReadingsPerLine(QWidget *window)
{
    for (;;) {
        const std::optional<QString> answer = dialogs().input(
            window, StatisticsReport::perLinePrompt(), QString(), QStringLiteral("1"));
        if (!answer || answer->isEmpty())
            return std::nullopt;
        if (const std::optional<int> perLine = StatisticsReport::perLineFromAnswer(*answer))
            return perLine;
    }
}

} // namespace

bool PrintStatisticsReport(QWidget *window, const StatisticsReportInput &input, PanelTimers *timers)
{
    QPointer<QWidget> target(window);
    const QString keptCaption = window ? window->windowTitle() : QString();
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    const auto restore = qScopeGuard([&] {
        if (target)
            target->setWindowTitle(keptCaption);
        QGuiApplication::restoreOverrideCursor();
    });

    QPrinter printer;
    if (!dialogs().setUpPrinter(window, printer, true))
        return false;
    dialogs().message(window, PrintDocument::printerNote(), QString(), MessageIcon::None,
                      MessageButtons::Ok);
    const int copies = PrintDocument::takeCopyCount(printer);
    const std::optional<int> perLine = askReadingsPerLine(window);
    if (!perLine)
        return false;

    std::optional<TimersOffGuard> timersOff;
    if (timers)
        timersOff.emplace(*timers);
    const QStringList heading = StatisticsReport::heading(input);
    const qsizetype readings = input.levels.size();
    PrintDocument document(printer);
    QElapsedTimer clock;
    clock.start();
    const bool printed = document.printCopies(copies, false, [&] {
        document.setFont({ QStringLiteral("Lucida Console"), QStringLiteral("DejaVu Sans Mono") },
                         FontSize);
        for (const QString &line : heading) {
            if (!document.printLine(line))
                return false;
        }
        for (qsizetype row = 0; row < readings; row += *perLine) {
            const bool last = row + *perLine >= readings;
            if (!document.printLine(StatisticsReport::readingLine(input, row, *perLine)))
                return false;
            if (last || clock.elapsed() >= ProgressIntervalMs) {
                if (target)
                    target->setWindowTitle(StatisticsReport::progressCaption(row + 1));
                QCoreApplication::processEvents();
                clock.restart();
            }
        }
        return true;
    });
    return document.endDocument() && printed;
}

StatisticsReportInput reportInputOf(const std::function<QString(const char *)> &boardText,
                                    const ReadingListModel &list)
{
    StatisticsReportInput input;
    input.freqText = boardText("BoardCA");
    input.timeText = boardText("BoardSFI");
    input.rangeText = boardText("BoardLevel");
    input.maxText = boardText("BoardMaxdB");
    input.maxTimeText = boardText("BoardMaxTime");
    input.selText = boardText("BoardSEL");
    input.leqText = boardText("BoardLeq");
    input.numberHeader = ReadingListModel::headerText(ReadingListModel::NumberColumn);
    input.timeHeader = ReadingListModel::headerText(ReadingListModel::TimeColumn);
    const int rows = list.count();
    input.numbers.reserve(rows);
    input.times.reserve(rows);
    for (int row = 0; row < rows; ++row) {
        input.numbers.append(list.number(row));
        input.times.append(list.time(row));
    }
    input.levels = list.levels();
    return input;
}
