#pragma once
#include "mail/IReportMailer.h"
#include "mail/ReportMailJob.h"

#include <cstdint>
#include <memory>
#include <string>

class CAppSettings;

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

    // Reads the settings only in SendCaptureReport, on the caller's thread.
    explicit CReportMailer(const CAppSettings& settings);
    // Never waits: a worker still delivering finishes on its own copies and
    // logs nothing once the mailer is gone.
    ~CReportMailer() override;
    CReportMailer(const CReportMailer&) = delete;
    CReportMailer& operator=(const CReportMailer&) = delete;

    void SendCaptureReport(const CCaptureReport& report) override;
    bool IsSending() const override;
    int PendingCount() const override;

    // A worker's whole life: delivers the job of a reserved slot, logs the
    // outcome, frees the slot. An index outside 0..31 does nothing.
    static void DeliverReport(const std::shared_ptr<CReportJobSlots>& slots, int index);

    // The job that SendCaptureReport hands to a worker for these settings and capture.
    static ReportMailJob ComposeJob(const CAppSettings& settings, const CCaptureReport& report);
    // "host" or "host:port"; without a port the SMTP port 25.
    static void SplitServer(const std::string& server, std::string& host, uint16_t& port);

    // Delivery threads still running in this process, including those of
    // mailers already deleted.
    static int LiveWorkers();

private:
    const CAppSettings& m_settings;
    std::shared_ptr<CReportJobSlots> m_slots;
};
