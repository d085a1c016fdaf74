#include "app/CommandLine.h"
#include "app/DeferredClose.h"

#include <gtest/gtest.h>

namespace {

TEST(CommandLine, KeywordsAreCaseSensitiveSubstrings) {
    EXPECT_FALSE(CCommandLine("").m_bTrayMode);
    EXPECT_FALSE(CCommandLine("").m_bDelayStart);
    const CCommandLine both("CMDARG_DELAYCMDARG_STRAY");
    EXPECT_TRUE(both.m_bDelayStart);
    EXPECT_TRUE(both.m_bTrayMode);
    const CCommandLine lower("cmdarg_stray");
    EXPECT_FALSE(lower.m_bTrayMode);
    EXPECT_FALSE(lower.m_bDelayStart);
    const CCommandLine embedded("--xCMDARG_STRAYx");
    EXPECT_TRUE(embedded.m_bTrayMode);
    EXPECT_FALSE(embedded.m_bDelayStart);
}

TEST(CommandLine, JoinsArgumentsBehindTheProgramName) {
    const char* argv[] = {"oculon", "CMDARG_DELAY", "x"};
    EXPECT_EQ(CCommandLine::JoinArguments(3, argv), "CMDARG_DELAY x");
    EXPECT_EQ(CCommandLine::JoinArguments(1, argv), "");
}

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
