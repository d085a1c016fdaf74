#pragma once
#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

// Everything one delivery needs, copied when the report is composed: the
// worker never reads the settings record or the mailer, so a close that stops
// waiting for it can delete both.
struct ReportMailJob {
    std::string subject;
    std::string body;
    std::string moviePath; // empty: no movie attached
    std::string stillPath; // empty: no still attached
    std::string stillDir;
    std::string smtpHost;
    uint16_t smtpPort = 25;
    std::string from;
    std::string to;
    bool emailJpg = false;
    bool captureWmv = false;
    bool captureJpg = false;
    // 0 none, 1 STARTTLS, 2 implicit TLS (CMailSecurity).
    int security = 0;
    std::string user; // the password is looked up when the mail goes out
    bool loginWithoutTlsOnLoopback = false;
    uint64_t sizeLimitBytes = 20ull << 20;
    std::string caFile;     // test-only trust override, empty: the system's store
    std::string homeFolder; // where the outbox and the password file live
};

// The report mailer's job slots, owned jointly by the mailer and its workers
// so that a worker can still free its slot after the mailer is gone. A slot's
// job is written only while the slot is reserved and before its worker starts;
// the busy flag is the one thing both sides change.
class CReportJobSlots {
public:
    static constexpr int kCount = 32;

    // The first free slot in index order, now busy; -1 when all are busy.
    int Reserve();
    void Release(int index);
    bool IsBusy(int index) const;
    int BusyCount() const;

    void SetJob(int index, std::shared_ptr<const ReportMailJob> job);
    std::shared_ptr<const ReportMailJob> Job(int index) const;

    // Event lines from workers; nothing more is logged once the mailer closed
    // the slots, because the log's sink may go with the program's teardown.
    void Log(const std::string& line);
    void Close();

private:
    std::array<std::atomic<bool>, kCount> m_busy{};
    std::array<std::shared_ptr<const ReportMailJob>, kCount> m_jobs;
    std::mutex m_logMutex;
    bool m_closed = false;
};
