#include "app/CommandLine.h"

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

} // namespace
