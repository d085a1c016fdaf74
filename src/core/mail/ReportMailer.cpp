#include "mail/ReportMailer.h"

#include "app/AppSettings.h"
#include "app/Clock.h"
#include "mail/MailAttachment.h"
#include "mail/MailError.h"
#include "mail/MailMessage.h"
#include "mail/MailText.h"
#include "mail/Outbox.h"
#include "mail/ReportDelivery.h"
#include "mail/SMTPConnection.h"

#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <system_error>
#include <thread>
#include <unistd.h>

namespace {

std::atomic<int> g_liveWorkers{0};

// Workers may outlive main() when the close gave up on them; they must not
// use a clock that static destruction has already torn down.
const IClock& WorkerClock() {
    static const IClock* const clock = new CSystemClock;
    return *clock;
}

std::string Trimmed(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    const size_t last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

} // namespace

// The retry worker's stop signal, shared with the worker so that it outlives the mailer.
struct CRetryControl {
    std::mutex mutex;
    std::condition_variable wake;
    bool stop = false;
    bool running = false;
};

CReportMailer::CReportMailer(const CAppSettings& settings)
    : CReportMailer(settings, CSystemClock::Instance()) {}

CReportMailer::CReportMailer(const CAppSettings& settings, const IClock& clock)
    : m_settings(settings), m_clock(clock), m_slots(std::make_shared<CReportJobSlots>()),
      m_retry(std::make_shared<CRetryControl>()) {
    if (!COutbox(OutboxFolder(settings.m_programFolder), WorkerClock(), nullptr).Entries().empty())
        StartRetryWorker(m_slots, m_retry, settings.m_programFolder);
}

CReportMailer::~CReportMailer() {
    {
        const std::lock_guard<std::mutex> lock(m_retry->mutex);
        m_retry->stop = true;
    }
    m_retry->wake.notify_all();
    m_slots->Close();
}

std::string CReportMailer::OutboxFolder(const std::string& homeFolder) {
    return homeFolder + (homeFolder.empty() || homeFolder.back() == '/' ? "" : "/") + "outbox/";
}

void CReportMailer::StartRetryWorker(const std::shared_ptr<CReportJobSlots>& slots,
                                     const std::shared_ptr<CRetryControl>& control,
                                     const std::string& homeFolder) {
    {
        const std::lock_guard<std::mutex> lock(control->mutex);
        if (control->running || control->stop)
            return;
        control->running = true;
    }
    g_liveWorkers.fetch_add(1);
    try {
        std::thread([slots, control, homeFolder] {
            COutbox outbox(OutboxFolder(homeFolder), WorkerClock(),
                           [slots](const std::string& line) { slots->Log(line); });
            std::unique_lock<std::mutex> lock(control->mutex);
            while (!control->stop) {
                lock.unlock();
                outbox.RetryDue([](const ReportMailJob& job) {
                    return report_delivery::Deliver(job, WorkerClock());
                });
                const bool empty = outbox.Entries().empty();
                lock.lock();
                if (empty)
                    break;
                control->wake.wait_for(lock, std::chrono::seconds(kRetryPollSeconds));
            }
            control->running = false;
            lock.unlock();
            g_liveWorkers.fetch_sub(1);
        }).detach();
    } catch (const std::system_error&) {
        g_liveWorkers.fetch_sub(1);
        const std::lock_guard<std::mutex> lock(control->mutex);
        control->running = false;
    }
}

bool CReportMailer::IsSending() const {
    return m_slots->BusyCount() > 0;
}

int CReportMailer::PendingCount() const {
    return m_slots->BusyCount();
}

int CReportMailer::LiveWorkers() {
    return g_liveWorkers.load();
}

void CReportMailer::SplitServer(const std::string& server, std::string& host, uint16_t& port) {
    host = Trimmed(server);
    port = CSMTPConnection::kDefaultPort;
    const size_t colon = host.find(':');
    if (colon == std::string::npos || colon == 0 || host.find(':', colon + 1) != std::string::npos)
        return;
    const std::string digits = host.substr(colon + 1);
    if (digits.empty() || digits.size() > 5 ||
        digits.find_first_not_of("0123456789") != std::string::npos)
        return;
    const int value = std::stoi(digits);
    if (value < 1 || value > 65535)
        return;
    port = static_cast<uint16_t>(value);
    host.resize(colon);
}

void CReportMailer::SetServer(ReportMailJob& job, const std::string& server, int security) {
    SplitServer(server, job.smtpHost, job.smtpPort);
    // Submission ports for the secure modes when the server text names no port.
    if (job.smtpPort == CSMTPConnection::kDefaultPort &&
        Trimmed(server).find(':') == std::string::npos) {
        if (security == static_cast<int>(CMailSecurity::StartTls))
            job.smtpPort = CSMTPConnection::kSubmissionPort;
        else if (security == static_cast<int>(CMailSecurity::Tls))
            job.smtpPort = CSMTPConnection::kImplicitTlsPort;
    }
    job.security = security;
}

ReportMailJob CReportMailer::ComposeJob(const CAppSettings& settings, const CCaptureReport& report,
                                        const std::vector<CCaptureReport>& held) {
    auto timeOf = [](const CCaptureReport& r) {
        std::string time = r.stampText;
        for (char& c : time) {
            if (c == '=')
                c = ':';
            else if (c == '-')
                c = '/';
        }
        return time;
    };
    const std::string time = timeOf(report);
    ReportMailJob job;
    job.subject = std::string(mail_text::CutAtCharBoundary("OCULON> " + time, kSubjectMax));

    std::string body = "Automatically sent by Oculon\r\nCamera name: " + settings.VIDEO_OVE +
                       "\r\nTransmission time: " + time + "\r\n" + kWebAddress;
    if (!held.empty()) {
        body += "\r\nCaptures since the last mail (kept in the archive):";
        for (const CCaptureReport& r : held) {
            body += "\r\n" + timeOf(r);
            for (const std::string* path : {&r.moviePath, &r.stillDir})
                if (!path->empty())
                    body += "  " + *path;
        }
    }
    if (!settings.EMAIL_CUS.empty())
        body += "\r\n____________________\r\n" + mail_text::NormalizeLineEnds(settings.EMAIL_CUS);
    job.body = std::string(mail_text::CutAtCharBoundary(body, kBodyMax));

    if (settings.EMAIL_WMV)
        job.moviePath = report.moviePath;
    if (settings.EMAIL_JPG) {
        job.stillPath = report.firstStillPath;
        job.stillDir = report.stillDir;
    }
    SetServer(job, settings.EMAIL_SMTP, settings.SMTP_SECURITY);
    job.user = settings.SMTP_USER;
    job.loginWithoutTlsOnLoopback = settings.SMTP_LOOPBACK_LOGIN != 0;
    job.sizeLimitBytes = static_cast<uint64_t>(settings.SMTP_SIZE_MB) << 20;
    // Test-only: trust the certificates of this file instead of the system's store.
    if (const char* caFile = std::getenv("OCULON_TEST_CA_FILE"))
        job.caFile = caFile;
    job.homeFolder = settings.m_programFolder;
    job.from = settings.EMAIL_FROM;
    job.to = settings.EMAIL_TO;
    job.emailJpg = settings.EMAIL_JPG != 0;
    job.captureWmv = settings.CAPTURE_WMV != 0;
    job.captureJpg = settings.CAPTURE_JPG != 0;
    return job;
}

void CReportMailer::SendCaptureReport(const CCaptureReport& report) {
    if (!m_settings.EMAIL_ENA || report.stampText.empty())
        return;
    const int64_t now = m_clock.SteadyMs();
    if (m_mailedOnce && m_settings.PUSH_COOLDOWN_MIN > 0 &&
        now - m_lastMailMs < int64_t{m_settings.PUSH_COOLDOWN_MIN} * 60'000) {
        // No job, so no worker deletes this capture's files: they wait in
        // the archive, and the next mail lists them.
        m_held.push_back(report);
        m_slots->Log("mail: held " + ComposeJob(m_settings, report).subject +
                     ": at most one mail per " + std::to_string(m_settings.PUSH_COOLDOWN_MIN) +
                     " minutes");
        return;
    }
    const int index = m_slots->Reserve();
    if (index < 0)
        return; // all 32 jobs busy: this report is dropped
    auto job = std::make_shared<const ReportMailJob>(ComposeJob(m_settings, report, m_held));
    m_held.clear();
    m_mailedOnce = true;
    m_lastMailMs = now;
    m_slots->SetJob(index, job);
    g_liveWorkers.fetch_add(1);
    try {
        std::thread([slots = m_slots, retry = m_retry, job, index] {
            if (DeliverReport(slots, index) && !job->homeFolder.empty())
                StartRetryWorker(slots, retry, job->homeFolder);
            g_liveWorkers.fetch_sub(1);
        }).detach();
    } catch (const std::system_error& e) {
        g_liveWorkers.fetch_sub(1);
        m_slots->Log("mail: failed " + job->subject + ": no delivery thread: " + e.what());
        m_slots->Release(index);
    }
}

bool CReportMailer::DeliverReport(const std::shared_ptr<CReportJobSlots>& slots, int index) {
    if (!slots || !slots->IsBusy(index))
        return false;
    const std::shared_ptr<const ReportMailJob> held = slots->Job(index);
    if (!held) {
        slots->Release(index);
        return false;
    }
    const ReportMailJob& job = *held;
    // On disk before the first try: a close that stops waiting, or a crash,
    // leaves the report to the next start instead of losing it.
    COutbox outbox(OutboxFolder(job.homeFolder), WorkerClock(),
                   [slots](const std::string& line) { slots->Log(line); });
    const std::string id = outbox.Add(job);
    const CDeliveryOutcome outcome = report_delivery::Deliver(job, WorkerClock());
    if (!id.empty()) {
        outbox.Settle(id, outcome);
    } else {
        CDeliveryOutcome unqueued = outcome;
        if (unqueued.result == CDeliveryOutcome::Result::Retry) {
            unqueued.result = CDeliveryOutcome::Result::Failed;
            unqueued.reason += " (the outbox cannot be written)";
        }
        if (unqueued.result == CDeliveryOutcome::Result::Sent)
            report_delivery::DeleteUnarchivedFiles(job, unqueued.movieKept);
        slots->Log(report_delivery::EventLine(job, unqueued));
    }
    slots->Release(index);
    return !id.empty() && outcome.result == CDeliveryOutcome::Result::Retry;
}
