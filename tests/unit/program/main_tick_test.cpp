#include "program/AppObjects.h"
#include "program/Housekeeping.h"
#include "video/StatusText.h"
#include "video/SurveillanceController.h"

#include "../video/VideoFakes.h"
#include "ControllerTestAccess.h"
#include "ManualClock.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

TEST(MainTick, PausesForDialogsAndKeepsTheCountdownInRange) {
    CTestSettings settings;
    settings->MOTION_WRM = 1;
    settings->MOTION_FPS = 10;
    CManualClock clock;
    CFakeSource source;
    CAppObjects objects;
    CSurveillanceServices services{&source, nullptr, nullptr, nullptr, nullptr};
    objects.m_pController =
        std::make_unique<CSurveillanceController>(*settings, clock, objects.m_bMotionOn, services);
    CSurveillanceController& c = *objects.m_pController;
    CControllerTestAccess::SetArmCountdown(c, -4);
    c.RunSetup([&] {
        EXPECT_TRUE(objects.ModalOpen());
        clock.Advance(50);
        objects.MainTick(clock);
        EXPECT_EQ(c.ArmCountdown(), 1);
        EXPECT_EQ(source.m_fetches, 0) << "no steps while a dialog is up";
    });
    EXPECT_FALSE(objects.ModalOpen());
    objects.MainTick(clock);
    EXPECT_EQ(source.m_fetches, 1);
}

} // namespace

TEST(MainTick, ArmScheduleSwitchesOnlyAtItsEdgesAndTheButtonOverridesUntilTheNext) {
    CTestSettings settings;
    settings->MOTION_WRM = 1;
    settings->ARM_SCHEDULE = "Mon 22:00-06:30";
    CManualClock clock;
    CFakeSource source;
    CAppObjects objects;
    CSurveillanceServices services{&source, nullptr, nullptr, nullptr, nullptr};
    objects.m_pController =
        std::make_unique<CSurveillanceController>(*settings, clock, objects.m_bMotionOn, services);
    CSurveillanceController& c = *objects.m_pController;
    CStatusText status;

    struct Step {
        int weekday, hour, minute;
        bool pressButton; // the on/off button, before the tick
        bool on;
        const char* status;
    };
    const Step steps[] = {
        {1, 21, 59, false, false, "disarmed by schedule until 22:00"}, // read at start
        {1, 21, 59, true, true, "motion detection active in 01"},      // the button overrides
        {1, 21, 59, false, true, "motion detection active in 01"},     // ... and stays
        {1, 21, 59, true, false, "disarmed by schedule until 22:00"},
        {1, 22, 0, false, true, "motion detection active in 01"}, // the edge arms
        {1, 23, 0, true, false, "motion detection is off"},       // off inside a window
        {2, 3, 0, false, false, "motion detection is off"},       // no edge: stays off
        {2, 6, 30, false, false, "disarmed by schedule until Mon 22:00"},
        {2, 7, 0, true, true, "motion detection active in 01"},
        {2, 8, 0, false, true, "motion detection active in 01"},
        {1, 22, 0, false, true, "motion detection active in 01"}, // armed edge, already on
        {2, 6, 30, false, false, "disarmed by schedule until Mon 22:00"},
    };
    for (const Step& s : steps) {
        clock.m_local.weekday = s.weekday;
        clock.m_local.hour = s.hour;
        clock.m_local.minute = s.minute;
        if (s.pressButton)
            c.ToggleDetection();
        objects.MainTick(clock); // the steady clock stands: no step counts the arming down
        const std::string at = std::to_string(s.weekday) + " " + std::to_string(s.hour) + ":" +
                               std::to_string(s.minute);
        EXPECT_EQ(objects.m_bMotionOn, s.on) << at;
        status.Update(c.StatusInputs(false));
        EXPECT_EQ(status.Text(), s.status) << at;
        EXPECT_LE(16 + status.Text().size(), 64u) << "fits the panel after \"system status:\"";
    }
    settings->ARM_SCHEDULE.clear(); // no schedule: the switch alone decides
    clock.m_local.hour = 23;
    objects.MainTick(clock);
    EXPECT_FALSE(objects.m_bMotionOn);
    status.Update(c.StatusInputs(false));
    EXPECT_EQ(status.Text(), "motion detection is off");
}

// Ten seconds of the loop both programs run, over its timing rules alone:
// steps on a grid of 1000 / fps ms, housekeeping every 100 ms or so, wake-ups
// a little late as sleeps are. The
// housekeeping wakes the loop only when the steps are too far apart, and
// never runs much more often, or later, than its period.
TEST(Housekeeping, RidesOnTheStepsWakeUpsAndStillRunsAboutEveryPeriod) {
    struct Case {
        int fps;
        int wakes;      // in 10 s
        int64_t maxGap; // between two housekeeping runs, ms, sleeps' lateness included
    };
    const Case cases[] = {{1, 90, 202},   {2, 80, 202},   {5, 50, 202},
                          {10, 100, 102}, {20, 200, 102}, {30, 300, 112}};
    for (const Case& c : cases) {
        const int64_t stepUs = 1000000 / c.fps;
        int64_t nextStepUs = 0;
        int64_t housekeepingDue = 0;
        int64_t lastRun = -1;
        int64_t minGap = INT64_MAX;
        int64_t maxGap = 0;
        int wakes = 0;
        for (int64_t now = 0; now < 10000;) {
            ++wakes;
            if (now * 1000 >= nextStepUs)
                nextStepUs += stepUs;
            if (housekeeping::IsDue(now, housekeepingDue)) {
                if (lastRun >= 0) {
                    minGap = std::min(minGap, now - lastRun);
                    maxGap = std::max(maxGap, now - lastRun);
                }
                lastRun = now;
                housekeepingDue = now + housekeeping::kPeriodMs;
            }
            // Sleeps overshoot: each wake-up lands 0, 1 or 2 ms late.
            const int64_t wake =
                housekeeping::NextWake((nextStepUs + 999) / 1000, housekeepingDue) + wakes % 3;
            now = std::max(now + 1, wake);
        }
        EXPECT_EQ(wakes, c.wakes) << c.fps << " fps";
        EXPECT_LE(maxGap, c.maxGap) << c.fps << " fps";
        EXPECT_GE(minGap, housekeeping::kPeriodMs - housekeeping::kEarlyMs) << c.fps << " fps";
    }
}
