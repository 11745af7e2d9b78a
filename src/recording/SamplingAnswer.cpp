#include "SamplingAnswer.h"

#include <QLocale>

#include <algorithm>
#include <cmath>

SamplingAnswer ReadSamplingAnswer(const QString &answer, int maxSeconds)
{
    const QString trimmed = answer.trimmed();
    if (trimmed.isEmpty())
        return {};
    bool ok = false;
    QLocale c = QLocale::c();
    c.setNumberOptions(QLocale::RejectGroupSeparator);
    const double value = c.toDouble(trimmed, &ok);
    if (!ok || !std::isfinite(value))
        return { SamplingAnswer::Kind::NotANumber, 0 };
    // The bounds are whole numbers, so clamping before rounding gives the same
    // result as after it and keeps huge answers away from the int conversion.
    const double clamped = std::clamp(value, 1.0, double(maxSeconds));
    // Rounds half to even, as the default floating-point rounding mode does.
    return { SamplingAnswer::Kind::Seconds, int(std::nearbyint(clamped)) };
}

QString SamplingPrompt(int maxSeconds)
{
    return QStringLiteral("Enter the SAMPLING TIME in seconds\r\n(1 <= t <= %1 ) ").arg(maxSeconds);
}
