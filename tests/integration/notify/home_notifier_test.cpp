// The notifier's phone alerts against a real HTTP receiver: the cooldown holds
// captures back and lists them in the next alert.
#include "PushReceiver.h"
#include "TempDir.h"
#include "app/AppSettings.h"
#include "app/TagParser.h"
#include "notify/HomeNotifier.h"

#include <gtest/gtest.h>

namespace {

TEST(HomeNotifier, TheCooldownListsHeldCapturesInTheNextAlert) {
    const struct {
        int cooldownMin;
        std::vector<std::string> titles; // of the pushes, in order
    } cases[] = {
        {0, {"start", "end", "start", "end", "start", "end", "start", "end"}},
        {10, {"start", "end", "start", "end"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.cooldownMin);
        CTempDir dir;
        std::filesystem::create_directories(dir.File("got"));
        CPushReceiver receiver(dir.File("got"), 0);
        CTagParser parser(false);
        CAppSettings settings(parser, dir.Folder(), dir.File("oculon"));
        settings.VIDEO_SRC = "Yard";
        settings.PUSH_MODE = 2;
        settings.PUSH_URL = receiver.Url("/yard");
        settings.PUSH_COOLDOWN_MIN = c.cooldownMin;
        CHomeNotifier notifier(settings, dir.Folder());
        // Captures starting at these wall seconds; the last is ten minutes after the first.
        for (const int64_t start : {1000, 1100, 1200, 1600}) {
            notifier.OnCaptureStart({"m.wmv", "", "", 0, start});
            notifier.OnCaptureEnd({"m.wmv", "", "", 30, start + 20});
        }
        const auto got = receiver.WaitFor(c.titles.size() + 1, 1500);
        ASSERT_EQ(got.size(), c.titles.size());
        for (size_t i = 0; i < got.size(); ++i) {
            const char* title =
                c.titles[i] == "start" ? "Title: Motion: Yard" : "Title: Capture ended: Yard";
            EXPECT_NE(got[i].head.find(title), std::string::npos) << i << got[i].head;
        }
        const std::string& lastStart = got[got.size() - 2].body;
        EXPECT_EQ(lastStart.find("2 more since the last alert: " + CHomeNotifier::IsoTime(1100) +
                                 " " + CHomeNotifier::IsoTime(1200)) != std::string::npos,
                  c.cooldownMin > 0)
            << lastStart;
    }
}

} // namespace
