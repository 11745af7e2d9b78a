#include "link/LiveFrame.h"
#include "live/PanelDisplay.h"

#include <gtest/gtest.h>

namespace {

MeterReading readingOf(int rangeByte, int modeByte, int high, int low)
{
    MeterReading r;
    DecodeRangeByte(uint8_t(rangeByte), r);
    DecodeModeByte(uint8_t(modeByte), r);
    DecodeLevel(uint8_t(high), uint8_t(low), r);
    return r;
}

struct FigureCase
{
    const char *name;
    int rangeByte;
    int levelTenths;
    double bar;
    const char *figure;
};

class FigureAndBar : public ::testing::TestWithParam<FigureCase>
{
};

TEST_P(FigureAndBar, FollowTheRange)
{
    const FigureCase &c = GetParam();
    const PanelDisplay d = NextPanelDisplay(
        {}, readingOf(c.rangeByte, 0x00, c.levelTenths >> 8, c.levelTenths & 0xFF));
    EXPECT_DOUBLE_EQ(d.barValue, c.bar);
    EXPECT_EQ(d.lcdText, QString::fromLatin1(c.figure));
}

INSTANTIATE_TEST_SUITE_P(
    Levels, FigureAndBar,
    ::testing::Values(FigureCase { "FarBelowRange", 0x05, 249, 30.0, "- - -" },
                      FigureCase { "ExactlyFiveBelow", 0x05, 250, 30.0, "25.0" },
                      FigureCase { "InRange", 0x05, 654, 65.4, "65.4" },
                      FigureCase { "AboveTop", 0x00, 1500, 140.0, "150.0" },
                      FigureCase { "AtTop", 0x00, 1400, 140.0, "140.0" },
                      FigureCase { "MarkedBelowRange", 0x00, 0x8000 + 749, 80.0, "- - -" },
                      FigureCase { "MarkedInRange", 0x00, 0x8000 + 1375, 137.5, "137.5*" }),
    [](const auto &info) { return std::string(info.param.name); });

TEST(PanelDisplay, UpAndDownFollowTheRangeEnds)
{
    const struct
    {
        int rangeByte;
        bool up, down;
        const char *min, *max, *board;
    } cases[] = {
        { 0x00, false, true, "80", "140", "80-140" },
        { 0x05, true, false, "30", "90", "30-90" },
        { 0x01, true, true, "70", "130", "70-130" },
        { 0x04, true, true, "40", "100", "40-100" },
    };
    for (const auto &c : cases) {
        const PanelDisplay d = NextPanelDisplay({}, readingOf(c.rangeByte, 0, 0x03, 0x52));
        EXPECT_EQ(d.upEnabled, c.up) << c.rangeByte;
        EXPECT_EQ(d.downEnabled, c.down) << c.rangeByte;
        EXPECT_EQ(d.barMinText, QString::fromLatin1(c.min));
        EXPECT_EQ(d.barMaxText, QString::fromLatin1(c.max));
        EXPECT_EQ(d.boardLevel, QString::fromLatin1(c.board));
        EXPECT_DOUBLE_EQ(d.barMinimum, QString::fromLatin1(c.min).toDouble());
        EXPECT_DOUBLE_EQ(d.barMaximum, QString::fromLatin1(c.max).toDouble());
    }
}

TEST(PanelDisplay, FilterBlinksTheAEveryPollAndNamesTheFilter)
{
    PanelDisplay d;
    ASSERT_TRUE(d.caVisible);
    const MeterReading filter = readingOf(0x00, 0x61, 0x03, 0x52);
    for (bool expected : { false, true, false, true }) {
        d = NextPanelDisplay(d, filter);
        EXPECT_EQ(d.caVisible, expected);
        EXPECT_EQ(d.caText, QStringLiteral("A"));
        EXPECT_EQ(d.boardCA, QStringLiteral("20-200Hz Filter"));
    }
    d = NextPanelDisplay(d, readingOf(0x00, 0x20, 0x03, 0x52)); // C weighting
    EXPECT_TRUE(d.caVisible);
    EXPECT_EQ(d.caText, QStringLiteral("C"));
    EXPECT_EQ(d.boardCA, QStringLiteral("C"));
}

TEST(PanelDisplay, EmptyTimeWeightingKeepsTheIndicatorsAndEmptiesTheBoard)
{
    PanelDisplay d = NextPanelDisplay({}, readingOf(0, 0x02, 0x03, 0x52)); // IMP
    EXPECT_TRUE(d.impVisible);
    EXPECT_FALSE(d.fastVisible);
    EXPECT_FALSE(d.slowVisible);
    EXPECT_EQ(d.boardSFI, QStringLiteral("IMP"));
    d = NextPanelDisplay(d, readingOf(0, 0x03, 0x03, 0x52)); // index 3
    EXPECT_TRUE(d.impVisible);
    EXPECT_FALSE(d.fastVisible);
    EXPECT_FALSE(d.slowVisible);
    EXPECT_EQ(d.boardSFI, QString());
    d = NextPanelDisplay(d, readingOf(0, 0x01, 0x03, 0x52)); // SLOW
    EXPECT_TRUE(d.slowVisible);
    EXPECT_FALSE(d.impVisible);
}

TEST(PanelDisplay, FlagsLightTheirIndicators)
{
    const PanelDisplay d = NextPanelDisplay({}, readingOf(0x80, 0x94, 0x03, 0x52));
    EXPECT_TRUE(d.overVisible);
    EXPECT_TRUE(d.underVisible);
    EXPECT_TRUE(d.runVisible);
    EXPECT_FALSE(d.pauseVisible);
    EXPECT_TRUE(d.stopVisible);
    const PanelDisplay quiet = NextPanelDisplay(d, readingOf(0x00, 0x08, 0x03, 0x52));
    EXPECT_FALSE(quiet.overVisible);
    EXPECT_FALSE(quiet.underVisible);
    EXPECT_FALSE(quiet.runVisible);
    EXPECT_TRUE(quiet.pauseVisible);
}

TEST(PanelDisplay, RangeSixKeepsTheRangeOfTheReading)
{
    MeterReading r = readingOf(0x02, 0, 0x03, 0x52);
    DecodeRangeByte(0x06, r);
    const PanelDisplay d = NextPanelDisplay({}, r);
    EXPECT_EQ(d.boardLevel, QStringLiteral("60-120"));
}

TEST(PanelCaption, TogglesBackAfterTwoClicks)
{
    EXPECT_EQ(PanelCaption(false), QStringLiteral("Panel   V8.02"));
    EXPECT_EQ(PanelCaption(true), QStringLiteral("Panel   V8.02   130313"));
}

} // namespace

int main(int argc, char **argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
