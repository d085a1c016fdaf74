#pragma once
#include "program/DeferredClose.h"

#include <cstdint>
#include <memory>
#include <string>

class CAppSettings;
class CCommandLine;
class CFrameTextPainter;
class CHomeNotifier;
class CStatusText;
class CMovieRecorder;
class CArchiveGuard;
class CReportMailer;
class CSurveillanceController;
class CTagParser;
class CVideoSourceWnd;
class CWavePlayer;
class IClock;
struct CSurveillanceServices;

// What a window may ask of the program as a whole: a close, with or without a
// start of the program again once it has closed. User-interface thread only.
class ICloseRequests {
public:
    virtual ~ICloseRequests() = default;
    virtual void RequestClose(bool restartAfter) = 0;
    virtual bool CloseRequested() const = 0;
};

// The long-lived objects of one run of the program and its close state. The
// windows (video window, status panel, tray icon) belong to the main window,
// which is gone before DestroyAll runs.
class CAppObjects : public ICloseRequests {
public:
    CAppObjects();
    ~CAppObjects() override;
    CAppObjects(const CAppObjects&) = delete;
    CAppObjects& operator=(const CAppObjects&) = delete;

    // Creates the non-window objects in order: parser, settings (loads the
    // file), sound player, movie recorder, text painter, report mailer, command line.
    void CreateAll(const std::string& homeFolder, const std::string& programPath,
                   const std::string& commandLine);
    // The frame source (opens the saved device; `depth` is the working depth,
    // 32 or 16) and the surveillance controller over it and the services, as
    // both programs run them. CreateAll first.
    void CreateSurveillance(const IClock& clock, int depth = 32);
    // Deletes every object that exists, in teardown order (the settings write
    // the file; a movie still open is finished first).
    void DestroyAll();

    // The services the surveillance controller drives; objects that do not
    // exist yet are left null.
    CSurveillanceServices Services() const;

    // Report-mail jobs still being delivered (0 without a mailer).
    int BusyMailJobs() const;

    // The setup dialog is up: surveillance steps and the close wait for it.
    bool ModalOpen() const;

    // The main window's 5 ms tick: keeps the arming countdown in range, runs a
    // surveillance step unless a modal dialog is up or a close is pending, and
    // carries out a requested close. True when the main window should end now.
    bool MainTick(const IClock& clock);
    // When MainTick next has work: the next step's deadline, or soon while a
    // close or a dialog needs the tick's polling. The notifier's tick and the
    // caller's own housekeeping due at `housekeepingDueMs` wake it only when no
    // step comes soon after them (see Housekeeping.h).
    int64_t NextTickDueMs(const IClock& clock, int64_t housekeepingDueMs = INT64_MAX) const;

    // One tick of a requested close; true when the main window should end now.
    // Writes the settings and starts the program again when a restart was asked.
    bool DeferredCloseTick(const IClock& clock);

    void RequestClose(bool restartAfter) override;
    bool CloseRequested() const override { return m_bCloseRequested; }

    std::unique_ptr<CVideoSourceWnd> m_pVideoSource;
    std::unique_ptr<CAppSettings> m_pSettings;
    std::unique_ptr<CTagParser> m_pParser;
    std::unique_ptr<CFrameTextPainter> m_pTextPainter;
    std::unique_ptr<CMovieRecorder> m_pMovieRecorder;
    std::unique_ptr<CArchiveGuard> m_pArchiveGuard; // keeps the archive within its limits
    std::unique_ptr<CReportMailer> m_pReportMailer;
    std::unique_ptr<CCommandLine> m_pCommandLine;
    std::unique_ptr<CWavePlayer> m_pWavePlayer;
    std::unique_ptr<CHomeNotifier> m_pNotifier; // MQTT and phone push
    // The surveillance logic that the video window drives (the headless runner
    // drives the same object without a window).
    std::unique_ptr<CSurveillanceController> m_pController;
    bool m_bMotionOn = true;

    bool m_bCloseRequested = false; // a close was asked for; the main tick finishes it
    bool m_bRestartOnClose = false; // start the program again once it has closed

private:
    // Every 100 ms or so: the switch and the status text to the notifier, and
    // its arm commands to the controller. `now` is when the tick woke.
    void NotifyTick(int64_t now);

    CDeferredClose m_close;
    std::unique_ptr<CStatusText> m_pNotifyStatus;
    int64_t m_nextNotifyMs = 0;
};
