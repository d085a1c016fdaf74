// The status panel: the text it composes from the controller, the icons it
// paints (blinking, crossed out), and the setup page a click opens.
#include "window_fakes.h"

#include "main/MainLayout.h"
#include "main/StatusWnd.h"
#include "setup/SetupDialogHost.h"

#include <QApplication>
#include <QMouseEvent>

namespace {

class StatusPanelTest : public WindowTest {
protected:
    StatusPanelTest() { Build(main_layout::StatusRect()); }

    void Build(const QRect& at) {
        panel.reset();
        AddPlaceholder(main_layout::kIdStatus, at);
        panel = std::make_unique<CStatusWnd>(&parent, main_layout::kIdStatus, *settings,
                                             controller.get(), services, app);
    }

    std::string State() {
        panel->OnTimer();
        return panel->Status().toStdString();
    }

    // The icon area of `icon` as painted, the part inside the panel.
    QImage IconArea(const QImage& shot, CStatusWnd::Icon icon) {
        return shot.copy(panel->IconRect(icon) & panel->rect());
    }

    void Click(QPoint down, QPoint up) {
        QMouseEvent press(QEvent::MouseButtonPress, QPointF(down),
                          panel->mapToGlobal(QPointF(down)), Qt::LeftButton, Qt::LeftButton,
                          Qt::NoModifier);
        QApplication::sendEvent(panel.get(), &press);
        QMouseEvent release(QEvent::MouseButtonRelease, QPointF(up),
                            panel->mapToGlobal(QPointF(up)), Qt::LeftButton, Qt::NoButton,
                            Qt::NoModifier);
        QApplication::sendEvent(panel.get(), &release);
    }

    std::unique_ptr<CStatusWnd> panel;
};

QImage Shot(QWidget* w) {
    return w->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

} // namespace

TEST_F(StatusPanelTest, TakesThePlaceholdersPlaceAndStartsIdle) {
    EXPECT_EQ(panel->geometry(), main_layout::StatusRect());
    EXPECT_EQ(panel->objectName(), "1016");
    EXPECT_EQ(parent.findChildren<QFrame*>().size(), 0); // the placeholder is gone
    EXPECT_EQ(panel->Status(), "system status:\r\nIDLE");
    panel->SetStatus(QString(80, 'x'));
    EXPECT_EQ(panel->Status().size(), 64);
}

TEST_F(StatusPanelTest, TextFollowsTheController) {
    settings->MOTION_WRM = 10;
    source.running = false;
    EXPECT_EQ(State(), "system status:\r\nNo video input device!");
    source.running = true;
    CControllerTestAccess::SetArmCountdown(*controller, 11);
    EXPECT_EQ(State(), "system status:\r\nmotion detection is off");
    CControllerTestAccess::SetArmCountdown(*controller, 7);
    EXPECT_EQ(State(), "system status:\r\nmotion detection active in 07");
    CControllerTestAccess::SetArmCountdown(*controller, 0);
    EXPECT_EQ(State(), "system status:\r\nmotion detection is active");
    CControllerTestAccess::SetRecording(*controller, true);
    EXPECT_EQ(State(), "system status:\r\nmotion has been detected");
    app.m_bCloseRequested = true;
    EXPECT_EQ(State(), "system status:\r\nclosing down...");
}

TEST_F(StatusPanelTest, DetectionCrossShrinksAsArmingRunsOut) {
    EXPECT_EQ(CStatusWnd::DetectCrossSide(10, 10), 30);
    EXPECT_EQ(CStatusWnd::DetectCrossSide(1, 10), 13);
    EXPECT_EQ(CStatusWnd::DetectCrossSide(11, 10), 32); // switched off
    EXPECT_EQ(CStatusWnd::DetectCrossSide(5, 4), 32);

    // Painted: the cross's far end reaches well into the icon at 10, not at 1.
    settings->MOTION_WRM = 10;
    const int f = panel->ContentLeft();
    const int top = panel->IconRect(CStatusWnd::kDetect).top();
    const QPoint farEnd(f + 182 + 10 * 30 / 32, top + 17 + 10 * 30 / 32);
    const QPoint nearEnd(f + 182 + 4, top + 17 + 4);
    CControllerTestAccess::SetArmCountdown(*controller, 10);
    QImage shot = Shot(panel.get());
    EXPECT_TRUE(IsReddish(shot.pixel(farEnd)));
    CControllerTestAccess::SetArmCountdown(*controller, 1);
    shot = Shot(panel.get());
    EXPECT_FALSE(IsReddish(shot.pixel(farEnd)));
    EXPECT_TRUE(IsReddish(shot.pixel(nearEnd)));
    CControllerTestAccess::SetArmCountdown(*controller, 0);
    shot = Shot(panel.get());
    EXPECT_FALSE(BoundingBox(IconArea(shot, CStatusWnd::kDetect), IsReddish).isValid());
}

TEST_F(StatusPanelTest, AlarmAtVolumeZeroIsCrossedAndNeverBlinks) {
    settings->MOTION_VOL = 0;
    sound.sounding = true;
    const QImage first = IconArea(Shot(panel.get()), CStatusWnd::kAlarm);
    const QImage second = IconArea(Shot(panel.get()), CStatusWnd::kAlarm);
    EXPECT_EQ(first, second);
    // The cross sits at (10, 17) of the icon, which is flush with the
    // panel's bottom in a panel less than 32 pixels high.
    const QRect cross = BoundingBox(first, IsReddish);
    ASSERT_TRUE(cross.isValid());
    EXPECT_GE(cross.left(), 10);
    EXPECT_GE(cross.top(), 17 + panel->height() - 32);

    settings->MOTION_VOL = 50;
    const QImage a = IconArea(Shot(panel.get()), CStatusWnd::kAlarm);
    const QImage b = IconArea(Shot(panel.get()), CStatusWnd::kAlarm);
    EXPECT_NE(a, b); // blinking: two frames in turn
    EXPECT_EQ(a, IconArea(Shot(panel.get()), CStatusWnd::kAlarm));
    EXPECT_FALSE(BoundingBox(a, IsReddish).isValid());
}

TEST_F(StatusPanelTest, RecordingAndMailIconsFollowTheirSettings) {
    settings->CAPTURE_WMV = 0;
    settings->CAPTURE_JPG = 0;
    settings->EMAIL_ENA = 0;
    QImage shot = Shot(panel.get());
    EXPECT_TRUE(BoundingBox(IconArea(shot, CStatusWnd::kRecord), IsReddish).isValid());
    EXPECT_TRUE(BoundingBox(IconArea(shot, CStatusWnd::kEmail), IsReddish).isValid());

    settings->CAPTURE_JPG = 1;
    settings->EMAIL_ENA = 1;
    shot = Shot(panel.get());
    const QImage idleRecord = IconArea(shot, CStatusWnd::kRecord);
    const QImage idleMail = IconArea(shot, CStatusWnd::kEmail);
    EXPECT_FALSE(BoundingBox(IconArea(shot, CStatusWnd::kEmail), IsReddish).isValid());

    // Stills are wanted and the controller records: the recorder blinks.
    CControllerTestAccess::SetRecording(*controller, true);
    mailer.sending = true;
    const QImage r1 = IconArea(Shot(panel.get()), CStatusWnd::kRecord);
    const QImage r2 = IconArea(Shot(panel.get()), CStatusWnd::kRecord);
    EXPECT_NE(r1, idleRecord);
    EXPECT_NE(r1, r2);
    EXPECT_NE(IconArea(Shot(panel.get()), CStatusWnd::kEmail), idleMail);
}

TEST_F(StatusPanelTest, PaleStripCoversTheCentredContentOnly) {
    Build(QRect(0, 0, 400, 31)); // wider than the content: 40 pixels either side
    ASSERT_EQ(panel->ContentLeft(), 40);
    panel->SetStatus("motion detection is active");
    const QImage shot = Shot(panel.get());
    // Black text, paled by half-white: nothing darker than mid-grey.
    const QRect text(40, 0, 160, 31);
    int darkest = 255;
    for (int y = text.top(); y <= text.bottom(); ++y)
        for (int x = text.left(); x <= text.right(); ++x)
            darkest = std::min(darkest, qGray(shot.pixel(x, y)));
    EXPECT_LT(darkest, 160); // there is text
    EXPECT_GE(darkest, 120); // and it is paled
    EXPECT_EQ(shot.pixel(5, 15), qRgb(255, 255, 255));
    EXPECT_EQ(shot.pixel(395, 15), qRgb(255, 255, 255));
}

TEST_F(StatusPanelTest, TheLongestStatusStaysOnTwoLines) {
    panel->SetStatus("motion detection active in 07");
    const QImage shot = Shot(panel.get());
    const QRect text = BoundingBox(shot.copy(0, 0, 160, 31), [](QRgb c) { return qGray(c) < 200; });
    ASSERT_TRUE(text.isValid());
    EXPECT_LT(text.bottom(), 27); // a third line would start below
    EXPECT_LT(text.right(), 160);
}

TEST_F(StatusPanelTest, ClickOpensTheSetupPageOfTheIconUnderTheRelease) {
    std::vector<int> pages;
    bool modal = false;
    panel->SetSetupOpener([&](int page) {
        pages.push_back(page);
        modal = controller->SetupOpen();
    });
    panel->grab(); // the first paint sets the icons' areas
    const int f = panel->ContentLeft();
    const QPoint detect(f + 180, 10), alarm(f + 220, 10), record(f + 260, 10), mail(f + 300, 10),
        text(f + 20, 10);
    Click(detect, detect);
    Click(alarm, alarm);
    Click(record, record);
    Click(mail, mail);
    Click(text, text);
    Click(detect, mail); // the release point decides
    for (const QPoint off : {QPoint(-1, 10), QPoint(f + 180, panel->height()),
                             QPoint(panel->width(), 10), QPoint(f + 180, -1)})
        Click(detect, off); // dragged off the panel: nothing opens
    EXPECT_EQ(pages, (std::vector<int>{1, 1, 2, 3, 0, 3}));
    EXPECT_TRUE(modal);
    EXPECT_FALSE(controller->SetupOpen());
    // Opening the setup ends a capture in progress and silences the siren.
    recorder.recording = true;
    sound.sounding = true;
    Click(text, text);
    EXPECT_FALSE(recorder.recording);
    EXPECT_FALSE(sound.sounding);
    EXPECT_EQ(mailer.reports, 1);
}

TEST_F(StatusPanelTest, AFailureMarksItsIconSaysWhyAndIsToldOncePerStretch) {
    struct Case {
        CFailureWatch::Kind kind;
        CStatusWnd::Icon icon;
        std::vector<std::string> fail, succeed;
        QString told;
    };
    const std::string subject = "OCULON> 07/Dec/26 14:05:09.25";
    const std::string refused = "cannot connect to mail.example.org: Connection refused";
    const Case cases[] = {
        {CFailureWatch::kMail,
         CStatusWnd::kEmail,
         {"mail: queued " + subject + ": " + refused},
         {"mail: sent " + subject},
         QString::fromStdString("Oculon: report mail|waiting in the outbox: " + refused)},
        {CFailureWatch::kCamera,
         CStatusWnd::kDetect,
         {"camera: lost Hall"},
         {"camera: back Hall"},
         "Oculon: camera|camera lost: Hall"},
        {CFailureWatch::kRecording,
         CStatusWnd::kRecord,
         {"box"},
         {"movie: start /a/n.wmv", "movie: end /a/n.wmv 5"},
         "Oculon: recording|Unable to Set Output Filename\n/a/m.wmv: Permission denied"},
    };
    CControllerTestAccess::SetArmCountdown(*controller, 0); // no cross over the detection icon
    for (const Case& c : cases) {
        CFailureWatch watch(nullptr, nullptr);
        panel->SetFailureWatch(&watch);
        EXPECT_EQ(CStatusWnd::FailureIcon(c.kind), c.icon);
        QStringList told;
        QObject receiver;
        QObject::connect(
            panel.get(), &CStatusWnd::FailureBegan, &receiver,
            [&](const QString& title, const QString& text) { told << title + "|" + text; });
        auto feed = [&](const std::vector<std::string>& inputs) {
            for (const std::string& input : inputs) {
                if (input == "box")
                    watch.ShowMessageWithDetail("Error", "Unable to Set Output Filename",
                                                MessageIcon::Error, "/a/m.wmv: Permission denied");
                else
                    watch.Event(input);
            }
            panel->OnTimer();
        };
        const QPoint on(panel->ContentLeft() + 172 + 40 * c.icon + 16, 16);
        const QPoint text(panel->ContentLeft() + 20, 16);
        // The mark: red in the icon's top-right corner, clear of the switched-off cross.
        auto marked = [&] {
            return BoundingBox(IconArea(Shot(panel.get()), c.icon).copy(20, 0, 12, 12), IsReddish)
                .isValid();
        };
        EXPECT_FALSE(marked()) << c.icon;
        feed(c.fail);
        feed(c.fail);
        EXPECT_TRUE(marked()) << c.icon;
        EXPECT_EQ(panel->ToolTipAt(on), c.told.section('|', 1));
        EXPECT_TRUE(panel->ToolTipAt(text).isEmpty());
        EXPECT_EQ(told, QStringList{c.told}) << "one notice for the stretch";
        feed(c.succeed);
        EXPECT_FALSE(marked()) << c.icon;
        EXPECT_TRUE(panel->ToolTipAt(on).isEmpty());
        feed(c.fail);
        EXPECT_EQ(told.size(), 2) << "a new stretch is told again";
        panel->SetFailureWatch(nullptr);
    }
}
