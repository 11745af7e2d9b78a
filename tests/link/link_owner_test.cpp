#include "link/LinkOwner.h"
#include "support/FakeSerialPort.h"
#include "platform/Delay.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QStringList>

#include <gtest/gtest.h>

namespace {

const QByteArray Live("\x02\x01\x20\x03\x52\x03", 6);

class LinkOwnerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(port.open(1));
        QObject::connect(&link, &LinkOwner::longExchangeChanged,
                         [this](bool running) { longChanges.push_back(running); });
    }

    FakeSerialPort port;
    LinkOwner link { port };
    std::vector<bool> longChanges;
};

TEST_F(LinkOwnerTest, OneHoldAtATime)
{
    {
        const auto first = link.tryHold(Exchange::Poll);
        ASSERT_TRUE(first);
        EXPECT_FALSE(link.tryHold(Exchange::Key));
        EXPECT_EQ(link.holder(), Exchange::Poll);
    }
    EXPECT_FALSE(link.held());
    EXPECT_TRUE(link.tryHold(Exchange::Key));
}

TEST_F(LinkOwnerTest, SilenceForTheLimitAnyHolderMarksTheLinkLostOnce)
{
    struct
    {
        const char *name;
        Exchange exchange;
        int holdMs;
        std::vector<int> framesAtMs;
        bool lost;
    } const rows[] = {
        { "short quiet exchange", Exchange::Setting, 30, {}, false },
        { "meter answering during a long hold",
          Exchange::Download,
          1300,
          { 200, 500, 800, 1100 },
          false },
        { "key waiting a second in vain", Exchange::Key, 1050, {}, true },
        { "clock read silent after one byte", Exchange::ClockRead, 1250, { 100 }, true },
    };
    for (const auto &row : rows) {
        LinkOwner owner(port);
        int announced = 0;
        QObject::connect(&owner, &LinkOwner::linkLost, [&] { ++announced; });
        for (const int at : row.framesAtMs)
            port.feedAfter(at, Live);
        {
            const auto hold = owner.tryHold(row.exchange);
            QElapsedTimer since;
            since.start();
            while (since.elapsed() < row.holdMs) {
                Delay(0.01);
                hold->port().readAll();
            }
        }
        EXPECT_EQ(owner.lost(), row.lost) << row.name;
        Delay(0.02);
        EXPECT_EQ(announced, row.lost ? 1 : 0) << row.name;
        if (row.lost) {
            const auto again = owner.tryHold(Exchange::Recovery);
            again->meterSilent();
        }
        Delay(0.02);
        EXPECT_EQ(announced, row.lost ? 1 : 0) << row.name << ": announced once";
    }
}

TEST_F(LinkOwnerTest, APollRightAfterACommandMayHearNothingTheNextOneMayNot)
{
    // The meter holds its live frames for a while after a command.
    {
        const auto command = link.tryHold(Exchange::Setting);
        command->port().write("G");
    }
    link.tryHold(Exchange::Poll)->meterSilent();
    EXPECT_FALSE(link.lost());
    Delay(1.0);
    link.tryHold(Exchange::Poll)->meterSilent();
    EXPECT_TRUE(link.lost());
}

TEST_F(LinkOwnerTest, AnExchangeCanSayTheMeterIsSilentAndTheLinkComesBack)
{
    link.tryHold(Exchange::Poll)->meterSilent();
    EXPECT_TRUE(link.lost());
    bool back = false;
    QObject::connect(&link, &LinkOwner::linkBack, [&] { back = true; });
    link.setLinkBack();
    EXPECT_TRUE(back);
    EXPECT_FALSE(link.lost());
}

TEST_F(LinkOwnerTest, WaitingActionsRunInOrderAfterTheHoldEndsAtMostEight)
{
    QStringList ran;
    {
        const auto hold = link.tryHold(Exchange::Poll);
        for (int i = 1; i <= 9; ++i)
            link.whenFree(Exchange::Key, [&ran, i] { ran << QString::number(i); });
        EXPECT_EQ(link.waiting(), LinkOwner::MaxWaiting);
        Delay(0.02);
        EXPECT_TRUE(ran.isEmpty()); // nothing runs while the link is held
    }
    Delay(0.02);
    EXPECT_EQ(ran, QStringList({ "1", "2", "3", "4", "5", "6", "7", "8" }));

    ran.clear();
    link.whenFree(Exchange::Key, [&ran] { ran << "now"; });
    EXPECT_EQ(ran, QStringList({ "now" })); // a free link runs it at once
}

TEST_F(LinkOwnerTest, KeysAndLettersAreRefusedWhileLostAndWaitingOnesDropped)
{
    QStringList ran;
    {
        const auto hold = link.tryHold(Exchange::Poll);
        link.whenFree(Exchange::Key, [&ran] { ran << "key"; });
        link.whenFree(Exchange::ClockRead, [&ran] { ran << "clock"; });
        hold->meterSilent();
    }
    EXPECT_FALSE(link.whenFree(Exchange::Setting, [&ran] { ran << "letter"; }));
    EXPECT_FALSE(link.whenFree(Exchange::Key, [&ran] { ran << "key"; }));
    Delay(0.02);
    EXPECT_EQ(ran, QStringList({ "clock" }));
}

TEST_F(LinkOwnerTest, TheRestOfAStreamNobodyReadsIsDroppedUntilTheLineIsQuiet)
{
    // Frame-shaped memory bytes every 50 ms up to 600 ms, then the meter's
    // own frame after half a second of quiet.
    for (int at = 0; at <= 600; at += 50)
        port.feedAfter(at, QByteArray("\x02\x03\x02\x03\x02\x03", 6));
    port.feedAfter(1500, Live);
    QElapsedTimer clock;
    clock.start();
    link.tryHold(Exchange::Download)->meterKeepsSending();

    QByteArray heard;
    {
        // A poll that hears nothing on a line busy with that stream does not
        // take the meter for silent.
        const auto hold = link.tryHold(Exchange::Poll);
        while (clock.elapsed() < 900) {
            Delay(0.02);
            heard += hold->port().readAll();
        }
        hold->meterSilent();
    }
    EXPECT_TRUE(heard.isEmpty()) << heard.toHex(' ').toStdString();
    EXPECT_FALSE(link.lost());
    while (clock.elapsed() < 1800)
        Delay(0.05);
    EXPECT_EQ(link.tryHold(Exchange::Poll)->port().readAll(), Live);
}

TEST_F(LinkOwnerTest, LongExchangesAreAnnouncedShortOnesNot)
{
    link.tryHold(Exchange::Poll);
    link.tryHold(Exchange::Key);
    link.tryHold(Exchange::Download);
    link.tryHold(Exchange::Erase);
    EXPECT_EQ(longChanges, std::vector<bool>({ true, false, true, false }));
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
