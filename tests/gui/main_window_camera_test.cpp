// The whole window on a virtual camera: the steps run from the main tick, the
// video window shows the frame with the countdown, the status panel follows,
// and the motion button switches the countdown off and on again.
#include "main_window_fixture.h"
#include "window_fakes.h"

#include "main/MainLayout.h"
#include "main/StatusWnd.h"
#include "main/VideoWnd.h"
#include "widgets/SkinButton.h"

#include "video/SurveillanceController.h"
#include "video/capture/VideoSourceWnd.h"

using namespace main_layout;

namespace {

bool IsSceneGrey(QRgb c) {
    return std::abs(qRed(c) - 0x60) < 8 && std::abs(qGreen(c) - 0x60) < 8 &&
           std::abs(qBlue(c) - 0x60) < 8;
}

class CameraWindowTest : public MainWindowTest {
protected:
    // One surveillance step: the tick after the step interval has passed.
    void Step() {
        clock.Advance(150);
        dialog->Tick();
    }
    std::string Status() {
        dialog->StatusWnd()->OnTimer();
        return dialog->StatusWnd()->Status().toStdString();
    }
    QRect CountdownNumber() {
        return BoundingBox(Grab(dialog->VideoWnd()).copy(0, 80, 320, 160), IsGreenish);
    }
};

} // namespace

TEST_F(CameraWindowTest, CountsDownOnTheLivePictureAndSwitchesOffAndOn) {
    UseVirtualCamera();
    Start();
    ASSERT_TRUE(app.m_pVideoSource->IsRunning());
    EXPECT_TRUE(messages.m_messages.empty()); // one camera, nothing to say
    dialog->show();
    CSurveillanceController& controller = *app.m_pController;

    Step(); // the very first step lowers the countdown
    EXPECT_EQ(controller.ArmCountdown(), 9);
    ASSERT_FALSE(controller.GetCurrentImage().Empty());
    EXPECT_EQ(Status(), "system status:\r\nmotion detection active in 09");
    const QImage shot = Grab(dialog->VideoWnd());
    EXPECT_TRUE(IsSceneGrey(shot.pixel(20, 180))) << std::hex << shot.pixel(20, 180);
    const QRect nine = CountdownNumber();
    ASSERT_TRUE(nine.isValid());

    dialog->Button(kIdMotion)->click();
    Step();
    EXPECT_EQ(controller.ArmCountdown(), 11);
    EXPECT_EQ(Status(), "system status:\r\nmotion detection is off");
    EXPECT_GT(CountdownNumber().width(), nine.width() * 2); // "OFF"

    dialog->Button(kIdMotion)->click();
    Step();
    EXPECT_EQ(controller.ArmCountdown(), 10); // restarted from MOTION_WRM
    EXPECT_EQ(Status(), "system status:\r\nmotion detection active in 10");

    // A close stops the steps at once; the picture stays as it was.
    SendKey(dialog.get(), Qt::Key_Escape);
    EXPECT_EQ(Status(), "system status:\r\nclosing down...");
    dialog->Tick();
    EXPECT_TRUE(dialog->Ended());
}
