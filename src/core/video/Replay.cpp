#include "video/Replay.h"

#include "app/AppSettings.h"
#include "app/Clock.h"
#include "app/EventLog.h"
#include "app/TagParser.h"
#include "record/IMovieRecorder.h"
#include "video/SurveillanceController.h"
#include "video/capture/ClipSource.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

namespace {

// The main tick of the running program.
constexpr int64_t kTickMs = 5;

// The clip's time as the program's clock.
class CReplayClock : public IClock {
public:
    int64_t SteadyMs() const override { return m_ms; }
    int64_t WallSeconds() const override { return kEpoch + m_ms / 1000; }
    CLocalTime Local() const override {
        CLocalTime t;
        const int64_t s = m_ms / 1000;
        t.hour = static_cast<int>(s / 3600 % 24);
        t.minute = static_cast<int>(s / 60 % 60);
        t.second = static_cast<int>(s % 60);
        t.centisecond = static_cast<int>(m_ms % 1000 / 10);
        return t;
    }
    int64_t m_ms = 0;

private:
    static constexpr int64_t kEpoch = 1'000'000'000;
};

// Notes when movies would begin and end; writes nothing. As the archive
// counts as paused, no still is written either.
class CReplayRecorder : public IMovieRecorder {
public:
    explicit CReplayRecorder(const CReplayClock& clock) : m_clock(clock) {}
    void Start(const std::string&, int) override {
        m_open = true;
        m_startMs = m_clock.m_ms;
    }
    void AddFrame(const CFrameImage&, int64_t) override {}
    void Stop() override {
        if (m_open)
            m_stopMs = m_clock.m_ms;
        m_open = false;
    }
    bool IsRecording() const override { return m_open; }
    bool ArchivePaused() const override { return true; }

    bool m_open = false;
    int64_t m_startMs = 0;
    int64_t m_stopMs = 0;

private:
    const CReplayClock& m_clock;
};

std::string Seconds(double s) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", s);
    return text;
}

} // namespace

CReplayResult ReplayClip(const std::string& path, CAppSettings& settings,
                         const std::atomic<bool>* cancel) {
    CReplayResult result;
    CClipSource source;
    if (!source.Open(path))
        return result;
    result.opened = true;
    CReplayClock clock;
    CReplayRecorder recorder(clock);
    bool motionOn = true;
    CSurveillanceServices services;
    services.source = &source;
    services.recorder = &recorder;
    CSurveillanceController controller(settings, clock, motionOn, services);
    controller.SetQuiet(true);
    controller.ArmAtOnce();

    CReplayCapture capture;
    bool open = false;
    int pendingPasses = 0, pendingPeak = 0; // motion passes before the movie began
    auto closeCapture = [&] {
        capture.end = static_cast<double>(recorder.m_stopMs) / 1000;
        result.captures.push_back(capture);
        open = false;
    };
    for (;; clock.m_ms += kTickMs) {
        if (cancel && cancel->load(std::memory_order_relaxed)) {
            result.cancelled = true;
            break;
        }
        source.SetTime(static_cast<double>(clock.m_ms) / 1000);
        if (source.AtEnd())
            break;
        const uint64_t fetches = source.Fetches();
        controller.OnSurveillanceTick();
        if (source.Fetches() == fetches)
            continue;
        ++result.passes;
        if (open && !recorder.m_open)
            closeCapture();
        if (!open && recorder.m_open) {
            capture = CReplayCapture{};
            capture.start = static_cast<double>(recorder.m_startMs) / 1000;
            capture.passes = pendingPasses;
            capture.peakBlocks = pendingPeak;
            pendingPasses = pendingPeak = 0;
            open = true;
        }
        // A compared pass leaves the detector primed unless it was a lighting change.
        if (controller.FirstPass() && controller.ArmCountdown() == 0 && result.passes > 1)
            ++result.lightingPasses;
        if (controller.PassMotion()) {
            ++result.motionPasses;
            const int blocks = controller.Detector().LastPass().changed;
            int& passes = open ? capture.passes : pendingPasses;
            int& peak = open ? capture.peakBlocks : pendingPeak;
            ++passes;
            peak = std::max(peak, blocks);
        } else if (!open && !controller.Recording()) {
            pendingPasses = pendingPeak = 0;
        }
    }
    controller.EndCaptureForClose();
    if (open)
        closeCapture();
    result.clipSeconds = source.LastSeconds();
    return result;
}

std::string ReplayCaptureLine(const CReplayCapture& c) {
    return "replay: capture " + Seconds(c.start) + "\u2013" + Seconds(c.end) + " passes " +
           std::to_string(c.passes) + " peak-blocks " + std::to_string(c.peakBlocks);
}

std::string ReplaySummaryLine(const CReplayResult& r, double tookSeconds) {
    return "replay: " + std::to_string(r.captures.size()) + " captures, " +
           std::to_string(r.passes) + " passes, " + std::to_string(r.motionPasses) +
           " with motion, " + std::to_string(r.lightingPasses) + " lighting changes, " +
           Seconds(r.clipSeconds) + " s of clip in " + Seconds(tookSeconds) + " s";
}

int RunReplay(const std::string& clip, const std::string& homeFolder) {
    const CTagParser parser(false);
    CAppSettings settings(parser, homeFolder, "", true);
    const auto began = std::chrono::steady_clock::now();
    const CReplayResult result = ReplayClip(clip, settings);
    if (!result.opened) {
        LogEvent("replay: cannot read " + clip);
        return 1;
    }
    const double took =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    for (const CReplayCapture& c : result.captures)
        LogEvent(ReplayCaptureLine(c));
    LogEvent(ReplaySummaryLine(result, took));
    return 0;
}
