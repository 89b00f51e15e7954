// The end signals reach the program as bytes on a descriptor it can watch.
#include <gtest/gtest.h>

#include <poll.h>

#include <csignal>
#include <initializer_list>

#include "common/EndSignals.h"

namespace {

TEST(EndSignals, EachArrivesOnTheDescriptorInsteadOfEndingTheProgram)
{
    uint32_t error = 0;
    const int fd = WatchEndSignals(error);
    ASSERT_GE(fd, 0) << error;
    EXPECT_EQ(WatchEndSignals(error), fd);  // installed once
    EXPECT_EQ(TakeEndSignals(fd), 0);
    for (const int signalNumber : {SIGTERM, SIGHUP, SIGINT}) {
        ASSERT_EQ(std::raise(signalNumber), 0);
        pollfd ready{fd, POLLIN, 0};
        ASSERT_EQ(::poll(&ready, 1, 0), 1) << signalNumber;  // raise returns after the handler ran
        EXPECT_EQ(TakeEndSignals(fd), signalNumber);
        EXPECT_EQ(::poll(&ready, 1, 0), 0);
    }
}

}  // namespace
