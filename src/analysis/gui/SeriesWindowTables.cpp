// The series window's boards and tables, filled from its document's figures.
#include "SeriesWindow.h"
#include "SeriesWindowParts.h"
#include "analysis/Wording.h"
#include "analysis/output/Outputs.h"
#include "analysis/records/StationFolder.h"
#include "analysis/records/Weather.h"
#include "analysis/series/SeriesDocument.h"

#include "OpenDataFile.h"
#include "ReportCommand.h"
#include "analysis/records/CivilTime.h"
#include "analysis/report/Report.h"
#include "recording/FormatTenths.h"
#include "widgets/Dialogs.h"
#include "widgets/ValueBoard.h"

#include "widgets/QCustomPlotInclude.h"

#include <cmath>

using namespace SeriesWindowParts;

void SeriesWindow::fillExclusions()
{
    // The rows made by hand, then those the weather rules made (not edited
    // here: the rules and the keep file say what they take out).
    const std::vector<Exclusion> rows = m_document->allExclusions();
    m_exclusionTable->setRowCount(int(rows.size()));
    for (size_t n = 0; n < rows.size(); ++n) {
        const Exclusion &e = rows[n];
        setTableRow(m_exclusionTable, int(n),
                    { e.startText, e.endText, Wording::partsDuration(double(e.duration())),
                      exclusionReasonText(e.reason), e.note,
                      e.byRule ? QStringLiteral("by rule") : e.made });
    }
    const qint64 readings = report().exclusions ? report().exclusions->readings : 0;
    m_tabs->setTabText(3, QStringLiteral("Exclusions (%1)").arg(rows.size()));
    m_tabs->setTabToolTip(
        3, readings > 0 ? QStringLiteral("Excluded: %1").arg(excludedText(report())) : QString());
    m_saveExclusionsAction->setEnabled(m_document->exclusionsUnsaved());
    sizeColumnsOnce(m_exclusionTable);
}

void SeriesWindow::fillFigures()
{
    const FileFigures &r = report();
    const FileStatistics &s = r.statistics;
    const auto put = [this](const QString &caption, const QString &text) {
        if (ValueBoard *b = board(caption))
            b->setText(text);
    };
    put(QStringLiteral("Leq"), fixedOrDash(s.leq));
    put(QStringLiteral("Lmax"), s.maximum ? FormatTenths(s.maximum->level) : QStringLiteral("-"));
    put(QStringLiteral("Lmin"), s.minimum ? FormatTenths(s.minimum->level) : QStringLiteral("-"));
    const ListDistribution &d = s.distribution;
    for (const int n : { 10, 50, 90 })
        put(QStringLiteral("L%1").arg(n),
            d.hasReadings() ? d.LnTable.value(n) : QStringLiteral("-"));
    put(QStringLiteral("Readings"), QString::number(s.readings));
    // Elapsed time, whatever the clock changes between.
    put(QStringLiteral("Duration"),
        r.firstUtc
            ? Wording::clockDuration(*r.lastUtc - *r.firstUtc + int64_t(std::llround(s.interval)))
            : QStringLiteral("-"));
    // Worded as the statistics window words a file's verdict.
    put(QStringLiteral("Calibration"),
        r.calibration ? r.calibration->summary() : QStringLiteral("no checks"));
    QStringList notes = troubleLines(r);
    if (!m_document->exclusionsProblem().isEmpty())
        notes << m_document->exclusionsProblem();
    if (!m_document->weatherProblem().isEmpty())
        notes << m_document->weatherProblem();
    if (!m_document->mergeNotice().isEmpty())
        notes << m_document->mergeNotice();
    if (r.exclusions && r.exclusions->readings > 0)
        notes << QStringLiteral("Excluded, not measured: %1.").arg(excludedText(r));
    if (m_document->exclusionsUnsaved())
        notes << QStringLiteral("The exclusions are not saved to %1.")
                     .arg(QDir::toNativeSeparators(m_document->exclusionsPath()));
    if (m_document->series().readings.untimed > 0)
        notes << QStringLiteral("%1 readings without a readable time stamp are not drawn.")
                     .arg(m_document->series().readings.untimed);
    m_notes->setText(notes.join(QLatin1Char('\n')));
    m_notes->setVisible(!notes.isEmpty());
}

void SeriesWindow::fillIntervals()
{
    const auto &rows = report().intervals;
    m_intervals->setUpdatesEnabled(false);
    m_intervals->setRowCount(int(rows.size()));
    const auto lnCell
        = [mode = report().statistics.distribution.mode](const std::optional<double> &v) {
              return v ? lnLevelText(*v, mode) : QStringLiteral("-");
          };
    for (size_t n = 0; n < rows.size(); ++n) {
        const IntervalLevel &i = rows[n];
        const QStringList csv = intervalCsvFields(QString(), i);
        if (i.gap) {
            setTableRow(m_intervals, int(n),
                        { csv[1], csv[2], QStringLiteral("0"), gapText(report(), i) });
            continue;
        }
        // Beside a verdict the level is worded as the verdict was judged (two
        // decimals, as the CSV): 45.04 is never shown as "45.0" and "over".
        setTableRow(m_intervals, int(n),
                    { csv[1], csv[2], csv[3],
                      Wording::percent(i.coverage),
                      i.limit && i.leq ? csv[5] : fixedOrDash(i.leq), fixedOrDash(i.lmax),
                      fixedOrDash(i.lmin), lnCell(i.l10), lnCell(i.l50), lnCell(i.l90),
                      i.limit ? QString::number(*i.limit) : QStringLiteral("-"),
                      i.limit ? i.stateText() : QStringLiteral("-") },
                    i.over() ? OverBar : QColor());
    }
    m_intervals->setUpdatesEnabled(true);
    sizeColumnsOnce(m_intervals);
    drawIntervals();
}

void SeriesWindow::fillDays()
{
    const auto &rows = report().days;
    m_days->setRowCount(int(rows.size()));
    const auto share
        = [](double c) { return Wording::percent(c); };
    for (size_t n = 0; n < rows.size(); ++n) {
        const DayEveningNight &d = rows[n];
        if (d.gap) {
            setTableRow(m_days, int(n),
                        { CivilTime::toIsoWithOffset(d.start), emptyStretchText(d.elapsed()) });
            continue;
        }
        setTableRow(m_days, int(n),
                    { CivilTime::toIsoWithOffset(d.start), fixedOrDash(d.ld), fixedOrDash(d.le),
                      fixedOrDash(d.ln), fixedOrDash(d.lden), share(d.coverageDay),
                      share(d.coverageEvening), share(d.coverageNight),
                      d.partial ? QStringLiteral("partial") : QString() },
                    d.partial ? QColor(0xF2, 0xF5, 0xF8) : QColor());
    }
    sizeColumnsOnce(m_days);
}

void SeriesWindow::fillEvents()
{
    m_eventRows = SeriesFolder::events(m_document->series().folder, m_document->series().station);
    const std::vector<SeriesEvent> &events = m_eventRows;
    m_events->setRowCount(int(events.size()));
    QVector<double> at, level;
    for (size_t n = 0; n < events.size(); ++n) {
        setTableRow(m_events, int(n), { events[n].timeText, events[n].event, events[n].detail });
        at << double(events[n].time);
        level << 105.0;
    }
    m_eventGraph->setData(at, level, true);
    m_tabs->setTabText(2, QStringLiteral("Events (%1)").arg(events.size()));
    sizeColumnsOnce(m_events);
}

void SeriesWindow::fillShownTab()
{
    if (m_tabs->currentWidget() == m_noiseEvents && m_noiseEventsStale)
        fillNoiseEvents();
    if (m_tabs->currentWidget() == m_assessment && m_assessmentStale)
        fillAssessment();
    // The tabs' captions say what they hold, shown or not.
    const FileFigures &r = report();
    m_tabs->setTabText(m_tabs->indexOf(m_noiseEvents),
                       r.events && r.events->events
                           ? QStringLiteral("Noise events (%1)").arg(r.events->events->count())
                           : QStringLiteral("Noise events"));
    m_tabs->setTabText(m_tabs->indexOf(m_assessment),
                       r.assessment
                           ? QStringLiteral("Assessment (%1 failed)").arg(r.assessment->failed)
                           : QStringLiteral("Assessment"));
}

void SeriesWindow::fillNoiseEvents()
{
    m_noiseEventsStale = false;
    const FileFigures &r = report();
    const std::vector<NoiseEvent> none;
    const std::vector<NoiseEvent> &events
        = r.events && r.events->events ? r.events->events->events : none;
    m_noiseEvents->setRowCount(int(events.size()));
    for (size_t n = 0; n < events.size(); ++n)
        setTableRow(m_noiseEvents, int(n), eventCells(events[n]));
    const int tab = m_tabs->indexOf(m_noiseEvents);
    m_tabs->setTabToolTip(tab, eventSummaryLines(r).join(QLatin1Char('\n')));
    sizeColumnsOnce(m_noiseEvents);
}

void SeriesWindow::fillAssessment()
{
    m_assessmentStale = false;
    const FileFigures &r = report();
    const std::vector<QStringList> rows = assessmentCells(r);
    m_assessment->setRowCount(int(rows.size()));
    for (size_t n = 0; n < rows.size(); ++n) {
        // A failing period is marked by colour and says so in words.
        const bool failed = r.assessment->periods[n].verdict == PeriodVerdict::Verdict::Fail;
        setTableRow(m_assessment, int(n), rows[n], failed ? OverBar : QColor());
    }
    const int tab = m_tabs->indexOf(m_assessment);
    m_tabs->setTabToolTip(tab,
                          r.assessment ? assessmentRule(r) + QStringLiteral(". ")
                                  + assessmentSummary(r) + QLatin1Char('.')
                                       : QStringLiteral("Give period limits to judge "
                                                        "each period"));
    sizeColumnsOnce(m_assessment);
}
