#include "link/ClockExchange.h"
#include "support/FakeSerialPort.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

namespace {

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray out;
    for (int v : values)
        out.append(char(v));
    return out;
}

QDateTime at(int year, int month, int day, int hour, int minute, int second)
{
    return QDateTime(QDate(year, month, day), QTime(hour, minute, second));
}

TEST(ClockField, ShowsHexDigitsPaddedOnlyWhenDecimal)
{
    const struct
    {
        int byte;
        const char *text;
    } rows[] = { { 0x09, "09" }, { 0x13, "13" }, { 0x00, "00" }, { 0x59, "59" }, { 0x99, "99" },
                 { 0x1A, "1A" }, { 0x0A, "A" },  { 0xFF, "FF" }, { 0xA0, "A0" }, { 0x0F, "F" } };
    for (const auto &row : rows)
        EXPECT_EQ(ClockFieldText(quint8(row.byte)), QString::fromLatin1(row.text))
            << "byte 0x" << std::hex << row.byte;
}

TEST(ClockReply, FirstSixBytesGiveYearFirstText)
{
    EXPECT_EQ(ClockTextFromReply(bytes({ 0x09, 0x05, 0x08, 0x13, 0x03, 0x13 })),
              "2013/03/13 08:05:09");
    // Only the first six count; anything after them is ignored.
    EXPECT_EQ(ClockTextFromReply(bytes({ 0x59, 0x59, 0x23, 0x31, 0x12, 0x99, 0x02, 0x03 })),
              "2099/12/31 23:59:59");
    EXPECT_EQ(ClockTextFromReply(bytes({ 0x0A, 0x1A, 0x00, 0x01, 0x01, 0x00 })),
              "2000/01/01 00:1A:A");
}

TEST(ClockSet, SevenBytesSecondsFirstInBcdInOneWrite)
{
    const struct
    {
        const char *name;
        QDateTime time;
        QByteArray command;
    } rows[] = {
        { "morning", at(2013, 3, 13, 8, 5, 9),
          bytes({ 0x42, 0x09, 0x05, 0x08, 0x13, 0x03, 0x13 }) },
        { "last second", at(2099, 12, 31, 23, 59, 59),
          bytes({ 0x42, 0x59, 0x59, 0x23, 0x31, 0x12, 0x99 }) },
        { "century start", at(2000, 1, 1, 0, 0, 0), bytes({ 0x42, 0, 0, 0, 0x01, 0x01, 0x00 }) },
        { "next century", at(2107, 10, 20, 19, 40, 30),
          bytes({ 0x42, 0x30, 0x40, 0x19, 0x20, 0x10, 0x07 }) },
    };
    for (const auto &row : rows) {
        FakeSerialPort port;
        port.open(1);
        SetMeterClock(port, row.time);
        ASSERT_EQ(port.writes().size(), 1u) << row.name;
        EXPECT_EQ(port.written().toHex(' '), row.command.toHex(' ')) << row.name;
    }
}

TEST(ClockSet, ReadsNothingBack)
{
    FakeSerialPort port;
    port.open(1);
    port.feed("stale");
    SetMeterClock(port, at(2013, 3, 13, 8, 5, 9));
    EXPECT_EQ(port.bytesWaiting(), 5);
}

TEST(ClockRead, DiscardsOldInputAsksAndReadsTheReply)
{
    FakeSerialPort port;
    port.open(1);
    port.feed(bytes({ 0x02, 0x11, 0x22, 0x33, 0x44, 0x03 }));
    port.setResponder([](const QByteArray &w) {
        return w == "I" ? bytes({ 0x09, 0x05, 0x08, 0x13, 0x03, 0x13 }) : QByteArray();
    });
    const auto text = ReadMeterClock(port);
    ASSERT_TRUE(text);
    EXPECT_EQ(*text, "2013/03/13 08:05:09");
    EXPECT_EQ(port.written(), "I");
}

TEST(ClockRead, AsksAgainWhileTheReplyIsShort)
{
    FakeSerialPort port;
    port.open(1);
    int asked = 0;
    port.setResponder([&asked](const QByteArray &) {
        ++asked;
        return asked < 3 ? bytes({ 0x09, 0x05, 0x08, 0x13, 0x03 })
                         : bytes({ 0x10, 0x20, 0x12, 0x01, 0x02, 0x14 });
    });
    const auto text = ReadMeterClock(port);
    ASSERT_TRUE(text);
    EXPECT_EQ(*text, "2014/02/01 12:20:10");
    EXPECT_EQ(port.written(), "III");
}

TEST(ClockRead, SilentMeterEndsWhenTheWaitIsCalledOff)
{
    FakeSerialPort port;
    port.open(1);
    const auto text = ReadMeterClock(port, [&port] { return port.writes().size() >= 4; });
    EXPECT_FALSE(text);
    EXPECT_EQ(port.written(), "IIII");
    // Each try waits for its reply in steps; the tries are paced, not spun.
    ASSERT_EQ(port.writes().size(), 4u);
    EXPECT_GE(port.writes().back().atMs - port.writes().front().atMs, 3 * 3 * 19);
}

TEST(ClockRead, LiveFramesAheadOfTheReplyArePassedOver)
{
    const QByteArray frame = bytes({ 0x02, 0x03, 0x04, 0x02, 0x8A, 0x03 });
    const QByteArray clock = bytes({ 0x09, 0x05, 0x08, 0x13, 0x03, 0x13 });
    const struct
    {
        const char *name;
        QByteArray atOnce;
        QByteArray later;
    } rows[] = {
        { "frame and reply in one read", frame + clock, {} },
        { "two frames, reply later", frame + frame, clock },
        { "frame now, reply later", frame, clock },
        { "reply then frame", clock + frame, {} },
    };
    for (const auto &row : rows) {
        FakeSerialPort port;
        port.open(1);
        port.setResponder([&](const QByteArray &) {
            port.feedAfter(5, row.atOnce);
            if (!row.later.isEmpty())
                port.feedAfter(30, row.later);
            return QByteArray();
        });
        const auto text = ReadMeterClock(port);
        ASSERT_TRUE(text) << row.name;
        EXPECT_EQ(*text, "2013/03/13 08:05:09") << row.name;
        EXPECT_EQ(port.written(), "I") << row.name;
    }
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
