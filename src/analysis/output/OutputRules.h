#pragma once

#include "analysis/Wording.h"
#include "analysis/engine/FileFigures.h"
#include "recording/DataFileReader.h"

// The rules the text, CSV and JSON outputs word their figures by, named once
// for the three of them.
namespace OutputRules {

QString kindName(DataFileKind kind);
// Two decimals with a point, "" when missing: the CSV's and JSON's figures.
inline QString fixed2(double v)
{
    return Wording::hundredths(v);
}
inline QString fixed2(const std::optional<double> &v)
{
    return Wording::orMissing(v, Wording::hundredths, Wording::Missing::Empty);
}
// A level cut to tenths, "-" when missing: the text output's tables.
inline QString tenths(const std::optional<double> &v)
{
    return Wording::orMissing(v, Wording::tenthsCut, Wording::Missing::Dash);
}
// One decimal rounded, or the form of a missing figure: weather, events,
// periods.
inline QString rounded(const std::optional<double> &v, Wording::Missing kind)
{
    return Wording::orMissing(v, Wording::tenthsRounded, kind);
}
inline QString percent(double share)
{
    return Wording::percent(share);
}
using Wording::shareOf;
// An interval's start and end with their UTC offsets.
QString isoStart(const IntervalLevel &i);
QString isoEnd(const IntervalLevel &i);
// A file's stamp as ISO 8601 with its offset, or as it stands when unread.
QString isoOfStamp(const QString &stamp);
// L(m) of a distribution as a number, in its classes' unit.
double lnValue(const ListDistribution &d, int m);

void appendText(QStringList &out, const FileFigures &r);
QString formatCsv(const std::vector<FileFigures> &reports);
QString jsonReport(const FileFigures &r);

} // namespace OutputRules
