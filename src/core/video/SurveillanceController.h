#pragma once
#include "frame/FrameImage.h"
#include "video/MotionDetector.h"
#include "video/StatusText.h"
#include "video/StillWriter.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>

class CAppSettings;
class CFrameTextPainter;
class IAlertSound;
class IClock;
class IFrameSource;
class IMovieRecorder;
class IReportMailer;

// The services a surveillance step drives; any of them may be null, and then
// that part of the work is simply not done.
struct CSurveillanceServices {
    IFrameSource* source = nullptr;
    IMovieRecorder* recorder = nullptr;
    IAlertSound* sound = nullptr;
    IReportMailer* mailer = nullptr;
    CFrameTextPainter* painter = nullptr; // the burnt-in lines; null draws none
};

// The surveillance logic of the video window: arming countdown, motion
// detection, burnt-in lines, the frame image and the recording of movies and
// stills. The Qt video window owns nothing of this and paints from the public
// members; the headless runner drives the very same object.
// User-interface thread only.
class CSurveillanceController {
public:
    // `motionOn` is the application's detection switch (CAppObjects::m_bMotionOn).
    // Re-arms at once, as the video window does when it is created.
    CSurveillanceController(CAppSettings& settings, const IClock& clock, bool& motionOn,
                            const CSurveillanceServices& services);
    CSurveillanceController(const CSurveillanceController&) = delete;
    CSurveillanceController& operator=(const CSurveillanceController&) = delete;

    // Called by the window right after each step has rebuilt m_image (the
    // window repaints at once from it). The headless runner sets none.
    void SetRepaintHook(std::function<void()> hook) { m_repaint = std::move(hook); }

    // One step of the main timer: does work only when the step interval has
    // passed (1000 / MOTION_FPS ms while watching, 1000 / CAPTURE_FPS while recording).
    void OnSurveillanceTick();
    // Re-arm: clears the detector's marks, stops an open movie (no mail),
    // silences the siren and restarts the countdown from MOTION_WRM.
    void ResetDetection();
    // The main window's timer part that runs even while a dialog is up: with
    // detection on, a countdown outside 0..MOTION_WRM is pulled back to MOTION_WRM.
    void KeepCountdownInRange();
    // The detection on/off button: inverts the switch and restarts or stops arming.
    void ToggleDetection();
    // The setup bracket: pauses the steps, silences the siren, ends a capture in
    // progress (with its mail), runs `runDialog` (whose OK path saves the
    // settings and calls ResetDetection), then resumes.
    void RunSetup(const std::function<void()>& runDialog);
    // What the status text is composed from, read from this controller and its
    // services (the status panel and the headless runner call it every 100 ms).
    CStatusInputs StatusInputs(bool closeRequested) const;
    // The frame image of the last step, burnt-in lines included; empty = none.
    const CFrameImage& GetCurrentImage() const { return m_image; }

    // Detector passes over the frame fetched last (chosen by m_depth).
    void DetectMotion32();
    void DetectMotion16();
    // The time-stamp line at the bottom of the frame (sets m_stampText).
    void StampTime();
    // Starts and stops movies and feeds the recorded frame; called by the step.
    void RecordStep();
    // Writes m_image as still n of the current movie when it is wanted; true
    // when a file was written.
    bool SaveStill(int n);

    // Seconds until detection is armed; 0 = armed; MOTION_WRM + 1 = switched off.
    int m_armCountdown = 0;
    bool m_motion = false;    // verdict of the last detector pass
    bool m_recording = false; // frames are recorded: motion now or within the hold time
    int m_depth = 32;         // depth of the frame being worked on: 16 or 32
    // Motion markers by cell index (column * 30 + row from top): 8 = marked by
    // the latest pass; the window's painter counts them down.
    std::array<uint8_t, CMotionDetector::kCells> m_cells{};
    bool m_firstPass = true; // the next armed pass only primes the reference
    CFrameImage m_image;     // the frame with its burnt-in lines; empty = none
    std::string m_stampText; // time stamp of the latest step
    std::string m_moviePath; // current or last movie
    std::string m_stillDir;  // stills folder of the current movie
    std::string m_firstStillPath;

    // The time-stamp watermark: an eight-letter domain and two blanks.
    static constexpr const char* kWatermark = "OCULONHQ  ";

private:
    void Step(int64_t now);
    void BuildImage();
    void EndCapture();
    void OnSourceLost();
    void OnSourceBack();
    bool CaptureInProgress() const;

    CAppSettings& m_settings;
    const IClock& m_clock;
    bool& m_motionOn;
    CSurveillanceServices m_services;
    std::function<void()> m_repaint;

    CMotionDetector m_detector;
    CStillWriter m_stills;
    CFrameImage m_movieFrame;    // reused copy handed to the movie recorder
    uint8_t* m_pixels = nullptr; // pixel area of the frame fetched last
    bool m_imageFailed = false;

    int64_t m_stepIntervalMs = 1;
    int64_t m_lastStepMs = 0;
    int64_t m_holdUntilMs = 0;
    int64_t m_lastSecond = -1;
    int m_previousCountdown = 0;
    bool m_previousRecording = false;
    int m_frameNumber = 1;
    int64_t m_movieStart = 0;
    bool m_busy = false;
    bool m_sourceLost = false; // the source was gone at the last step time
};
