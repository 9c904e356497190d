// SIGTERM as a stop request: recorded by the handler, named, and taken once
// (the process is not ended by it). The whole path through a running
// program is in the end-to-end tests.
#include <gtest/gtest.h>

#include <signal.h>

#include "platform/linux/signal_stop_requests.h"

namespace qv {
namespace {

TEST(SignalStopRequests, ASignalIsRecordedNamedAndTakenOnce) {
    SignalStopRequests stops;
    EXPECT_FALSE(stops.requested());
    ASSERT_EQ(raise(SIGTERM), 0);  // would end the process without the handler
    EXPECT_TRUE(stops.requested());
    EXPECT_EQ(stops.description(), "SIGTERM");
    EXPECT_EQ(stops.exitCode(), 143);
    stops.take();
    EXPECT_FALSE(stops.requested());
}

} // namespace
} // namespace qv
