#include "setup_fixture.h"

#include "setup/PageEmailSetup.h"
#include "setup/PageMotionDetect.h"
#include "setup/PageRecording.h"
#include "setup/PageVideoCapture.h"
#include "setup/PageVideoDevice.h"
#include "setup/RegionSelectWnd.h"
#include "widgets/ArrowPair.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QTimer>
#include <QToolButton>

#include <functional>

namespace {

using PagesTest = SetupDialogTest;

// Drives one arrow pair far past both ends; returns {lowest, highest} shown.
std::pair<int, int> ArrowLimits(CSetupPage* page, int arrowsId, int boxId) {
    auto* arrows = page->ControlAs<CArrowPair>(arrowsId);
    auto* box = page->ControlAs<QLineEdit>(boxId);
    EXPECT_NE(arrows, nullptr);
    EXPECT_NE(box, nullptr);
    if (!arrows || !box)
        return {-1, -1};
    ClickTimes(arrows->LowerButton(), 700);
    const int lowest = box->text().toInt();
    ClickTimes(arrows->HigherButton(), 700);
    return {lowest, box->text().toInt()};
}

TEST_F(PagesTest, ArrowsStopAtTheirLimits) {
    auto dialog = MakeDialog();
    using P = std::pair<int, int>;
    EXPECT_EQ(ArrowLimits(dialog->VideoDevicePage(), 1025, 1034), P(0, 100));
    EXPECT_EQ(ArrowLimits(dialog->MotionPage(), 1053, 1052), P(1, 600));
    EXPECT_EQ(ArrowLimits(dialog->MotionPage(), 1033, 1032), P(1, 60));
    EXPECT_EQ(ArrowLimits(dialog->CapturePage(), 1031, 1030), P(1, 60));
    EXPECT_EQ(ArrowLimits(dialog->CapturePage(), 1029, 1028), P(10, 300));
    EXPECT_EQ(ArrowLimits(dialog->CapturePage(), 1034, 1033), P(1, 60));
    EXPECT_EQ(ArrowLimits(dialog->CapturePage(), 1035, 1032), P(10, 90));
    // The held values moved with the boxes and reach the settings on OK.
    dialog->OkButton()->click();
    EXPECT_EQ(settings->VIDEO_OPA, 100);
    EXPECT_EQ(settings->MOTION_WRM, 600);
    EXPECT_EQ(settings->CAPTURE_MAX_S, 300);
    EXPECT_EQ(settings->CAPTURE_JPQ, 90);
}

TEST_F(PagesTest, NumberBoxesAreReadOnlyAndStepWithUpAndDown) {
    auto dialog = MakeDialog(1);
    auto* delay = dialog->MotionPage()->ControlAs<QLineEdit>(1052);
    ASSERT_NE(delay, nullptr);
    EXPECT_TRUE(delay->isReadOnly());
    EXPECT_EQ(delay->text(), "10");
    PressKey(delay, Qt::Key_Up);
    PressKey(delay, Qt::Key_Up);
    PressKey(delay, Qt::Key_Down);
    EXPECT_EQ(delay->text(), "11");
    TypeText(delay, "99");
    EXPECT_EQ(delay->text(), "11");
}

TEST_F(PagesTest, LabelsShowTheLimitsInPlaceOfMinAndMax) {
    auto dialog = MakeDialog();
    const DLG_SetupCapture* capture = dialog->CapturePage();
    EXPECT_EQ(capture->ControlAs<QLabel>(1064)->text(),
              "Minimum capture length (1 ... 60 seconds)");
    EXPECT_EQ(capture->ControlAs<QLabel>(1065)->text(),
              "Maximum capture length (10 ... 300 seconds)");
    EXPECT_EQ(capture->ControlAs<QLabel>(1062)->text(), "Movie Frames per second  (1 ... 60 FPS)");
    EXPECT_EQ(capture->ControlAs<QLabel>(1061)->text(), "Compressed Image Quality (10 ... 90 %)");
    EXPECT_EQ(dialog->VideoDevicePage()->ControlAs<QGroupBox>(1036)->title(),
              "Overlay opacity (0 ... 100):");
    EXPECT_EQ(CSetupPage::WithLimits("MIN-MAX MINMAX", 1, 2), "1-2 12");
}

TEST_F(PagesTest, UntickingTheRectangleHidesTheSelectorAndKeepsTheRectangle) {
    settings->MOTION_R_ENA = 1;
    settings->MOTION_R_LEF = 17;
    settings->MOTION_R_TOP = 33;
    settings->MOTION_R_RIG = 301;
    settings->MOTION_R_BOT = 229;
    auto dialog = MakeDialog(1);
    DLG_SetupMotion* motion = dialog->MotionPage();
    CRegionSelectWnd* region = motion->RegionSelector();
    EXPECT_TRUE(region->isVisible());
    EXPECT_TRUE(region->IsRegionEnabled());
    motion->ControlAs<QCheckBox>(1050)->click();
    EXPECT_FALSE(region->isVisible());
    EXPECT_FALSE(region->IsRegionEnabled());
    EXPECT_EQ(motion->HeldValues().rEna, 0);
    EXPECT_EQ(motion->HeldValues().rLef, 17);
    dialog->OkButton()->click();
    EXPECT_EQ(settings->MOTION_R_ENA, 0);
    EXPECT_EQ(settings->MOTION_R_LEF, 17);
    EXPECT_EQ(settings->MOTION_R_TOP, 33);
    EXPECT_EQ(settings->MOTION_R_RIG, 301);
    EXPECT_EQ(settings->MOTION_R_BOT, 229);
}

TEST_F(PagesTest, ArrowClickUndoesControlChangesNotYetRead) {
    auto dialog = MakeDialog(1);
    DLG_SetupMotion* motion = dialog->MotionPage();
    auto* slider = motion->ControlAs<QSlider>(1048);
    slider->setValue(400);
    motion->ControlAs<CArrowPair>(1053)->HigherButton()->click();
    EXPECT_EQ(slider->value(), 100);
    // Ticking the rectangle box reads every control: the slider counts now.
    slider->setValue(400);
    motion->ControlAs<QCheckBox>(1051)->click();
    motion->ControlAs<CArrowPair>(1053)->HigherButton()->click();
    EXPECT_EQ(slider->value(), 400);
    EXPECT_EQ(motion->HeldValues().thr, 400);
    EXPECT_EQ(motion->HeldValues().sho, 0);
    // A typed folder goes the same way.
    DLG_SetupCapture* capture = dialog->CapturePage();
    const QString folder = capture->ControlAs<QLineEdit>(1026)->text();
    capture->ControlAs<QLineEdit>(1026)->setText("/somewhere/else");
    capture->ControlAs<CArrowPair>(1035)->LowerButton()->click();
    EXPECT_EQ(capture->ControlAs<QLineEdit>(1026)->text(), folder);
}

TEST_F(PagesTest, SensitivityRunsFromHighAtTheTopToLowAtTheBottom) {
    auto dialog = MakeDialog(1);
    auto* slider = dialog->MotionPage()->ControlAs<QSlider>(1048);
    EXPECT_EQ(slider->minimum(), 5);
    EXPECT_EQ(slider->maximum(), 500);
    EXPECT_EQ(slider->orientation(), Qt::Vertical);
    // Qt puts the minimum at the bottom unless inverted.
    EXPECT_TRUE(slider->invertedAppearance());
    auto* volume = dialog->MotionPage()->ControlAs<QSlider>(1058);
    EXPECT_EQ(volume->minimum(), 0);
    EXPECT_EQ(volume->maximum(), 100);
}

TEST_F(PagesTest, SensitivityShowsItsValueWhileTheKnobMoves) {
    settings->MOTION_THR = 40;
    auto dialog = MakeDialog(1);
    auto* slider = dialog->MotionPage()->ControlAs<QSlider>(1048);
    auto* value = dialog->MotionPage()->findChild<QLabel*>("sensitivityValue");
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(value->text(), "40");
    slider->setSliderDown(true);
    for (int v : {5, 123, 500}) {
        slider->setSliderPosition(v);
        EXPECT_EQ(value->text(), QString::number(v));
    }
    slider->setSliderDown(false);
}

TEST_F(PagesTest, VolumeFollowsTheSliderAndTestTogglesTheSiren) {
    auto dialog = MakeDialog(1);
    DLG_SetupMotion* motion = dialog->MotionPage();
    sound.volumes.clear();
    auto* volume = motion->ControlAs<QSlider>(1058);
    volume->setSliderDown(true);
    for (int v : {55, 60, 65})
        volume->setSliderPosition(v);
    volume->setSliderDown(false);
    EXPECT_EQ(sound.volumes, (std::vector<int>{55, 60, 65}));
    auto* test = motion->ControlAs<QAbstractButton>(1056);
    ASSERT_NE(test, nullptr);
    EXPECT_EQ(test->text(), QString::fromUtf8("TEST\xC2\xBB"));
    test->click();
    test->click();
    test->click();
    EXPECT_EQ(sound.sirens, (std::vector<bool>{true, false, true}));
    // Cancel does not take the volume back, and keeps the setting.
    dialog->CancelButton()->click();
    EXPECT_EQ(sound.volumes.back(), 65);
    EXPECT_EQ(settings->MOTION_VOL, 50);
}

TEST_F(PagesTest, EmailControlsFollowTheSendSwitchAndKeepTheirContents) {
    settings->EMAIL_ENA = 1;
    settings->EMAIL_SMTP = "smtp.example.net";
    settings->EMAIL_CUS = "line one\r\nline two";
    auto dialog = MakeDialog(3);
    DLG_SetupEmail* email = dialog->EmailPage();
    const std::vector<int> dependents = {1018, 1027, 1021, 1022, 1025,
                                         1023, 1019, 1017, 1024, 1020};
    for (int id : dependents)
        EXPECT_TRUE(email->Control(id)->isEnabled()) << id;
    email->ControlAs<QCheckBox>(1026)->click();
    for (int id : dependents)
        EXPECT_FALSE(email->Control(id)->isEnabled()) << id;
    EXPECT_TRUE(email->Control(1026)->isEnabled());
    EXPECT_EQ(email->ControlAs<QLineEdit>(1019)->text(), "smtp.example.net");
    dialog->OkButton()->click();
    EXPECT_EQ(settings->EMAIL_ENA, 0);
    EXPECT_EQ(settings->EMAIL_SMTP, "smtp.example.net");
    // Untouched text keeps its line ends.
    EXPECT_EQ(settings->EMAIL_CUS, "line one\r\nline two");
}

TEST_F(PagesTest, EmailTextsAreStoredAsTyped) {
    settings->EMAIL_ENA = 0;
    auto dialog = MakeDialog(3);
    DLG_SetupEmail* email = dialog->EmailPage();
    email->ControlAs<QCheckBox>(1026)->click();
    EXPECT_TRUE(email->Control(1019)->isEnabled());
    email->ControlAs<QLineEdit>(1017)->setText("not an address");
    email->ControlAs<QPlainTextEdit>(1020)->setFocus();
    TypeText(email->ControlAs<QPlainTextEdit>(1020), "hi");
    PressKey(email->ControlAs<QPlainTextEdit>(1020), Qt::Key_Return, "\r");
    TypeText(email->ControlAs<QPlainTextEdit>(1020), "there");
    dialog->OkButton()->click();
    EXPECT_EQ(settings->EMAIL_ENA, 1);
    EXPECT_EQ(settings->EMAIL_TO, "not an address");
    EXPECT_EQ(settings->EMAIL_CUS, "hi\nthere");
}

TEST_F(PagesTest, RecordingPageStoresItsSettingsWithinTheirLimits) {
    auto dialog = MakeDialog(4);
    CPageRecording* page = dialog->RecordingPage();
    EXPECT_EQ(ArrowLimits(page, CPageRecording::kIdPreRollArrows, CPageRecording::kIdPreRoll),
              (std::pair<int, int>{0, 10}));
    page->ControlAs<QCheckBox>(CPageRecording::kIdMp4)->click();
    page->ControlAs<QLineEdit>(CPageRecording::kIdMaxDays)->setText("30");
    page->ControlAs<QLineEdit>(CPageRecording::kIdMaxGb)->setText("-5");
    page->ControlAs<QLineEdit>(CPageRecording::kIdMinFreeGb)->setText("2");
    dialog->OkButton()->click();
    EXPECT_EQ(settings->MOVIE_FORMAT, 1);
    EXPECT_EQ(settings->PRE_ROLL_S, 10);
    EXPECT_EQ(settings->ARCHIVE_MAX_DAYS, 30);
    EXPECT_EQ(settings->ARCHIVE_MAX_GB, 0);
    EXPECT_EQ(settings->ARCHIVE_MIN_FREE_GB, 2);
}

TEST_F(PagesTest, FalseAlarmFiltersAreEditedInTheirDialogAndSavedWithThePage) {
    settings->DETECT_MIN_BLOCKS = 5;
    auto dialog = MakeDialog(1);
    DLG_SetupMotion* page = dialog->MotionPage();
    // Opens the filters from the page, edits them and leaves with OK or Cancel.
    auto edit = [&](const std::function<void(CDlgFalseAlarms&)>& change, bool ok) {
        QTimer::singleShot(0, [&] {
            auto* filters = qobject_cast<CDlgFalseAlarms*>(QApplication::activeModalWidget());
            ASSERT_NE(filters, nullptr);
            change(*filters);
            ok ? filters->accept() : filters->reject();
        });
        page->ControlAs<QPushButton>(DLG_SetupMotion::kIdFalseAlarms)->click();
    };
    edit([](CDlgFalseAlarms& d) { d.Passes()->setValue(3); }, false);
    EXPECT_EQ(page->HeldFilters(), (CFalseAlarmFilters{0, 0, 1, 5, 0})) << "Cancel keeps them";
    edit(
        [](CDlgFalseAlarms& d) {
            EXPECT_FALSE(d.LightPercent()->isEnabled()) << "the share waits for its tick";
            d.findChild<QPushButton*>(QStringLiteral("recommended"))->click();
            d.Blocks()->setValue(12);
        },
        true);
    EXPECT_EQ(page->HeldFilters(), (CFalseAlarmFilters{40, 1, 2, 12, 1}));
    dialog->OkButton()->click();
    EXPECT_EQ(settings->DETECT_LIGHT_PCT, 40);
    EXPECT_EQ(settings->DETECT_BRIGHT_COMP, 1);
    EXPECT_EQ(settings->DETECT_MIN_PASSES, 2);
    EXPECT_EQ(settings->DETECT_MIN_BLOCKS, 12);
    EXPECT_EQ(settings->DETECT_BLOCKS_TOUCH, 1);
}

TEST_F(PagesTest, SixteenBitDesktopDisablesTheOpacityButKeepsIt) {
    services.videoDepth = 16;
    settings->VIDEO_OPA = 37;
    auto dialog = MakeDialog();
    DLG_SetupVideoDevice* page = dialog->VideoDevicePage();
    for (int id : {1036, 1034, 1025, 1067})
        EXPECT_FALSE(page->Control(id)->isEnabled()) << id;
    EXPECT_EQ(page->ControlAs<QLabel>(1067)->text(),
              "Your windows desktop must be in 32bpp mode to enable overlay opacity. See online "
              "help for more info.");
    dialog->OkButton()->click();
    EXPECT_EQ(settings->VIDEO_OPA, 37);
}

TEST_F(PagesTest, LongTitleIsShownWholeAndStoredAsItsFirst32Characters) {
    auto dialog = MakeDialog();
    auto* title = dialog->VideoDevicePage()->ControlAs<QLineEdit>(1033);
    title->selectAll();
    const QString forty = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcd";
    TypeText(title, forty);
    EXPECT_EQ(title->text(), forty);
    EXPECT_EQ(dialog->VideoDevicePage()->HeldTitle(), forty.toStdString());
    dialog->OkButton()->click();
    EXPECT_EQ(settings->VIDEO_OVE, "0123456789ABCDEFGHIJKLMNOPQRSTUV");
    // Characters, not bytes: a cut never splits one.
    EXPECT_EQ(CutToCharacters("\xC3\xA4\xC3\xB6\xC3\xBC", 2), "\xC3\xA4\xC3\xB6");
    EXPECT_EQ(CutToCharacters("abc", 32), "abc");
}

TEST_F(PagesTest, DeviceListIsSortedAndTheHeldDeviceFoundByPrefix) {
    devices = {"Virtual C", "cam A", "Cam B"};
    settings->VIDEO_SRC = "CAM b";
    auto dialog = MakeDialog();
    auto* combo = dialog->VideoDevicePage()->ControlAs<QComboBox>(1032);
    ASSERT_EQ(combo->count(), 3);
    EXPECT_EQ(combo->itemText(0), "cam A");
    EXPECT_EQ(combo->itemText(1), "Cam B");
    EXPECT_EQ(combo->itemText(2), "Virtual C");
    EXPECT_EQ(combo->currentIndex(), 1);
    settings->VIDEO_SRC = "Unknown camera";
    auto second = MakeDialog();
    EXPECT_EQ(second->VideoDevicePage()->ControlAs<QComboBox>(1032)->currentIndex(), 0);
}

TEST_F(PagesTest, ComboReturnsToTheHeldDeviceAfterAnArrowClick) {
    devices = {"cam A", "cam B"};
    settings->VIDEO_SRC = "cam A";
    auto dialog = MakeDialog();
    DLG_SetupVideoDevice* page = dialog->VideoDevicePage();
    auto* combo = page->ControlAs<QComboBox>(1032);
    combo->setCurrentIndex(1);
    page->ControlAs<CArrowPair>(1025)->HigherButton()->click();
    EXPECT_EQ(combo->currentText(), "cam A");
    // After a title change the choice is held and survives the arrows.
    combo->setCurrentIndex(1);
    TypeText(page->ControlAs<QLineEdit>(1033), "x");
    page->ControlAs<CArrowPair>(1025)->HigherButton()->click();
    EXPECT_EQ(combo->currentText(), "cam B");
}

TEST_F(PagesTest, EmptyDeviceListKeepsTheDevice) {
    settings->VIDEO_SRC = "gone camera";
    auto dialog = MakeDialog();
    dialog->OkButton()->click();
    EXPECT_EQ(settings->VIDEO_SRC, "gone camera");
    EXPECT_EQ(deviceStarts, 0);
}

} // namespace
