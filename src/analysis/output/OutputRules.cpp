#include "analysis/output/OutputRules.h"

#include "analysis/records/CivilTime.h"

#include <cmath>

namespace OutputRules {

QString kindName(DataFileKind kind)
{
    switch (kind) {
    case DataFileKind::RealTime:
        return QStringLiteral("Real Time");
    case DataFileKind::DataLogger:
        return QStringLiteral("Data Logger");
    case DataFileKind::Headerless:
        break;
    }
    return QStringLiteral("headerless list");
}

QString isoStart(const IntervalLevel &i)
{
    return CivilTime::toIso(i.start) + CivilTime::offsetText(i.startOffset);
}
QString isoEnd(const IntervalLevel &i)
{
    return CivilTime::toIso(i.end) + CivilTime::offsetText(i.endOffset);
}
QString isoOfStamp(const QString &stamp)
{
    const auto t = CivilTime::parseStamp(stamp);
    return t ? CivilTime::toIsoWithOffset(*t) : stamp;
}

double lnValue(const ListDistribution &d, int m)
{
    const int k = d.LnClass[size_t(m)];
    return d.mode == ResolutionMode::Tenth ? k / 10.0 : double(k);
}

} // namespace OutputRules
