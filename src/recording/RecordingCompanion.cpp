#include "RecordingCompanion.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace {

// Sums are kept as text with every digit, so a finished file's Leq is the
// one the running program would have written.
QString exactNumber(double value)
{
    return QString::number(value, 'g', 17);
}

} // namespace

QByteArray RecordingCompanion::toBytes() const
{
    QJsonObject o;
    o[QLatin1String("target")] = TargetPath;
    o[QLatin1String("started")] = Started.toString(Qt::ISODate);
    o[QLatin1String("interval")] = SampleInterval;
    o[QLatin1String("freqWeighting")] = FreqWeighting;
    o[QLatin1String("timeWeighting")] = TimeWeighting;
    o[QLatin1String("levelRange")] = LevelRange;
    o[QLatin1String("records")] = QString::number(Records);
    if (HasSums) {
        o[QLatin1String("count")] = QString::number(Count);
        o[QLatin1String("energy")] = exactNumber(Energy);
    }
    o[QLatin1String("maxText")] = MaxText;
    o[QLatin1String("maxTime")] = MaxTime;
    o[QLatin1String("sel")] = SelText;
    o[QLatin1String("leq")] = LeqText;
    return QJsonDocument(o).toJson(QJsonDocument::Indented);
}

std::optional<RecordingCompanion> RecordingCompanion::fromBytes(const QByteArray &bytes)
{
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return std::nullopt;
    const QJsonObject o = doc.object();
    const auto text = [&](const char *key) { return o.value(QLatin1String(key)).toString(); };
    RecordingCompanion c;
    c.TargetPath = text("target");
    c.Started = QDateTime::fromString(text("started"), Qt::ISODate);
    c.SampleInterval = o.value(QLatin1String("interval")).toInt(1);
    c.FreqWeighting = text("freqWeighting");
    c.TimeWeighting = text("timeWeighting");
    c.LevelRange = text("levelRange");
    c.Records = text("records").toLongLong();
    bool countOk = false;
    bool energyOk = false;
    c.Count = text("count").toLongLong(&countOk);
    c.Energy = text("energy").toDouble(&energyOk);
    c.HasSums = countOk && energyOk;
    if (!c.HasSums) {
        c.Count = 0;
        c.Energy = 0.0;
    }
    c.MaxText = text("maxText");
    c.MaxTime = text("maxTime");
    c.SelText = text("sel");
    c.LeqText = text("leq");
    return c;
}
