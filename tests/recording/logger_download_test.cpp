#include "logger_test_sets.h"
#include "recording/LoggerDownload.h"
#include "support/FakeSerialPort.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

namespace {

const QByteArray Acknowledgement = QByteArray::fromHex("02FFFFFFFF03");

// Short limits keep the failure cases quick; the protocol is the same.
LoggerLinkLimits quickLimits()
{
    LoggerLinkLimits limits;
    limits.replyTimeoutMs = 150;
    limits.stallTimeoutMs = 250;
    return limits;
}

// A meter as the program finds it: the first "A" is taken for a handshake and
// acknowledged, every further "A" gets the end position.
struct ScriptedMeter
{
    QByteArray endReply;
    QByteArray sizeReply = QByteArray::fromHex("000100");
    QByteArray stream;
    bool acknowledgeFirst = true;
    int answeredA = 0;

    FakeSerialPort::Responder responder()
    {
        return [this](const QByteArray &written) -> QByteArray {
            if (written == "A")
                return (answeredA++ == 0 && acknowledgeFirst) ? Acknowledgement : endReply;
            if (written == "L")
                return sizeReply;
            if (written == "K")
                return stream;
            return {};
        };
    }
};

QStringList commandsOf(const FakeSerialPort &port)
{
    QStringList commands;
    for (const FakeSerialPort::Write &w : port.writes())
        commands << QString::fromLatin1(w.bytes);
    return commands;
}

class LoggerDownload : public testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(port.open(1)); }

    LoggerDownloadResult download(ScriptedMeter &meter)
    {
        port.setResponder(meter.responder());
        LoggerDownloadHooks hooks;
        hooks.sizesKnown = [this](const LoggerMemorySizes &s) { shownSizes = s; };
        hooks.progress = [this](qint64 r, qint64 e) { progress.emplace_back(r, e); };
        return DownloadLoggerMemory(port, hooks, quickLimits());
    }

    FakeSerialPort port;
    std::optional<LoggerMemorySizes> shownSizes;
    std::vector<std::pair<qint64, qint64>> progress;
};

TEST_F(LoggerDownload, OneSetOfThreeRecords)
{
    ScriptedMeter meter;
    meter.endReply = endPositionReply(111);
    meter.stream = loggerStream({ TestLoggerSet() });
    ASSERT_EQ(meter.stream.size(), 65);

    const LoggerDownloadResult result = download(meter);
    EXPECT_EQ(result.status, LoggerDownloadStatus::Completed);
    EXPECT_EQ(commandsOf(port), (QStringList { "A", "A", "L", "K" }));
    EXPECT_EQ(result.loggerEnd, 111u);
    ASSERT_TRUE(shownSizes);
    EXPECT_EQ(shownSizes->sizeText, "64 K");
    EXPECT_EQ(shownSizes->remainText, "63.9 K"); // (65536 - 111) / 1024
    ASSERT_EQ(result.split.sets.size(), 1u);
    EXPECT_EQ(result.split.sets[0].bytes, TestLoggerSet().bytes());
    EXPECT_EQ(result.split.sets[0].records, 3);
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.back(), std::make_pair(qint64(65), qint64(65)));
    EXPECT_TRUE(LoggerDownloadMessage(result).isEmpty());
}

struct RefusalCase
{
    const char *name;
    QByteArray endReply;
    LoggerDownloadStatus status;
    const char *message;
};

void PrintTo(const RefusalCase &c, std::ostream *os)
{
    *os << c.name;
}

class LoggerDownloadRefusal : public LoggerDownload, public testing::WithParamInterface<RefusalCase>
{
};

TEST_P(LoggerDownloadRefusal, EndsAfterTheEndPositionAndSendsNothingMore)
{
    ScriptedMeter meter;
    meter.endReply = GetParam().endReply;
    const LoggerDownloadResult result = download(meter);
    EXPECT_EQ(result.status, GetParam().status);
    EXPECT_EQ(LoggerDownloadMessage(result), GetParam().message);
    EXPECT_EQ(commandsOf(port), (QStringList { "A", "A" }));
    EXPECT_FALSE(shownSizes);
}

INSTANTIATE_TEST_SUITE_P(
    EndPositions, LoggerDownloadRefusal,
    testing::Values(RefusalCase { "Empty", QByteArray::fromHex("000030"),
                                  LoggerDownloadStatus::EmptyMemory, "No Data in Memory" },
                    RefusalCase { "BelowTheStream", QByteArray::fromHex("00002D"),
                                  LoggerDownloadStatus::BadEndPosition, "Error! Try again!" },
                    RefusalCase { "Zero", QByteArray::fromHex("000000"),
                                  LoggerDownloadStatus::BadEndPosition, "Error! Try again!" }),
    [](const testing::TestParamInfo<RefusalCase> &info) { return info.param.name; });

struct SizeCase
{
    const char *name;
    int units;
    uint32_t end;
    const char *size;
    const char *remain;
};

void PrintTo(const SizeCase &c, std::ostream *os)
{
    *os << c.name;
}

class LoggerSizes : public testing::TestWithParam<SizeCase>
{
};

TEST_P(LoggerSizes, SizeAndFreeTexts)
{
    const LoggerMemorySizes sizes = LoggerSizesFrom(GetParam().units, GetParam().end);
    EXPECT_EQ(sizes.sizeText, GetParam().size);
    EXPECT_EQ(sizes.remainText, GetParam().remain);
}

INSTANTIATE_TEST_SUITE_P(
    Replies, LoggerSizes,
    testing::Values(SizeCase { "FewerThan60Free", 1, 65536 - 59, "64 K", "0.0 K" },
                    SizeCase { "Exactly60Free", 1, 65536 - 60, "64 K", "0.1 K" },
                    SizeCase { "Overfull", 1, 70000, "64 K", "0.0 K" },
                    SizeCase { "EmptyFourUnits", 4, 48, "256 K", "256.0 K" },
                    SizeCase { "HalfFull", 2, 65536, "128 K", "64.0 K" },
                    SizeCase { "NoMemory", 0, 111, "0 K", "0.0 K" }),
    [](const testing::TestParamInfo<SizeCase> &info) { return info.param.name; });

TEST_F(LoggerDownload, AWrongLengthSizeReplyStartsAgainFromTheEndPosition)
{
    ScriptedMeter meter;
    meter.acknowledgeFirst = false;
    meter.endReply = endPositionReply(111);
    meter.stream = loggerStream({ TestLoggerSet() });
    int sizeRequests = 0;
    port.setResponder([&](const QByteArray &w) -> QByteArray {
        if (w == "L")
            return ++sizeRequests == 1 ? QByteArray::fromHex("0001") : meter.sizeReply;
        return meter.responder()(w);
    });
    const LoggerDownloadResult result = DownloadLoggerMemory(port, {}, quickLimits());
    EXPECT_EQ(result.status, LoggerDownloadStatus::Completed);
    EXPECT_EQ(commandsOf(port), (QStringList { "A", "L", "A", "L", "K" }));
}

TEST_F(LoggerDownload, GivesUpAfterTwentyWrongLengthReplies)
{
    port.setResponder([](const QByteArray &) { return QByteArray::fromHex("0000"); });
    const LoggerDownloadResult result = DownloadLoggerMemory(port, {}, quickLimits());
    EXPECT_EQ(result.status, LoggerDownloadStatus::BadReplies);
    EXPECT_EQ(port.writes().size(), 21u);
    EXPECT_EQ(LoggerDownloadMessage(result), "The meter's replies could not be read. Try again!");
}

TEST_F(LoggerDownload, ASilentMeterEndsTheDownloadAfterTheReplyLimit)
{
    LoggerLinkLimits limits = quickLimits();
    const qint64 before = port.elapsedMs();
    const LoggerDownloadResult result = DownloadLoggerMemory(port, {}, limits);
    const qint64 took = port.elapsedMs() - before;
    EXPECT_EQ(result.status, LoggerDownloadStatus::NoReply);
    EXPECT_EQ(commandsOf(port), QStringList { "A" });
    EXPECT_GE(took, limits.replyTimeoutMs);
    EXPECT_LT(took, limits.replyTimeoutMs + 500);
    EXPECT_EQ(LoggerDownloadMessage(result), "The meter does not answer. Try again!");
}

TEST_F(LoggerDownload, ALateReplyIsWaitedForAndReadWhole)
{
    // The acknowledgement comes late and in two pieces; its first three bytes
    // must not be taken for an end position.
    ScriptedMeter meter;
    meter.endReply = endPositionReply(111);
    meter.stream = loggerStream({ TestLoggerSet() });
    int requests = 0;
    port.setResponder([&](const QByteArray &w) -> QByteArray {
        if (w == "A" && requests++ == 0) {
            port.feedAfter(60, Acknowledgement.left(3));
            port.feedAfter(65, Acknowledgement.mid(3));
            return {};
        }
        return meter.responder()(w);
    });
    const LoggerDownloadResult result = DownloadLoggerMemory(port, {}, quickLimits());
    EXPECT_EQ(result.status, LoggerDownloadStatus::Completed);
    EXPECT_EQ(result.loggerEnd, 111u);
}

TEST_F(LoggerDownload, AStalledStreamKeepsTheSetsThatArrivedWhole)
{
    TestLoggerSet second;
    second.records.assign(5, 600);
    const QByteArray whole = loggerStream({ TestLoggerSet(), second, TestLoggerSet() });
    ScriptedMeter meter;
    meter.endReply = endPositionReply(uint32_t(whole.size() + 46));
    port.setResponder([&](const QByteArray &w) -> QByteArray {
        if (w == "K") {
            port.feedAfter(30, whole.left(40));
            port.feedAfter(80, whole.mid(40, 100));
            return {};
        }
        return meter.responder()(w);
    });
    LoggerDownloadHooks hooks;
    hooks.progress = [&](qint64 r, qint64 e) { progress.emplace_back(r, e); };
    const LoggerDownloadResult result = DownloadLoggerMemory(port, hooks, quickLimits());
    EXPECT_EQ(result.status, LoggerDownloadStatus::Stalled);
    EXPECT_EQ(result.receivedBytes, 140);
    ASSERT_EQ(result.split.sets.size(), 2u);
    EXPECT_EQ(result.split.sets[1].bytes, second.bytes());
    EXPECT_EQ(progress.back(), std::make_pair(qint64(140), qint64(whole.size())));
    EXPECT_TRUE(LoggerDownloadMessage(result).startsWith("The meter stopped sending. Try again!"));
}

struct PauseCase
{
    const char *name;
    QByteArray afterPause; // what comes 400 ms after the first 140 bytes
    LoggerDownloadStatus status;
    size_t sets;
};

void PrintTo(const PauseCase &c, std::ostream *os)
{
    *os << c.name;
}

class LoggerDownloadPause : public LoggerDownload, public testing::WithParamInterface<PauseCase>
{
};

TEST_P(LoggerDownloadPause, LiveFramesAfterAPauseEndTheStreamOtherBytesGoOn)
{
    TestLoggerSet second;
    second.records.assign(5, 600);
    const QByteArray whole = loggerStream({ TestLoggerSet(), second, TestLoggerSet() });
    const QByteArray rest
        = GetParam().afterPause.isEmpty() ? whole.mid(140) : GetParam().afterPause;
    ScriptedMeter meter;
    meter.endReply = endPositionReply(uint32_t(whole.size() + 46));
    port.setResponder([&](const QByteArray &w) -> QByteArray {
        if (w == "K") {
            port.feedAfter(30, whole.left(140));
            // Split in two so the check must wait for a whole frame.
            port.feedAfter(430, rest.left(3));
            port.feedAfter(440, rest.mid(3));
            return {};
        }
        return meter.responder()(w);
    });
    LoggerLinkLimits limits = quickLimits();
    limits.stallTimeoutMs = 5000;
    const qint64 before = port.elapsedMs();
    const LoggerDownloadResult result = DownloadLoggerMemory(port, {}, limits);
    EXPECT_LT(port.elapsedMs() - before, 2000);
    EXPECT_EQ(result.status, GetParam().status);
    EXPECT_EQ(result.split.sets.size(), GetParam().sets);
    if (result.status == LoggerDownloadStatus::Stalled) {
        EXPECT_EQ(result.receivedBytes, 140);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Streams, LoggerDownloadPause,
    testing::Values(PauseCase { "MemoryGoesOn", {}, LoggerDownloadStatus::Completed, 3 },
                    PauseCase { "LiveFramesCome",
                                QByteArray::fromHex("020304030003020304030003020304030003")
                                    + QByteArray(200, 'x'),
                                LoggerDownloadStatus::Stalled, 2 }),
    [](const testing::TestParamInfo<PauseCase> &info) { return info.param.name; });

TEST_F(LoggerDownload, APacedStreamReportsProgressSparinglyAndEndsExact)
{
    std::vector<TestLoggerSet> sets(4);
    for (TestLoggerSet &s : sets)
        s.records.assign(500, 700);
    const QByteArray whole = loggerStream(sets);
    ScriptedMeter meter;
    meter.endReply = endPositionReply(uint32_t(whole.size() + 46));
    port.setResponder([&](const QByteArray &w) -> QByteArray {
        if (w == "K") {
            // 100 pieces over about 200 ms, then a live frame that is no memory.
            const int piece = int(whole.size() / 100) + 1;
            for (int i = 0; i * piece < whole.size(); ++i)
                port.feedAfter(2 * i, whole.mid(i * piece, piece));
            port.feedAfter(210, QByteArray::fromHex("020005035503"));
            return {};
        }
        return meter.responder()(w);
    });
    LoggerDownloadHooks hooks;
    hooks.progress = [&](qint64 r, qint64 e) { progress.emplace_back(r, e); };
    const LoggerDownloadResult result = DownloadLoggerMemory(port, hooks, quickLimits());
    EXPECT_EQ(result.status, LoggerDownloadStatus::Completed);
    EXPECT_EQ(result.split.sets.size(), 4u);
    EXPECT_EQ(result.split.unreadBytes, 0);
    EXPECT_LE(progress.size(), 15u);
    EXPECT_EQ(progress.back(), std::make_pair(qint64(whole.size()), qint64(whole.size())));
    for (size_t i = 1; i < progress.size(); ++i)
        EXPECT_LT(progress[i - 1].first, progress[i].first);
}

TEST_F(LoggerDownload, ExtraBytesAfterTheStreamAreNotMemory)
{
    ScriptedMeter meter;
    meter.endReply = endPositionReply(111);
    meter.stream = loggerStream({ TestLoggerSet() }) + QByteArray::fromHex("0055AA00FFFF");
    const LoggerDownloadResult result = download(meter);
    ASSERT_EQ(result.split.sets.size(), 1u);
    EXPECT_EQ(result.split.sets[0].bytes, TestLoggerSet().bytes());
    EXPECT_EQ(result.split.unreadBytes, 0);
    // More than the announced length came: the line added bytes, the user is told.
    EXPECT_EQ(result.overrunBytes, 6);
    EXPECT_TRUE(LoggerDownloadMessage(result).startsWith(
        "The transfer was disturbed: 6 bytes more than the meter announced arrived."));
}

TEST_F(LoggerDownload, LiveFramesRightAfterTheStreamDisturbNothing)
{
    ScriptedMeter meter;
    meter.endReply = endPositionReply(111);
    meter.stream = loggerStream({ TestLoggerSet() }) + QByteArray::fromHex("02 05 01 02 8A 03")
                   + QByteArray::fromHex("02 05 01 02 8B 03");
    const LoggerDownloadResult result = download(meter);
    ASSERT_EQ(result.split.sets.size(), 1u);
    EXPECT_EQ(result.overrunBytes, 0);
    EXPECT_TRUE(LoggerDownloadMessage(result).isEmpty());
}

TEST(LoggerMessages, PercentAndUnreadTexts)
{
    EXPECT_EQ(PercentCompletedText(65, 65), "100.0% Completed");
    EXPECT_EQ(PercentCompletedText(1, 3), "33.3% Completed");
    EXPECT_EQ(PercentCompletedText(2, 3), "66.7% Completed");
    LoggerDownloadResult result;
    result.status = LoggerDownloadStatus::Completed;
    result.split.unreadBytes = 60;
    result.split.tooManySets = true;
    EXPECT_EQ(LoggerDownloadMessage(result),
              "60 bytes of the logger memory could not be read.\n"
              "Only the first 255 data sets are listed.");
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
