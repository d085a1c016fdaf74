#include "RecordingSinks.h"
#include "TempDir.h"
#include "app/TagParser.h"

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>

namespace {

TEST(TagParserGetInt, FindsKeyAnywhereEvenInsideLongerWord) {
    const CTagParser parser(false);
    int value = -1;
    EXPECT_TRUE(parser.GetInt("XA=5\n", "A=", value, 9));
    EXPECT_EQ(value, 5);
}

TEST(TagParserGetInt, AtoiRulesAndCuts) {
    const CTagParser parser(false);
    int value = 0;
    EXPECT_TRUE(parser.GetInt("K= -7\n", "K=", value, 9));
    EXPECT_EQ(value, -7);
    EXPECT_TRUE(parser.GetInt("K=\nL=3\n", "K=", value, 9));
    EXPECT_EQ(value, 0);
    EXPECT_TRUE(parser.GetInt("K=12abc\n", "K=", value, 9));
    EXPECT_EQ(value, 12);
    EXPECT_TRUE(parser.GetInt("K=abc\n", "K=", value, 9));
    EXPECT_EQ(value, 0);
    // No comma and no line feed anywhere behind the key: the value is empty.
    EXPECT_TRUE(parser.GetInt("K=42", "K=", value, 9));
    EXPECT_EQ(value, 0);
    // A comma far behind still ends the value; atoi stops at the first non-digit.
    EXPECT_TRUE(parser.GetInt("K=42 and more, text", "K=", value, 9));
    EXPECT_EQ(value, 42);
    EXPECT_TRUE(parser.GetInt("K=+8,\n", "K=", value, 9));
    EXPECT_EQ(value, 8);
}

TEST(TagParserGetInt, FirstOccurrenceWins) {
    const CTagParser parser(false);
    int value = 0;
    EXPECT_TRUE(parser.GetInt("<T>MOTION_FPS=33\n</T>\nMOTION_FPS=12\n", "MOTION_FPS=", value, 10));
    EXPECT_EQ(value, 33);
}

TEST(TagParserGetInt, MissGivesDefaultAndReportsOnlyWhenAsked) {
    CRecordingMessageSink sink;
    int value = 0;
    EXPECT_FALSE(CTagParser(false).GetInt("nothing\n", "K=", value, 9));
    EXPECT_EQ(value, 9);
    EXPECT_TRUE(sink.m_messages.empty());
    EXPECT_FALSE(CTagParser(true).GetInt("nothing\n", "K=", value, 4));
    EXPECT_EQ(value, 4);
    ASSERT_EQ(sink.m_messages.size(), 1u);
    EXPECT_EQ(sink.m_messages[0].text, "Parsing problem:\n\n'K=' Not Found");
    EXPECT_EQ(sink.m_messages[0].icon, MessageIcon::Warning);
}

TEST(TagParserGetInt, HugeNumbersDoNotOverflow) {
    const CTagParser parser(false);
    int value = 0;
    EXPECT_TRUE(parser.GetInt("K=99999999999999999999\n", "K=", value, 9));
    EXPECT_EQ(value, 2147483647);
    EXPECT_TRUE(parser.GetInt("K=-99999999999999999999\n", "K=", value, 9));
    EXPECT_EQ(value, -2147483647 - 1);
}

TEST(TagParserGetTagged, TextBetweenTagsVerbatim) {
    const CTagParser parser(false);
    EXPECT_EQ(parser.GetTagged("x<A> two\nlines </A>y", "<A>", "</A>"), " two\nlines ");
    EXPECT_EQ(parser.GetTagged("<A>first</A><A>second</A>", "<A>", "</A>"), "first");
}

TEST(TagParserGetTagged, MissesAndEmptyValues) {
    CRecordingMessageSink sink;
    const CTagParser parser(true);
    // Closing tag only before the opening tag: a miss of the closing tag.
    EXPECT_EQ(parser.GetTagged("</A><A>value", "<A>", "</A>"), "");
    EXPECT_EQ(parser.GetTagged("no tags", "<A>", "</A>"), "");
    // Directly closed: empty, but found, so nothing is reported.
    EXPECT_EQ(parser.GetTagged("<A></A>", "<A>", "</A>"), "");
    EXPECT_EQ(sink.Texts(), (std::vector<std::string>{
                                "Parsing problem:\n\n'</A>' Not Found",
                                "Parsing problem:\n\n'<A>' Not Found",
                            }));
}

TEST(TagParserGetTagged, MissReportOfAnEmptyKeyReadsUnknown) {
    EXPECT_EQ(CTagParser::MissReportText(""), "Parsing problem:\n\nUnknown");
    EXPECT_EQ(CTagParser::MissReportText("<X>"), "Parsing problem:\n\n'<X>' Not Found");
}

TEST(TagParserNumbers, ToFloatFollowsTheCLibraryRules) {
    EXPECT_FLOAT_EQ(CTagParser::ToFloat("2.08"), 2.08f);
    EXPECT_FLOAT_EQ(CTagParser::ToFloat("  -1.5e2xyz"), -150.0f);
    EXPECT_FLOAT_EQ(CTagParser::ToFloat("abc"), 0.0f);
    EXPECT_FLOAT_EQ(CTagParser::ToFloat(""), 0.0f);
    // Only the characters of the view count.
    EXPECT_FLOAT_EQ(CTagParser::ToFloat(std::string_view("3.25", 3)), 3.2f);
}

TEST(TagParserNumbers, ToFloatIgnoresADecimalCommaLocale) {
    // Build a German locale in a temporary folder so the test does not depend
    // on which locales the machine has compiled.
    CTempDir dir;
    const std::string cmd =
        "localedef -i de_DE -c -f UTF-8 " + dir.File("de_DE.UTF-8") + " >/dev/null 2>&1";
    if (std::system(cmd.c_str()) != 0 && !std::filesystem::exists(dir.File("de_DE.UTF-8")))
        GTEST_SKIP() << "localedef cannot build de_DE";
    ::setenv("LOCPATH", dir.Path().c_str(), 1);
    const std::string saved = std::setlocale(LC_NUMERIC, nullptr);
    ASSERT_NE(std::setlocale(LC_NUMERIC, "de_DE.UTF-8"), nullptr);
    EXPECT_EQ(std::atof("2.08"), 2.0); // what the C library alone would give
    const float value = CTagParser::ToFloat("2.08");
    std::setlocale(LC_NUMERIC, saved.c_str());
    ::unsetenv("LOCPATH");
    EXPECT_FLOAT_EQ(value, 2.08f);
}

TEST(TagParserNumbers, IntToTextIsDecimal) {
    EXPECT_EQ(CTagParser::IntToText(-4096), "-4096");
    EXPECT_EQ(CTagParser::IntToText(0), "0");
    EXPECT_EQ(CTagParser::IntToText(600), "600");
}

} // namespace
