#include "program/AppObjects.h"

#include "app/AppFlags.h"
#include "app/AppSettings.h"
#include "app/Clock.h"
#include "app/CommandLine.h"
#include "app/TagParser.h"
#include "mail/ReportMailer.h"
#include "program/Restart.h"
#include "record/ArchiveGuard.h"
#include "record/MovieRecorder.h"
#include "record/WavePlayer.h"
#include "video/FrameTextPainter.h"
#include "video/SurveillanceController.h"
#include "video/capture/VideoSourceWnd.h"

CAppObjects g_appObjects;

namespace {

template <typename T> void DeleteAndClear(T*& p) {
    delete p;
    p = nullptr;
}

} // namespace

void CAppObjects::CreateAll(const std::string& homeFolder, const std::string& programPath,
                            const std::string& commandLine) {
    m_pParser = new CTagParser(false);
    m_pSettings = new CAppSettings(*m_pParser, homeFolder, programPath);
    m_pWavePlayer = new CWavePlayer(m_pSettings->MOTION_VOL);
    m_pMovieRecorder = new CMovieRecorder(*m_pSettings);
    static const CDiskFreeSpace diskFreeSpace;
    m_pArchiveGuard = new CArchiveGuard(diskFreeSpace, CSystemClock::Instance());
    m_pMovieRecorder->SetArchiveGuard(m_pArchiveGuard); // the first sweep starts now
    m_pTextPainter = new CFrameTextPainter;
    m_pReportMailer = new CReportMailer(*m_pSettings);
    m_pCommandLine = new CCommandLine(commandLine);
}

void CAppObjects::DestroyAll() {
    // Teardown order: capture source, video window and its controller, status
    // panel, settings (writes the file), text painter, movie recorder (finishes
    // an open movie), report mailer, command line, sound player, tray icon, parser.
    DeleteAndClear(m_pVideoSource);
    DeleteAndClear(m_pVideoWnd);
    DeleteAndClear(m_pController);
    DeleteAndClear(m_pStatusWnd);
    DeleteAndClear(m_pSettings);
    DeleteAndClear(m_pTextPainter);
    if (m_pMovieRecorder)
        m_pMovieRecorder->Stop();
    DeleteAndClear(m_pMovieRecorder);
    DeleteAndClear(m_pArchiveGuard); // after the recorder, which tells it of the last capture
    DeleteAndClear(m_pReportMailer); // a worker still delivering keeps its own copies
    DeleteAndClear(m_pCommandLine);
    DeleteAndClear(m_pWavePlayer);
    DeleteAndClear(m_pTrayIcon);
    DeleteAndClear(m_pParser);
}

CSurveillanceServices CAppObjects::Services() const {
    CSurveillanceServices services;
    services.source = m_pVideoSource;
    services.recorder = m_pMovieRecorder;
    services.sound = m_pWavePlayer;
    services.mailer = m_pReportMailer;
    services.painter = m_pTextPainter;
    return services;
}

int CAppObjects::BusyMailJobs() const {
    return m_pReportMailer ? m_pReportMailer->PendingCount() : 0;
}

bool CAppObjects::MainTick(const IClock& clock) {
    if (m_pController)
        m_pController->KeepCountdownInRange();
    if (g_bModalOpen)
        return false;
    if (g_bCloseRequested)
        return DeferredCloseTick(clock);
    if (m_pController)
        m_pController->OnSurveillanceTick();
    return false;
}

bool CAppObjects::DeferredCloseTick(const IClock& clock) {
    if (!m_close.Tick(clock.WallSeconds(), BusyMailJobs()))
        return false;
    if (g_bRestartOnClose && m_pSettings) {
        m_pSettings->Save();
        StartProgramAgain(m_pSettings->m_programPath);
    }
    return true;
}
