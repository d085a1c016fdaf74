#include "video/SurveillanceController.h"

#include "video/FrameTextPainter.h"

#include "ControllerTestAccess.h"
#include "ManualClock.h"
#include "RecordingSinks.h"
#include "VideoFakes.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <set>

namespace {

class ControllerTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_settings->MOTION_WRM = 1;
        m_settings->CAPTURE_FPS = 20;
        m_settings->MOTION_FPS = 10;
        m_settings->CAPTURE_MIN_S = 2;
    }

    CSurveillanceController& Make() {
        CSurveillanceServices services{&m_source, &m_recorder, &m_sound, &m_mailer, &m_painter};
        m_controller =
            std::make_unique<CSurveillanceController>(*m_settings, m_clock, m_motionOn, services);
        return *m_controller;
    }
    // Ticks every 5 ms until `ms` of the clock; true when a step fetched a frame.
    void RunUntil(int64_t ms) {
        while (m_clock.m_ms < ms) {
            m_clock.Advance(5);
            m_controller->OnSurveillanceTick();
        }
    }
    // Ticks until the next step has run.
    void NextStep() {
        const int fetches = m_source.m_fetches;
        while (m_source.m_fetches == fetches) {
            m_clock.Advance(5);
            m_controller->OnSurveillanceTick();
        }
    }

    CTestSettings m_settings;
    CManualClock m_clock;
    bool m_motionOn = true;
    CFakeSource m_source;
    CFakeRecorder m_recorder;
    CFakeSound m_sound;
    CFakeMailer m_mailer;
    CFrameTextPainter m_painter;
    std::unique_ptr<CSurveillanceController> m_controller;
};

} // namespace

TEST_F(ControllerTest, CountdownDropsAtTheFirstStepThenOncePerSecondAndChirpsAtZero) {
    m_settings->MOTION_WRM = 10;
    auto& c = Make();
    EXPECT_EQ(c.ArmCountdown(), 10);
    NextStep();
    EXPECT_EQ(c.ArmCountdown(), 9) << "the first step already counts";
    RunUntil(995);
    EXPECT_EQ(c.ArmCountdown(), 9);
    RunUntil(1100);
    EXPECT_EQ(c.ArmCountdown(), 8);
    m_clock.m_wallBase += 5; // a jump of the wall clock still takes one second per step
    NextStep();
    EXPECT_EQ(c.ArmCountdown(), 7);
    EXPECT_EQ(m_sound.m_chirps, 0);
    RunUntil(8100);
    EXPECT_EQ(c.ArmCountdown(), 0);
    EXPECT_EQ(m_sound.m_chirps, 1);
    RunUntil(12000);
    EXPECT_EQ(m_sound.m_chirps, 1);
}

TEST_F(ControllerTest, OneSecondArmingStillChirps) {
    auto& c = Make();
    NextStep();
    EXPECT_EQ(c.ArmCountdown(), 0);
    EXPECT_EQ(m_sound.m_chirps, 1);
}

TEST_F(ControllerTest, FirstArmedPassIgnoresChangesMadeDuringTheCountdown) {
    m_settings->MOTION_WRM = 3;
    auto& c = Make();
    NextStep();
    m_source.Fill(10);
    RunUntil(1500);
    m_source.Fill(250);
    RunUntil(2500);
    ASSERT_EQ(c.ArmCountdown(), 0);
    EXPECT_FALSE(c.Motion());
    EXPECT_FALSE(c.Recording());
    EXPECT_TRUE(m_recorder.m_starts.empty());
    m_source.Block(4, 4, 0);
    NextStep();
    EXPECT_TRUE(c.Motion());
    EXPECT_EQ(c.Cells()[4 * 30 + 4], 8);
}

TEST_F(ControllerTest, OneMotionRecordsFromTheNextStepForTheHoldTime) {
    auto& c = Make();
    NextStep(); // armed and primed
    NextStep();
    m_source.Block(20, 15, 255);
    NextStep();
    ASSERT_TRUE(c.Motion());
    EXPECT_TRUE(c.Recording());
    EXPECT_TRUE(m_sound.m_siren);
    EXPECT_EQ(m_sound.m_volume, m_settings->MOTION_VOL);
    EXPECT_TRUE(m_recorder.m_starts.empty()) << "the movie starts one step later";
    const int64_t motionAt = m_clock.m_ms;

    NextStep();
    ASSERT_EQ(m_recorder.m_starts.size(), 1u);
    const std::string expected =
        m_settings->CAPTURE_PTH + "/" + CStillWriter::BaseName(c.StampText()) + ".wmv";
    EXPECT_EQ(m_recorder.m_starts[0], expected);
    EXPECT_EQ(c.MoviePath(), expected);
    EXPECT_EQ(m_recorder.m_fps, 20);
    EXPECT_EQ(m_recorder.m_frames, 1);
    EXPECT_EQ(m_recorder.m_lastAlpha, 0xFF) << "frames reach the writer on black";
    const int64_t startAt = m_clock.m_ms;
    EXPECT_LE(startAt - motionAt, 55) << "steps run at the capture rate";

    RunUntil(motionAt + 1990);
    EXPECT_TRUE(m_recorder.m_open);
    EXPECT_TRUE(m_mailer.m_reports.empty());
    RunUntil(motionAt + 2300);
    EXPECT_FALSE(m_recorder.m_open);
    EXPECT_FALSE(c.Recording());
    EXPECT_FALSE(m_sound.m_siren);
    ASSERT_EQ(m_mailer.m_reports.size(), 1u);
    EXPECT_EQ(m_mailer.m_reports[0].moviePath, expected);
    // About two seconds of frames at 20 per second (a step every 50 ms).
    EXPECT_GE(m_recorder.m_frames * 50, 1800);
    EXPECT_LE(m_recorder.m_frames * 50, 2100);
    RunUntil(motionAt + 6000);
    EXPECT_EQ(m_mailer.m_reports.size(), 1u);
    EXPECT_EQ(m_recorder.m_starts.size(), 1u);
}

TEST_F(ControllerTest, EachStepAsksAheadForTheFrameOfTheNextStep) {
    auto& c = Make();
    NextStep();
    NextStep();
    EXPECT_EQ(m_source.m_preparedInUs, 100000) << "watching at MOTION_FPS 10";
    m_source.Block(20, 15, 255);
    NextStep();
    ASSERT_TRUE(c.Recording());
    EXPECT_EQ(m_source.m_preparedInUs, 50000) << "recording at CAPTURE_FPS 20";
    // A lost camera is not asked.
    m_source.m_running = false;
    m_source.m_preparedInUs = -1;
    m_clock.Advance(200);
    c.OnSurveillanceTick();
    EXPECT_EQ(m_source.m_preparedInUs, -1);
}

TEST_F(ControllerTest, ContinuousMotionIsCutIntoMoviesOfMaximumLength) {
    m_settings->CAPTURE_MAX_S = 10;
    auto& c = Make();
    NextStep();
    uint8_t level = 0;
    std::vector<int64_t> startTimes;
    while (m_clock.m_ms < 35000) {
        m_source.Fill(level ^= 0xFF);
        const size_t starts = m_recorder.m_starts.size();
        NextStep();
        if (m_recorder.m_starts.size() != starts)
            startTimes.push_back(m_clock.m_ms);
    }
    EXPECT_TRUE(c.Recording());
    ASSERT_EQ(startTimes.size(), 4u);
    const std::set<std::string> names(m_recorder.m_starts.begin(), m_recorder.m_starts.end());
    EXPECT_EQ(names.size(), 4u) << "each movie is named after its own start";
    for (size_t i = 1; i < startTimes.size(); ++i) {
        EXPECT_GE(startTimes[i] - startTimes[i - 1], 9000);
        EXPECT_LE(startTimes[i] - startTimes[i - 1], 10100);
    }
    EXPECT_EQ(m_mailer.m_reports.size(), 3u);
    for (size_t i = 0; i < 3; ++i)
        EXPECT_EQ(m_mailer.m_reports[i].moviePath, m_recorder.m_starts[i]);
    EXPECT_EQ(m_recorder.m_log[1], "stop") << "a mail follows each stop";
}

TEST_F(ControllerTest, CutMoviesHoldTheirLengthAtTheCaptureRateWhateverTheTicks) {
    struct Case {
        int fps;
        int64_t tickMs;
    };
    for (const Case& k : {Case{20, 5}, Case{60, 5}, Case{20, 7}, Case{60, 3}}) {
        SCOPED_TRACE(::testing::Message() << k.fps << " fps, ticks of " << k.tickMs << " ms");
        m_settings->CAPTURE_FPS = k.fps;
        m_settings->CAPTURE_MAX_S = 10;
        m_recorder = CFakeRecorder{};
        Make();
        const int64_t end = m_clock.m_ms + 30000;
        while (m_recorder.m_log.size() < 2 && m_clock.m_ms < end) { // until the first cut
            m_source.Fill(m_source.m_fetches % 2 ? 0 : 255);        // each step sees motion
            m_clock.Advance(k.tickMs);
            m_controller->OnSurveillanceTick();
        }
        EXPECT_NEAR(m_recorder.m_frames, 10 * k.fps, 0.03 * 10 * k.fps);
    }
}

TEST_F(ControllerTest, AStallIsNotMadeUpByABurstOfSteps) {
    Make();
    NextStep();
    m_clock.Advance(3000); // the process was held up
    NextStep();
    const int fetches = m_source.m_fetches;
    RunUntil(m_clock.m_ms + 1000);
    EXPECT_EQ(m_source.m_fetches - fetches, m_settings->MOTION_FPS);
}

TEST_F(ControllerTest, MotionWithinTheHoldTimeKeepsOneMovie) {
    m_settings->CAPTURE_MIN_S = 3;
    Make();
    NextStep();
    NextStep();
    for (int i = 0; i < 4; ++i) {
        m_source.Block(10, 10, i % 2 ? 0 : 255);
        NextStep();
        RunUntil(m_clock.m_ms + 2000);
    }
    EXPECT_EQ(m_recorder.m_starts.size(), 1u);
    EXPECT_TRUE(m_mailer.m_reports.empty());
}

TEST_F(ControllerTest, SwitchTurnsDetectionOffAndOnAndSilencesTheSiren) {
    auto& c = Make();
    NextStep();
    NextStep();
    m_source.Block(1, 1, 255);
    NextStep();
    ASSERT_TRUE(m_sound.m_siren);
    NextStep(); // movie open

    c.ToggleDetection();
    EXPECT_FALSE(m_motionOn);
    EXPECT_EQ(c.ArmCountdown(), m_settings->MOTION_WRM + 1);
    EXPECT_FALSE(m_sound.m_siren);
    EXPECT_TRUE(c.FirstPass());
    const int frames = m_recorder.m_frames;
    RunUntil(m_clock.m_ms + 3000);
    EXPECT_EQ(c.ArmCountdown(), m_settings->MOTION_WRM + 1) << "off does not count down";
    EXPECT_EQ(m_recorder.m_frames, frames) << "no frames while off";
    EXPECT_FALSE(m_recorder.m_open) << "switching off ended the movie";
    c.KeepCountdownInRange();
    EXPECT_EQ(c.ArmCountdown(), m_settings->MOTION_WRM + 1)
        << "the range rule applies only when on";

    c.ToggleDetection();
    EXPECT_TRUE(m_motionOn);
    EXPECT_EQ(c.ArmCountdown(), m_settings->MOTION_WRM);
    NextStep();
    EXPECT_EQ(c.ArmCountdown(), 0);
    EXPECT_FALSE(m_recorder.m_open);
    EXPECT_EQ(m_mailer.m_reports.size(), 1u) << "the one report went at the switch";
}

TEST_F(ControllerTest, SwitchingOffOrClosingEndsTheCaptureWithItsReportAtOnce) {
    const std::pair<const char*, std::function<void(CSurveillanceController&)>> ends[] = {
        {"switch off", [](CSurveillanceController& c) { c.ToggleDetection(); }},
        // Every close tick asks; only the first has a capture to end.
        {"close",
         [](CSurveillanceController& c) {
             c.EndCaptureForClose();
             c.EndCaptureForClose();
         }},
    };
    uint8_t level = 0;
    for (const auto& [name, end] : ends) {
        SCOPED_TRACE(name);
        m_recorder = CFakeRecorder{};
        m_mailer = CFakeMailer{};
        m_motionOn = true;
        auto& c = Make();
        NextStep();
        NextStep();
        m_source.Block(3, 3, level ^= 0xFF);
        NextStep();
        NextStep();
        ASSERT_TRUE(m_recorder.m_open);
        const std::string endedAt = c.StampText();
        m_clock.Advance(20); // between two steps
        end(c);
        EXPECT_FALSE(m_recorder.m_open);
        ASSERT_EQ(m_mailer.m_reports.size(), 1u);
        EXPECT_EQ(m_mailer.m_reports[0].moviePath, m_recorder.m_starts.at(0));
        EXPECT_EQ(m_mailer.m_reports[0].stampText, endedAt);
    }
}

TEST_F(ControllerTest, SetupBracketEndsTheCaptureBeforeTheDialogAndRearms) {
    auto& c = Make();
    NextStep();
    NextStep();
    m_source.Block(1, 1, 255);
    NextStep();
    NextStep();
    ASSERT_TRUE(m_recorder.m_open);

    bool ran = false;
    c.RunSetup([&] {
        ran = true;
        EXPECT_TRUE(c.SetupOpen());
        EXPECT_FALSE(m_recorder.m_open);
        EXPECT_FALSE(m_sound.m_siren);
        EXPECT_EQ(m_mailer.m_reports.size(), 1u);
        c.ResetDetection(); // what the dialog's OK does
    });
    EXPECT_TRUE(ran);
    EXPECT_FALSE(c.SetupOpen());
    EXPECT_EQ(c.ArmCountdown(), m_settings->MOTION_WRM);
    // Motion after re-arming starts a new movie with a new name.
    RunUntil(m_clock.m_ms + 1100);
    ASSERT_EQ(c.ArmCountdown(), 0);
    m_source.Block(2, 2, 255);
    NextStep();
    NextStep();
    ASSERT_EQ(m_recorder.m_starts.size(), 2u);
    EXPECT_NE(m_recorder.m_starts[0], m_recorder.m_starts[1]);
    EXPECT_EQ(m_mailer.m_reports.size(), 1u);

    // With detection off the dialog leaves it off, whatever it did.
    c.ToggleDetection();
    c.RunSetup([&] { c.ResetDetection(); });
    EXPECT_EQ(c.ArmCountdown(), m_settings->MOTION_WRM + 1);
    EXPECT_EQ(m_mailer.m_reports.size(), 2u);
}

TEST_F(ControllerTest, SetupBracketEndsAStillsOnlyCaptureToo) {
    CSurveillanceServices services{&m_source, nullptr, &m_sound, &m_mailer, &m_painter};
    m_controller =
        std::make_unique<CSurveillanceController>(*m_settings, m_clock, m_motionOn, services);
    NextStep();
    NextStep();
    m_source.Block(1, 1, 255);
    NextStep();
    NextStep();
    m_controller->RunSetup([] {});
    EXPECT_EQ(m_mailer.m_reports.size(), 1u) << "no movie writer, but a capture was running";
}

TEST_F(ControllerTest, NoDeviceMeansNoWork) {
    m_source.m_running = false;
    auto& c = Make();
    m_source.Fill(0);
    RunUntil(20000);
    EXPECT_EQ(m_source.m_fetches, 0);
    EXPECT_EQ(c.ArmCountdown(), 1);
    EXPECT_TRUE(c.GetCurrentImage().Empty());
    EXPECT_TRUE(m_recorder.m_starts.empty());
}

TEST_F(ControllerTest, ACameraLostDuringACaptureEndsItWithItsReport) {
    auto& c = Make();
    NextStep();
    NextStep();
    m_source.Block(20, 15, 255);
    NextStep();
    NextStep();
    ASSERT_TRUE(m_recorder.m_open);
    ASSERT_TRUE(m_sound.m_siren);
    m_source.m_running = false;
    m_clock.Advance(60); // well inside the hold time
    c.OnSurveillanceTick();
    EXPECT_EQ(m_recorder.m_log.back(), "stop");
    EXPECT_EQ(m_mailer.m_reports.size(), 1u);
    EXPECT_FALSE(m_sound.m_siren);
    EXPECT_FALSE(c.Recording());
    RunUntil(m_clock.m_ms + 5000);
    EXPECT_EQ(m_mailer.m_reports.size(), 1u) << "one report, not one per tick";
    EXPECT_EQ(m_recorder.m_starts.size(), 1u);
}

TEST_F(ControllerTest, ACameraThatComesBackIsWatchedAgainAfterTheCountdown) {
    m_settings->MOTION_WRM = 3;
    auto& c = Make();
    RunUntil(4000);
    ASSERT_EQ(c.ArmCountdown(), 0);
    m_source.m_running = false;
    RunUntil(6000);
    m_source.m_running = true;
    NextStep();
    EXPECT_EQ(c.ArmCountdown(), 2) << "re-armed, the first step counting";
    RunUntil(9000);
    EXPECT_EQ(c.ArmCountdown(), 0);
    // Switched off, it stays off.
    c.ToggleDetection();
    m_source.m_running = false;
    RunUntil(10000);
    m_source.m_running = true;
    NextStep();
    EXPECT_EQ(c.ArmCountdown(), 4);
}

TEST_F(ControllerTest, TimeStampReadsDayMonthNameYearAndHundredths) {
    m_clock.m_local = CLocalTime{2005, 12, 6, 14, 3, 27, 0, 2, 0};
    m_clock.m_ms = 410;
    auto& c = Make();
    NextStep(); // at 415 ms
    EXPECT_EQ(c.StampText(), "06/DEC/05  14:03:27.41");
    EXPECT_EQ(CStillWriter::BaseName(c.StampText()), "06-DEC-05  14=03=27=41");
    EXPECT_EQ(std::string(CSurveillanceController::kWatermark).size(), 10u);
}

TEST_F(ControllerTest, FrameImageCarriesBothBurntInLinesTopDown) {
    m_settings->VIDEO_OPA = 100;
    m_settings->VIDEO_OVE = "TITLE";
    auto& c = Make();
    c.SetRepaintHook([] {}); // a window shows each step
    NextStep();
    const CFrameImage& image = c.GetCurrentImage();
    ASSERT_FALSE(image.Empty());
    auto px = [&](int x, int y) { return image.bgrx[static_cast<size_t>(y * 320 + x) * 4]; };
    // 'T' (row 0 = FF) at the top-left: frame pixel black, glyph row white.
    EXPECT_EQ(px(0, 0), 0);
    EXPECT_EQ(px(1, 1), 255);
    // The watermark's 'O' (row 0 = 7E) opens the bottom line at y = 230.
    EXPECT_EQ(px(0, 230), 0);
    EXPECT_EQ(px(1, 231), 0);
    EXPECT_EQ(px(2, 231), 255);
    EXPECT_EQ(px(160, 120), 0x80) << "the picture between the lines is untouched";

    // With the lines off from the start nothing is drawn.
    m_settings->VIDEO_OPA = 0;
    CFrameTextPainter fresh;
    CSurveillanceServices services{&m_source, nullptr, nullptr, nullptr, &fresh};
    CSurveillanceController plain(*m_settings, m_clock, m_motionOn, services);
    plain.SetRepaintHook([] {});
    m_clock.Advance(200);
    plain.OnSurveillanceTick();
    EXPECT_EQ(plain.GetCurrentImage().bgrx[0], 0x80);
}

TEST_F(ControllerTest, AWatchingStepMakesItsImageOnlyWhenAWindowOrAPreRollTakesIt) {
    struct Case {
        bool window, preRoll, image;
    };
    m_settings->VIDEO_OPA = 100;
    for (const Case& k :
         {Case{false, false, false}, Case{true, false, true}, Case{false, true, true}}) {
        SCOPED_TRACE(::testing::Message() << "window " << k.window << ", pre-roll " << k.preRoll);
        m_recorder = CFakeRecorder{};
        m_recorder.m_wantsWatch = k.preRoll;
        auto& c = Make();
        if (k.window)
            c.SetRepaintHook([] {});
        NextStep();
        EXPECT_EQ(c.GetCurrentImage().Empty(), !k.image);
        EXPECT_FALSE(c.StampText().empty()) << "the stamp names a movie even when not drawn";
    }
}

TEST_F(ControllerTest, SixteenBitFramesBecomeFullRangeImages) {
    m_source.m_depth = 16;
    m_settings->VIDEO_OPA = 0;
    // RGB555 pure red in every pixel.
    for (size_t i = 0; i < m_source.m_next.size(); i += 2) {
        m_source.m_next[i] = 0x00;
        m_source.m_next[i + 1] = 0x7C;
    }
    auto& c = Make();
    c.SetRepaintHook([] {});
    NextStep();
    EXPECT_EQ(c.Depth(), 16);
    const CFrameImage& image = c.GetCurrentImage();
    ASSERT_FALSE(image.Empty());
    EXPECT_EQ(image.bgrx[0], 0);
    EXPECT_EQ(image.bgrx[1], 0);
    EXPECT_EQ(image.bgrx[2], 255);
}

TEST_F(ControllerTest, ACaptureWaitsForMinimumMotionPassesInARow) {
    struct Case {
        int minPasses;
        const char* passes; // '1': the step's frame differs from the one before
        bool captures;
    };
    for (const Case& k : {Case{1, "1000", true}, Case{3, "1101100000", false},
                          Case{3, "0111000", true}, Case{2, "1010101000", false}}) {
        SCOPED_TRACE(::testing::Message() << k.minPasses << " passes: " << k.passes);
        m_settings->DETECT_MIN_PASSES = k.minPasses;
        m_recorder = CFakeRecorder{};
        m_sound = CFakeSound{};
        Make();
        NextStep(); // armed and primed
        uint8_t level = 0x00;
        for (const char* p = k.passes; *p; ++p) {
            if (*p == '1')
                m_source.Block(6, 6, level ^= 0xFF);
            NextStep();
        }
        EXPECT_EQ(m_recorder.m_starts.size(), k.captures ? 1u : 0u);
        EXPECT_EQ(m_sound.m_siren, k.captures);
    }
}

TEST_F(ControllerTest, LightingChangesAreLoggedOncePerStretchAndStartNoCapture) {
    m_settings->DETECT_LIGHT_PCT = 60;
    CRecordingEventLog events;
    auto& c = Make();
    NextStep();
    // Frame levels step by step: a change, the priming pass after it, a change
    // again (same stretch), priming, a still pass (ends it), a new change.
    for (const int level : {200, 40, 200, 200, 200, 60}) {
        m_source.Fill(static_cast<uint8_t>(level));
        NextStep();
        EXPECT_FALSE(c.Motion());
    }
    EXPECT_TRUE(c.FirstPass()) << "the pass after a lighting change primes again";
    RunUntil(m_clock.m_ms + 3000);
    EXPECT_TRUE(m_recorder.m_starts.empty());
    EXPECT_EQ(events.Lines(),
              (std::vector<std::string>{"detect: lighting change, 100% of blocks",
                                        "detect: lighting change, 100% of blocks"}));
}
