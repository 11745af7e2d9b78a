#include "platform/StopRequests.h"

#include <gtest/gtest.h>

#include <csignal>

namespace {

// Each way a station is told to stop is only noted, for the program to
// finish its files in its own thread: a hang-up (a closed terminal), an
// interrupt (Ctrl+C) and a service manager's stop.
TEST(StopRequests, EveryWayOfStoppingIsNotedForTheProgram)
{
#ifdef _WIN32
    GTEST_SKIP() << "Ctrl+C and Ctrl+Break would reach every program on this console";
#else
    watchStopRequests();
    EXPECT_FALSE(stopRequested());
    for (const int signal : { SIGHUP, SIGINT, SIGTERM }) {
        SCOPED_TRACE(signal);
        ::raise(signal);
        EXPECT_TRUE(stopRequested()); // the process is still here to see it
    }
    stopFinished();
#endif
}

} // namespace
