// Skinned buttons with all, some or none of their pictures, and tray mode.
#include "main_window_fixture.h"

#include "main/MainLayout.h"
#include "main/TrayIcon.h"
#include "video/ArmCountdown.h"
#include "video/SurveillanceController.h"
#include "widgets/HelpWindow.h"
#include "widgets/SkinButton.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QTextBrowser>

using namespace main_layout;

namespace {

const int kAllButtons[] = {kIdHelp, kIdSetup, kIdMotion, kIdBrowse, kIdShade};

class SkinTest : public MainWindowTest {
protected:
    // A data folder holding copies of the named pictures only.
    void UseSkins(const QStringList& names) {
        const QString folder = QString::fromStdString(home.File("skins"));
        QDir().mkpath(folder);
        for (const QString& name : names)
            QFile::copy(SourceData() + "/" + name, folder + "/" + name);
        data_files::SetSearchFolders({folder});
    }

    static QStringList AllSkinFiles() {
        QStringList names;
        for (const char* stem : {"button_oculon", "button_setup", "button_motion", "button_browse",
                                 "button_windowshade"})
            names << QString(stem) + "_u.jpg" << QString(stem) + "_d.jpg";
        return names;
    }
};

} // namespace

TEST_F(SkinTest, WithoutPicturesEveryButtonIsPlainWithItsText) {
    UseSkins({});
    Start();
    EXPECT_TRUE(dialog->SkinsApplied());
    for (int id : kAllButtons)
        EXPECT_FALSE(dialog->Button(id)->IsOwnerDraw()) << id;
    EXPECT_EQ(dialog->Button(kIdHelp)->text(), "help and\ninformation\nonline");
    EXPECT_EQ(dialog->Button(kIdSetup)->text(), "application\nsetup");
    EXPECT_EQ(dialog->Button(kIdMotion)->text(), "motion\ndetection\non/off");
    EXPECT_EQ(dialog->Button(kIdBrowse)->text(), "browse\ncaptured\nvideo");
    EXPECT_EQ(dialog->Button(kIdShade)->text(), "^");
    // Plain buttons still work.
    dialog->Button(kIdMotion)->click();
    EXPECT_FALSE(app.m_bMotionOn);
}

TEST_F(SkinTest, AMissingPressedPictureLeavesOnlyThatButtonPlain) {
    QStringList names = AllSkinFiles();
    names.removeAll("button_setup_d.jpg");
    UseSkins(names);
    Start();
    for (int id : kAllButtons)
        EXPECT_EQ(dialog->Button(id)->IsOwnerDraw(), id != kIdSetup) << id;
}

TEST_F(SkinTest, AnUndecodablePictureLeavesTheButtonPlain) {
    UseSkins(AllSkinFiles());
    WriteFileBytes(home.File("skins/button_browse_u.jpg"), "not a picture");
    Start();
    EXPECT_FALSE(dialog->Button(kIdBrowse)->IsOwnerDraw());
    EXPECT_TRUE(dialog->Button(kIdHelp)->IsOwnerDraw());
}

TEST_F(SkinTest, SkinnedButtonsShowTheirPicturesUnscaledAndThePressedOneWhileDown) {
    UseSkins(AllSkinFiles());
    Start();
    dialog->show();
    for (int id : kAllButtons)
        EXPECT_TRUE(dialog->Button(id)->IsOwnerDraw()) << id;
    CSkinButton* help = dialog->Button(kIdHelp);
    const QImage up(SourceData() + "/button_oculon_u.jpg");
    const QImage down(SourceData() + "/button_oculon_d.jpg");
    ASSERT_FALSE(up.isNull());
    EXPECT_EQ(up.size(), help->size()); // drawn for the button's pixel size

    auto shot = [&] { return help->grab().toImage().convertToFormat(QImage::Format_RGB32); };
    const QImage normal = shot();
    for (QPoint p : {QPoint(5, 5), QPoint(46, 35), QPoint(46, 80), QPoint(90, 93)})
        EXPECT_EQ(normal.pixel(p), up.convertToFormat(QImage::Format_RGB32).pixel(p)) << p.x();
    help->setDown(true);
    EXPECT_EQ(shot().pixel(46, 35), down.convertToFormat(QImage::Format_RGB32).pixel(46, 35));
    EXPECT_NE(shot(), normal);
    help->setDown(false);
    EXPECT_EQ(shot(), normal);
}

TEST_F(SkinTest, AButtonFocusedByTheKeyboardShowsADottedRingInsideItsPicture) {
    UseSkins(AllSkinFiles());
    Start();
    dialog->show();
    dialog->activateWindow();
    QApplication::processEvents();
    for (int id : {kIdHelp, kIdSetup, kIdMotion, kIdBrowse}) {
        CSkinButton* button = dialog->Button(id);
        dialog->Button(kIdShade)->setFocus(Qt::TabFocusReason);
        const QImage plain = Grab(button);
        button->setFocus(Qt::MouseFocusReason); // a click shows no ring
        EXPECT_EQ(Grab(button), plain) << id;
        dialog->Button(kIdShade)->setFocus(Qt::TabFocusReason);
        button->setFocus(Qt::TabFocusReason);
        ASSERT_TRUE(button->hasFocus()) << id;
        const QImage focused = Grab(button);
        // Only the ring's line changes, and it alternates black and white dots.
        const QRect ring = button->FocusRing();
        const QRect outer = ring.adjusted(-1, -1, 1, 1), inner = ring.adjusted(1, 1, -1, -1);
        int changedOffRing = 0, black = 0, white = 0;
        for (int y = 0; y < plain.height(); ++y)
            for (int x = 0; x < plain.width(); ++x) {
                const bool onRing = outer.contains(x, y) && !inner.contains(x, y);
                if (!onRing) {
                    changedOffRing += plain.pixel(x, y) != focused.pixel(x, y);
                    continue;
                }
                black += focused.pixel(x, y) == qRgb(0, 0, 0);
                white += focused.pixel(x, y) == qRgb(255, 255, 255);
            }
        EXPECT_EQ(changedOffRing, 0) << id;
        const int perimeter = 2 * (ring.width() + ring.height());
        EXPECT_GT(black, perimeter / 3) << id;
        EXPECT_GT(white, perimeter / 3) << id;
    }
}

TEST_F(SkinTest, APictureLargerThanItsButtonIsCutAtTheEdges) {
    GuiTestApp();
    const QString folder = QString::fromStdString(home.File("big"));
    QDir().mkpath(folder);
    QImage big(200, 200, QImage::Format_RGB32);
    big.fill(QColor(0, 0, 255));
    big.save(folder + "/big_u.jpg", "JPG", 95);
    big.save(folder + "/big_d.jpg", "JPG", 95);
    data_files::SetSearchFolders({folder});
    QWidget parent;
    CSkinButton button("plain", &parent);
    button.resize(40, 30);
    ASSERT_TRUE(button.LoadImages("big_u.jpg", "big_d.jpg"));
    button.SetOwnerDraw(true);
    const QImage shot = button.grab().toImage();
    EXPECT_EQ(shot.size(), QSize(40, 30));
    EXPECT_GT(qBlue(shot.pixel(39, 29)), 240);
    // The normal picture alone is not enough.
    CSkinButton half("half", &parent);
    QFile::remove(folder + "/big_d.jpg");
    EXPECT_FALSE(half.LoadImages("big_u.jpg", "big_d.jpg"));
}

TEST_F(MainWindowTest, TrayModeWithoutANotificationAreaSaysSoAndRunsAsAWindow) {
    Start("CMDARG_STRAY");
    CTrayIcon* tray = dialog->TrayIcon();
    ASSERT_NE(tray, nullptr);
    EXPECT_EQ(tray->parent(), dialog.get());
    EXPECT_NE(std::find(messages.Texts().begin(), messages.Texts().end(),
                        "Unable to register tray icon!"),
              messages.Texts().end());
    EXPECT_FALSE(tray->HasIcon());
    // Hidden with no icon would be out of reach: the window shows, and Esc closes.
    EXPECT_FALSE(tray->IsHidden());
    EXPECT_FALSE(dialog->windowFlags() & Qt::WindowMinimizeButtonHint);
    dialog->show();
    EXPECT_TRUE(dialog->isVisible());
    SendKey(dialog.get(), Qt::Key_Escape);
    EXPECT_TRUE(app.m_bCloseRequested);
    dialog->Tick();
    EXPECT_TRUE(dialog->Ended());
}

TEST_F(MainWindowTest, TrayHidingRestoringAndTheMenu) {
    Start("CMDARG_STRAY");
    CTrayIcon* tray = dialog->TrayIcon();
    ASSERT_NE(tray, nullptr);
    dialog->show();

    tray->HideToTray();
    EXPECT_FALSE(dialog->isVisible());
    dialog->show(); // nothing shows a window that sits in the tray
    EXPECT_FALSE(dialog->isVisible());

    tray->RestoreFromTray();
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(tray->RaiseCount(), 3);
    for (int i = 2; i >= 0; --i) {
        dialog->Tick();
        EXPECT_EQ(tray->RaiseCount(), i);
    }
    dialog->Tick();
    EXPECT_EQ(tray->RaiseCount(), 0);

    QStringList texts;
    for (QAction* action : tray->Menu().actions())
        texts << (action->isSeparator() ? QString("-") : action->text());
    EXPECT_EQ(texts, (QStringList{"Show Window", "Browse captured", "Website", "User Guide",
                                  "Disarm", "-", "Close"}));
    EXPECT_EQ(CTrayIcon::TipText(), "Oculon\nleft click to show\nright click for menu");

    tray->HideToTray();
    tray->Menu().actions()[0]->trigger(); // Show Window
    EXPECT_TRUE(dialog->isVisible());
    tray->Menu().actions()[1]->trigger(); // Browse captured
    tray->Menu().actions()[2]->trigger(); // Website
    tray->Menu().actions()[3]->trigger(); // User Guide
    ASSERT_EQ(opened.size(), 2u);
    EXPECT_EQ(opened[0], dialog->ArchiveUrl());
    EXPECT_EQ(opened[1], data_files::WebsiteAddress());
    const auto* help = dialog->findChild<CHelpWindow*>();
    ASSERT_NE(help, nullptr);
    EXPECT_EQ(help->Browser()->source(), data_files::UserGuideAddress());
    // The arming entry is the detection button, and says what it would do next.
    QAction* arm = tray->Menu().actions()[4];
    for (const bool on : {false, true}) {
        arm->trigger();
        dialog->Tick();
        EXPECT_EQ(app.m_bMotionOn, on);
        EXPECT_EQ(arm->text(), on ? "Disarm" : "Arm");
        EXPECT_EQ(
            arm_countdown::IsOff(app.m_pController->ArmCountdown(), app.m_pSettings->MOTION_WRM),
            !on);
    }
    EXPECT_FALSE(app.m_bCloseRequested);
    tray->Menu().actions()[6]->trigger(); // Close
    EXPECT_TRUE(app.m_bCloseRequested);
    // The menu's Close does not rename the window; the close runs as usual.
    EXPECT_NE(dialog->windowTitle(), "Oculon Closing...");
    dialog->Tick();
    EXPECT_TRUE(dialog->Ended());
}
