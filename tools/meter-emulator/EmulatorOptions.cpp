#include "EmulatorOptions.h"

#include <charconv>
#include <fstream>

namespace {

// Options that stand for the control command of the same name with one value.
constexpr const char *ValueOptions[] = {
    "level",    "signal",       "amplitude", "period", "step",   "seed",
    "range",    "freq",         "time",      "state",  "over",   "under",
    "interval", "memory-units", "set",       "silent", "broken", "stall-logger-after",
};

bool isValueOption(const std::string &name)
{
    for (const char *option : ValueOptions) {
        if (name == option)
            return true;
    }
    return false;
}

std::string readSetsFile(const std::string &path, EmulatorOptions &options)
{
    std::ifstream in(path);
    if (!in)
        return "cannot read the data set file " + path;
    std::string line;
    while (std::getline(in, line)) {
        const auto first = line.find_first_not_of(" \t\r");
        if (first == std::string::npos || line[first] == '#')
            continue;
        const auto last = line.find_last_not_of(" \t\r");
        options.controlLines.push_back("set " + line.substr(first, last - first + 1));
    }
    return {};
}

} // namespace

std::string EmulatorOptions::parse(int argc, char **argv, EmulatorOptions &options)
{
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg.rfind("--", 0) != 0)
            return "unexpected argument " + arg;
        std::string name = arg.substr(2);
        std::string value;
        bool hasValue = false;
        if (const auto equals = name.find('='); equals != std::string::npos) {
            value = name.substr(equals + 1);
            name.erase(equals);
            hasValue = true;
        }
        const auto takeValue = [&]() -> bool {
            if (hasValue)
                return true;
            if (i + 1 >= argc)
                return false;
            value = argv[++i];
            return true;
        };

        if (name == "version") {
            options.version = true;
            continue;
        }
        if (name == "help") {
            options.help = true;
        } else if (name == "fast") {
            options.fast = true;
        } else if (name == "verbose") {
            options.verbose = true;
        } else if (name == "short-replies") {
            options.controlLines.push_back("short-replies on");
        } else if (name == "port" || name == "record" || name == "control" || name == "at"
                   || name == "sets-file" || isValueOption(name)) {
            if (!takeValue())
                return "--" + name + " needs a value";
            if (name == "port") {
                options.port = value;
            } else if (name == "record") {
                options.recordPath = value;
            } else if (name == "control") {
                options.controlLines.push_back(value);
            } else if (name == "sets-file") {
                if (auto error = readSetsFile(value, options); !error.empty())
                    return error;
            } else if (name == "at") {
                const auto colon = value.find(':');
                double seconds = 0;
                const char *end = value.data() + (colon == std::string::npos ? 0 : colon);
                if (colon == std::string::npos
                    || std::from_chars(value.data(), end, seconds).ptr != end || seconds < 0)
                    return "--at needs SECONDS:COMMAND, e.g. --at 5:unplug 2";
                options.scheduled.emplace_back(seconds, value.substr(colon + 1));
            } else {
                options.controlLines.push_back(name + " " + value);
            }
        } else {
            return "unknown option --" + name;
        }
    }

    const std::string digits = options.port.substr(options.port.rfind("COM", 0) == 0 ? 3 : 0);
    int number = 0;
    const auto result = std::from_chars(digits.data(), digits.data() + digits.size(), number);
    if (options.port.rfind("COM", 0) != 0 || digits.empty()
        || result.ptr != digits.data() + digits.size() || number < 1 || number > 16)
        return "--port must be COM1 to COM16, not " + options.port;
    return {};
}

const char *EmulatorOptions::usage()
{
    return R"(Usage: vorn-meter-emulator [options]

Emulates the sound level meter on a pseudo-terminal linked as COMn in the
ports folder ($VORN_PORTS_DIR, else $XDG_RUNTIME_DIR/vorn/ports, else
/tmp/vorn-<uid>/ports). Run-time commands go to the FIFO COMn.control there.

Line
  --port COMn              link name, COM1 to COM16 (default COM1)
  --fast                   send the logger stream without pacing it to 38400 baud
  --record FILE            write every received chunk: seconds, hex bytes
  --verbose                report every command on standard error

Display
  --level DB               level of the signal (default 65.0)
  --signal SHAPE           constant, sine, steps or walk (default constant)
  --amplitude DB           swing of sine, steps and walk (default 10)
  --period SECONDS         period of sine, duration of a step (default 10)
  --step DB                height of a step, size of a walk's stride (default 5)
  --seed N                 random walk seed
  --range N                range index 0 (80-140 dB) to 5 (30-90 dB) (default 3)
  --freq A|C|Z|AA          frequency weighting (AA: the 20-200 Hz filter)
  --time fast|slow|imp     time weighting
  --state run|pause|stop   run state; pause sets the marker bit of the level
  --over auto|on|off       over-range flag (auto: level above the range)
  --under auto|on|off      under-range flag (auto: level below the range)

Logger
  --interval SECONDS       logging interval answered to "J" (default 1)
  --memory-units N         memory size in 64 KiB units answered to "L" (default 4)
  --set RECIPE               add a data set; repeatable. RECIPE is comma-separated:
                           records=N, interval=S, level=DB, spread=DB,
                           levels=DB/DB/DB* (explicit records, * marks),
                           freq=A|C|Z|AA, filter, time=fast|slow|imp,
                           range=N, start=YYYY-MM-DDThh:mm:ss, seed=N
  --sets-file FILE         one RECIPE per line ('#' starts a comment)

Faults
  --silent SECONDS         send nothing for that long from the start
  --broken N               the first N live frames end with a wrong byte
  --short-replies          cut the last byte off every reply
  --stall-logger-after N   logger streams stop after N bytes
  --control COMMAND        any run-time command, at start; repeatable
  --at SECONDS:COMMAND     a run-time command at that time after start

Run-time commands (one per line into COMn.control)
  silent S | deaf-on-input S | garbage N | broken N | short-replies on|off
  stall-logger-after N|off | unplug S
  level DB | signal SHAPE | amplitude DB | period S | step DB | seed N
  run | pause | stop | state run|pause|stop | range N | freq F | time T
  over auto|on|off | under auto|on|off | key CODE
  interval S | memory-units N | set RECIPE | erase | status | quit

  --help                   this text
  --version                the emulator's version
)";
}
