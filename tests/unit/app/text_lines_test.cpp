#include "app/TextLines.h"

#include <gtest/gtest.h>

TEST(JoinLines, EveryKindOfLineBreakBecomesOneJoiner) {
    struct Case {
        const char* text;
        const char* joiner;
        const char* joined;
    };
    const Case cases[] = {
        {"a\r\nb", " ", "a b"},
        {"a\nb\rc", "\\n", "a\\nb\\nc"},
        {"a\r\n\r\nb", "|", "a||b"},
        {"a\n\rb", "|", "a||b"}, // LF CR is two breaks
        {"\r\nend\r", "\n", "\nend\n"},
        {"plain", " ", "plain"},
        {"", " ", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(JoinLines(c.text, c.joiner), c.joined) << c.text;
}
