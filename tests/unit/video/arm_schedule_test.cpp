#include "video/ArmSchedule.h"

#include "app/Clock.h"

#include <gtest/gtest.h>

namespace {

CLocalTime At(int weekday, int hour, int minute) {
    CLocalTime t;
    t.weekday = weekday;
    t.hour = hour;
    t.minute = minute;
    t.second = 59;
    return t;
}

constexpr int kSun = 0, kMon = 1, kTue = 2, kFri = 5, kSat = 6;

} // namespace

TEST(ArmSchedule, AnswersArmedAndTheNextEdgeOverTheWeek) {
    const std::string nights = "Mon-Fri 22:00-06:30; Sat,Sun 00:00-24:00";
    struct Case {
        std::string text;
        CLocalTime at;
        bool armed;
        std::string nextEdge; // empty: no edge ever
    };
    const Case cases[] = {
        {nights, At(kMon, 21, 59), false, "22:00"},
        {nights, At(kMon, 22, 0), true, "06:30"},
        {nights, At(kTue, 6, 29), true, "06:30"},     // Monday night over midnight
        {nights, At(kTue, 6, 30), false, "22:00"},    // the end minute itself is off
        {nights, At(kSat, 3, 0), true, "Mon 00:00"},  // Fri night runs into the weekend
        {nights, At(kFri, 23, 0), true, "Mon 00:00"}, // Fri 22:00 to Sun 24:00 in one
        {nights, At(kSun, 23, 59), true, "00:00"},    // 24:00 is the day's end
        {nights, At(kMon, 6, 0), false, "22:00"},     // no Sunday night window
        {"sat-mon 08:00-09:00, 20:00-21:00", At(kSun, 9, 0), false, "20:00"},
        {"Sat-Mon 08:00-09:00 20:00-21:00", At(kMon, 20, 30), true, "21:00"},
        {"Sat-Mon 08:00-09:00", At(kMon, 10, 0), false, "Sat 08:00"}, // wraps Mon to Sat
        {"Sat 23:00-01:00", At(kSun, 0, 30), true, "01:00"},          // across the week's end
        {"Sun-Sat 00:00-24:00", At(kFri, 12, 0), true, ""},
        {"", At(kMon, 12, 0), false, ""},
        {" ; ", At(kMon, 12, 0), false, ""},
    };
    for (const Case& c : cases) {
        CArmSchedule s;
        ASSERT_TRUE(s.Parse(c.text)) << c.text << ": " << s.Error();
        const int now = CArmSchedule::WeekMinute(c.at);
        EXPECT_EQ(s.ArmedAt(c.at), c.armed) << c.text << " at " << now;
        const int edge = s.NextEdge(now);
        EXPECT_EQ(edge < 0 ? "" : CArmSchedule::EdgeText(now, edge), c.nextEdge)
            << c.text << " at " << now;
        if (edge >= 0) {
            EXPECT_NE(s.ArmedAt(edge), c.armed) << c.text;
        }
    }
}

TEST(ArmSchedule, BadTextSaysWhatIsWrongAndLeavesNoSchedule) {
    const std::pair<std::string, std::string> cases[] = {
        {"Mnn 22:00-06:00", "unknown day \"Mnn\""},
        {"Mon-Fro 22:00-06:00", "unknown day \"Mon-Fro\""},
        {"22:00-06:00", "no days before"},
        {"Mon-Fri", "no times after \"Mon-Fri\""},
        {"Mon 25:00-06:00", "bad time \"25:00-06:00\""},
        {"Mon 24:00-06:00", "bad time"},
        {"Mon 22:00-24:01", "bad time"},
        {"Mon 22:60-23:00", "bad time"},
        {"Mon 2200-0600", "bad time"},
        {"Mon 22:00", "bad time"},
        {"Mon 7:5-8:00", "bad time"},
        {"Mon 08:00-08:00", "empty window"},
        {"Mon 08:00-09:00; Tue", "no times after \"Tue\""},
    };
    for (const auto& [text, why] : cases) {
        CArmSchedule s;
        ASSERT_TRUE(s.Parse("Mon 00:00-24:00"));
        EXPECT_FALSE(s.Parse(text)) << text;
        EXPECT_NE(s.Error().find(why), std::string::npos) << text << " -> " << s.Error();
        EXPECT_TRUE(s.Empty()) << text;
        EXPECT_FALSE(s.ArmedAt(At(kMon, 12, 0))) << text;
    }
    CArmSchedule s;
    EXPECT_TRUE(s.Parse("Mon 7:05-8:00")) << "one-digit hours are fine";
    EXPECT_TRUE(s.ArmedAt(At(kMon, 7, 5)));
}
