#include "LevelText.h"

#include "platform/ReadingRows.h"
#include "recording/LevelNumber.h"

namespace {

// "55.3", "105.0": the meter's own form, read in tenths without the general
// number parser; -1 for any other text.
int plainTenths(QStringView text)
{
    const qsizetype n = text.size();
    if (n < 3 || n > 5 || text[n - 2] != u'.')
        return -1;
    int tenths = 0;
    for (qsizetype i = 0; i < n; ++i) {
        if (i == n - 2)
            continue;
        const char16_t c = text[i].unicode();
        if (c < u'0' || c > u'9')
            return -1;
        tenths = tenths * 10 + (c - u'0');
    }
    return tenths;
}

} // namespace

LevelTextClass classifyLevelText(QStringView text)
{
    if (const int tenths = plainTenths(text); tenths >= 0) {
        // Tenths over ten is the double the text reads as.
        const double value = double(tenths) / 10.0;
        return value >= OverRangeLevel ? LevelTextClass { LevelKind::OverRange, OverRangeLevel }
                                       : LevelTextClass { LevelKind::Ordinary, value };
    }
    if (isDamagedLevelText(text))
        return { LevelKind::Damaged, 0.0 };
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
