// The main window as the user meets it: placement, the window shade, the
// buttons, the keyboard, and the deferred close.
#include "ControllerTestAccess.h"
#include "main_window_fixture.h"

#include "main/MainLayout.h"
#include "main/StatusWnd.h"
#include "main/VideoWnd.h"
#include "widgets/HelpWindow.h"
#include "widgets/SkinButton.h"

#include "video/SurveillanceController.h"

#include <QPainter>
#include <QScreen>
#include <QTextBrowser>
#include <algorithm>

using namespace main_layout;

namespace {

QRect WorkArea() {
    return QGuiApplication::primaryScreen()->availableGeometry();
}

} // namespace

TEST(MainWindowLayout, DialogUnitsGiveTheDescribedPixelLayout) {
    EXPECT_EQ(ClientSize(), QSize(372, 400));
    EXPECT_EQ(HelpRect(), QRect(0, 3, 93, 96));
    EXPECT_EQ(BrowseRect(), QRect(279, 3, 93, 96));
    EXPECT_EQ(StatusRect(), QRect(26, 101, 320, 31));
    EXPECT_EQ(ShadeRect(), QRect(347, 104, 26, 31));
    // The video area is 320 pixels wide; the window itself is made 320 x 240.
    EXPECT_EQ(VideoRect().topLeft(), QPoint(26, 132));
    EXPECT_EQ(VideoRect().width(), 320);
    EXPECT_EQ(CaptureHostRect().left(), 383); // beyond the dialog's width
}

TEST(MainWindowPlacement, SavedPositionsAreClampedOrCentred) {
    const QRect work(0, 0, 1024, 768);
    const QSize client(372, 400);
    // The default -4096 and anything more than 8 pixels above the top centre.
    EXPECT_EQ(DLG_Main::PlacePosition(-4096, -4096, client, work), QPoint(326, 184));
    EXPECT_EQ(DLG_Main::PlacePosition(100, -9, client, work), QPoint(326, 184));
    // Eight pixels above is still a position: pulled down to the top.
    EXPECT_EQ(DLG_Main::PlacePosition(100, -8, client, work), QPoint(100, 0));
    // Partly off the right and bottom edges: pulled back inside.
    EXPECT_EQ(DLG_Main::PlacePosition(900, 700, client, work), QPoint(652, 368));
    EXPECT_EQ(DLG_Main::PlacePosition(-50, 20, client, work), QPoint(0, 20));
    EXPECT_EQ(DLG_Main::PlacePosition(10, 20, client, work), QPoint(10, 20));
    // A work area that does not start at 0 (a panel on the left or top).
    const QRect shifted(48, 30, 1000, 700);
    EXPECT_EQ(DLG_Main::PlacePosition(0, 25, client, shifted), QPoint(48, 30));
    EXPECT_EQ(DLG_Main::PlacePosition(0, -4096, client, shifted), QPoint(48 + 314, 30 + 150));
}

TEST_F(MainWindowTest, FirstStartIsCentredWithTheButtonsShown) {
    Start();
    const QRect work = WorkArea();
    const QPoint centre(work.left() + (work.width() - 372) / 2,
                        work.top() + (work.height() - 400) / 2);
    EXPECT_EQ(dialog->pos(), centre);
    EXPECT_EQ(Settings().APP_POSX, centre.x());
    EXPECT_EQ(Settings().APP_POSY, centre.y());
    EXPECT_TRUE(dialog->windowTitle().startsWith("Oculon V2.07 "))
        << dialog->windowTitle().toStdString();
    dialog->show();
    for (int id : {kIdHelp, kIdSetup, kIdMotion, kIdBrowse, kIdShade})
        EXPECT_TRUE(dialog->Button(id)->isVisible()) << id;
    EXPECT_EQ(Settings().m_shadeHeight, 96);
    // The window-bound objects are the main window's, in their places.
    EXPECT_EQ(dialog->VideoWnd()->parentWidget(), dialog.get());
    EXPECT_EQ(dialog->StatusWnd()->parentWidget(), dialog.get());
    ASSERT_NE(app.m_pController, nullptr);
    EXPECT_EQ(dialog->VideoWnd()->geometry(), QRect(26, 132, 320, 240));
    EXPECT_EQ(dialog->StatusWnd()->geometry(), StatusRect());
    // No camera on a build machine: said once, and the program runs on.
    EXPECT_EQ(messages.m_messages.size(), 1u);
    EXPECT_EQ(dialog->TrayIcon(), nullptr);
}

TEST_F(MainWindowTest, SavedPositionOffTheScreenIsPulledBackAndStored) {
    const QRect work = WorkArea();
    WriteSettings([&](CAppSettings& s) {
        s.APP_POSX = work.right() - 100;
        s.APP_POSY = work.bottom() - 50;
    });
    Start();
    const QPoint expected(work.left() + work.width() - 372, work.top() + work.height() - 400);
    EXPECT_EQ(dialog->pos(), expected);
    EXPECT_EQ(Settings().APP_POSX, expected.x());
    EXPECT_EQ(Settings().APP_POSY, expected.y());
}

TEST_F(MainWindowTest, EveryMoveIsWrittenToTheSettingsFile) {
    Start();
    dialog->show();
    QApplication::processEvents();
    dialog->move(40, 60);
    QApplication::processEvents();
    EXPECT_EQ(Settings().APP_POSX, 40);
    EXPECT_EQ(Settings().APP_POSY, 60);
    EXPECT_NE(SettingsText().find("APP_POSX=40\n"), std::string::npos);
    EXPECT_NE(SettingsText().find("APP_POSY=60\n"), std::string::npos);
    dialog->move(41, 60);
    QApplication::processEvents();
    EXPECT_NE(SettingsText().find("APP_POSX=41\n"), std::string::npos);
}

TEST_F(MainWindowTest, MaximizingHidesTheShadeButtonAndKeepsThePosition) {
    Start();
    dialog->show();
    dialog->move(40, 60);
    QApplication::processEvents();
    dialog->showMaximized();
    QApplication::processEvents();
    EXPECT_FALSE(dialog->Button(kIdShade)->isVisible());
    EXPECT_EQ(Settings().APP_POSX, 40);
    EXPECT_EQ(Settings().APP_POSY, 60);
    // The video fills the larger window; the status panel keeps its size.
    EXPECT_GT(dialog->VideoWnd()->width(), 320);
    EXPECT_EQ(dialog->StatusWnd()->width(), 320);
    dialog->showNormal();
    QApplication::processEvents();
    EXPECT_TRUE(dialog->Button(kIdShade)->isVisible());
}

TEST_F(MainWindowTest, ShadeRollsTheButtonsUpAndTheChoiceSurvivesARestart) {
    Start();
    dialog->show();
    const int height = dialog->height();
    dialog->Button(kIdShade)->click();
    EXPECT_EQ(Settings().APP_BUTS, 0);
    for (int id : {kIdHelp, kIdSetup, kIdMotion, kIdBrowse})
        EXPECT_FALSE(dialog->Button(id)->isVisible()) << id;
    EXPECT_EQ(dialog->height(), height - 96);
    EXPECT_EQ(dialog->StatusWnd()->y(), StatusRect().y() - 96);
    EXPECT_EQ(dialog->Button(kIdShade)->y(), ShadeRect().y() - 96);
    EXPECT_EQ(dialog->VideoWnd()->y(), VideoTopRolledUp());
    EXPECT_EQ(dialog->VideoWnd()->geometry().bottom(), dialog->height() - 28 - 1);

    // Teardown writes the file; the next start is rolled up at once.
    Stop();
    EXPECT_NE(SettingsText().find("APP_BUTS=0\n"), std::string::npos);
    Start();
    dialog->show();
    EXPECT_EQ(Settings().APP_BUTS, 0);
    EXPECT_FALSE(dialog->Button(kIdHelp)->isVisible());
    EXPECT_EQ(dialog->height(), height - 96);
    EXPECT_EQ(dialog->StatusWnd()->y(), StatusRect().y() - 96);

    dialog->Button(kIdShade)->click();
    EXPECT_EQ(Settings().APP_BUTS, 1);
    EXPECT_TRUE(dialog->Button(kIdHelp)->isVisible());
    EXPECT_EQ(dialog->height(), height);
    EXPECT_EQ(dialog->StatusWnd()->y(), StatusRect().y());
    EXPECT_EQ(dialog->VideoWnd()->y(), VideoTopRolledUp() + 96);
}

TEST_F(MainWindowTest, TheWindowCannotBeResizedByItsFrameAndHidesTheCaptureHost) {
    Start();
    dialog->show();
    for (int rolls = 0; rolls < 3; ++rolls) {
        const QSize size(372, Settings().APP_BUTS ? 400 : 304);
        EXPECT_EQ(dialog->size(), size) << rolls;
        EXPECT_EQ(dialog->minimumSize(), size) << rolls;
        EXPECT_EQ(dialog->maximumSize(), size) << rolls;
        dialog->Button(kIdShade)->click();
    }
    const auto* host = dialog->findChild<QWidget*>(QString::number(kIdCaptureHost));
    ASSERT_NE(host, nullptr);
    dialog->showMaximized();
    QApplication::processEvents();
    EXPECT_FALSE(host->isVisible());
}

TEST_F(MainWindowTest, AnyNonZeroButtonSettingMeansTheRowIsShown) {
    for (int value : {2, -1, 255}) {
        WriteSettings([&](CAppSettings& s) { s.APP_BUTS = value; });
        Start();
        dialog->show();
        EXPECT_TRUE(dialog->Button(kIdHelp)->isVisible()) << value;
        EXPECT_EQ(dialog->StatusWnd()->y(), StatusRect().y()) << value;
        EXPECT_EQ(dialog->VideoWnd()->y(), VideoTopRolledUp() + 96) << value;
        dialog->Button(kIdShade)->click();
        EXPECT_EQ(Settings().APP_BUTS, 0) << value;
        EXPECT_FALSE(dialog->Button(kIdHelp)->isVisible()) << value;
        EXPECT_EQ(dialog->VideoWnd()->y(), VideoTopRolledUp()) << value;
        Stop();
    }
}

TEST_F(MainWindowTest, MotionButtonSwitchesDetectionOffAndOnAgain) {
    Start();
    CSurveillanceController& controller = *app.m_pController;
    EXPECT_EQ(controller.ArmCountdown(), 10);
    CControllerTestAccess::SetArmCountdown(controller, 4);
    CControllerTestAccess::SetFirstPass(controller, false);

    dialog->Button(kIdMotion)->click();
    EXPECT_FALSE(app.m_bMotionOn);
    EXPECT_EQ(controller.ArmCountdown(), 11);
    EXPECT_TRUE(controller.FirstPass());
    dialog->Tick(); // an off switch is not pulled back into range
    EXPECT_EQ(controller.ArmCountdown(), 11);

    CControllerTestAccess::SetFirstPass(controller, false);
    dialog->Button(kIdMotion)->click();
    EXPECT_TRUE(app.m_bMotionOn);
    EXPECT_EQ(controller.ArmCountdown(), 10);
    EXPECT_TRUE(controller.FirstPass());
}

TEST_F(MainWindowTest, SetupButtonRunsTheBracketAndKeepsDetectionOff) {
    Start();
    CSurveillanceController& controller = *app.m_pController;
    dialog->Button(kIdMotion)->click();                    // off
    CControllerTestAccess::SetArmCountdown(controller, 3); // whatever the dialog did
    dialog->Button(kIdSetup)->click();
    ASSERT_EQ(setupPages, std::vector<int>{0});
    EXPECT_TRUE(modalDuringSetup);
    EXPECT_FALSE(app.ModalOpen());
    EXPECT_EQ(controller.ArmCountdown(), 11);
}

TEST_F(MainWindowTest, HelpAndBrowseOpenTheGuideAndTheArchive) {
    WriteSettings([&](CAppSettings& s) { s.CAPTURE_PTH = home.File("archive"); });
    Start();
    dialog->Button(kIdHelp)->click();
    SendKey(dialog.get(), Qt::Key_F1);
    dialog->Button(kIdBrowse)->click();
    const auto* help = dialog->findChild<CHelpWindow*>();
    ASSERT_NE(help, nullptr);
    EXPECT_EQ(help->Browser()->source(), QUrl::fromLocalFile(SourceDocs() + "/userguide.md"));
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], QUrl::fromLocalFile(QString::fromStdString(home.File("archive"))));
}

TEST_F(MainWindowTest, EnterDoesNothing) {
    Start();
    dialog->show();
    const QString title = dialog->windowTitle();
    for (int id : {kIdHelp, kIdSetup, kIdMotion, kIdBrowse, kIdShade}) {
        dialog->Button(id)->setFocus();
        SendKey(dialog->Button(id), Qt::Key_Return);
        SendKey(dialog->Button(id), Qt::Key_Enter);
    }
    SendKey(dialog.get(), Qt::Key_Return);
    EXPECT_TRUE(opened.empty());
    EXPECT_TRUE(setupPages.empty());
    EXPECT_TRUE(app.m_bMotionOn);
    EXPECT_EQ(Settings().APP_BUTS, 1);
    EXPECT_FALSE(app.m_bCloseRequested);
    EXPECT_EQ(dialog->windowTitle(), title);
    dialog->Tick();
    EXPECT_FALSE(dialog->Ended());
}

TEST_F(MainWindowTest, EscapeAsksForTheCloseWhichEndsAtTheNextTick) {
    Start();
    dialog->show();
    SendKey(dialog.get(), Qt::Key_Escape);
    EXPECT_EQ(dialog->windowTitle(), "Oculon Closing...");
    EXPECT_TRUE(app.m_bCloseRequested);
    EXPECT_FALSE(dialog->Ended());
    EXPECT_TRUE(dialog->isVisible());
    dialog->Tick();
    EXPECT_TRUE(dialog->Ended());
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->result(), QDialog::Rejected);
    // Run after the end returns at once instead of waiting for a close that was.
    EXPECT_EQ(dialog->Run(), QDialog::Rejected);
}

TEST_F(MainWindowTest, TheCloseBoxAsksForTheCloseToo) {
    Start();
    dialog->show();
    EXPECT_FALSE(dialog->close());
    EXPECT_TRUE(app.m_bCloseRequested);
    EXPECT_EQ(dialog->windowTitle(), "Oculon Closing...");
}

TEST_F(MainWindowTest, CloseWaitsWhileTheSetupDialogIsOpen) {
    Start();
    app.m_bCloseRequested = true;
    dialog->SetSetupOpener([&](int) {
        dialog->Tick();
        clock.Advance(60'000);
        dialog->Tick();
        EXPECT_FALSE(dialog->Ended());
    });
    dialog->Button(kIdSetup)->click();
    dialog->Tick();
    EXPECT_TRUE(dialog->Ended());
}

TEST_F(MainWindowTest, RunReturnsWhenTheTimerHasCarriedOutTheClose) {
    Start();
    QTimer::singleShot(0, dialog.get(), [this] { SendKey(dialog.get(), Qt::Key_Escape); });
    EXPECT_EQ(dialog->Run(), QDialog::Rejected);
    EXPECT_TRUE(dialog->Ended());
}

TEST_F(MainWindowTest, StatusIconsShowTheirCaptionsWholeAboveThePicture) {
    // Nothing crossed out, detection armed: the icons show as they are.
    WriteSettings([](CAppSettings& s) { s.CAPTURE_JPG = s.EMAIL_ENA = 1; });
    Start();
    CControllerTestAccess::SetArmCountdown(*app.m_pController, 0);
    dialog->show();
    const QImage shot = Grab(dialog.get());
    CStatusWnd* panel = dialog->StatusWnd();
    const std::pair<CStatusWnd::Icon, const char*> icons[] = {
        {CStatusWnd::kDetect, "status_detect.png"},
        {CStatusWnd::kAlarm, "status_alarm.png"},
        {CStatusWnd::kRecord, "status_record.png"},
        {CStatusWnd::kEmail, "status_email.png"}};
    for (const auto& [icon, file] : icons) {
        // The picture on white, paled by the panel's half-white.
        QImage expected(32, 32, QImage::Format_RGB32);
        expected.fill(Qt::white);
        QPainter p(&expected);
        p.drawImage(0, 0, QImage(SourceData() + "/" + file));
        p.fillRect(expected.rect(), QColor(255, 255, 255, 0x80));
        p.end();
        // The caption fills the icon's lowest seven rows.
        const QRect caption(0, 25, 32, 7);
        const QRect at = panel->IconRect(icon).translated(panel->pos());
        // (The e-mail icon reaches past the panel's right edge, under the shade button.)
        QRect seen = caption.translated(at.topLeft());
        seen.setRight(std::min(seen.right(), panel->geometry().right()));
        EXPECT_EQ(shot.copy(seen), expected.copy(seen.translated(-at.topLeft()))) << file;
    }
}

TEST_F(MainWindowTest, ShadeArrowPointsTheWayItRollsAndRollingDownStaysOnTheScreen) {
    WriteSettings([](CAppSettings& s) { s.APP_BUTS = 0; });
    Start();
    dialog->show();
    CSkinButton* shade = dialog->Button(kIdShade);
    ASSERT_TRUE(shade->IsOwnerDraw());
    const QImage up =
        QImage(SourceData() + "/button_windowshade_u.jpg").convertToFormat(QImage::Format_RGB32);
    const QRect work = dialog->screen()->availableGeometry();
    // Rolled up and resting on the bottom of the work area.
    dialog->move(work.left() + 10, work.bottom() + 1 - dialog->frameGeometry().height());
    const struct {
        const char* text;
        QImage picture;
    } states[] = {{"v", up.mirrored(false, true)}, {"^", up}, {"v", up.mirrored(false, true)}};
    for (const auto& state : states) {
        SCOPED_TRACE(state.text);
        EXPECT_EQ(shade->text(), state.text);
        EXPECT_EQ(Grab(shade), state.picture);
        EXPECT_LE(dialog->frameGeometry().bottom(), work.bottom());
        EXPECT_EQ(QPoint(Settings().APP_POSX, Settings().APP_POSY), dialog->pos());
        shade->click();
    }
}
