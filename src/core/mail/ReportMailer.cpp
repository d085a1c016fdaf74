#include "mail/ReportMailer.h"

#include "app/AppSettings.h"
#include "app/Clock.h"
#include "app/TextLines.h"
#include "mail/MailAttachment.h"
#include "mail/MailError.h"
#include "mail/MailMessage.h"
#include "mail/MailText.h"
#include "mail/SMTPConnection.h"

#include <atomic>
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

std::string FailureReason(const CSMTPConnection& connection) {
    const int code = GetMailLastError();
    std::string reason = MailErrorText(code) + " (" + std::to_string(code) + ")";
    if (!connection.LastResponse().empty())
        reason += ": " + JoinLines(connection.LastResponse(), " ");
    return reason;
}

std::string Trimmed(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    const size_t last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

} // namespace

CReportMailer::CReportMailer(const CAppSettings& settings)
    : m_settings(settings), m_slots(std::make_shared<CReportJobSlots>()) {}

CReportMailer::~CReportMailer() {
    m_slots->Close();
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

ReportMailJob CReportMailer::ComposeJob(const CAppSettings& settings,
                                        const CCaptureReport& report) {
    std::string time = report.stampText;
    for (char& c : time) {
        if (c == '=')
            c = ':';
        else if (c == '-')
            c = '/';
    }
    ReportMailJob job;
    job.subject = std::string(mail_text::CutAtCharBoundary("OCULON> " + time, kSubjectMax));

    std::string body = "Automatically sent by Oculon\r\nCamera name: " + settings.VIDEO_OVE +
                       "\r\nTransmission time: " + time + "\r\n" + kWebAddress;
    if (!settings.EMAIL_CUS.empty())
        body += "\r\n____________________\r\n" + mail_text::NormalizeLineEnds(settings.EMAIL_CUS);
    job.body = std::string(mail_text::CutAtCharBoundary(body, kBodyMax));

    if (settings.EMAIL_WMV)
        job.moviePath = report.moviePath;
    if (settings.EMAIL_JPG) {
        job.stillPath = report.firstStillPath;
        job.stillDir = report.stillDir;
    }
    SplitServer(settings.EMAIL_SMTP, job.smtpHost, job.smtpPort);
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
    const int index = m_slots->Reserve();
    if (index < 0)
        return; // all 32 jobs busy: this report is dropped
    auto job = std::make_shared<const ReportMailJob>(ComposeJob(m_settings, report));
    m_slots->SetJob(index, job);
    g_liveWorkers.fetch_add(1);
    try {
        std::thread([slots = m_slots, index] {
            DeliverReport(slots, index);
            g_liveWorkers.fetch_sub(1);
        }).detach();
    } catch (const std::system_error& e) {
        g_liveWorkers.fetch_sub(1);
        m_slots->Log("mail: failed " + job->subject + ": no delivery thread: " + e.what());
        m_slots->Release(index);
    }
}

void CReportMailer::DeliverReport(const std::shared_ptr<CReportJobSlots>& slots, int index) {
    if (!slots || !slots->IsBusy(index))
        return;
    const std::shared_ptr<const ReportMailJob> held = slots->Job(index);
    if (!held) {
        slots->Release(index);
        return;
    }
    const ReportMailJob& job = *held;

    // Declared first so that it goes last: QUIT follows the freed slot.
    CSMTPConnection connection(WorkerClock());
    std::string reason;
    const bool connected = connection.Connect(job.smtpHost, job.smtpPort);
    if (!connected)
        reason = "cannot connect to " + job.smtpHost + ":" + std::to_string(job.smtpPort) + ": " +
                 FailureReason(connection);

    CMailMessage message(WorkerClock());
    message.AddRecipient(CMailAddress("", job.to), RecipientType::To);
    message.SetFrom(CMailAddress("", job.from));
    message.SetSubject(job.subject);
    message.SetBody(job.body);

    // The files are read into memory first; those not to be archived go now,
    // whether or not the delivery then succeeds.
    CMailAttachment movie;
    movie.Load(job.moviePath);
    message.AddAttachment(&movie);
    if (!job.captureWmv && !job.moviePath.empty())
        ::unlink(job.moviePath.c_str());

    CMailAttachment still;
    still.Load(job.stillPath);
    if (job.emailJpg) {
        message.AddAttachment(&still);
        if (!job.captureJpg) {
            if (!job.stillPath.empty())
                ::unlink(job.stillPath.c_str());
            if (!job.stillDir.empty())
                ::rmdir(job.stillDir.c_str()); // only succeeds when nothing else is in it
        }
    }

    const bool sent = connection.SendMail(message);
    if (!sent && connected)
        reason = FailureReason(connection);
    slots->Log(sent ? "mail: sent " + job.subject : "mail: failed " + job.subject + ": " + reason);
    slots->Release(index);
}
