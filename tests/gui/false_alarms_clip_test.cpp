// The False Alarms window's clip test: a real clip drawn by FFmpeg, replayed
// in the background with the window's values, shown on the timeline.
#include "setup_fixture.h"

#include "RunCommand.h"

#include "setup/DlgFalseAlarms.h"
#include "setup/PageMotionDetect.h"
#include "setup/ReplayTimeline.h"
#include "setup/ReplayWorker.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QPlainTextEdit>
#include <QSlider>
#include <QSpinBox>
#include <QThread>
#include <QTimer>

#include <algorithm>

namespace {

class FalseAlarmsClipTest : public SetupDialogTest {
protected:
    static void SetUpTestSuite() {
        s_dir = std::make_unique<CTempDir>();
        s_made = RunCommand(std::string(OCULON_SOURCE_DIR) + "/tests/support/make_scenes.sh " +
                            s_dir->Path() + " person_walks")
                     .exitCode == 0;
    }
    static void TearDownTestSuite() { s_dir.reset(); }
    void SetUp() override { ASSERT_TRUE(s_made) << "ffmpeg could not draw the clip"; }
    static std::string Clip() { return s_dir->File("person_walks.mp4"); }

    CFalseAlarmContext Context() const {
        CFalseAlarmContext c;
        c.homeFolder = home.Folder();
        c.archiveFolder = settings->CAPTURE_PTH;
        return c;
    }

    // What the headless replay makes of the clip with these values.
    CReplayResult Headless(int threshold, const CFalseAlarmFilters& f) const {
        CAppSettings s(parser, home.Folder(), "", true);
        s.MOTION_THR = threshold;
        s.DETECT_LIGHT_PCT = f.lightPct;
        s.DETECT_BRIGHT_COMP = f.brightComp;
        s.DETECT_MIN_PASSES = f.minPasses;
        s.DETECT_MIN_BLOCKS = f.minBlocks;
        s.DETECT_BLOCKS_TOUCH = f.blocksTouch;
        return ReplayClip(Clip(), s);
    }

    static std::unique_ptr<CTempDir> s_dir;
    static bool s_made;
};
std::unique_ptr<CTempDir> FalseAlarmsClipTest::s_dir;
bool FalseAlarmsClipTest::s_made = false;

// Lets the window's events run until its replay has reported.
bool WaitForReplay(const CDlgFalseAlarms& d) {
    QElapsedTimer waited;
    waited.start();
    while (d.Worker()->Running() && waited.elapsed() < 60000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(2);
    }
    return !d.Worker()->Running();
}

// A drag of the knob: it replays only when let go.
void DragSensitivity(QSlider* slider, int value) {
    slider->setSliderDown(true);
    slider->setValue(value);
    slider->setSliderDown(false);
}

double CapturedSeconds(const CReplayResult& r) {
    double sum = 0;
    for (const CReplayCapture& c : r.captures)
        sum += c.end - c.start;
    return sum;
}

} // namespace

TEST_F(FalseAlarmsClipTest, TimelineAndLinesShowWhatTheHeadlessReplayFinds) {
    struct Case {
        int threshold;
        CFalseAlarmFilters filters;
    };
    // Rising thresholds first, then the filters that keep a person.
    const Case cases[] = {
        {5, {}}, {100, {}}, {300, {}}, {500, {}}, {100, CFalseAlarmFilters::Recommended()}};
    CDlgFalseAlarms d({}, Context(), nullptr);
    d.show();
    d.TestClip(QString::fromStdString(Clip()));
    double previousSeconds = 1e9;
    size_t previousCount = 1000;
    for (const Case& c : cases) {
        SCOPED_TRACE("threshold " + std::to_string(c.threshold));
        d.TouchBox()->setChecked(c.filters.blocksTouch != 0);
        d.Blocks()->setValue(c.filters.minBlocks);
        d.Passes()->setValue(c.filters.minPasses);
        d.CompensateBox()->setChecked(c.filters.brightComp != 0);
        d.LightBox()->setChecked(c.filters.lightPct > 0);
        DragSensitivity(d.SensitivitySlider(), c.threshold);
        ASSERT_EQ(d.Filters(), c.filters);
        ASSERT_TRUE(WaitForReplay(d));

        const CReplayResult want = Headless(c.threshold, c.filters);
        const CReplayTimeline& timeline = *d.Timeline();
        EXPECT_DOUBLE_EQ(timeline.ClipSeconds(), want.clipSeconds);
        ASSERT_EQ(timeline.Bars(), static_cast<int>(want.captures.size()));
        const QStringList lines = d.ResultText()->toPlainText().split('\n');
        ASSERT_EQ(lines.size(), timeline.Bars() + 1);
        const QRect track = timeline.Track();
        // A capture may close with the step after the clip's last picture.
        double span = want.clipSeconds;
        for (const CReplayCapture& capture : want.captures)
            span = std::max(span, capture.end);
        for (int i = 0; i < timeline.Bars(); ++i) {
            const CReplayCapture& capture = want.captures[static_cast<size_t>(i)];
            const QRect bar = timeline.Bar(i);
            EXPECT_NEAR(bar.left(), track.left() + capture.start / span * track.width(), 1.0);
            EXPECT_NEAR(bar.right() + 1, track.left() + capture.end / span * track.width(), 1.0);
            EXPECT_EQ(lines[i].toStdString(), ReplayCaptureLine(capture));
        }
        const std::string summary = ReplaySummaryLine(want, 0);
        EXPECT_EQ(lines.back().toStdString().substr(0, summary.find(" in ")),
                  summary.substr(0, summary.find(" in ")));
        if (c.filters == CFalseAlarmFilters{}) {
            // The person is seen at the page's default; a less sensitive
            // detector never captures more of the walk.
            if (c.threshold == 100) {
                EXPECT_GE(want.captures.size(), 1u);
            }
            EXPECT_LE(want.captures.size(), previousCount);
            EXPECT_LE(CapturedSeconds(want), previousSeconds);
            previousCount = want.captures.size();
            previousSeconds = CapturedSeconds(want);
        } else {
            EXPECT_EQ(want.captures.size(), 1u) << "the recommended filters keep the person";
        }
    }
    MaybeSaveScreenshot(&d, QStringLiteral("false-alarms.png"));
}

TEST_F(FalseAlarmsClipTest, StoppedOrClosedWhileReplayingNeverReports) {
    int reports = 0;
    {
        CDlgFalseAlarms d({}, Context(), nullptr);
        QObject::connect(d.Worker(), &CReplayWorker::finished, [&] { ++reports; });
        d.show();
        // Each new value replaces the run before it.
        d.TestClip(QString::fromStdString(Clip()));
        d.Blocks()->setValue(4);
        d.SensitivitySlider()->setValue(200);
        ASSERT_TRUE(WaitForReplay(d));
        EXPECT_EQ(reports, 1);
        EXPECT_EQ(d.SensitivitySlider()->value(), 200);
        d.TestClip(QString::fromStdString(Clip()));
        d.reject(); // closing stops it
        EXPECT_FALSE(d.Worker()->Running());
        d.TestClip(QString::fromStdString(Clip()));
    } // and so does the window's end
    QCoreApplication::processEvents();
    EXPECT_EQ(reports, 1);

    CDlgFalseAlarms d({}, Context(), nullptr);
    d.TestClip(QString::fromStdString(home.File("none.mp4")));
    ASSERT_TRUE(WaitForReplay(d));
    EXPECT_EQ(d.Timeline()->Bars(), 0);
    EXPECT_EQ(d.ResultText()->toPlainText().toStdString(),
              "replay: cannot read " + home.File("none.mp4"));
}

TEST_F(FalseAlarmsClipTest, ClipChosenInTheArchiveAndSensitivityTakenBackWithOk) {
    auto dialog = MakeDialog(1);
    DLG_SetupMotion* page = dialog->MotionPage();
    auto* pageSlider = page->ControlAs<QSlider>(DLG_SetupMotion::kIdSensitivity);
    ASSERT_NE(pageSlider, nullptr);
    pageSlider->setValue(150); // unsaved: the window starts from it
    std::string startFolder;
    int bars = -1;
    // Opens the window from the page, lets `use` work in it, then OK or Cancel.
    auto open = [&](const std::function<void(CDlgFalseAlarms&)>& use, bool ok) {
        QTimer::singleShot(0, [&] {
            auto* d = qobject_cast<CDlgFalseAlarms*>(QApplication::activeModalWidget());
            ASSERT_NE(d, nullptr);
            use(*d);
            ok ? d->accept() : d->reject();
        });
        page->ControlAs<QPushButton>(DLG_SetupMotion::kIdFalseAlarms)->click();
    };
    open(
        [&](CDlgFalseAlarms& d) {
            EXPECT_EQ(d.SensitivitySlider()->value(), 150);
            QTimer::singleShot(0, [&] {
                auto* files = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
                ASSERT_NE(files, nullptr);
                startFolder = files->directory().absolutePath().toStdString();
                files->selectFile(QString::fromStdString(Clip()));
                static_cast<QDialog*>(files)->accept();
            });
            d.TestButton()->click();
            ASSERT_TRUE(WaitForReplay(d));
            bars = d.Timeline()->Bars();
            DragSensitivity(d.SensitivitySlider(), 320);
            d.HeatMapBox()->setChecked(true);
        },
        true);
    EXPECT_EQ(QDir(QString::fromStdString(settings->CAPTURE_PTH)).absolutePath().toStdString(),
              startFolder);
    EXPECT_EQ(bars, static_cast<int>(Headless(150, {}).captures.size()));
    EXPECT_EQ(page->HeldValues().thr, 320);
    EXPECT_EQ(pageSlider->value(), 320);
    EXPECT_TRUE(page->HeldHeatMap());
    open(
        [](CDlgFalseAlarms& d) {
            DragSensitivity(d.SensitivitySlider(), 40);
            d.HeatMapBox()->setChecked(false);
        },
        false);
    EXPECT_EQ(pageSlider->value(), 320) << "Cancel takes nothing back";
    EXPECT_TRUE(page->HeldHeatMap());
    EXPECT_FALSE(settings->m_heatMap) << "nothing reaches the settings before OK";
    dialog->OkButton()->click();
    EXPECT_EQ(settings->MOTION_THR, 320);
    EXPECT_TRUE(settings->m_heatMap);
}
