#pragma once

#include <string>
#include <utility>
#include <vector>

// The command line. Every option that sets the meter's state or a fault is
// turned into the control command of the same meaning, so that start-up and
// run time share one path.
struct EmulatorOptions
{
    std::string port = "COM1";
    bool fast = false;
    bool verbose = false;
    bool help = false;
    bool version = false;
    std::string recordPath;
    std::vector<std::string> controlLines; // applied at start, in order
    std::vector<std::pair<double, std::string>> scheduled; // seconds after start, command

    // Returns an empty text on success, else what is wrong with the command line.
    static std::string parse(int argc, char **argv, EmulatorOptions &options);
    static const char *usage();
};
