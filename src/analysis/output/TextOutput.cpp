#include "analysis/output/Outputs.h"

#include "analysis/Wording.h"
#include "analysis/output/OutputRules.h"
#include "analysis/records/CivilTime.h"
#include "recording/FormatTenths.h"

namespace OutputRules {

void appendText(QStringList &out, const FileFigures &r)
{
    const FileStatistics &s = r.statistics;
    if (r.joined.empty()) {
        out << QStringLiteral("File: %1 (%2)").arg(r.name, kindName(s.kind));
        if (!s.storedBoards.empty()) {
            out << QStringLiteral("Stored in the header:");
            for (const auto &[caption, text] : s.storedBoards)
                out << QStringLiteral("  %1 %2").arg(caption + QLatin1Char(':'), -14).arg(text);
        }
    } else {
        out << QStringLiteral("Series of %1 files joined in time order:").arg(r.joined.size());
        for (const JoinedFile &f : r.joined) {
            out << QStringLiteral("File: %1 (%2), %3 readings, %4 to %5")
                       .arg(f.name, kindName(f.kind))
                       .arg(f.readings)
                       .arg(f.first ? CivilTime::toIsoWithOffset(*f.first) : QStringLiteral("-"),
                            f.last ? CivilTime::toIsoWithOffset(*f.last) : QStringLiteral("-"));
            if (!f.storedBoards.empty()) {
                out << QStringLiteral("  Stored in the header:");
                for (const auto &[caption, text] : f.storedBoards)
                    out << QStringLiteral("    %1 %2")
                               .arg(caption + QLatin1Char(':'), -14)
                               .arg(text);
            }
        }
    }
    out << QStringLiteral("Recomputed from %1 readings:").arg(s.readings);
    out << QStringLiteral("  %1 %2").arg(QStringLiteral("Leq:"), -14).arg(tenths(s.leq));
    out << QStringLiteral("  %1 %2").arg(QStringLiteral("SEL:"), -14).arg(tenths(s.sel));
    if (s.maximum)
        out << QStringLiteral("  %1 %2  %3")
                   .arg(QStringLiteral("Maximum:"), -14)
                   .arg(s.maximum->text, s.maximum->time);
    if (s.minimum)
        out << QStringLiteral("  %1 %2  %3")
                   .arg(QStringLiteral("Minimum:"), -14)
                   .arg(s.minimum->text, s.minimum->time);
    out << QStringLiteral("  %1 %2 s")
               .arg(QStringLiteral("Interval:"), -14)
               .arg(QString::number(s.interval));
    out << QStringLiteral("  Marked %1 (%2), under range %3 (%4), over range %5 (%6)")
               .arg(s.marked)
               .arg(percent(shareOf(s.marked, s.readings)))
               .arg(s.underRange)
               .arg(percent(shareOf(s.underRange, s.readings)))
               .arg(s.overRange)
               .arg(percent(shareOf(s.overRange, s.readings)));
    const ListDistribution &d = s.distribution;
    if (d.hasReadings()) {
        out << QStringLiteral("L table (%1 classes):")
                   .arg(d.mode == ResolutionMode::Tenth ? QStringLiteral("0.1 dB")
                                                        : QStringLiteral("1 dB"));
        QString header = QStringLiteral("        ");
        for (int col = 0; col < 10; ++col)
            header += QStringLiteral("%1").arg(col, 7);
        out << header;
        for (int row = 0; row < 10; ++row) {
            QString line = QStringLiteral("  L(%1)").arg(row * 10, 2, 10, QLatin1Char('0'));
            for (int col = 0; col < 10; ++col)
                line += QStringLiteral("%1").arg(d.LnTable.value(row * 10 + col), 7);
            out << line;
        }
    } else {
        out << QStringLiteral("L table: no readings to count.");
    }
    if (r.intervalLength) {
        out << QStringLiteral("Intervals of %1 s:").arg(*r.intervalLength);
        QString header = QStringLiteral("  %1 %2 %3 %4 %5 %6 %7 %8")
                             .arg(QStringLiteral("Start"), -25)
                             .arg(QStringLiteral("Leq"), 6)
                             .arg(QStringLiteral("Lmax"), 6)
                             .arg(QStringLiteral("Lmin"), 6)
                             .arg(QStringLiteral("L10"), 6)
                             .arg(QStringLiteral("L50"), 6)
                             .arg(QStringLiteral("L90"), 6)
                             .arg(QStringLiteral("Covered"), 8);
        if (r.withLimits())
            header += QStringLiteral(" %1 State").arg(QStringLiteral("Limit"), 6);
        out << header;
        const auto dashed
            = [mode = r.statistics.distribution.mode](const std::optional<double> &v) {
                  return v ? lnLevelText(*v, mode) : QStringLiteral("-");
              };
        for (const IntervalLevel &i : r.intervals) {
            const QString start = isoStart(i);
            if (i.gap) {
                out << QStringLiteral("  %1 %2").arg(start, -25).arg(gapText(r, i));
                continue;
            }
            QString line = QStringLiteral("  %1 %2 %3 %4 %5 %6 %7 %8")
                               .arg(start, -25)
                               .arg(tenths(i.leq), 6)
                               .arg(tenths(i.lmax), 6)
                               .arg(tenths(i.lmin), 6)
                               .arg(dashed(i.l10), 6)
                               .arg(dashed(i.l50), 6)
                               .arg(dashed(i.l90), 6)
                               .arg(percent(i.coverage), 8);
            if (r.withLimits())
                line += QStringLiteral(" %1 %2")
                            .arg(i.limit ? QString::number(*i.limit) : QStringLiteral("-"), 6)
                            .arg(i.limit ? i.stateText() : QStringLiteral("-"));
            out << line;
        }
    }
    if (r.withDayEveningNight) {
        if (r.days.empty()) {
            out << QStringLiteral("Lden: no reading has a readable time stamp.");
        } else {
            out << QStringLiteral("Day-evening-night levels (day 07-19, evening 19-23 +5 dB, "
                                  "night 23-07 +10 dB):");
            for (const DayEveningNight &den : r.days) {
                if (den.gap) {
                    out << QStringLiteral("  %1  %2")
                               .arg(CivilTime::toIsoWithOffset(den.start),
                                    emptyStretchText(den.elapsed()));
                    continue;
                }
                out << QStringLiteral("  %1  Ld %2 (%3)  Le %4 (%5)  Ln %6 (%7)  Lden %8%9")
                           .arg(CivilTime::toIsoWithOffset(den.start), tenths(den.ld),
                                percent(den.coverageDay), tenths(den.le),
                                percent(den.coverageEvening), tenths(den.ln),
                                percent(den.coverageNight), tenths(den.lden),
                                den.partial ? QStringLiteral("  partial") : QString());
            }
        }
    }
    if (r.untimedReadings > 0)
        out << QStringLiteral("  %1 readings without a readable time stamp are left out of the "
                              "interval levels.")
                   .arg(r.untimedReadings);
    if (r.details && !r.details->isEmpty()) {
        out << QStringLiteral("Measurement details:");
        // Notes keep their line breaks, each further line under the first.
        const QString indent(2 + 15, QLatin1Char(' '));
        for (const auto &[label, value] : r.details->fields())
            out << QStringLiteral("  %1 %2")
                       .arg(label + QLatin1Char(':'), -14)
                       .arg(QString(value).replace(QLatin1Char('\n'), QLatin1Char('\n') + indent));
    }
    if (!r.detailsProblem.isEmpty())
        out << QStringLiteral("  ") + r.detailsProblem;
    if (r.calibration) {
        const CalibrationVerdict &c = *r.calibration;
        out << QStringLiteral("Calibration: %1 (tolerance %2 dB)")
                   .arg(c.text(), QString::number(c.tolerance, 'f', 1));
        out << QStringLiteral("  %1 %2")
                   .arg(QStringLiteral("Meter:"), -14)
                   .arg(c.meterSerial.isEmpty()
                            ? QStringLiteral("any (no meter serial in the details)")
                            : c.meterSerial + QStringLiteral(" (only its checks count)"));
        const auto check = [&out](const QString &label, const CalibrationRecord &k,
                                  const QString &age) {
            out << QStringLiteral("  %1 %2  %3 dB on %4 dB, deviation %5 dB%6")
                       .arg(label, -14)
                       .arg(CivilTime::toIsoWithOffset(k.time), QString::number(k.mean, 'f', 2),
                            QString::number(k.calibratorLevel, 'f', 1),
                            signedHundredthsText(k.deviation),
                            age.isEmpty() ? QString() : QStringLiteral(", ") + age);
        };
        if (c.before)
            check(QStringLiteral("Check before:"), *c.before,
                  Wording::roughDuration(*c.beforeAgeS)
                      + QStringLiteral(" before the first reading"));
        else
            out << QStringLiteral("  %1 no check").arg(QStringLiteral("Check before:"), -14);
        for (const CalibrationRecord &k : c.during)
            check(QStringLiteral("Check during:"), k, QString());
        if (c.after)
            check(QStringLiteral("Check after:"), *c.after,
                  Wording::roughDuration(*c.afterAgeS) + QStringLiteral(" after the last reading"));
        else
            out << QStringLiteral("  %1 no check").arg(QStringLiteral("Check after:"), -14);
        if (c.drift)
            out << QStringLiteral("  %1 %2 dB")
                       .arg(QStringLiteral("Drift:"), -14)
                       .arg(signedHundredthsText(*c.drift));
        if (c.maxAgeS)
            out << QStringLiteral("  %1 %2")
                       .arg(QStringLiteral("Max age:"), -14)
                       .arg(Wording::roughDuration(*c.maxAgeS));
        if (c.kind == CalibrationVerdict::NotVerified)
            out << QStringLiteral("  %1 %2")
                       .arg(QStringLiteral("Why:"), -14)
                       .arg(c.notVerifiedWhy());
    }
    for (const QString &line : troubleLines(r))
        out << line;
    out << exclusionLines(r);
    out << weatherLines(r);
    out << eventLines(r);
    out << assessmentLines(r);
    out << QStringLiteral("Method:");
    for (const QString &line : reportMethod(r))
        out << QStringLiteral("  ") + line;
    out << QString();
}

} // namespace OutputRules
