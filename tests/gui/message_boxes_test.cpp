// The desktop's message boxes never hold up the watch: one box at a time,
// repeats counted, messages of other threads shown by the user-interface
// thread, and a movie that fails during a capture stops nothing that follows.
#include "window_fakes.h"

#include "widgets/QtMessageSink.h"

#include "record/MovieRecorder.h"
#include "record/WavePlayer.h"

#include <QAbstractButton>
#include <QDialog>
#include <QTimer>

#include <cstdlib>
#include <filesystem>
#include <thread>

namespace {

class MessageBoxTest : public ::testing::Test {
protected:
    MessageBoxTest() {
        GuiTestApp();
        m_previous = SetMessageSink(&sink);
        // A modal box runs a loop of its own inside its caller, where this timer
        // finds it: it is answered so that the test fails instead of hanging.
        QObject::connect(&m_guard, &QTimer::timeout, [this] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                m_heldUp = true;
                box->close();
            }
        });
        m_guard.start(0);
    }
    ~MessageBoxTest() override { SetMessageSink(m_previous); }

    // True when a box held up its caller.
    bool HeldUp() const { return m_heldUp; }
    void StopGuard() { m_guard.stop(); }
    // Lets the user-interface thread handle what is waiting.
    static void Settle() {
        for (int i = 0; i < 3; ++i) {
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            QCoreApplication::processEvents();
        }
    }
    QString Shown() const { return sink.OpenBox() ? sink.OpenBox()->text() : QString(); }
    void Answer() {
        ASSERT_NE(sink.OpenBox(), nullptr);
        sink.OpenBox()->button(QMessageBox::Ok)->click();
        Settle();
    }

    CQtMessageSink sink;

private:
    IMessageSink* m_previous = nullptr;
    QTimer m_guard;
    bool m_heldUp = false;
};

struct CountingSource : FakeSource {
    int GetFrame(uint8_t*& pixels, bool wait) override {
        ++fetches;
        return FakeSource::GetFrame(pixels, wait);
    }
    int fetches = 0;
};

} // namespace

TEST_F(MessageBoxTest, OneBoxAtATimeAndRepeatsCountUp) {
    for (const char* text : {"A", "A", "B", "A", "C", "B"})
        AppMessageBox(text);
    AppMessageBox("D", "/a/m.wmv: Permission denied");
    AppMessageBox("D", "/a/n.wmv: Permission denied");
    EXPECT_FALSE(HeldUp());
    const std::pair<const char*, int> expected[] = {
        {"A\n\n(3 times)", 3},
        {"B\n\n(2 times)", 2},
        {"C", 1},
        {"D\n/a/n.wmv: Permission denied\n\n(2 times)", 0}};
    for (const auto& [text, waiting] : expected) {
        ASSERT_NE(sink.OpenBox(), nullptr) << text;
        EXPECT_EQ(Shown(), text);
        EXPECT_EQ(sink.Waiting(), waiting) << text;
        EXPECT_EQ(sink.OpenBox()->windowModality(), Qt::NonModal) << text;
        Answer();
    }
    EXPECT_EQ(sink.OpenBox(), nullptr);
}

TEST_F(MessageBoxTest, AMessageFromAnotherThreadIsShownByTheWindowsThread) {
    std::thread worker(
        [] { ErrorMessageBox("Unable to Write Frame", "/a/m.wmv: No space left on device"); });
    worker.join(); // returned with nobody answering
    EXPECT_EQ(sink.OpenBox(), nullptr);
    EXPECT_FALSE(HeldUp());
    Settle();
    ASSERT_NE(sink.OpenBox(), nullptr);
    EXPECT_EQ(Shown(), "Unable to Write Frame\n/a/m.wmv: No space left on device");
    EXPECT_EQ(sink.OpenBox()->windowTitle(), "Error");
    EXPECT_EQ(sink.OpenBox()->icon(), QMessageBox::Critical);
    EXPECT_EQ(sink.OpenBox()->parentWidget(), nullptr);
    EXPECT_FALSE(HeldUp());
}

TEST_F(MessageBoxTest, AnAnswerToTheUsersOwnDialogStaysModalOverIt) {
    StopGuard();
    QDialog dialog;
    dialog.setModal(true);
    dialog.show();
    QString seen;
    QWidget* over = nullptr;
    QTimer::singleShot(0, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            seen = box->text();
            over = box->parentWidget();
            box->accept();
        }
    });
    AppMessageBox("Unable to write /x/oculon.desktop!");
    EXPECT_EQ(seen, "Unable to write /x/oculon.desktop!");
    EXPECT_EQ(over, &dialog);
    EXPECT_EQ(sink.OpenBox(), nullptr);
}

TEST_F(MessageBoxTest, NoSoundDeviceIsSaidOnceWithoutHoldingUpTheAlarms) {
    ::setenv("SDL_AUDIODRIVER", "nosuchdriver", 1);
    {
        CWavePlayer player(50);
        for (int alarm = 0; alarm < 3; ++alarm) {
            player.SetSiren(true);
            EXPECT_FALSE(player.IsSounding());
            player.SetSiren(false);
            player.PlayChirp();
        }
    }
    ::unsetenv("SDL_AUDIODRIVER");
    Settle();
    EXPECT_FALSE(HeldUp());
    const QStringList lines = Shown().split('\n');
    ASSERT_EQ(lines.size(), 2) << Shown().toStdString(); // the text and SDL's reason
    EXPECT_EQ(lines[0], "Unable to open audio out device");
    EXPECT_FALSE(lines[1].isEmpty());
    EXPECT_EQ(sink.Waiting(), 0);
}

TEST_F(MessageBoxTest, AMovieThatFailsDuringACaptureStopsNeitherTheStepsNorTheNextCapture) {
    CTempDir home;
    const CTagParser parser(false);
    CAppSettings settings(parser, home.Folder(), home.File("oculon"));
    settings.MOTION_WRM = 1;
    settings.MOTION_FPS = 10;
    settings.CAPTURE_FPS = 10;
    settings.CAPTURE_MIN_S = 1;
    settings.CAPTURE_WMV = 1;
    settings.MOVIE_FORMAT = 0; // WMV
    settings.CAPTURE_JPG = 0;
    settings.CAPTURE_PTH = home.File("archive"); // not there yet: the first movie fails
    CRecordingEventLog events;
    CManualClock clock;
    bool motionOn = true;
    CountingSource source;
    CMovieRecorder recorder(settings);
    CSurveillanceServices services;
    services.source = &source;
    services.recorder = &recorder;
    CSurveillanceController controller(settings, clock, motionOn, services);
    // Ticks for `ms`; with `motion` the picture flips between black and white every step.
    auto run = [&](int64_t ms, bool motion) {
        for (int64_t t = 0; t < ms; t += 5) {
            if (motion && clock.m_ms % 100 == 0)
                std::fill(source.buffer.begin() + kFrameHeaderSize, source.buffer.end(),
                          source.buffer.back() ? 0 : 255);
            clock.Advance(5);
            controller.OnSurveillanceTick();
        }
    };

    run(1500, false); // armed and primed
    run(1000, true);
    ASSERT_NE(sink.OpenBox(), nullptr);
    EXPECT_EQ(Shown(),
              QString::fromStdString("Unable to Set Output Filename\n" + controller.MoviePath() +
                                     ": No such file or directory"));
    const int fetches = source.fetches;
    run(2500, false); // the capture ends while the box is open
    EXPECT_GE(source.fetches - fetches, 20);
    EXPECT_FALSE(controller.Recording());

    std::filesystem::create_directory(settings.CAPTURE_PTH);
    run(1000, true);
    run(2500, false);
    EXPECT_FALSE(HeldUp());
    const std::string movie = controller.MoviePath();
    EXPECT_EQ(events.Lines().front(), "movie: start " + movie);
    EXPECT_EQ(events.Lines().back().rfind("movie: end " + movie + " ", 0), 0u);
    EXPECT_TRUE(std::filesystem::exists(movie));
    EXPECT_EQ(sink.Waiting(), 0);
    EXPECT_TRUE(Shown().startsWith("Unable to Set Output Filename\n")) << "still there to read";
}
