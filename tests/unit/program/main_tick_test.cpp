#include "program/AppObjects.h"
#include "video/StatusText.h"
#include "video/SurveillanceController.h"

#include "../video/VideoFakes.h"
#include "ControllerTestAccess.h"
#include "ManualClock.h"

#include <gtest/gtest.h>

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
