#include "video/SurveillanceController.h"

#include "app/AppSettings.h"
#include "app/Clock.h"
#include "app/EventLog.h"
#include "app/MessageSink.h"
#include "mail/IReportMailer.h"
#include "notify/ICaptureObserver.h"
#include "record/IAlertSound.h"
#include "record/IMovieRecorder.h"
#include "record/MovieRecorder.h"
#include "video/ArmCountdown.h"
#include "video/FrameTextPainter.h"
#include "video/capture/IFrameSource.h"

#include <climits>
#include <cstdio>
#include <sys/stat.h>

namespace {

const char* const kMonths[12] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                 "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};

} // namespace

CSurveillanceController::CSurveillanceController(CAppSettings& settings, const IClock& clock,
                                                 bool& motionOn,
                                                 const CSurveillanceServices& services)
    : m_settings(settings), m_clock(clock), m_motionOn(motionOn), m_services(services) {
    ResetDetection();
}

void CSurveillanceController::OnSurveillanceTick() {
    if (m_busy)
        return;
    m_busy = true;
    const int64_t now = m_clock.SteadyMs();
    const int64_t nowUs = now * 1000;
    if (nowUs >= m_nextStepUs) {
        const int64_t due = m_nextStepUs;
        const bool running = m_services.source && m_services.source->IsRunning();
        if (running) {
            if (m_sourceLost)
                OnSourceBack();
            Step(now);
        } else {
            OnSourceLost();
        }
        // Steps keep to a grid of deadlines, so a movie gets its rate of
        // frames a second however the polling ticks fall. After a stall the
        // grid starts again from now rather than catching up in a burst.
        m_nextStepUs = due + m_stepIntervalUs;
        if (nowUs - due > m_stepIntervalUs)
            m_nextStepUs = nowUs + m_stepIntervalUs;
        // The next step's frame is asked for now, so that it is there when
        // the step wakes instead of the step waiting for it.
        if (running)
            m_services.source->PrepareFrame(m_nextStepUs - m_clock.SteadyMs() * 1000);
    }
    m_busy = false;
}

void CSurveillanceController::OnSourceBack() {
    // A camera that comes back is watched again as after arming: countdown first.
    m_sourceLost = false;
    m_firstPass = true;
    if (m_motionOn)
        m_armCountdown = m_settings.MOTION_WRM;
}

void CSurveillanceController::OnSourceLost() {
    m_sourceLost = true;
    // No frame will come to end a capture the lost camera was part of: finish
    // the movie and send its report now, and stop the siren.
    if (!m_recording && !CaptureInProgress())
        return;
    EndCaptureInProgress();
    m_recording = false;
    m_motion = false;
    if (m_services.sound)
        m_services.sound->SetSiren(false);
}

void CSurveillanceController::Step(int64_t now) {
    const int warmUp = m_settings.MOTION_WRM;
    bool reachedZero = false;
    if (m_armCountdown > 0 && m_armCountdown <= warmUp) {
        const int64_t t = m_clock.WallSeconds();
        if (t != m_lastSecond) {
            if (t > m_lastSecond) {
                --m_armCountdown;
                reachedZero = m_armCountdown == 0;
            }
            m_lastSecond = t;
        }
    }
    // Arming from 1 (a one-second delay) goes 1 -> 0 within a single step, so
    // the previous step's value cannot be 1: the step's own drop counts too.
    if (m_armCountdown != m_previousCountdown || reachedZero) {
        if ((reachedZero || (m_previousCountdown == 1 && m_armCountdown == 0)) && m_services.sound)
            m_services.sound->PlayChirp();
        m_previousCountdown = m_armCountdown;
    }
    const int captureRate = m_settings.CAPTURE_FPS < 1 ? 1 : m_settings.CAPTURE_FPS;
    const int motionRate = m_settings.MOTION_FPS < 1 ? 1 : m_settings.MOTION_FPS;

    // Watching without a window or a pre-roll, nobody sees this frame: it is
    // only read by the detector, and its lines and image are not made.
    const bool imageWanted = m_repaint || m_recording || m_previousRecording ||
                             (m_services.recorder && m_services.recorder->WantsWatchFrames());
    // The frame buffer holds the working depth of the capture.
    m_depth = m_services.source->Depth() == 16 ? 16 : 32;
    // At 32 bits the lines are burnt into the image as it is made from the
    // capture's picture, read where it lies: one pass over the frame, not a
    // copy and then the image. A 16-bit frame takes them in its own format, in
    // its copy, before its image is made.
    const bool copyFrame = imageWanted && m_depth == 16;
    uint8_t* frameCopy = nullptr;
    if (copyFrame)
        m_services.source->GetFrame(frameCopy, true);
    m_pixels = copyFrame ? frameCopy : m_services.source->FetchFrameToRead();
    if (!m_pixels)
        return;
    m_frameSequence = m_services.source->FrameSequence();

    DetectMotion();

    // Where the lines go: the 16-bit copy, the 32-bit image (top row first), or nowhere.
    const bool imageMade = !copyFrame && imageWanted && BuildImage();
    uint8_t* linesTarget = copyFrame ? frameCopy : imageMade ? m_image.bgrx.data() : nullptr;
    StampTime(linesTarget, imageMade);
    if (CFrameTextPainter* painter = m_services.painter; painter && linesTarget) {
        // The title uses the painter as last set up, but always on this frame.
        painter->Retarget(linesTarget, m_depth, imageMade);
        painter->DrawText(0, 0, m_settings.VIDEO_OVE);
    }
    if (copyFrame)
        BuildImage();
    else if (!imageWanted)
        m_image.bgrx.clear(); // no stale picture stands for this step's
    if (m_repaint)
        m_repaint();
    RecordStep();
    if (m_services.recorder)
        m_services.recorder->Watch(
            m_image, m_clock.SteadyMs()); // kept for a pre-roll while no movie is open

    if (m_motion) {
        m_holdUntilMs = now + static_cast<int64_t>(m_settings.CAPTURE_MIN_S) * 1000;
        m_stepIntervalUs = 1'000'000 / captureRate;
        m_recording = true;
        if (m_services.sound) {
            m_services.sound->SetVolume(m_settings.MOTION_VOL);
            m_services.sound->SetSiren(true);
        }
    } else if (now < m_holdUntilMs) {
        m_stepIntervalUs = 1'000'000 / captureRate;
        m_recording = true;
    } else {
        m_stepIntervalUs = 1'000'000 / motionRate;
        m_recording = false;
        if (m_services.sound)
            m_services.sound->SetSiren(false);
    }
}

void CSurveillanceController::DetectMotion() {
    m_passMotion = false;
    if (m_armCountdown > 0 || !m_pixels) {
        m_motion = false;
        m_motionRun = 0;
        return;
    }
    const bool priming = m_firstPass;
    m_detector.SetFilters(CDetectionFilters::FromSettings(m_settings));
    m_detector.Pass(m_pixels, m_depth, CMotionRegion::FromSettings(m_settings),
                    m_settings.MOTION_THR, m_cells.data(), m_firstPass);
    if (!priming) {
        const CPassSummary& pass = m_detector.LastPass();
        m_passMotion = pass.motion;
        // One line per stretch of lighting changes, not one per pass.
        if (pass.lightingChange && !m_lightingLogged && pass.regionBlocks > 0 && !m_quiet)
            LogEvent("detect: lighting change, " +
                     std::to_string(pass.changed * 100 / pass.regionBlocks) + "% of blocks");
        m_lightingLogged = pass.lightingChange;
    }
    // A capture starts only after DETECT_MIN_PASSES passes with motion in a
    // row; once it runs, each motion pass extends it as before.
    m_motionRun = m_passMotion ? m_motionRun + 1 : 0;
    m_motion = m_passMotion && (m_recording || m_motionRun >= m_settings.DETECT_MIN_PASSES);
}

void CSurveillanceController::StampTime(uint8_t* linesTarget, bool topDown) {
    const CLocalTime t = m_clock.Local();
    const int month = t.month >= 1 && t.month <= 12 ? t.month : 1;
    char stamp[64];
    std::snprintf(stamp, sizeof stamp, "%02d/%s/%02d  %02d:%02d:%02d.%02d", t.day,
                  kMonths[month - 1], t.year % 100, t.hour, t.minute, t.second, t.centisecond);
    m_stampText = stamp;
    const int opacity = m_settings.VIDEO_OPA;
    if (opacity > 0 && m_services.painter && linesTarget) {
        m_services.painter->Setup(linesTarget, kFrameWidth, kFrameHeight, opacity, opacity, opacity,
                                  m_depth, topDown);
        m_services.painter->DrawText(0, 230, std::string(kWatermark) + m_stampText);
    }
}

bool CSurveillanceController::BuildImage() {
    if (frame_imaging::FrameToImage(m_pixels, m_depth, m_image)) {
        m_imageFailed = false;
        return true;
    }
    // Said once per failing stretch rather than at every step.
    if (!m_imageFailed)
        AppMessageBox("Failed on Bitmap::FromBITMAPINFO");
    m_imageFailed = true;
    return false;
}

CStatusInputs CSurveillanceController::StatusInputs(bool closeRequested) const {
    return ReadStatusInputs(this, m_services, m_settings.MOTION_WRM, closeRequested);
}

CStatusInputs ReadStatusInputs(const CSurveillanceController* controller,
                               const CSurveillanceServices& services, int warmUp,
                               bool closeRequested) {
    CStatusInputs in;
    in.closeRequested = closeRequested;
    in.sourceRunning = services.source && services.source->IsRunning();
    in.warmUp = warmUp;
    if (controller) {
        in.armCountdown = controller->ArmCountdown();
        in.recording = controller->Recording();
        in.motion = controller->Motion();
        in.scheduleOffUntil = controller->ScheduleOffUntil();
    }
    in.mailSending = services.mailer && services.mailer->IsSending();
    in.movieRecording = services.recorder && services.recorder->IsRecording();
    in.sounding = services.sound && services.sound->IsSounding();
    in.archivePaused = services.recorder && services.recorder->ArchivePaused();
    return in;
}

bool CSurveillanceController::CaptureInProgress() const {
    return m_previousRecording || (m_services.recorder && m_services.recorder->IsRecording());
}

void CSurveillanceController::EndCapture() {
    if (m_services.recorder)
        m_services.recorder->Stop();
    if (m_services.mailer)
        m_services.mailer->SendCaptureReport(
            CCaptureReport{m_stampText, m_moviePath, m_stillDir, m_firstStillPath});
    if (m_services.observer)
        m_services.observer->OnCaptureEnd(CCaptureNotice{m_moviePath, m_stillDir, m_firstStillPath,
                                                         m_frameNumber - 1, m_clock.WallSeconds()});
    m_previousRecording = false;
}

void CSurveillanceController::RecordStep() {
    if (m_image.Empty() || m_armCountdown != 0)
        return;
    const int64_t now = m_clock.SteadyMs();
    if (m_recording != m_previousRecording) {
        if (m_recording) {
            m_previousRecording = true;
            m_moviePath = m_settings.CAPTURE_PTH + "/" + CStillWriter::BaseName(m_stampText) +
                          movie_format::Extension(m_settings);
            if (m_services.recorder)
                m_services.recorder->Start(m_moviePath, m_settings.CAPTURE_FPS);
            m_frameNumber = 1;
            m_movieStartMs = now;
        } else {
            EndCapture();
        }
    }
    if (!m_recording)
        return;
    if (m_services.recorder && m_services.recorder->IsRecording()) {
        // The image is already laid over opaque black: it goes without a copy.
        m_services.recorder->AddFrame(m_image, m_clock.SteadyMs());
    }
    SaveStill(m_frameNumber);
    if (m_frameNumber == 1 && m_services.observer)
        m_services.observer->OnCaptureStart(
            CCaptureNotice{m_moviePath, m_stillDir, m_firstStillPath, 0, m_clock.WallSeconds()});
    ++m_frameNumber;
    // The movie lasts from its first frame to the end of this one, by the
    // steady clock: a cut movie plays CAPTURE_MAX_S seconds, not whatever
    // whole clock seconds it happened to span.
    const int64_t lastedUs = (now - m_movieStartMs) * 1000 + m_stepIntervalUs;
    if (m_settings.CAPTURE_MAX_S > 0 &&
        lastedUs >= static_cast<int64_t>(m_settings.CAPTURE_MAX_S) * 1'000'000)
        EndCapture();
}

bool CSurveillanceController::SaveStill(int n) {
    const bool paused = m_services.recorder && m_services.recorder->ArchivePaused();
    if (paused || !m_stills.Wanted(n, m_settings, m_frameSequence)) {
        // No still of this movie exists: the mail must not attach an older one.
        if (n == 1) {
            m_stillDir.clear();
            m_firstStillPath.clear();
        }
        return false;
    }
    const std::string name = CStillWriter::StillName(n);
    if (n == 1) {
        m_stillDir = CStillWriter::StillDir(m_settings.CAPTURE_PTH, m_stampText);
        ::mkdir(m_stillDir.c_str(), 0755);
        m_firstStillPath = m_stillDir + "/" + name;
    }
    if (m_stillDir.empty() || m_image.Empty())
        return false;
    const std::string path = m_stillDir + "/" + name;
    if (path.size() >= PATH_MAX)
        return false;
    const bool written = m_stills.Write(m_image, m_settings.CAPTURE_JPQ, path);
    if (written && n == 1)
        LogEvent("still: " + path);
    return written;
}

void CSurveillanceController::ResetDetection() {
    m_firstPass = true;
    m_cells.fill(0);
    if (m_services.recorder && m_services.recorder->IsRecording())
        m_services.recorder->Stop();
    if (m_services.sound)
        m_services.sound->SetSiren(false);
    m_armCountdown = m_settings.MOTION_WRM;
}

void CSurveillanceController::KeepCountdownInRange() {
    // Switched on, so a value that says "off" (or nonsense) restarts the arming.
    if (m_motionOn &&
        (m_armCountdown < 0 || arm_countdown::IsOff(m_armCountdown, m_settings.MOTION_WRM)))
        m_armCountdown = m_settings.MOTION_WRM;
}

void CSurveillanceController::ToggleDetection() {
    m_motionOn = !m_motionOn;
    if (m_motionOn) {
        m_armCountdown = m_settings.MOTION_WRM;
    } else {
        m_armCountdown = arm_countdown::Off(m_settings.MOTION_WRM);
        if (m_services.sound)
            m_services.sound->SetSiren(false);
        // No frame will reach the movie while off: its report goes now, with
        // the time it really ended.
        EndCaptureInProgress();
    }
    m_firstPass = true;
}

void CSurveillanceController::ApplyArmSchedule() {
    if (m_settings.ARM_SCHEDULE != m_scheduleText) {
        m_scheduleText = m_settings.ARM_SCHEDULE;
        m_schedule.Parse(m_scheduleText); // bad text: no schedule, the page says why
        m_scheduleArmed = -1;
    }
    if (m_schedule.Empty())
        return;
    const int armed = m_schedule.ArmedAt(m_clock.Local()) ? 1 : 0;
    if (armed == m_scheduleArmed)
        return;
    // Only an edge switches: an override in between stands until the next one.
    m_scheduleArmed = armed;
    if ((armed == 1) != m_motionOn)
        ToggleDetection();
}

std::string CSurveillanceController::ScheduleOffUntil() const {
    if (m_motionOn || m_schedule.Empty())
        return {};
    const int now = CArmSchedule::WeekMinute(m_clock.Local());
    if (m_schedule.ArmedAt(now))
        return {};
    return CArmSchedule::EdgeText(now, m_schedule.NextEdge(now));
}

void CSurveillanceController::EndCaptureForClose() {
    EndCaptureInProgress();
}

void CSurveillanceController::EndCaptureInProgress() {
    if (CaptureInProgress())
        EndCapture();
}

void CSurveillanceController::RunSetup(const std::function<void()>& runDialog) {
    m_setupOpen = true;
    if (m_services.sound)
        m_services.sound->SetSiren(false);
    EndCaptureInProgress();
    if (runDialog)
        runDialog();
    m_setupOpen = false;
    if (!m_motionOn)
        m_armCountdown = arm_countdown::Off(m_settings.MOTION_WRM);
}
