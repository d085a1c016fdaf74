#include "program/DeferredClose.h"

#include <gtest/gtest.h>

namespace {

TEST(DeferredClose, EndsAtOnceWithoutBusyMails) {
    CDeferredClose close;
    EXPECT_TRUE(close.Tick(1000, 0));
}

TEST(DeferredClose, WaitsForMailsAtMostTwentyWholeSeconds) {
    CDeferredClose close;
    EXPECT_FALSE(close.Tick(1000, 2));
    EXPECT_FALSE(close.Tick(1010, 1));
    EXPECT_FALSE(close.Tick(1020, 1)); // exactly 20 seconds still waits
    EXPECT_TRUE(close.Tick(1021, 1));
}

TEST(DeferredClose, EndsAtTheFirstTickAfterTheMailIsDone) {
    CDeferredClose close;
    EXPECT_FALSE(close.Tick(500, 1));
    EXPECT_FALSE(close.Tick(503, 1));
    EXPECT_TRUE(close.Tick(503, 0));
}

} // namespace
