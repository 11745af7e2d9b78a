#include "panel/gui/TimedIntegrationBoard.h"
#include "recording/TimedIntegration.h"

#include <QApplication>

#include <gtest/gtest.h>

namespace {

TEST(TimedLeqBoard, FollowsTheIntegrationThroughItsStates)
{
    TimedIntegration integration;
    TimedIntegrationBoard board(integration);
    EXPECT_EQ(board.title(), "Timed Leq");
    EXPECT_EQ(board.accessibleName(), "Timed Leq");
    EXPECT_EQ(board.text(), "Off");

    integration.toggle(*ReadLeqPeriod("0:1:5"), 0);
    EXPECT_EQ(board.text(), "00:01:05 running, 00:01:05 left");
    integration.addSecond(80.0);
    EXPECT_EQ(board.text(), "00:01:05 running, 00:01:04 left");
    for (int i = 1; i < 65; ++i)
        integration.addSecond(80.0);
    EXPECT_EQ(board.text(), "Leq 80.0 dB  SEL 98.1 dB\nover 00:01:05");

    integration.toggle(*ReadLeqPeriod("0:0:2"), 0);
    integration.addSecond(60.0);
    integration.addSecond(60.0);
    EXPECT_EQ(board.text(), "Leq 60.0 dB  SEL 63.0 dB\nover 00:00:02");
    // A new run shows its countdown; stopping it brings the last result back.
    integration.toggle(*ReadLeqPeriod("0:0:9"), 0);
    EXPECT_EQ(board.text(), "00:00:09 running, 00:00:09 left");
    integration.toggle(*ReadLeqPeriod("0:0:9"), 0);
    EXPECT_EQ(board.text(), "Leq 60.0 dB  SEL 63.0 dB\nover 00:00:02");
}

TEST(TimedLeqBoard, TenthsAreTruncatedNotRounded)
{
    TimedIntegration integration;
    integration.toggle(*ReadLeqPeriod("0:0:1"), 0);
    integration.addSecond(85.37);
    EXPECT_EQ(TimedIntegrationBoard::textOf(integration),
              "Leq 85.3 dB  SEL 85.3 dB\nover 00:00:01");
}

} // namespace

int main(int argc, char **argv)
{
    // Also when run by hand without a display.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
