#pragma once

#include "analysis/engine/FileFigures.h"

#include <QStringList>

// The figures of a file worded for people: the lines and table cells that the
// text output, the measurement report and the windows share.

// "1 h 30 min (5400 readings: rain 1 h, maintenance 30 min)", or "nothing".
QString excludedText(const FileFigures &report);
// "Excluded: …" and a line per span that touches the readings.
QStringList exclusionLines(const FileFigures &report);
// The weather's summary and rules, when a weather file applies, as lines
// and as (label, value) facts.
QStringList weatherLines(const FileFigures &report);
std::vector<std::pair<QString, QString>> weatherFacts(const FileFigures &report);
// Noise events and number-above counts as text lines, JSON members and the
// one table of --events-csv.
// `listed`: the loudest events listed at most (all when negative).
QStringList eventLines(const FileFigures &report, int listed = -1);
// Its lines without their lists: the events' rule and totals, and each
// number-above level's totals.
QStringList eventSummaryLines(const FileFigures &report);
QString eventsJsonFields(const FileFigures &report);
QString eventsCsv(const std::vector<FileFigures> &reports);
// The `listed` loudest events (all when negative), in time order; an event's
// cells (start, end, duration, Lmax, its time, SEL, period, "cut" or empty).
std::vector<NoiseEvent> loudestEvents(const RunsAbove &runs, int listed);
QStringList eventCells(const NoiseEvent &event);
// The counts per 07:00 day as table cells: its date, the events per period,
// then each number-above level's night count; and that table's headers.
QStringList eventDayHeaders(const FileFigures &report);
std::vector<QStringList> eventDayCells(const FileFigures &report);
// The verdict per period as text lines, a JSON member and the one table of
// --assessment-csv.
QStringList assessmentLines(const FileFigures &report);
// Its parts: each period's cells (date, period, Leq, L90, Lmax, coverage %,
// limit, margin, verdict, "yes" when it decides its day), the rule it was
// judged by, and the summary over the series.
std::vector<QStringList> assessmentCells(const FileFigures &report);
QString assessmentRule(const FileFigures &report);
QString assessmentSummary(const FileFigures &report);
QString assessmentJson(const FileFigures &report);
QString assessmentCsv(const std::vector<FileFigures> &reports);
// The weather of [from, to) (moments) as CSV fields (wind_speed_mean,
// wind_gust_max, rain) or JSON members; empty without weather.
QStringList weatherCsvFields(const FileFigures &report, int64_t from, int64_t to);
QString weatherJsonFields(const FileFigures &report, int64_t from, int64_t to);

// The lines that say which files were cut or left out, for text and PDF.
QStringList troubleLines(const FileFigures &report);
QString cutLine(const FileTrouble &cut);

// "No readings for 02:00:00 (excluded: rain 2 h)": what a gap row of the
// report's intervals says, its exclusions named.
QString gapText(const FileFigures &report, const IntervalLevel &gap);

// The method lines of a file's report: its statistics' and the intervals',
// and unless left to pages of their own (the PDF's day table and calibration
// section), the rules of the day levels and of the calibration verdict.
enum class MethodRules { All, FiguresOnly };
QStringList reportMethod(const FileFigures &report, MethodRules rules = MethodRules::All);
