// The video window: the frame stretched to the window, the countdown text,
// the motion markers and the detection rectangle; its place in the parent;
// and the depth watch behind its paints.
#include "window_fakes.h"

#include "main/DepthWatch.h"
#include "main/MainLayout.h"
#include "main/VideoWnd.h"
#include "setup/DlgSetup.h"
#include "setup/PageMotionDetect.h"
#include "widgets/OffscreenDC.h"

#include <QApplication>
#include <QBackingStore>
#include <QCheckBox>
#include <QKeyEvent>
#include <QPaintEvent>
#include <QPushButton>
#include <QTimer>

#include <array>
#include <cstring>
#include <vector>

namespace {

class VideoWindowTest : public WindowTest {
protected:
    VideoWindowTest() {
        AddPlaceholder(main_layout::kIdVideo, main_layout::VideoRect());
        video = std::make_unique<CVideoWnd>(&parent, main_layout::kIdVideo, *controller, *settings,
                                            &source, app);
        CControllerTestAccess::SetImage(*controller, SolidImage(0x30, 0x30, 0x30));
        settings->MOTION_WRM = 10;
    }

    QImage Paint(QSize size) {
        video->resize(size);
        return video->grab().toImage().convertToFormat(QImage::Format_RGB32);
    }

    std::unique_ptr<CVideoWnd> video;
};

} // namespace

TEST_F(VideoWindowTest, TakesThePlaceholderCornerAndFitsTheParentLater) {
    EXPECT_EQ(video->geometry(), QRect(26, 132, 320, 240));
    settings->m_shadeHeight = 96;
    settings->APP_BUTS = 1;
    parent.resize(600, 500); // maximised: the margins of creation are kept
    video->FitToParent();
    EXPECT_EQ(video->geometry(), QRect(26, 132, 600 - 26 - 26, 500 - 28 - 132));
    settings->APP_BUTS = 0;
    parent.resize(372, 304);
    video->FitToParent();
    EXPECT_EQ(video->geometry(), QRect(26, 36, 320, 240));
}

TEST_F(VideoWindowTest, FrameIsStretchedOverTheWholeWindowAndPaintedOpaque) {
    CControllerTestAccess::SetArmCountdown(*controller, 0);
    settings->MOTION_SHO = 0;
    for (QSize size : {QSize(320, 240), QSize(640, 480), QSize(200, 100)}) {
        const QImage shot = Paint(size);
        EXPECT_EQ(shot.pixel(0, 0), qRgb(0x30, 0x30, 0x30));
        EXPECT_EQ(shot.pixel(size.width() - 1, size.height() - 1), qRgb(0x30, 0x30, 0x30));
    }
    // No running source: the background only.
    source.running = false;
    EXPECT_EQ(Paint(QSize(320, 240)).pixel(100, 100), qRgb(0, 0, 0));
}

TEST_F(VideoWindowTest, CountdownShowsOffOrTheSecondsLeft) {
    EXPECT_EQ(CVideoWnd::CountdownLine1(11, 10), "detection is");
    EXPECT_EQ(CVideoWnd::CountdownLine2(11, 10), "OFF");
    EXPECT_EQ(CVideoWnd::CountdownLine1(7, 10), "armed in");
    EXPECT_EQ(CVideoWnd::CountdownLine2(7, 10), "7");

    CControllerTestAccess::SetArmCountdown(*controller, 7);
    const QImage armed = Paint(QSize(320, 240));
    const QRect seven = BoundingBox(armed.copy(0, 80, 320, 160), IsGreenish);
    ASSERT_TRUE(seven.isValid());
    // One digit, centred: narrower than a third of the window and about the middle.
    EXPECT_LT(seven.width(), 110);
    EXPECT_NEAR(seven.center().x(), 160, 20);
    EXPECT_TRUE(BoundingBox(armed.copy(0, 0, 320, 80), IsGreenish).isValid());

    CControllerTestAccess::SetArmCountdown(*controller, 11);
    const QImage off = Paint(QSize(320, 240));
    const QRect word = BoundingBox(off.copy(0, 80, 320, 160), IsGreenish);
    EXPECT_GT(word.width(), seven.width() * 2); // "OFF" is wider than "7"
    EXPECT_NE(off, armed);
}

TEST_F(VideoWindowTest, CountdownTextKeepsItsSizeWhenTheWindowGrows) {
    CControllerTestAccess::SetArmCountdown(*controller, 7);
    const QRect small = BoundingBox(Paint(QSize(320, 240)), IsGreenish);
    const QRect large = BoundingBox(Paint(QSize(640, 480)), IsGreenish);
    ASSERT_TRUE(small.isValid());
    EXPECT_EQ(small, large);
    // Nothing of it is recorded: the frame image is untouched.
    EXPECT_EQ(controller->GetCurrentImage().bgrx[0], 0x30);
}

TEST_F(VideoWindowTest, MarkersScaleWithTheWindowAndShrinkAtEveryPaint) {
    CControllerTestAccess::SetArmCountdown(*controller, 0);
    settings->MOTION_SHO = 1;
    settings->MOTION_R_ENA = 0;
    const size_t cell = 10 * 30 + 5; // column 10, row 5
    CControllerTestAccess::SetMarker(*controller, cell, 7);
    const QRect at320 = BoundingBox(Paint(QSize(320, 240)), IsGreenish);
    EXPECT_EQ(controller->Cells()[cell], 6);
    CControllerTestAccess::SetMarker(*controller, cell, 7);
    const QRect at640 = BoundingBox(Paint(QSize(640, 480)), IsGreenish);
    ASSERT_TRUE(at320.isValid());
    ASSERT_TRUE(at640.isValid());
    // A full cell, half a cell left and down of the cell's corner.
    EXPECT_NEAR(at320.center().x(), 10 * 8 - 4 + 4, 1);
    EXPECT_NEAR(at320.center().y(), 5 * 8 + 4 + 4, 1);
    EXPECT_NEAR(at640.center().x(), 2 * at320.center().x(), 2);
    EXPECT_NEAR(at640.center().y(), 2 * at320.center().y(), 2);
    EXPECT_GT(at640.width(), at320.width() + 6);

    // Fresh marks (8) have no size yet; then full size, then smaller; then gone.
    CControllerTestAccess::SetMarker(*controller, cell, 8);
    EXPECT_FALSE(BoundingBox(Paint(QSize(320, 240)), IsGreenish).isValid());
    const QRect full = BoundingBox(Paint(QSize(320, 240)), IsGreenish);
    const QRect half = BoundingBox(Paint(QSize(320, 240)), IsGreenish);
    EXPECT_GT(full.width(), half.width());
    for (int i = 0; i < 5; ++i)
        Paint(QSize(320, 240));
    EXPECT_EQ(controller->Cells()[cell], 0);
    EXPECT_FALSE(BoundingBox(Paint(QSize(320, 240)), IsGreenish).isValid());
}

TEST_F(VideoWindowTest, DetectionRectangleScalesWithTheWindow) {
    CControllerTestAccess::SetArmCountdown(*controller, 0);
    settings->MOTION_SHO = 1;
    settings->MOTION_R_ENA = 1;
    settings->MOTION_R_LEF = 80;
    settings->MOTION_R_TOP = 60;
    settings->MOTION_R_RIG = 240;
    settings->MOTION_R_BOT = 180;
    const QRect small = BoundingBox(Paint(QSize(320, 240)), IsGreenish);
    const QRect large = BoundingBox(Paint(QSize(640, 480)), IsGreenish);
    EXPECT_NEAR(small.left(), 80, 1);
    EXPECT_NEAR(small.top(), 60, 1);
    EXPECT_NEAR(small.right(), 240, 1);
    EXPECT_NEAR(large.left(), 160, 1);
    EXPECT_NEAR(large.bottom(), 360, 1);
    // Switched off, and with the markers switched off, nothing is drawn.
    settings->MOTION_SHO = 0;
    EXPECT_FALSE(BoundingBox(Paint(QSize(320, 240)), IsGreenish).isValid());
}

TEST(DepthWatch, SettlesTwiceThenRestartsOnASwitchAndClosesOnOddDepths) {
    CDepthWatch watch;
    // The first two paints may settle the depth freely.
    EXPECT_FALSE(watch.Observe(16).restart);
    EXPECT_FALSE(watch.Observe(32).restart);
    EXPECT_FALSE(watch.Observe(32).restart);
    const CDepthWatch::CVerdict toSixteen = watch.Observe(16);
    EXPECT_TRUE(toSixteen.restart);
    EXPECT_EQ(toSixteen.depth, 16);
    EXPECT_FALSE(watch.Observe(16).restart);
    // "Cannot say" keeps the last good depth and changes nothing.
    const CDepthWatch::CVerdict unknown = watch.Observe(1);
    EXPECT_EQ(unknown.depth, 16);
    EXPECT_FALSE(unknown.restart);
    EXPECT_FALSE(unknown.unsupported);
    // Anything but 16 or 32 closes; coming back from it is no restart.
    const CDepthWatch::CVerdict odd = watch.Observe(8);
    EXPECT_TRUE(odd.unsupported);
    EXPECT_FALSE(odd.restart);
    EXPECT_FALSE(watch.Observe(32).restart);
}

TEST_F(VideoWindowTest, PaintsOnTheDisplaysDepthWithoutAskingForARestart) {
    CControllerTestAccess::SetArmCountdown(*controller, 0);
    for (int i = 0; i < 4; ++i)
        Paint(QSize(320, 240));
    EXPECT_EQ(video->PaintDepth(), 32);
    EXPECT_FALSE(app.m_bCloseRequested);
    EXPECT_FALSE(app.m_bRestartOnClose);
}

namespace {

// A widget that paints through the off-screen context and records its size.
class OffscreenProbe : public QWidget {
public:
    void paintEvent(QPaintEvent* event) override {
        COffscreenDC dc(this, event->rect());
        pictureSize = dc.PictureSize();
        pictureFormat = dc.PictureFormat();
        if (backingStore() && backingStore()->paintDevice()->devType() == QInternal::Image)
            surfaceFormat = static_cast<QImage*>(backingStore()->paintDevice())->format();
        if (fill)
            dc.Painter().fillRect(rect(), Qt::red);
    }
    bool fill = false;
    QSize pictureSize;
    QImage::Format pictureFormat = QImage::Format_Invalid;
    QImage::Format surfaceFormat = QImage::Format_Invalid;
};

} // namespace

TEST(OffscreenDC, EmptyPaintLeavesTheBackgroundAndTheClipLimitsThePicture) {
    GuiTestApp();
    OffscreenProbe probe;
    probe.resize(100, 80);
    QPalette pal = probe.palette();
    pal.setColor(QPalette::Window, QColor(10, 120, 200));
    probe.setPalette(pal);
    QImage shot(100, 80, QImage::Format_RGB32);
    shot.fill(Qt::black);
    probe.render(&shot);
    EXPECT_EQ(shot.pixel(50, 40), qRgb(10, 120, 200));
    EXPECT_EQ(probe.pictureSize, QSize(100, 80));

    probe.fill = true;
    shot.fill(Qt::black);
    probe.render(&shot, QPoint(), QRegion(20, 10, 30, 25));
    EXPECT_EQ(probe.pictureSize, QSize(30, 25));
    EXPECT_EQ(shot.pixel(25, 15), qRgb(255, 0, 0));
    EXPECT_EQ(shot.pixel(60, 50), qRgb(0, 0, 0)); // outside the box: untouched

    // On screen the picture takes the surface's own format, so the final copy
    // converts nothing.
    probe.show();
    for (int i = 0; i < 100 && probe.surfaceFormat == QImage::Format_Invalid; ++i) {
        QCoreApplication::processEvents();
        probe.repaint();
    }
    EXPECT_NE(probe.surfaceFormat, QImage::Format_Invalid);
    EXPECT_EQ(probe.pictureFormat, probe.surfaceFormat);
}

TEST_F(VideoWindowTest, HeatMapTintsEachBlockByItsChangeAgainstTheThreshold) {
    CControllerTestAccess::SetArmCountdown(*controller, 0);
    settings->MOTION_SHO = 0;
    settings->MOTION_THR = 100;
    // One detector pass over two frames: block (10, 5) changes by twice the
    // threshold, block (20, 10) by half of it (summed means of three channels).
    std::vector<uint8_t> px(320 * 240 * 4, 0x30);
    auto block = [&](int col, int rowFromTop, uint8_t level) {
        for (int y = 0; y < 8; ++y)
            std::memset(px.data() + ((29 - rowFromTop) * 8 + y) * 1280 + col * 32, level, 32);
    };
    std::array<uint8_t, CMotionDetector::kCells> cells{};
    bool first = true;
    CMotionDetector& detector = CControllerTestAccess::Detector(*controller);
    detector.Pass(px.data(), 32, {}, 100, cells.data(), first);
    block(10, 5, 0x30 + 67);
    block(20, 10, 0x30 + 17);
    detector.Pass(px.data(), 32, {}, 100, cells.data(), first);

    EXPECT_EQ(Paint(QSize(320, 240)).pixel(84, 44), qRgb(0x30, 0x30, 0x30)) << "off at first";
    // Switched on in the setup's False Alarms window, taken with OK.
    {
        CSetupServices services;
        services.settings = settings.get();
        DLG_Setup setup(services, DLG_Setup::kMotionDetect);
        QTimer::singleShot(0, [] {
            auto* window = QApplication::activeModalWidget();
            ASSERT_NE(window, nullptr);
            window->findChild<QCheckBox*>(QStringLiteral("heatMap"))->setChecked(true);
            QMetaObject::invokeMethod(window, "accept");
        });
        setup.MotionPage()->ControlAs<QPushButton>(DLG_SetupMotion::kIdFalseAlarms)->click();
        EXPECT_FALSE(video->HeatMap()) << "not before the setup's OK";
        setup.OkButton()->click();
    }
    ASSERT_TRUE(video->HeatMap());
    const QImage shot = Paint(QSize(640, 480));
    const QRgb over = shot.pixel(2 * 84, 2 * 44), under = shot.pixel(2 * 164, 2 * 84);
    EXPECT_GT(qRed(over), 0x90);
    EXPECT_LT(qGreen(over), 0x30) << "over the threshold: red";
    EXPECT_GT(qGreen(under), 0x30) << "under it: a yellow tint";
    EXPECT_LT(qRed(under), qRed(over));
    EXPECT_EQ(shot.pixel(2, 2), qRgb(0x30, 0x30, 0x30)) << "unchanged blocks stay clear";
    QKeyEvent h(QEvent::KeyPress, Qt::Key_H, Qt::NoModifier, "h");
    QApplication::sendEvent(video.get(), &h);
    EXPECT_FALSE(video->HeatMap()) << "H switches it off again";
    EXPECT_EQ(Paint(QSize(320, 240)).pixel(84, 44), qRgb(0x30, 0x30, 0x30));
    QApplication::sendEvent(video.get(), &h);
    EXPECT_TRUE(video->HeatMap()) << "... and on";
}
