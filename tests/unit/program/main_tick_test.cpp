#include "program/AppObjects.h"
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
