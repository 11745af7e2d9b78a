#include "LevelText.h"

LevelTextClass classifyLevelText(QStringView text)
{
    if (text.contains(u'*'))
        return { LevelKind::Marked, 0.0 };
    if (text.contains(u'-'))
        return { LevelKind::UnderRange, UnderRangeLevel };
    if (text.contains(u'L'))
        return { LevelKind::OverRange, OverRangeLevel };
    const double value = leadingLevelValue(text);
    if (value >= OverRangeLevel)
        return { LevelKind::OverRange, OverRangeLevel };
    return { LevelKind::Ordinary, value };
}
