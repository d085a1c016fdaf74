#pragma once
#include "program/DeferredClose.h"

#include <string>

class CAppSettings;
class CCommandLine;
class CFrameTextPainter;
class CMovieRecorder;
class CArchiveGuard;
class CReportMailer;
class CSurveillanceController;
class CTagParser;
class CVideoSourceWnd;
class CWavePlayer;
class IClock;
struct CSurveillanceServices;

// Window-bound objects live in the desktop program; the core only needs to
// delete them in the teardown order.
class IWindowObject {
public:
    virtual ~IWindowObject() = default;
};

// The one process-wide record of the long-lived objects.
class CAppObjects {
public:
    // Creates the non-window objects in order: parser, settings (loads the
    // file), sound player, movie recorder, text painter, report mailer, command line.
    void CreateAll(const std::string& homeFolder, const std::string& programPath,
                   const std::string& commandLine);
    // Deletes every object that exists, in teardown order (the settings write
    // the file; a movie still open is finished first).
    void DestroyAll();

    // The services the surveillance controller drives; objects that do not
    // exist yet are left null.
    CSurveillanceServices Services() const;

    // Report-mail jobs still being delivered (0 without a mailer).
    int BusyMailJobs() const;

    // The main window's 5 ms tick: keeps the arming countdown in range, runs a
    // surveillance step unless a modal dialog is up or a close is pending, and
    // carries out a requested close. True when the main window should end now.
    bool MainTick(const IClock& clock);

    // One tick of a requested close; true when the main window should end now.
    // Writes the settings and starts the program again when a restart was asked.
    bool DeferredCloseTick(const IClock& clock);

    CVideoSourceWnd* m_pVideoSource = nullptr;
    IWindowObject* m_pVideoWnd = nullptr;
    IWindowObject* m_pStatusWnd = nullptr;
    CAppSettings* m_pSettings = nullptr;
    CTagParser* m_pParser = nullptr;
    CFrameTextPainter* m_pTextPainter = nullptr;
    CMovieRecorder* m_pMovieRecorder = nullptr;
    CArchiveGuard* m_pArchiveGuard = nullptr; // keeps the archive within its limits
    CReportMailer* m_pReportMailer = nullptr;
    CCommandLine* m_pCommandLine = nullptr;
    CWavePlayer* m_pWavePlayer = nullptr;
    IWindowObject* m_pTrayIcon = nullptr;
    // The surveillance logic that the video window drives (the headless runner
    // drives the same object without a window).
    CSurveillanceController* m_pController = nullptr;
    bool m_bMotionOn = true;

private:
    CDeferredClose m_close;
};

extern CAppObjects g_appObjects;
