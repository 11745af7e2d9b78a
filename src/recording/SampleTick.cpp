#include "SampleTick.h"

#include "AtomicFile.h"
#include "Energy.h"
#include "FormatTenths.h"
#include "LevelNumber.h"
#include "MeasurementState.h"

#include <algorithm>
#include <cmath>

namespace {

void recordSample(MeasurementState &state, const SampleInput &input, SampleTickResult &result)
{
    if (!state.Recording) {
        state.RecordCount = 0;
        return;
    }
    state.RecordCount += 1;
    if (!state.TempFile.appendLine(
            RecordLine(state.RecordCount, state.SampleTime, input.LevelText))) {
        const QString reason = state.TempFile.errorString();
        const SessionOutcome stopped
            = StopRecording(state, input.Boards, StopKind::Automatic, input.StopProgress);
        result.Errors << fileErrorMessage(state.TempFile.path(), reason)
                + QStringLiteral("\nThe recording has been stopped.");
        if (stopped.ok)
            result.AutoStopPath = stopped.path;
        else
            result.Errors << stopped.message;
        result.AutoStopped = true;
        return;
    }
    result.Labels
        = { QString::number(state.RecordCount), QStringLiteral("Rec"), state.RecordingFileName };
    if (state.RecordCount >= MeasurementState::RecordLimit) {
        const SessionOutcome stopped
            = StopRecording(state, input.Boards, StopKind::Automatic, input.StopProgress);
        result.AutoStopped = true;
        result.Labels = {};
        if (stopped.ok)
            result.AutoStopPath = stopped.path;
        else
            result.Errors << stopped.message;
    }
}

// A full list goes to a file of its own and is emptied, so the list stays
// bounded and no sample is lost. A dump that fails keeps the list and is
// tried again at the next sample.
bool makeRoomInList(MeasurementState &state, const SampleInput &input, SampleTickResult &result)
{
    if (state.ListCount < MeasurementState::ListLimit)
        return true;
    if (input.DumpBusy)
        input.DumpBusy(true);
    const WriteOutcome dumped
        = WriteListDump(input.Folder, input.Now, state.List, input.DumpProgress);
    if (input.DumpBusy)
        input.DumpBusy(false);
    if (!dumped.ok) {
        if (dumped.message != state.LastDumpError)
            result.Errors << dumped.message;
        state.LastDumpError = dumped.message;
        return false;
    }
    state.LastDumpError.clear();
    result.ListDumped = true;
    result.DumpPath = dumped.path;
    state.List.clear();
    state.ListCount = 0;
    return true;
}

void appendToList(MeasurementState &state, const SampleInput &input, SampleTickResult &result)
{
    if (!makeRoomInList(state, input, result))
        return;
    state.ListCount += 1;
    state.List.append(QString::number(state.ListCount), state.SampleTime, input.LevelText);
    result.ListAppended = true;
}

// The companion file follows every tick of a recording, once the tick's
// record is queued, whichever way the tick ends.
class CompanionUpdate
{
public:
    CompanionUpdate(MeasurementState &state, const HeaderBoards &boards)
        : m_state(state)
        , m_boards(boards)
    {
    }
    ~CompanionUpdate()
    {
        if (m_state.Recording)
            m_state.TempFile.updateCompanion(RecordingCompanionOf(m_state, m_boards));
    }
    CompanionUpdate(const CompanionUpdate &) = delete;
    CompanionUpdate &operator=(const CompanionUpdate &) = delete;

private:
    MeasurementState &m_state;
    const HeaderBoards &m_boards;
};

} // namespace

bool ReadingIsFresh(qint64 frameAgeMs)
{
    return frameAgeMs >= 0 && frameAgeMs <= FreshReadingMs;
}

bool LevelEntersEnergySums(double level)
{
    return std::isfinite(level) && level <= HighestPlausibleLevel;
}

SampleTickResult OnSampleTick(MeasurementState &state, const SampleInput &input)
{
    const CompanionUpdate companion(state, input.Boards);
    SampleTickResult result;
    if (!ReadingIsFresh(input.FrameAgeMs)) {
        result.Stale = true;
        return result;
    }
    const double level = input.Level;
    const bool plausible = LevelEntersEnergySums(level);
    const double energy = plausible ? Energy::ofLevel(level) : 0.0;
    result.DamagedLevel = !plausible;

    // LiveCount counts the seconds whose level entered the sum, so Leq stays
    // the mean over them and SEL their exposure.
    if (plausible) {
        state.LiveCount += 1;
        state.LiveEnergy += energy;
        state.LiveLeq = Energy::leq(state.LiveEnergy, double(state.LiveCount));
        state.LiveLeqText = FormatTenths(state.LiveLeq);
        state.LiveSel = Energy::sel(state.LiveLeq, double(state.LiveCount));
        state.LiveSelText = FormatTenths(state.LiveSel);
    } else {
        state.DamagedLevels += 1;
    }
    result.LeqText = state.LiveLeqText;
    result.SelText = state.LiveSelText;

    if (plausible && level > state.MaxLevel) {
        state.MaxLevel = level;
        state.MaxLevelTime = TimeStamp(input.Now);
        result.MaxChanged = true;
        result.MaxText = input.LevelText;
        result.MaxTime = state.MaxLevelTime;
    }

    if (state.Recording && plausible) {
        state.RecordingCount += 1;
        state.RecordingEnergy += energy;
        const double leq = Energy::leq(state.RecordingEnergy, double(state.RecordingCount));
        state.RecordingLeqText = FormatTenths(leq);
        state.RecordingSelText = FormatTenths(Energy::sel(leq, double(state.RecordingCount)));
        if (level > leadingLevelValue(state.RecordingMaxText)) {
            state.RecordingMaxText = input.LevelText;
            state.RecordingMaxTime = TimeStamp(input.Now);
        }
    }

    if (state.TickCount < state.SampleInterval) {
        state.TickCount += 1;
        return result;
    }
    result.Sampled = true;
    state.SampleTime = TimeStamp(input.Now);

    recordSample(state, input, result);
    if (input.KeepsListAndHistory)
        appendToList(state, input, result);

    const double leqValue = leadingLevelValue(state.LiveLeqText);
    const double selValue = leadingLevelValue(state.LiveSelText);
    result.Chart = { level, leqValue, selValue };

    // A level outside the tables' 0..140 dB has no class but is still a sample.
    result.ClassTablesChanged = state.Classes.add(level);
    result.ShowWholeDbHistogram = state.Classes.showWholeDbHistogram();

    state.LiveLeqMax = std::max(state.LiveLeqMax, leqValue);
    state.LiveLeqMin = std::min(state.LiveLeqMin, leqValue);
    state.LiveSelMax = std::max(state.LiveSelMax, selValue);
    state.LiveSelMin = std::min(state.LiveSelMin, selValue);

    if (input.KeepsListAndHistory)
        state.History.store(level, leqValue, selValue);
    state.TickCount = 1;
    return result;
}

SampleInput SampleInputOf(double level, const QString &levelText, const QDateTime &now,
                          qint64 frameAgeMs, const HeaderBoards &boards, const QString &folder)
{
    SampleInput input;
    input.Level = level;
    input.LevelText = levelText;
    input.Now = now;
    input.FrameAgeMs = frameAgeMs;
    input.Boards = boards;
    input.Folder = folder;
    return input;
}
