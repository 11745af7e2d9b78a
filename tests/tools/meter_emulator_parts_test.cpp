// The emulator's parts without a pseudo-terminal: set layout and statistics,
// command timing, frame bytes, options and run-time commands.
#include "Emulator.h"
#include "EmulatorOptions.h"
#include "LevelSignal.h"
#include "LoggerMemory.h"
#include "MeterProtocol.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using Bytes = std::vector<std::uint8_t>;

std::uint16_t wordAt(const Bytes &set, std::size_t position)
{
    return static_cast<std::uint16_t>(set.at(position) << 8 | set.at(position + 1));
}

DataSetRecipe recipe(const std::string &text)
{
    DataSetRecipe parsed;
    EXPECT_EQ(DataSetRecipe::parse(text, parsed), "");
    return parsed;
}

} // namespace

TEST(LoggerSet, SummaryFollowsTheRecords)
{
    struct Row
    {
        const char *text;
        int leq, sel, max, min, peak, l05, l10, l50, l90, l95; // tenths of a dB
    };
    const Row rows[] = {
        { "levels=65/65/65/65", 650, 710, 650, 650, 680, 650, 650, 650, 650, 650 },
        { "levels=60/70/80", 757, 805, 800, 600, 830, 800, 800, 700, 600, 600 },
        { "levels=60/70/80*,interval=10", 757, 905, 800, 600, 830, 800, 800, 700, 600, 600 },
        { "levels=50/51/52/53/54/55/56/57/58/59/60/61/62/63/64/65/66/67/68/69", 628, 758, 690, 500,
          720, 680, 670, 590, 510, 500 },
    };
    for (const Row &row : rows) {
        const Bytes set = LoggerMemory::encodeSet(recipe(row.text), 0);
        const std::size_t k = (set.size() - 58) / 2;
        const std::size_t levels = 38 + 2 * k; // first of the ten level words
        const int expected[] = { row.leq, row.sel, row.max, row.min, row.peak,
                                 row.l05, row.l10, row.l50, row.l90, row.l95 };
        for (int i = 0; i < 10; ++i)
            EXPECT_EQ(wordAt(set, levels + 2 * i), expected[i]) << row.text << " value " << i;
    }
}

TEST(LoggerSet, TimeStampsAreBcdAndFollowTheInterval)
{
    const Bytes set = LoggerMemory::encodeSet(
        recipe("levels=70/90/60/80,interval=30,start=2099-12-31T23:59:00"), 0);
    ASSERT_EQ(set.size(), 66u);
    const std::size_t stamps = 8 + 2 * 4;
    const Bytes expected = {
        0x00, 0x59, 0x23, 0x31, 0x12, 0x99, // start
        0x00, 0x01, 0x00, 0x01, 0x01, 0x00, // end: two minutes later, past the new year
        0x30, 0x59, 0x23, 0x31, 0x12, 0x99, // maximum, second record
        0x00, 0x00, 0x00, 0x01, 0x01, 0x00, // minimum, third record
        0x30, 0x59, 0x23, 0x31, 0x12, 0x99, // peak
    };
    EXPECT_EQ(Bytes(set.begin() + stamps, set.begin() + stamps + 30), expected);
}

TEST(LoggerSet, GeneratedRecordsStayWithinTheSpreadAndRepeatForASeed)
{
    const Bytes first = LoggerMemory::encodeSet(recipe("records=200,level=70,spread=2,seed=7"), 0);
    const Bytes again = LoggerMemory::encodeSet(recipe("records=200,level=70,spread=2,seed=7"), 0);
    const Bytes other = LoggerMemory::encodeSet(recipe("records=200,level=70,spread=2,seed=8"), 0);
    EXPECT_EQ(first, again);
    EXPECT_NE(first, other);
    for (int j = 0; j < 200; ++j) {
        const int tenths = wordAt(first, 8 + 2 * j);
        EXPECT_GE(tenths, 680);
        EXPECT_LE(tenths, 720);
    }
}

TEST(LoggerSet, BadRecipesAreRefusedWithTheReason)
{
    const std::pair<const char *, const char *> rows[] = {
        { "records=0", "records must be" },
        { "records=abc", "records must be" },
        { "interval=0", "interval must be" },
        { "level=-3", "level must be" },
        { "levels=60/x", "levels must be" },
        { "levels=60/70,records=3", "records does not match" },
        { "freq=B", "freq must be" },
        { "time=medium", "time must be" },
        { "range=6", "range must be" },
        { "start=1999-01-01T00:00:00", "start must be" },
        { "colour=red", "unknown data set key" },
    };
    for (const auto &[text, reason] : rows) {
        DataSetRecipe parsed;
        EXPECT_NE(DataSetRecipe::parse(text, parsed).find(reason), std::string::npos) << text;
    }
}

TEST(LoggerMemoryEnd, EndPositionAndStreamLengthAgree)
{
    LoggerMemory memory;
    EXPECT_EQ(memory.endPosition(), 48u);
    EXPECT_EQ(memory.transferStream().size(), 2u);
    ASSERT_TRUE(memory.append(LoggerMemory::encodeSet(recipe("records=3"), 0)));
    EXPECT_EQ(memory.endPosition(), 111u);
    ASSERT_TRUE(memory.append(LoggerMemory::encodeSet(recipe("records=1"), 0)));
    EXPECT_EQ(memory.endPosition(), 171u);
    const Bytes stream = memory.transferStream();
    ASSERT_EQ(stream.size(), 171u - 46);
    EXPECT_EQ(Bytes(stream.begin() + 65, stream.begin() + 69), (Bytes { 0x00, 0x55, 0xAA, 0x00 }));
    memory.erase();
    EXPECT_EQ(memory.endPosition(), 48u);
}

TEST(LoggerMemoryEnd, RefusesSetsBeyondItsSize)
{
    LoggerMemory memory;
    memory.setSizeUnits(1);
    // The end 47 + 58 + 2k must stay within 65536: k = 32715 fits, 32716 does not.
    EXPECT_FALSE(memory.append(LoggerMemory::encodeSet(recipe("records=32716"), 0)));
    EXPECT_EQ(memory.endPosition(), 48u);
    EXPECT_TRUE(memory.append(LoggerMemory::encodeSet(recipe("records=32715"), 0)));
    EXPECT_EQ(memory.endPosition(), 65535u);
}

namespace {

struct Protocol
{
    MeterState state;
    MeterClock clock;
    LoggerMemory memory;
    MeterProtocol protocol { state, clock, memory };

    std::vector<MeterAction::Kind> feed(const Bytes &bytes, double at)
    {
        protocol.receive(bytes.data(), bytes.size(), at);
        return kinds(protocol.process(at));
    }
    std::vector<MeterAction::Kind> at(double t) { return kinds(protocol.process(t)); }

    static std::vector<MeterAction::Kind> kinds(const std::vector<MeterAction> &actions)
    {
        std::vector<MeterAction::Kind> out;
        for (const MeterAction &action : actions)
            out.push_back(action.kind);
        return out;
    }
};

using K = MeterAction::Kind;
using Kinds = std::vector<K>;

} // namespace

TEST(MeterCommands, KeyBytesMustFollowWithinThirtyMilliseconds)
{
    {
        Protocol p;
        EXPECT_EQ(p.feed({ 'K', 0, 0, 10 }, 0), Kinds { K::Changed });
        EXPECT_EQ(p.state.rangeIndex(), 4);
    }
    {
        Protocol p;
        EXPECT_EQ(p.feed({ 'K' }, 0), Kinds {});
        EXPECT_EQ(p.feed({ 0, 0 }, 0.01), Kinds {});
        EXPECT_EQ(p.feed({ 9 }, 0.029), Kinds { K::Changed });
        EXPECT_EQ(p.state.rangeIndex(), 2);
    }
    {
        Protocol p; // the code came too late: a transfer request, then stray bytes
        EXPECT_EQ(p.feed({ 'K' }, 0), Kinds {});
        EXPECT_EQ(p.at(0.031), Kinds { K::StartTransfer });
        EXPECT_EQ(p.feed({ 0, 0, 10 }, 0.04), (Kinds { K::Ignored, K::Ignored, K::Ignored }));
        EXPECT_EQ(p.state.rangeIndex(), 3);
    }
    {
        Protocol p; // another command right after "K"
        EXPECT_EQ(p.feed({ 'K', 'L' }, 0), (Kinds { K::StartTransfer, K::Reply }));
    }
    {
        Protocol p; // codes outside 1..10 press nothing
        EXPECT_EQ(p.feed({ 'K', 0, 0, 11 }, 0), Kinds { K::Ignored });
    }
}

TEST(MeterCommands, CommandStateAnswersAWithTheEndForOneSecond)
{
    Protocol p;
    EXPECT_EQ(p.feed({ 'A' }, 10.0), Kinds { K::Acknowledgement });
    EXPECT_EQ(p.feed({ 'A' }, 10.5), Kinds { K::Reply });
    EXPECT_EQ(p.feed({ 'A' }, 10.99), Kinds { K::Reply }); // does not extend the state
    EXPECT_EQ(p.feed({ 'A' }, 11.0), Kinds { K::Acknowledgement });
    EXPECT_EQ(p.feed({ 'K', 0, 0, 1 }, 11.1), Kinds { K::Changed }); // a key press ends it
    EXPECT_EQ(p.feed({ 'A' }, 11.2), Kinds { K::Acknowledgement });
}

TEST(MeterCommands, ArgumentsThatNeverCompleteAreDropped)
{
    Protocol p;
    EXPECT_EQ(p.feed({ 'B', 0x09, 0x05 }, 0), Kinds {});
    EXPECT_EQ(p.at(0.25), Kinds { K::Ignored });
    EXPECT_EQ(p.feed({ 'C', 0x00 }, 1), Kinds {});
    EXPECT_EQ(p.at(1.25), Kinds { K::Ignored });
    EXPECT_EQ(p.feed({ 'C', 0x00, 0x00 }, 2), Kinds { K::Ignored }); // interval 0
    EXPECT_EQ(p.protocol.loggingInterval(), 1);
    EXPECT_EQ(p.feed({ 'C', 0x01, 0x2C }, 3), Kinds { K::Changed });
    EXPECT_EQ(p.protocol.loggingInterval(), 300);
}

TEST(MeterFrame, ModeAndRangeBytes)
{
    struct Row
    {
        const char *name;
        MeterState::TimeWeighting time;
        MeterState::FreqWeighting freq;
        MeterState::RunState run;
        int range;
        double level;
        Bytes frame;
    };
    using T = MeterState::TimeWeighting;
    using F = MeterState::FreqWeighting;
    using R = MeterState::RunState;
    const Row rows[] = {
        { "fast A run", T::Fast, F::A, R::Run, 3, 65.0, { 2, 0x03, 0x04, 0x02, 0x8A, 3 } },
        { "slow filter stop",
          T::Slow,
          F::Filter,
          R::Stop,
          0,
          100.0,
          { 2, 0x00, 0x71, 0x03, 0xE8, 3 } },
        { "imp Z pause", T::Impulse, F::Z, R::Pause, 5, 45.5, { 2, 0x05, 0x4A, 0x81, 0xC7, 3 } },
        { "over range 5", T::Fast, F::C, R::Run, 5, 90.1, { 2, 0x85, 0x24, 0x03, 0x85, 3 } },
        { "under range 0", T::Fast, F::A, R::Run, 0, 79.9, { 2, 0x00, 0x84, 0x03, 0x1F, 3 } },
        { "level clamps", T::Fast, F::A, R::Run, 0, 4000.0, { 2, 0x80, 0x04, 0x7F, 0xFF, 3 } },
    };
    for (const Row &row : rows) {
        MeterState state;
        state.setTimeWeighting(row.time);
        state.setFreqWeighting(row.freq);
        state.setRunState(row.run);
        ASSERT_TRUE(state.setRangeIndex(row.range));
        const auto frame = state.liveFrame(row.level);
        EXPECT_EQ(Bytes(frame.begin(), frame.end()), row.frame) << row.name;
    }
}

TEST(MeterSignal, ShapesStayWhereTheyShould)
{
    LevelSignal signal;
    signal.setBase(60);
    signal.setAmplitude(10);
    signal.setPeriod(4);
    signal.setStep(5);
    signal.setShape(LevelSignal::Shape::Steps);
    EXPECT_DOUBLE_EQ(signal.next(0), 60);
    EXPECT_DOUBLE_EQ(signal.next(4.5), 65);
    EXPECT_DOUBLE_EQ(signal.next(8.5), 70);
    EXPECT_DOUBLE_EQ(signal.next(12.5), 60);
    signal.setShape(LevelSignal::Shape::Sine);
    EXPECT_NEAR(signal.next(1), 70, 1e-9);
    EXPECT_NEAR(signal.next(3), 50, 1e-9);
    signal.setShape(LevelSignal::Shape::RandomWalk);
    double low = 60;
    double high = 60;
    for (int i = 0; i < 20000; ++i) {
        const double level = signal.next(i * 0.1);
        low = std::min(low, level);
        high = std::max(high, level);
    }
    EXPECT_GE(low, 50);
    EXPECT_LE(high, 70);
    EXPECT_GT(high - low, 5); // it does wander
}

TEST(EmulatorCommandLine, OptionsBecomeStartCommands)
{
    const char *argv[] = { "emu",       "--port",          "COM16", "--level=70.5", "--set",
                           "records=3", "--short-replies", "--at",  "2.5:unplug 1", "--fast" };
    EmulatorOptions options;
    ASSERT_EQ(EmulatorOptions::parse(10, const_cast<char **>(argv), options), "");
    EXPECT_EQ(options.port, "COM16");
    EXPECT_TRUE(options.fast);
    EXPECT_EQ(options.controlLines,
              (std::vector<std::string> { "level 70.5", "set records=3", "short-replies on" }));
    ASSERT_EQ(options.scheduled.size(), 1u);
    EXPECT_DOUBLE_EQ(options.scheduled[0].first, 2.5);
    EXPECT_EQ(options.scheduled[0].second, "unplug 1");
}

TEST(EmulatorCommandLine, BadCommandLinesAreRefused)
{
    const std::vector<std::pair<std::vector<const char *>, const char *>> rows = {
        { { "emu", "--port", "COM17" }, "--port must be COM1 to COM16" },
        { { "emu", "--port", "COM0" }, "--port must be COM1 to COM16" },
        { { "emu", "--port", "ttyS0" }, "--port must be COM1 to COM16" },
        { { "emu", "--level" }, "--level needs a value" },
        { { "emu", "--at", "soon:pause" }, "--at needs SECONDS:COMMAND" },
        { { "emu", "--colour", "red" }, "unknown option --colour" },
        { { "emu", "stray" }, "unexpected argument stray" },
        { { "emu", "--sets-file", "/nonexistent/sets" }, "cannot read the data set file" },
    };
    for (const auto &[arguments, reason] : rows) {
        EmulatorOptions options;
        const std::string error = EmulatorOptions::parse(
            static_cast<int>(arguments.size()), const_cast<char **>(arguments.data()), options);
        EXPECT_NE(error.find(reason), std::string::npos) << arguments.back() << ": " << error;
    }
}

TEST(EmulatorControl, RunTimeCommandsCheckTheirValues)
{
    Emulator emulator { EmulatorOptions {} };
    const std::pair<const char *, const char *> rows[] = {
        { "level 85.0", "" },
        { "level loud", "level needs a level in dB" },
        { "range 6", "range needs an index from 0 to 5" },
        { "range 5", "" },
        { "freq AA", "" },
        { "freq B", "freq needs A, C, Z or AA" },
        { "short-replies maybe", "short-replies needs on or off" },
        { "stall-logger-after off", "" },
        { "stall-logger-after -1", "stall-logger-after needs a byte count or off" },
        { "key 11", "key needs a key code from 1 to 10" },
        { "set records=32716", "" },
        { "memory-units 0", "memory-units needs a count" },
        { "memory-units 1", "do not fit into 1 units" },
        { "signal square", "signal needs constant, sine, steps or walk" },
        { "dance", "unknown command: dance" },
    };
    for (const auto &[line, reason] : rows) {
        const std::string error = emulator.applyControl(line);
        if (*reason == '\0')
            EXPECT_EQ(error, "") << line;
        else
            EXPECT_NE(error.find(reason), std::string::npos) << line << ": " << error;
    }
}
