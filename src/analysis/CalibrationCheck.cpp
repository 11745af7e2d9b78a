#include "CalibrationCheck.h"

#include "link/MeterReading.h"

#include <QLocale>

#include <algorithm>
#include <cmath>

long long calibrationHundredths(double v)
{
    return std::llround(std::fabs(v) * 100.0);
}

bool withinTolerance(double value, double tolerance)
{
    return calibrationHundredths(value) <= calibrationHundredths(tolerance);
}

QString signedHundredthsText(double v)
{
    return (v >= 0 ? QStringLiteral("+") : QString()) + QString::number(v, 'f', 2);
}

QString stableCheckText(bool withinTheTolerance)
{
    return withinTheTolerance ? QStringLiteral("Stable, within the tolerance")
                              : QStringLiteral("Stable, but outside the tolerance");
}

CalibrationCheck::CalibrationCheck(double calibratorLevel)
    : m_calibratorLevel(calibratorLevel)
{
}

void CalibrationCheck::add(std::optional<double> level)
{
    ++m_readings;
    if (!level) {
        ++m_withoutNumber;
        return;
    }
    m_sum += *level;
    m_lowest = m_lowest ? std::min(*m_lowest, *level) : *level;
    m_highest = m_highest ? std::max(*m_highest, *level) : *level;
}

std::optional<double> CalibrationCheck::mean() const
{
    const int counted = m_readings - m_withoutNumber;
    if (counted <= 0)
        return std::nullopt;
    return m_sum / counted;
}

CalibrationCheck::Result CalibrationCheck::result() const
{
    Result r;
    r.readings = m_readings;
    if (const auto m = mean()) {
        r.measured = true;
        r.mean = *m;
        r.lowest = *m_lowest;
        r.highest = *m_highest;
        r.deviation = r.mean - m_calibratorLevel;
    }
    if (m_linkLost)
        r.why = QStringLiteral("The link to the meter was lost during the check.");
    else if (m_withoutNumber > 0)
        r.why = QStringLiteral("%1 of the readings had no number (over or under range): is the "
                               "range right for the calibrator?")
                    .arg(m_withoutNumber);
    else if (m_readings == 0)
        r.why = QStringLiteral("The meter sent no reading.");
    else if (calibrationHundredths(r.highest - r.lowest) > calibrationHundredths(StableSpread))
        r.why = QStringLiteral("The readings spread over %1 dB, more than %2 dB: is the "
                               "calibrator seated on the microphone?")
                    .arg(QString::number(r.highest - r.lowest, 'f', 2),
                         QString::number(StableSpread, 'f', 1));
    r.stable = r.why.isEmpty();
    return r;
}

std::optional<double> calibrationLevelOf(const QString &levelText)
{
    QString text = levelText.trimmed();
    if (text.endsWith(QLatin1Char('*')))
        text.chop(1);
    bool ok = false;
    const double value = QLocale::c().toDouble(text, &ok);
    return ok ? std::optional(value) : std::nullopt;
}

std::optional<double> calibrationLevelOf(const MeterReading &reading)
{
    if (reading.Over || reading.Under)
        return std::nullopt;
    return calibrationLevelOf(reading.LevelText);
}
