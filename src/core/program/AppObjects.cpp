#include "program/AppObjects.h"
#include "program/Housekeeping.h"

#include <algorithm>

#include "app/AppSettings.h"
#include "app/Clock.h"
#include "app/CommandLine.h"
#include "app/TagParser.h"
#include "mail/ReportMailer.h"
#include "notify/HomeNotifier.h"
#include "program/Restart.h"
#include "record/ArchiveGuard.h"
#include "record/MovieRecorder.h"
#include "record/WavePlayer.h"
#include "video/FrameTextPainter.h"
#include "video/StatusText.h"
#include "video/SurveillanceController.h"
#include "video/capture/VideoSourceWnd.h"

CAppObjects::CAppObjects() = default;

CAppObjects::~CAppObjects() {
    DestroyAll();
}

void CAppObjects::CreateAll(const std::string& homeFolder, const std::string& programPath,
                            const std::string& commandLine) {
    m_pParser = std::make_unique<CTagParser>(false);
    m_pSettings = std::make_unique<CAppSettings>(*m_pParser, homeFolder, programPath);
    m_pWavePlayer = std::make_unique<CWavePlayer>(m_pSettings->MOTION_VOL);
    m_pMovieRecorder = std::make_unique<CMovieRecorder>(*m_pSettings);
    static const CDiskFreeSpace diskFreeSpace; // stateless: asks the file system each time
    m_pArchiveGuard = std::make_unique<CArchiveGuard>(diskFreeSpace, CSystemClock::Instance());
    m_pMovieRecorder->SetArchiveGuard(m_pArchiveGuard.get()); // the first sweep starts now
    m_pTextPainter = std::make_unique<CFrameTextPainter>();
    m_pReportMailer = std::make_unique<CReportMailer>(*m_pSettings);
    m_pNotifier = std::make_unique<CHomeNotifier>(*m_pSettings, homeFolder);
    m_pNotifyStatus = std::make_unique<CStatusText>();
    m_pCommandLine = std::make_unique<CCommandLine>(commandLine);
}

void CAppObjects::CreateSurveillance(const IClock& clock, int depth) {
    // The capture source first: the controller reads its frames.
    m_pVideoSource = std::make_unique<CVideoSourceWnd>(*m_pSettings, depth);
    m_pController =
        std::make_unique<CSurveillanceController>(*m_pSettings, clock, m_bMotionOn, Services());
}

void CAppObjects::DestroyAll() {
    // Teardown order: capture source, controller, settings (writes the file),
    // text painter, movie recorder (finishes an open movie), report mailer,
    // command line, sound player, parser.
    m_pVideoSource.reset();
    m_pController.reset();
    m_pNotifier.reset(); // says "offline" to the broker
    m_pSettings.reset();
    m_pTextPainter.reset();
    if (m_pMovieRecorder)
        m_pMovieRecorder->Stop();
    m_pMovieRecorder.reset();
    m_pArchiveGuard.reset(); // after the recorder, which tells it of the last capture
    m_pReportMailer.reset(); // a worker still delivering keeps its own copies
    m_pCommandLine.reset();
    m_pWavePlayer.reset();
    m_pParser.reset();
}

CSurveillanceServices CAppObjects::Services() const {
    CSurveillanceServices services;
    services.source = m_pVideoSource.get();
    services.recorder = m_pMovieRecorder.get();
    services.sound = m_pWavePlayer.get();
    services.mailer = m_pReportMailer.get();
    services.painter = m_pTextPainter.get();
    services.observer = m_pNotifier.get();
    return services;
}

int CAppObjects::BusyMailJobs() const {
    return m_pReportMailer ? m_pReportMailer->PendingCount() : 0;
}

bool CAppObjects::ModalOpen() const {
    return m_pController && m_pController->SetupOpen();
}

void CAppObjects::RequestClose(bool restartAfter) {
    m_bCloseRequested = true;
    if (restartAfter)
        m_bRestartOnClose = true;
}

bool CAppObjects::MainTick(const IClock& clock) {
    // The housekeeping is timed from the wake-up, not from the end of a step
    // that may have written a movie frame, so it stays on the steps' grid.
    const int64_t woke = clock.SteadyMs();
    if (m_pController)
        m_pController->KeepCountdownInRange();
    if (ModalOpen())
        return false;
    if (m_bCloseRequested) {
        if (m_pController) // no step will come to end a capture in progress
            m_pController->EndCaptureForClose();
        return DeferredCloseTick(clock);
    }
    if (m_pController) {
        m_pController->ApplyArmSchedule();
        m_pController->OnSurveillanceTick();
    }
    NotifyTick(woke);
    return false;
}

int64_t CAppObjects::NextTickDueMs(const IClock& clock, int64_t housekeepingDueMs) const {
    constexpr int64_t kPollMs = 5; // the close and the dialog bracket poll at the described rate
    const int64_t now = clock.SteadyMs();
    if (!m_pController || m_bCloseRequested || ModalOpen())
        return now + kPollMs;
    if (m_pNotifier)
        housekeepingDueMs = std::min(housekeepingDueMs, m_nextNotifyMs);
    return std::max(now, housekeeping::NextWake(m_pController->NextStepDueMs(), housekeepingDueMs));
}

void CAppObjects::NotifyTick(int64_t now) {
    if (!m_pNotifier || !m_pController || !housekeeping::IsDue(now, m_nextNotifyMs))
        return;
    m_nextNotifyMs = now + housekeeping::kPeriodMs;
    // Commands from the broker reach the controller on this thread only.
    const int command = m_pNotifier->TakeArmCommand();
    if (command >= 0 && (command == 1) != m_bMotionOn)
        m_pController->ToggleDetection();
    m_pNotifyStatus->Update(m_pController->StatusInputs(m_bCloseRequested));
    m_pNotifier->Tick(m_bMotionOn, m_pNotifyStatus->Text());
}

bool CAppObjects::DeferredCloseTick(const IClock& clock) {
    if (!m_close.Tick(clock.WallSeconds(), BusyMailJobs()))
        return false;
    if (m_bRestartOnClose && m_pSettings) {
        m_pSettings->Save();
        StartProgramAgain(m_pSettings->m_programPath);
    }
    return true;
}
