#include "LevelText.h"

#include "ui/core/ReadingRows.h"

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

LevelTextClass classifyRowLevel(const ReadingRows &rows, qsizetype row)
{
    const int tenths = rows.levelTenths(row);
    if (tenths < 0)
        return classifyLevelText(rows.level(row));
    if (rows.levelMarked(row))
        return { LevelKind::Marked, 0.0 };
    // Tenths over ten is the double the text reads as: both are the nearest
    // double to the same decimal.
    const double value = double(tenths) / 10.0;
    if (value >= OverRangeLevel)
        return { LevelKind::OverRange, OverRangeLevel };
    return { LevelKind::Ordinary, value };
}
