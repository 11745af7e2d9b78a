// How closely the meter emulator keeps the line speed of 38400 baud 8N1
// (3840 bytes a second) while it sends a 64 KiB logger memory. Measured at
// the receiving end, from the request to the last byte; prints
// "figure|value|target" lines for the benchmark runner.
#include "tools/EmulatorProcess.h"

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr double LineBytesPerSecond = 3840.0;
constexpr double KeyWindow = 0.030; // "K" alone is taken as such after this wait

struct Run
{
    std::size_t bytes = 0;
    double seconds = 0;
};

// Sets that fill the stream to 65535 bytes: 1 leading byte, then
// 31 sets of 1000 records (2058 bytes each) and one of 839 records (1736 bytes).
std::vector<std::string> memoryArguments()
{
    std::vector<std::string> arguments = { "--memory-units", "2" };
    for (int i = 0; i < 31; ++i)
        arguments.insert(arguments.end(), { "--set", "records=1000,spread=6" });
    arguments.insert(arguments.end(), { "--set", "records=839,spread=6" });
    return arguments;
}

Run transfer(std::vector<std::string> arguments)
{
    EmulatorProcess emulator(std::move(arguments));
    if (!emulator.waitForLink())
        return {};
    MeterLine line(emulator.linkPath());
    line.discard();
    line.send("A");
    line.readAtLeast(6, 0.2);
    line.send("A");
    const auto end = line.readAtLeast(3, 0.2);
    if (end.size() != 3)
        return {};
    const std::size_t expected = static_cast<std::size_t>(end[0] << 16 | end[1] << 8 | end[2]) - 46;
    line.send("K");
    const double asked = secondsNow();
    Run run;
    run.bytes = line.readAtLeast(expected, 60.0).size();
    run.seconds = secondsNow() - asked - KeyWindow;
    return run;
}

} // namespace

int main()
{
    const Run paced = transfer(memoryArguments());
    const double nominal = static_cast<double>(paced.bytes) / LineBytesPerSecond;
    const double rate = static_cast<double>(paced.bytes) / paced.seconds;
    const double deviation = 100.0 * (paced.seconds - nominal) / nominal;
    std::printf("emulator logger stream size|%zu bytes|65535 bytes\n", paced.bytes);
    std::printf("emulator logger stream time|%.3f s (nominal %.3f s)|within 2 %%\n", paced.seconds,
                nominal);
    std::printf("emulator logger stream rate|%.1f bytes/s (%+.2f %% time)|3840 bytes/s +- 2 %%\n",
                rate, deviation);

    std::vector<std::string> fast = memoryArguments();
    fast.push_back("--fast");
    const Run unpaced = transfer(fast);
    std::printf("emulator logger stream --fast|%.3f s for %zu bytes|no pacing\n", unpaced.seconds,
                unpaced.bytes);
    return paced.bytes == 65535 && std::fabs(deviation) <= 2.0 ? 0 : 1;
}
