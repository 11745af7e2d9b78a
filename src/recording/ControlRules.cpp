#include "ControlRules.h"

#include <QStringList>

bool ToolbarButtonUsesLink(const QString &key)
{
    // The calibration check sends nothing but needs the live frames that a
    // long exchange stops.
    static const QStringList linkKeys { "Sampling", "AC",     "FSI",   "Up",         "Down",
                                        "RTC",      "Memory", "Erase", "Calibration" };
    return linkKeys.contains(key);
}

bool ToolbarButtonUsable(const QString &key, const ControlSituation &situation)
{
    // A download holds the link for up to an hour: nothing may cut into it.
    if (situation.longExchange && ToolbarButtonUsesLink(key))
        return false;
    if (key == u"Up")
        return situation.canRangeUp;
    if (key == u"Down")
        return situation.canRangeDown;
    return true;
}

bool KeypadUsable(const ControlSituation &situation)
{
    return !situation.longExchange;
}
