// The surveillance program without windows: the same application objects and
// loop, woken only when a step, the status line or a close is due, ended by
// SIGINT/SIGTERM or --run-for.
#include "HeadlessSinks.h"
#include "HeadlessTestMail.h"

#include "app/AppSettings.h"
#include "app/Clock.h"
#include "app/CommandLine.h"
#include "app/HomeFolder.h"
#include "app/PrivateFiles.h"
#include "program/AppObjects.h"
#include "program/Housekeeping.h"
#include "program/Restart.h"
#include "video/Replay.h"
#include "video/StatusText.h"
#include "video/SurveillanceController.h"
#include "video/capture/CaptureGraph.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

namespace {

// Process-wide because a signal handler can reach nothing else.
// Lock-free, so safe in the handler, and atomic, because the signal may land
// on any of the program's threads while the main thread reads it.
std::atomic<bool> g_stopSignal{false};
static_assert(std::atomic<bool>::is_always_lock_free);

void OnStopSignal(int) {
    g_stopSignal.store(true);
}

void Usage() {
    std::fputs("usage: oculon-headless [--home DIR] [--run-for SECONDS] [--list-devices]\n"
               "       oculon-headless --replay CLIP [--home DIR]\n"
               "       oculon-headless [--home DIR] --test-mail\n",
               stderr);
}

} // namespace

int main(int argc, char** argv) {
    KeepNewFilesPrivate();
    double runFor = -1;
    bool listDevices = false;
    std::string replayClip;
    bool testMail = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--home" && i + 1 < argc) {
            ::setenv("OCULON_HOME", argv[++i], 1);
        } else if (arg == "--run-for" && i + 1 < argc) {
            char* end = nullptr;
            runFor = std::strtod(argv[++i], &end);
            if (!end || *end || runFor < 0) {
                Usage();
                return 2;
            }
        } else if (arg == "--list-devices") {
            listDevices = true;
        } else if (arg == "--replay" && i + 1 < argc) {
            replayClip = argv[++i];
        } else if (arg == "--test-mail") {
            testMail = true;
        } else {
            Usage();
            return 2;
        }
    }

    CStdoutSinks sinks;
    SetMessageSink(&sinks);
    SetEventLog(&sinks);
    SetAppCaption("oculon-headless");
    IgnoreBrokenPipes();

    if (listDevices) {
        CCaptureGraph graph;
        const int count = graph.EnumerateDevices();
        for (int i = 0; i < count; ++i)
            std::printf("%s\n", graph.GetDeviceInfo(i)->DisplayName().c_str());
        return 0;
    }

    if (!replayClip.empty())
        return RunReplay(replayClip, ResolveHomeFolder());
    if (testMail)
        return RunHeadlessTestMail(ResolveHomeFolder(), ExecutablePath());

    InstallStopSignals(OnStopSignal);

    const IClock& clock = CSystemClock::Instance();
    CAppObjects app;
    app.CreateAll(ResolveHomeFolder(), ExecutablePath(), CCommandLine::JoinArguments(argc, argv));
    if (app.m_pCommandLine->m_bDelayStart)
        std::this_thread::sleep_for(std::chrono::milliseconds(250));

    // The window-bound objects of the desktop program, without windows: the
    // frame source opens the saved device, the controller re-arms at once.
    app.CreateSurveillance(clock);

    // The status panel's 100 ms timer, printing each new text once; it runs
    // at the steps' wake-ups like the rest of the housekeeping.
    CStatusText status;
    std::string shownStatus;
    int64_t nextStatus = clock.SteadyMs();
    auto updateStatus = [&] {
        status.Update(app.m_pController->StatusInputs(app.m_bCloseRequested));
        if (status.Text() != shownStatus) {
            shownStatus = status.Text();
            LogEvent("status: " + shownStatus);
        }
    };

    const int64_t started = clock.SteadyMs();
    for (;;) {
        if (g_stopSignal.load() || (runFor >= 0 && clock.SteadyMs() - started >= runFor * 1000))
            app.m_bCloseRequested = true;
        const int64_t woke = clock.SteadyMs();
        if (housekeeping::IsDue(woke, nextStatus)) {
            updateStatus();
            nextStatus = woke + housekeeping::kPeriodMs;
        }
        if (app.MainTick(clock))
            break;
        // Sleep until the next work; at most 100 ms, so a stop signal (which
        // does not cut the sleep short) is seen soon enough.
        const int64_t now = clock.SteadyMs();
        int64_t wake = app.NextTickDueMs(clock, nextStatus);
        if (runFor >= 0)
            wake = std::min(wake, started + static_cast<int64_t>(runFor * 1000));
        std::this_thread::sleep_for(
            std::chrono::milliseconds(std::clamp<int64_t>(wake - now, 1, 100)));
    }
    updateStatus();
    app.DestroyAll();
    SetEventLog(nullptr);
    SetMessageSink(nullptr);
    return 0;
}
