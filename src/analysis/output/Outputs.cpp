#include "analysis/output/Outputs.h"

#include "analysis/Wording.h"
#include "analysis/output/OutputRules.h"
#include "analysis/records/CivilTime.h"
#include "recording/FormatTenths.h"

using namespace OutputRules;

QString intervalCsvHeader()
{
    return QStringLiteral("file,start,end,readings,coverage,leq,lmax,lmin,l10,l50,l90");
}

QString limitCsvHeader()
{
    return QStringLiteral(",limit,state");
}

QStringList limitCsvFields(const IntervalLevel &i)
{
    return { i.limit ? QString::number(*i.limit) : QString(), i.stateText() };
}

QStringList intervalCsvFields(const QString &file, const IntervalLevel &i)
{
    return { file,
             isoStart(i),
             isoEnd(i),
             QString::number(i.readings),
             fixed2(i.coverage),
             fixed2(i.leq),
             fixed2(i.lmax),
             fixed2(i.lmin),
             fixed2(i.l10),
             fixed2(i.l50),
             fixed2(i.l90) };
}

QString formatReports(const std::vector<FileFigures> &reports, OutputFormat format)
{
    switch (format) {
    case OutputFormat::Csv:
        return formatCsv(reports);
    case OutputFormat::Json: {
        QStringList items;
        for (const FileFigures &r : reports) {
            const CivilTime::ZoneScope zone(r.zone);
            items << jsonReport(r);
        }
        return QStringLiteral("[\n") + items.join(QStringLiteral(",\n")) + QStringLiteral("\n]\n");
    }
    case OutputFormat::Text:
        break;
    }
    QStringList out;
    for (const FileFigures &r : reports) {
        const CivilTime::ZoneScope zone(r.zone);
        appendText(out, r);
    }
    return out.join(QLatin1Char('\n'));
}
