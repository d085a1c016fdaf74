#include "video/capture/ReconnectDelays.h"

#include <gtest/gtest.h>

#include <vector>

TEST(ReconnectDelays, DoubleFromTheFirstUpToTheLongest) {
    using std::chrono::milliseconds;
    using std::chrono::seconds;
    struct {
        milliseconds first, longest;
        std::vector<milliseconds> waits;
    } const cases[] = {
        {seconds(1),
         seconds(30),
         {seconds(1), seconds(2), seconds(4), seconds(8), seconds(16), seconds(30), seconds(30)}},
        {milliseconds(50),
         milliseconds(200),
         {milliseconds(50), milliseconds(100), milliseconds(200), milliseconds(200)}},
        {seconds(5), seconds(3), {seconds(3), seconds(3)}},
    };
    for (const auto& c : cases) {
        CReconnectDelays delays(c.first, c.longest);
        std::vector<milliseconds> waits;
        for (size_t i = 0; i < c.waits.size(); ++i)
            waits.push_back(delays.Next());
        EXPECT_EQ(waits, c.waits) << c.first.count();
    }
}
