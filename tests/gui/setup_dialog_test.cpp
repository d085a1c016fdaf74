#include "setup_fixture.h"

#include "setup/PageEmailSetup.h"
#include "setup/PageMailServer.h"
#include "setup/PageMotionDetect.h"
#include "setup/PageRecording.h"
#include "setup/PageStartup.h"
#include "setup/PageVideoCapture.h"
#include "setup/PageVideoDevice.h"
#include "widgets/ArrowPair.h"
#include "widgets/DataFiles.h"
#include "widgets/HelpWindow.h"

#include "program/AppObjects.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGuiApplication>
#include <QLineEdit>
#include <QScreen>
#include <QSlider>
#include <QTabBar>
#include <QTabWidget>
#include <QTextBrowser>
#include <QTimer>
#include <QToolButton>
#include <filesystem>

namespace {

using SetupDialog = SetupDialogTest;

TEST_F(SetupDialog, HostLayoutAndInitialPage) {
    auto dialog = MakeDialog(2);
    EXPECT_EQ(dialog->windowTitle(), "Oculon Setup");
    QTabWidget* tabs = dialog->TabControl();
    ASSERT_EQ(tabs->count(), 8);
    EXPECT_EQ(tabs->tabText(0), "Video Device");
    EXPECT_EQ(tabs->tabText(1), "Motion Detect");
    EXPECT_EQ(tabs->tabText(2), "Video Capture");
    EXPECT_EQ(tabs->tabText(3), "Email Setup");
    EXPECT_EQ(tabs->tabText(4), "Recording");
    EXPECT_EQ(tabs->tabText(5), "Startup");
    EXPECT_EQ(tabs->tabText(6), "Mail Server");
    EXPECT_EQ(tabs->tabText(7), "Home && Push");
    EXPECT_EQ(tabs->currentWidget(), dialog->CapturePage());
    EXPECT_TRUE(dialog->CapturePage()->isVisible());
    EXPECT_FALSE(dialog->MotionPage()->isVisible());
    tabs->setCurrentIndex(1);
    EXPECT_TRUE(dialog->MotionPage()->isVisible());
    EXPECT_FALSE(dialog->CapturePage()->isVisible());
    EXPECT_TRUE(dialog->OkButton()->isDefault());
    EXPECT_EQ(dialog->HelpButton()->text(), "Help...");
    EXPECT_EQ(dialog->LatestVersionButton()->text(), "Get latest version");
    // Every control of every page lies inside the tab control's page area.
    for (QWidget* page :
         {static_cast<QWidget*>(dialog->VideoDevicePage()),
          static_cast<QWidget*>(dialog->MotionPage()), static_cast<QWidget*>(dialog->CapturePage()),
          static_cast<QWidget*>(dialog->EmailPage()),
          static_cast<QWidget*>(dialog->RecordingPage()),
          static_cast<QWidget*>(dialog->StartupPage()),
          static_cast<QWidget*>(dialog->MailServerPage())}) {
        tabs->setCurrentWidget(page);
        for (QWidget* child : page->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            EXPECT_TRUE(page->rect().contains(child->geometry()))
                << child->objectName().toStdString() << " of page " << tabs->currentIndex();
    }
    // Every tab can be brought into view and clicked.
    for (int i = tabs->count() - 1; i >= 0; --i) {
        tabs->setCurrentIndex(i);
        EXPECT_TRUE(tabs->tabBar()->rect().contains(tabs->tabBar()->tabRect(i))) << i;
    }
    // It fits a small laptop screen.
    EXPECT_LE(dialog->frameGeometry().width(), 1366);
    EXPECT_LE(dialog->frameGeometry().height(), 768 - 40);
}

TEST_F(SetupDialog, OkWithoutChangesWritesTheFileAndRearmsButKeepsTheDevice) {
    devices = {"cam A", "cam B"};
    settings->VIDEO_SRC = "cam A";
    settings->MOTION_R_ENA = 1;
    const std::string before = settings->FileText();
    ASSERT_FALSE(std::filesystem::exists(SettingsPath()));
    auto dialog = MakeDialog();
    dialog->OkButton()->click();
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_TRUE(std::filesystem::exists(SettingsPath()));
    EXPECT_EQ(ReadFileBytes(SettingsPath()), before);
    EXPECT_EQ(resets, 1);
    EXPECT_EQ(deviceStarts, 0);
    EXPECT_TRUE(messages.m_messages.empty());
}

TEST_F(SetupDialog, OkWithAnotherDeviceRestartsTheCapture) {
    devices = {"cam A", "cam B"};
    settings->VIDEO_SRC = "cam A";
    std::string deviceAtStart;
    services.chooseAndStartDevice = [&] {
        ++deviceStarts;
        deviceAtStart = settings->VIDEO_SRC;
    };
    // The device starts after the settings are saved and detection re-armed.
    services.resetDetection = [&] {
        ++resets;
        EXPECT_TRUE(std::filesystem::exists(SettingsPath()));
        EXPECT_EQ(deviceStarts, 0);
    };
    auto dialog = MakeDialog();
    dialog->VideoDevicePage()->ControlAs<QComboBox>(1032)->setCurrentIndex(1);
    dialog->OkButton()->click();
    EXPECT_EQ(settings->VIDEO_SRC, "cam B");
    EXPECT_EQ(deviceStarts, 1);
    EXPECT_EQ(deviceAtStart, "cam B");
    EXPECT_EQ(resets, 1);
    EXPECT_NE(ReadFileBytes(SettingsPath()).find("<VIDEO_SRC>cam B</VIDEO_SRC>"),
              std::string::npos);
}

TEST_F(SetupDialog, CancelKeepsEverything) {
    devices = {"cam A", "cam B"};
    settings->VIDEO_SRC = "cam A";
    const std::string before = settings->FileText();
    auto dialog = MakeDialog();
    dialog->VideoDevicePage()->ControlAs<QComboBox>(1032)->setCurrentIndex(1);
    TypeText(dialog->VideoDevicePage()->ControlAs<QLineEdit>(1033), "changed");
    dialog->MotionPage()->ControlAs<CArrowPair>(1053)->HigherButton()->click();
    dialog->MotionPage()->ControlAs<QCheckBox>(1050)->click();
    dialog->CapturePage()->ControlAs<QCheckBox>(1059)->click();
    dialog->EmailPage()->ControlAs<QCheckBox>(1026)->click();
    dialog->CancelButton()->click();
    EXPECT_EQ(dialog->result(), QDialog::Rejected);
    EXPECT_EQ(settings->FileText(), before);
    EXPECT_FALSE(std::filesystem::exists(SettingsPath()));
    EXPECT_EQ(resets, 0);
    EXPECT_EQ(deviceStarts, 0);
}

TEST_F(SetupDialog, EnterAndEscOnAPageDoNothing) {
    auto dialog = MakeDialog();
    QLineEdit* title = dialog->VideoDevicePage()->ControlAs<QLineEdit>(1033);
    PressKey(title, Qt::Key_Return, "\r");
    PressKey(title, Qt::Key_Escape);
    PressKey(dialog->MotionPage(), Qt::Key_Enter, "\r");
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(resets, 0);
    // On the dialog's own buttons Esc still cancels.
    PressKey(dialog->HelpButton(), Qt::Key_Escape);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->result(), QDialog::Rejected);
    EXPECT_EQ(resets, 0);
}

TEST_F(SetupDialog, HelpOpensTheUserGuideBesideTheProgramElseTheSitesPage) {
    CTempDir data;
    data_files::SetSearchFolders({QString::fromStdString(data.Path())});
    ::setenv("OCULON_SITE", "http://127.0.0.1:9/", 1);
    auto dialog = MakeDialog();
    dialog->HelpButton()->click();
    WriteFileBytes(data.File("userguide.md"), "# Oculon\n");
    dialog->HelpButton()->click();
    ::unsetenv("OCULON_SITE");
    data_files::SetSearchFolders({});
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0].toString().toStdString(), "http://127.0.0.1:9/oculon/userguide/index.htm");
    // The guide beside the program shows in the help window, over the dialog.
    const auto* help = dialog->findChild<CHelpWindow*>();
    ASSERT_NE(help, nullptr);
    EXPECT_TRUE(help->isVisible());
    EXPECT_EQ(help->Browser()->source().toLocalFile().toStdString(), data.File("userguide.md"));
    EXPECT_TRUE(dialog->isVisible());
}

TEST_F(SetupDialog, LatestVersionEndingWithOkClosesAsCancel) {
    const std::string before = settings->FileText();
    bool answer = false;
    int checks = 0;
    services.runVersionCheck = [&](QWidget* parent) {
        ++checks;
        EXPECT_NE(parent, nullptr);
        return answer;
    };
    auto dialog = MakeDialog();
    dialog->MotionPage()->ControlAs<CArrowPair>(1053)->HigherButton()->click();
    dialog->LatestVersionButton()->click();
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_FALSE(closeRequested);
    answer = true;
    dialog->LatestVersionButton()->click();
    EXPECT_EQ(checks, 2);
    EXPECT_TRUE(closeRequested);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->result(), QDialog::Rejected);
    EXPECT_EQ(settings->FileText(), before);
    EXPECT_EQ(resets, 0);
}

TEST_F(SetupDialog, OkStoresEveryPage) {
    auto dialog = MakeDialog();
    dialog->VideoDevicePage()->ControlAs<CArrowPair>(1025)->LowerButton()->click();
    dialog->MotionPage()->ControlAs<CArrowPair>(1033)->LowerButton()->click();
    dialog->MotionPage()->ControlAs<QSlider>(1048)->setValue(250);
    dialog->MotionPage()->ControlAs<QCheckBox>(1051)->click();
    dialog->CapturePage()->ControlAs<CArrowPair>(1031)->HigherButton()->click();
    dialog->CapturePage()->ControlAs<QLineEdit>(1026)->setText("/tmp/elsewhere");
    dialog->CapturePage()->ControlAs<QCheckBox>(1060)->click();
    dialog->EmailPage()->ControlAs<QCheckBox>(1026)->click();
    dialog->OkButton()->click();
    EXPECT_EQ(settings->VIDEO_OPA, 49);
    EXPECT_EQ(settings->MOTION_FPS, 9);
    EXPECT_EQ(settings->MOTION_THR, 250);
    EXPECT_EQ(settings->MOTION_SHO, 0);
    EXPECT_EQ(settings->CAPTURE_PTH, "/tmp/elsewhere");
    EXPECT_EQ(settings->CAPTURE_MIN_S, 3);
    EXPECT_EQ(settings->CAPTURE_JPG, 1);
    EXPECT_EQ(settings->EMAIL_ENA, 1);
    const std::string file = ReadFileBytes(SettingsPath());
    EXPECT_NE(file.find("MOTION_THR=250\n"), std::string::npos);
    EXPECT_NE(file.find("<CAPTURE_PTH>/tmp/elsewhere</CAPTURE_PTH>"), std::string::npos);
}

TEST_F(SetupDialog, RunFromTheApplicationObjectsOnTheChosenPage) {
    CAppObjects app;
    EXPECT_EQ(RunSetupDialog(app, nullptr, 1), QDialog::Rejected); // no settings yet: nothing runs
    app.m_pSettings = std::move(settings);
    int page = -1;
    QTimer::singleShot(0, [&] {
        if (auto* dlg = qobject_cast<DLG_Setup*>(QApplication::activeModalWidget())) {
            page = dlg->TabControl()->currentIndex();
            dlg->MotionPage()->ControlAs<CArrowPair>(1053)->HigherButton()->click();
            dlg->OkButton()->click();
        }
    });
    const int result = RunSetupDialog(app, nullptr, 1);
    settings = std::move(app.m_pSettings);
    EXPECT_EQ(result, QDialog::Accepted);
    EXPECT_EQ(page, 1);
    EXPECT_EQ(settings->MOTION_WRM, 11);
    EXPECT_NE(ReadFileBytes(SettingsPath()).find("MOTION_WRM=11\n"), std::string::npos);
}

} // namespace
