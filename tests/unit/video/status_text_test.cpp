#include "video/StatusText.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct Panel {
    CStatusText status;
    CStatusInputs in;
    std::vector<std::string> shown;
    bool Tick() {
        const bool busy = status.Update(in);
        if (shown.empty() || shown.back() != status.Text())
            shown.push_back(status.Text());
        return busy;
    }
};

} // namespace

TEST(StatusText, FollowsArmingWatchingAndRecording) {
    Panel p;
    EXPECT_EQ(p.status.Text(), "IDLE");
    p.in.sourceRunning = true;
    p.in.warmUp = 10;
    for (int n = 10; n >= 1; --n) {
        p.in.armCountdown = n;
        EXPECT_TRUE(p.Tick());
    }
    p.in.armCountdown = 0;
    EXPECT_TRUE(p.Tick()) << "busy once when arming ends";
    EXPECT_FALSE(p.Tick()) << "then idle while watching";
    p.in.recording = p.in.motion = true;
    EXPECT_TRUE(p.Tick());
    p.in.motion = false;
    EXPECT_TRUE(p.Tick());
    p.in.recording = false;
    EXPECT_TRUE(p.Tick());
    p.in.mailSending = true;
    EXPECT_TRUE(p.Tick());
    p.in.mailSending = false;
    p.in.closeRequested = true;
    EXPECT_TRUE(p.Tick());

    const std::vector<std::string> expected = {
        "motion detection active in 10", "motion detection active in 09",
        "motion detection active in 08", "motion detection active in 07",
        "motion detection active in 06", "motion detection active in 05",
        "motion detection active in 04", "motion detection active in 03",
        "motion detection active in 02", "motion detection active in 01",
        "motion detection is active",    "motion has been detected",
        "motion detection is active",    "closing down..."};
    EXPECT_EQ(p.shown, expected);
}

TEST(StatusText, AFullArchiveIsShownWhileArmedUntilThereIsRoom) {
    Panel p;
    p.in.sourceRunning = true;
    p.Tick();
    p.in.archivePaused = true;
    EXPECT_TRUE(p.Tick());
    p.in.recording = true;
    p.Tick();
    p.in.archivePaused = p.in.recording = false;
    p.Tick();
    EXPECT_EQ(p.shown, (std::vector<std::string>{"motion detection is active",
                                                 "motion detection is active (archive full)",
                                                 "motion has been detected (archive full)",
                                                 "motion detection is active"}));
    // The panel shows "system status:\r\n" and the text cut to 64 characters.
    for (const std::string& text : p.shown)
        EXPECT_LE(16 + text.size(), 64u) << text;
}

TEST(StatusText, OffAndNoDeviceTexts) {
    Panel p;
    p.in.warmUp = 10;
    p.in.armCountdown = 11;
    EXPECT_TRUE(p.Tick());
    EXPECT_EQ(p.status.Text(), "No video input device!");
    p.in.sourceRunning = true;
    p.Tick();
    EXPECT_EQ(p.status.Text(), "motion detection is off");
    // A device lost while watching and found again shows the armed text again.
    p.in.armCountdown = 0;
    p.Tick();
    EXPECT_EQ(p.status.Text(), "motion detection is active");
    p.in.sourceRunning = false;
    p.Tick();
    p.in.sourceRunning = true;
    p.Tick();
    EXPECT_EQ(p.status.Text(), "motion detection is active");
    // A negative countdown is left alone (the main tick puts it back in range).
    p.in.armCountdown = -1;
    p.in.recording = true;
    p.Tick();
    EXPECT_EQ(p.status.Text(), "motion detection is active");
}
