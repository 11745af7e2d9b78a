#include "Emulator.h"
#include "EmulatorOptions.h"

#include <csignal>
#include <iostream>

namespace {
volatile std::sig_atomic_t stopRequested = 0;

void requestStop(int)
{
    stopRequested = 1;
}
} // namespace

int main(int argc, char **argv)
{
    EmulatorOptions options;
    if (const auto error = EmulatorOptions::parse(argc, argv, options); !error.empty()) {
        std::cerr << "vorn-meter-emulator: " << error << "\n(--help lists the options)\n";
        return 2;
    }
    if (options.help) {
        std::cout << EmulatorOptions::usage();
        return 0;
    }
    if (options.version) {
        std::cout << "vorn-meter-emulator " << VORN_VERSION << "\n";
        return 0;
    }

    // No SA_RESTART: a signal wakes the poll, and the loop removes the link.
    struct sigaction stop
    {
    };
    stop.sa_handler = requestStop;
    sigemptyset(&stop.sa_mask);
    for (int signal : { SIGINT, SIGTERM, SIGHUP })
        sigaction(signal, &stop, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    Emulator emulator(std::move(options));
    if (const auto error = emulator.start(); !error.empty()) {
        std::cerr << "vorn-meter-emulator: " << error << "\n";
        return 1;
    }
    return emulator.run(stopRequested);
}
