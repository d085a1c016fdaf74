#include "video/SurveillanceController.h"

#include "app/AppFlags.h"
#include "app/AppSettings.h"
#include "app/Clock.h"
#include "app/EventLog.h"
#include "app/MessageSink.h"
#include "mail/IReportMailer.h"
#include "record/IAlertSound.h"
#include "record/IMovieRecorder.h"
#include "record/MovieRecorder.h"
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
    if (now - m_lastStepMs > m_stepIntervalMs) {
        m_lastStepMs = now;
        if (m_services.source && m_services.source->IsRunning())
            Step(now);
        else
            OnSourceLost();
    }
    m_busy = false;
}

void CSurveillanceController::OnSourceLost() {
    // No frame will come to end a capture the lost camera was part of: finish
    // the movie and send its report now, and stop the siren.
    if (!m_recording && !CaptureInProgress())
        return;
    if (CaptureInProgress())
        EndCapture();
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

    m_pixels = nullptr;
    m_services.source->GetFrame(m_pixels, true);
    if (!m_pixels)
        return;
    // The frame buffer holds the working depth of the capture.
    const int depth = m_services.source->Depth();
    m_depth = depth == 16 ? 16 : 32;

    if (m_depth == 16)
        DetectMotion16();
    else
        DetectMotion32();

    StampTime();
    if (CFrameTextPainter* painter = m_services.painter) {
        // The title uses the painter as last set up, but always on this frame.
        painter->Retarget(m_pixels, m_depth);
        painter->DrawText(0, 0, m_settings.VIDEO_OVE);
    }
    BuildImage();
    if (m_repaint)
        m_repaint();
    RecordStep();
    if (m_services.recorder)
        m_services.recorder->Watch(
            m_image, m_clock.SteadyMs()); // kept for a pre-roll while no movie is open

    if (m_motion) {
        m_holdUntilMs = now + static_cast<int64_t>(m_settings.CAPTURE_MIN_S) * 1000;
        m_stepIntervalMs = 1000 / captureRate;
        m_recording = true;
        if (m_services.sound) {
            m_services.sound->SetVolume(m_settings.MOTION_VOL);
            m_services.sound->SetSiren(true);
        }
    } else if (now < m_holdUntilMs) {
        m_stepIntervalMs = 1000 / captureRate;
        m_recording = true;
    } else {
        m_stepIntervalMs = 1000 / motionRate;
        m_recording = false;
        if (m_services.sound)
            m_services.sound->SetSiren(false);
    }
}

void CSurveillanceController::DetectMotion32() {
    if (m_armCountdown > 0 || !m_pixels) {
        m_motion = false;
        return;
    }
    m_motion = m_detector.Pass32(m_pixels, CMotionRegion::FromSettings(m_settings),
                                 m_settings.MOTION_THR, m_cells.data(), m_firstPass) > 0;
}

void CSurveillanceController::DetectMotion16() {
    if (m_armCountdown > 0 || !m_pixels) {
        m_motion = false;
        return;
    }
    m_motion = m_detector.Pass16(m_pixels, CMotionRegion::FromSettings(m_settings),
                                 m_settings.MOTION_THR, m_cells.data(), m_firstPass) > 0;
}

void CSurveillanceController::StampTime() {
    const CLocalTime t = m_clock.Local();
    const int month = t.month >= 1 && t.month <= 12 ? t.month : 1;
    char stamp[64];
    std::snprintf(stamp, sizeof stamp, "%02d/%s/%02d  %02d:%02d:%02d.%02d", t.day,
                  kMonths[month - 1], t.year % 100, t.hour, t.minute, t.second, t.centisecond);
    m_stampText = stamp;
    const int opacity = m_settings.VIDEO_OPA;
    if (opacity > 0 && m_services.painter && m_pixels) {
        m_services.painter->Setup(m_pixels, kFrameWidth, kFrameHeight, opacity, opacity, opacity,
                                  m_depth);
        m_services.painter->DrawText(0, 230, std::string(kWatermark) + m_stampText);
    }
}

void CSurveillanceController::BuildImage() {
    if (frame_imaging::FrameToImage(m_pixels, m_depth, m_image)) {
        m_imageFailed = false;
        return;
    }
    // Said once per failing stretch rather than at every step.
    if (!m_imageFailed)
        AppMessageBox("Failed on Bitmap::FromBITMAPINFO");
    m_imageFailed = true;
}

CStatusInputs CSurveillanceController::StatusInputs(bool closeRequested) const {
    CStatusInputs in;
    in.closeRequested = closeRequested;
    in.sourceRunning = m_services.source && m_services.source->IsRunning();
    in.armCountdown = m_armCountdown;
    in.warmUp = m_settings.MOTION_WRM;
    in.recording = m_recording;
    in.motion = m_motion;
    in.mailSending = m_services.mailer && m_services.mailer->IsSending();
    in.movieRecording = m_services.recorder && m_services.recorder->IsRecording();
    in.sounding = m_services.sound && m_services.sound->IsSounding();
    in.archivePaused = m_services.recorder && m_services.recorder->ArchivePaused();
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
    m_previousRecording = false;
}

void CSurveillanceController::RecordStep() {
    if (m_image.Empty() || m_armCountdown != 0)
        return;
    const int64_t wallNow = m_clock.WallSeconds();
    if (m_recording != m_previousRecording) {
        if (m_recording) {
            m_previousRecording = true;
            m_moviePath = m_settings.CAPTURE_PTH + "/" + CStillWriter::BaseName(m_stampText) +
                          movie_format::Extension(m_settings);
            if (m_services.recorder)
                m_services.recorder->Start(m_moviePath, m_settings.CAPTURE_FPS);
            m_frameNumber = 1;
            m_movieStart = wallNow;
        } else {
            EndCapture();
        }
    }
    if (!m_recording)
        return;
    if (m_services.recorder && m_services.recorder->IsRecording()) {
        frame_imaging::OnBlack(m_image, m_movieFrame);
        m_services.recorder->AddFrame(m_movieFrame, m_clock.SteadyMs());
    }
    SaveStill(m_frameNumber);
    ++m_frameNumber;
    if (m_settings.CAPTURE_MAX_S > 0 && wallNow - m_movieStart >= m_settings.CAPTURE_MAX_S)
        EndCapture();
}

bool CSurveillanceController::SaveStill(int n) {
    const bool paused = m_services.recorder && m_services.recorder->ArchivePaused();
    if (paused || !m_stills.Wanted(n, m_settings, m_pixels)) {
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
    if (m_motionOn && (m_armCountdown < 0 || m_armCountdown > m_settings.MOTION_WRM))
        m_armCountdown = m_settings.MOTION_WRM;
}

void CSurveillanceController::ToggleDetection() {
    m_motionOn = !m_motionOn;
    if (m_motionOn) {
        m_armCountdown = m_settings.MOTION_WRM;
    } else {
        m_armCountdown = m_settings.MOTION_WRM + 1;
        if (m_services.sound)
            m_services.sound->SetSiren(false);
    }
    m_firstPass = true;
}

void CSurveillanceController::RunSetup(const std::function<void()>& runDialog) {
    g_bModalOpen = true;
    if (m_services.sound)
        m_services.sound->SetSiren(false);
    if (CaptureInProgress())
        EndCapture();
    if (runDialog)
        runDialog();
    g_bModalOpen = false;
    if (!m_motionOn)
        m_armCountdown = m_settings.MOTION_WRM + 1;
}
