#pragma once
#include "frame/FrameImage.h"
#include "video/ArmSchedule.h"
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
class ICaptureObserver;
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
    ICaptureObserver* observer = nullptr; // told of each capture's start and end
};

// The surveillance logic of the video window: arming countdown, motion
// detection, burnt-in lines, the frame image and the recording of movies and
// stills. Only the controller changes its state; the Qt windows paint from its
// read-only view, and the headless runner drives the very same object.
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
    // A replay beside the running program: its lighting changes are not the camera's events.
    void SetQuiet(bool quiet) { m_quiet = quiet; }

    // One tick of the main timer: runs a step when its deadline has come. Steps
    // are 1000 / MOTION_FPS ms apart while watching and 1000 / CAPTURE_FPS ms
    // while recording, on average exactly, so movies play at real speed.
    void OnSurveillanceTick();
    // The steady-clock millisecond at which the next step is due, so a caller
    // can sleep until then instead of polling.
    int64_t NextStepDueMs() const { return (m_nextStepUs + 999) / 1000; }
    // Re-arm: clears the detector's marks, stops an open movie (no mail),
    // silences the siren and restarts the countdown from MOTION_WRM.
    void ResetDetection();
    // Detection armed at once, without the countdown: a replay watches a clip
    // from its first picture (which primes the detector).
    void ArmAtOnce() {
        m_armCountdown = 0;
        m_previousCountdown = 0;
        m_firstPass = true;
    }
    // The main window's timer part that runs even while a dialog is up: with
    // detection on, a countdown outside 0..MOTION_WRM is pulled back to MOTION_WRM.
    void KeepCountdownInRange();
    // The detection on/off button: inverts the switch and restarts or stops
    // arming; switching off ends a capture in progress with its report.
    void ToggleDetection();
    // Every main tick: when the local time crosses an edge of ARM_SCHEDULE's
    // windows (or the schedule is first read or changed), switches detection to
    // what the schedule says through ToggleDetection. Between edges the button,
    // the tray menu and the broker have the last word.
    void ApplyArmSchedule();
    // While the schedule holds detection off: the time it arms again ("22:00"
    // or "Sat 22:00"); empty otherwise.
    std::string ScheduleOffUntil() const;
    // The setup bracket: pauses the steps, silences the siren, ends a capture in
    // progress (with its mail), runs `runDialog` (whose OK path saves the
    // settings and calls ResetDetection), then resumes.
    void RunSetup(const std::function<void()>& runDialog);
    // True while RunSetup's dialog is up (the main tick pauses the steps).
    bool SetupOpen() const { return m_setupOpen; }
    // The start of the close: ends a capture in progress with its report, so
    // that the close waits for that mail like any other.
    void EndCaptureForClose();
    // Every marker fades by one step; the video window calls it once per paint.
    void AgeMarkers() { CMotionDetector::AgeMarks(m_cells.data()); }

    // What the status text is composed from (the status panel and the headless
    // runner ask every 100 ms).
    CStatusInputs StatusInputs(bool closeRequested) const;

    // The read-only view that windows and tests paint and check from.
    int ArmCountdown() const { return m_armCountdown; }
    bool Motion() const { return m_motion; }
    bool Recording() const { return m_recording; }
    int Depth() const { return m_depth; }
    const std::array<uint8_t, CMotionDetector::kCells>& Cells() const { return m_cells; }
    // The detector, for its last pass and each block's change.
    const CMotionDetector& Detector() const { return m_detector; }
    // The detector's verdict on this step's frame, before DETECT_MIN_PASSES.
    bool PassMotion() const { return m_passMotion; }
    bool FirstPass() const { return m_firstPass; }
    // The frame image of the last step, burnt-in lines included; empty = none,
    // also while watching when no window, recording or pre-roll uses it.
    const CFrameImage& GetCurrentImage() const { return m_image; }
    const std::string& StampText() const { return m_stampText; }
    const std::string& MoviePath() const { return m_moviePath; }
    const std::string& StillDir() const { return m_stillDir; }
    const std::string& FirstStillPath() const { return m_firstStillPath; }

    // The time-stamp watermark: an eight-letter domain and two blanks.
    static constexpr const char* kWatermark = "OCULONHQ  ";

private:
    // Tests put the controller into states that many steps would take to reach.
    friend struct CControllerTestAccess;

    // A detector pass over the frame fetched last, at its depth m_depth.
    void DetectMotion();
    // Sets m_stampText, and burns it in at the bottom of `linesTarget` (the
    // frame buffer, or with `topDown` the image) when this step has one.
    void StampTime(uint8_t* linesTarget, bool topDown);
    // Starts and stops movies and feeds the recorded frame; called by the step.
    void RecordStep();
    // Writes m_image as still n of the current movie when it is wanted; true
    // when a file was written.
    bool SaveStill(int n);

    void Step(int64_t now);
    bool BuildImage();
    void EndCapture();
    void EndCaptureInProgress(); // EndCapture when a capture is in progress
    void OnSourceLost();
    void OnSourceBack();
    bool CaptureInProgress() const;

    CAppSettings& m_settings;
    const IClock& m_clock;
    bool& m_motionOn;
    CSurveillanceServices m_services;
    std::function<void()> m_repaint;
    bool m_quiet = false;

    // Seconds until detection is armed; 0 = armed; above MOTION_WRM: switched
    // off (arm_countdown::Off).
    int m_armCountdown = 0;
    bool m_motion = false;    // verdict of the last detector pass
    bool m_recording = false; // frames are recorded: motion now or within the hold time
    int m_depth = 32;         // depth of the frame being worked on: 16 or 32
    // Motion markers by CMotionDetector::CellIndex: 8 = marked by the latest
    // pass; the window's paints count them down (AgeMarkers).
    std::array<uint8_t, CMotionDetector::kCells> m_cells{};
    bool m_firstPass = true; // the next armed pass only primes the reference
    bool m_passMotion = false;
    int m_motionRun = 0;           // motion passes in a row
    bool m_lightingLogged = false; // the last compared pass was a lighting change
    CFrameImage m_image;           // the frame with its burnt-in lines; empty = none
    std::string m_stampText;       // time stamp of the latest step
    std::string m_moviePath;       // current or last movie
    std::string m_stillDir;        // stills folder of the current movie
    std::string m_firstStillPath;

    CMotionDetector m_detector;
    CStillWriter m_stills;
    const uint8_t* m_pixels = nullptr; // pixel area of the frame fetched last
    uint64_t m_frameSequence = 0;      // the source's number for that frame
    bool m_imageFailed = false;
    bool m_setupOpen = false;

    int64_t m_stepIntervalUs = 1000; // microseconds: 1000 / rate ms is seldom whole
    int64_t m_nextStepUs = 0;        // deadline of the next step
    int64_t m_holdUntilMs = 0;
    int64_t m_lastSecond = -1;
    int m_previousCountdown = 0;
    bool m_previousRecording = false;
    int m_frameNumber = 1;
    int64_t m_movieStartMs = 0; // steady clock at the movie's first frame
    bool m_busy = false;
    bool m_sourceLost = false; // the source was gone at the last step time

    CArmSchedule m_schedule;
    std::string m_scheduleText; // ARM_SCHEDULE as last read
    int m_scheduleArmed = -1;   // the schedule's answer at the last tick; -1 = not asked yet
};

// What the status text is composed from: the controller's state (null without
// a video window: nothing counts down, moves or records) and the services.
CStatusInputs ReadStatusInputs(const CSurveillanceController* controller,
                               const CSurveillanceServices& services, int warmUp,
                               bool closeRequested);
