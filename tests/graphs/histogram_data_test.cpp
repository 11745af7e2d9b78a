#include "QtPrinting.h"
#include "graphs/GraphRanges.h"
#include "graphs/HistogramData.h"

#include <gtest/gtest.h>

namespace {

std::vector<int64_t> countsWith(std::size_t size,
                                std::initializer_list<std::pair<int, int64_t>> set)
{
    std::vector<int64_t> counts(size, 0);
    for (const auto &[index, count] : set)
        counts[std::size_t(index)] = count;
    return counts;
}

TEST(HistogramPointsTest, TenthClassesSitOnTheirLevelWholeClassesCoverTheirDecibel)
{
    const std::vector<int64_t> counts = countsWith(1401, { { 650, 3 }, { 653, 1 } });
    const HistogramPoints tenth = histogramPoints(counts, listHistogramFirstX(ClassWidth::Tenth));
    const HistogramPoints whole = histogramPoints(counts, listHistogramFirstX(ClassWidth::Whole));
    ASSERT_EQ(tenth.x.size(), 1401u);
    // A 65.0 dB reading is drawn at 65.0 on the dB axis, as the live histogram draws it.
    EXPECT_DOUBLE_EQ(tenth.x[650], 650.0);
    EXPECT_DOUBLE_EQ(tenth.x[653], 653.0);
    // The 1 dB class 65 holds 65.0 up to 66.0: its bar is centred between them.
    EXPECT_DOUBLE_EQ(whole.x[65], 65.5);
    EXPECT_DOUBLE_EQ(tenth.y[650], 3.0);
    EXPECT_DOUBLE_EQ(whole.y[653], 1.0);
}

TEST(OccupiedClassesTest, FindsFirstAndLastClassZeroIncluded)
{
    struct Case
    {
        const char *name;
        std::vector<int64_t> counts;
        std::optional<std::pair<int, int>> expected;
    };
    const std::vector<Case> cases {
        { "TwoClasses", countsWith(146, { { 48, 2 }, { 71, 5 } }), std::pair { 48, 71 } },
        { "ClassZeroCounts", countsWith(146, { { 0, 9 }, { 60, 1 } }), std::pair { 0, 60 } },
        { "TopClass", countsWith(146, { { 25, 1 }, { 145, 1 } }), std::pair { 25, 145 } },
        { "OnlyClassZero", countsWith(146, { { 0, 4 } }), std::pair { 0, 0 } },
        { "Empty", countsWith(146, {}), std::nullopt },
        { "NoClasses", {}, std::nullopt },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const std::optional<OccupiedClasses> found = occupiedClasses(c.counts);
        ASSERT_EQ(found.has_value(), c.expected.has_value());
        if (found) {
            EXPECT_EQ(found->first, c.expected->first);
            EXPECT_EQ(found->last, c.expected->second);
        }
    }
}

TEST(HistogramYMaximumTest, LeavesRoomAboveAndNeverCollapses)
{
    EXPECT_GT(histogramYMaximum(countsWith(10, { { 3, 40 } })), 40.0);
    EXPECT_DOUBLE_EQ(histogramYMaximum(countsWith(10, {})), 1.0);
    EXPECT_DOUBLE_EQ(histogramYMaximum({}), 1.0);
}

TEST(LnTable, HeaderAndRowsCarryTheExactTexts)
{
    std::array<QString, 100> ln;
    for (int m = 0; m < 100; ++m)
        ln[std::size_t(m)] = QString::number(100 - m) + QStringLiteral(".0");
    ln[50] = QStringLiteral("61.2");

    EXPECT_EQ(lnTableHeader(),
              (QStringList { "Ln", " 0", " 1", " 2", " 3", " 4", " 5", " 6", " 7", " 8", " 9" }));
    const std::vector<QStringList> rows = lnTableRows(ln);
    ASSERT_EQ(rows.size(), 10u);
    const QStringList labels { "L(00)", "L(10)", "L(20)", "L(30)", "L(40)",
                               "L(50)", "L(60)", "L(70)", "L(80)", "L(90)" };
    for (int t = 0; t < 10; ++t) {
        ASSERT_EQ(rows[std::size_t(t)].size(), 11);
        EXPECT_EQ(rows[std::size_t(t)][0], labels[t]);
    }
    EXPECT_EQ(rows[5][1], QStringLiteral("61.2")); // L(50)
    EXPECT_EQ(rows[0][1], QStringLiteral("100.0")); // L(0)
    EXPECT_EQ(rows[9][10], QStringLiteral("1.0")); // L(99)
    EXPECT_EQ(rows[3][8], QStringLiteral("63.0")); // L(37)
}

TEST(CountsFromClassZeroTest, PlacesTheInputAtItsFirstClass)
{
    HistogramInput input;
    input.counts = { 1, 2, 3 };
    input.firstClassIndex = 250;
    const std::vector<int64_t> counts = countsFromClassZero(input);
    ASSERT_EQ(counts.size(), 253u);
    EXPECT_EQ(counts[249], 0);
    EXPECT_EQ(counts[250], 1);
    EXPECT_EQ(counts[252], 3);

    input.firstClassIndex = -1; // a class below 0 cannot be drawn
    EXPECT_EQ(countsFromClassZero(input), (std::vector<int64_t> { 2, 3 }));
}

TEST(ListResetRanges, SpanEveryReadingAndTheFullLevelScale)
{
    EXPECT_EQ(listResetXSpan(348000), (AxisSpan { 1.0, 348000.0 }));
    EXPECT_EQ(listResetYSpan(), (AxisSpan { 25.0, 145.0 }));
}

} // namespace
