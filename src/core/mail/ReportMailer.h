#pragma once
#include "mail/IReportMailer.h"
#include "mail/ReportMailJob.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CAppSettings;
class IClock;
struct CRetryControl;

// Turns each finished capture into a report mail: composed on the caller's
// thread into one of 32 job slots and delivered by a worker thread of its own,
// so the surveillance loop never waits for the mail server. After delivery the
// worker deletes the capture files that are not to be archived.
class CReportMailer : public IReportMailer {
public:
    static constexpr int kJobCount = CReportJobSlots::kCount;
    static constexpr size_t kSubjectMax = 259;
    static constexpr size_t kBodyMax = 1023;
    static constexpr const char* kWebAddress = "https://oculon.example.org/";
    // How often the outbox worker looks for reports whose next try is due.
    static constexpr int kRetryPollSeconds = 15;

    // Reads the settings only in SendCaptureReport, on the caller's thread.
    explicit CReportMailer(const CAppSettings& settings);
    // `clock` times the cooldown between mails (PUSH_COOLDOWN_MIN).
    CReportMailer(const CAppSettings& settings, const IClock& clock);
    // Never waits: a worker still delivering finishes on its own copies and
    // logs nothing once the mailer is gone.
    ~CReportMailer() override;
    CReportMailer(const CReportMailer&) = delete;
    CReportMailer& operator=(const CReportMailer&) = delete;

    void SendCaptureReport(const CCaptureReport& report) override;
    bool IsSending() const override;
    int PendingCount() const override;

    // A worker's whole life: files the job of a reserved slot in the outbox,
    // tries it once, logs the outcome, frees the slot. True when the report
    // now waits in the outbox for a retry. An index outside 0..31 does nothing.
    static bool DeliverReport(const std::shared_ptr<CReportJobSlots>& slots, int index);
    // <home>/outbox/
    static std::string OutboxFolder(const std::string& homeFolder);

    // The job that SendCaptureReport hands to a worker for these settings and
    // capture; `held` are the captures the cooldown kept from a mail of their own.
    static ReportMailJob ComposeJob(const CAppSettings& settings, const CCaptureReport& report,
                                    const std::vector<CCaptureReport>& held = {});
    // Host, port and security of a job from the server text and SMTP_SECURITY.
    static void SetServer(ReportMailJob& job, const std::string& server, int security);
    // "host" or "host:port"; without a port the SMTP port 25.
    static void SplitServer(const std::string& server, std::string& host, uint16_t& port);

    // Delivery threads still running in this process, including those of
    // mailers already deleted.
    static int LiveWorkers();

private:
    // One worker at a time retries the outbox until it is empty or the mailer goes.
    static void StartRetryWorker(const std::shared_ptr<CReportJobSlots>& slots,
                                 const std::shared_ptr<CRetryControl>& control,
                                 const std::string& homeFolder);

    const CAppSettings& m_settings;
    const IClock& m_clock;
    // The cooldown: when the last mail went out, and the captures since then
    // that got none. Their files are never deleted by the mailer, so nothing
    // they show is lost; the next mail lists them. User-interface thread only.
    bool m_mailedOnce = false;
    int64_t m_lastMailMs = 0;
    std::vector<CCaptureReport> m_held;
    std::shared_ptr<CReportJobSlots> m_slots;
    std::shared_ptr<CRetryControl> m_retry;
};
