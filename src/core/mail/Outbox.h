#pragma once
#include "app/Clock.h"
#include "mail/ReportDelivery.h"
#include "mail/ReportMailJob.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Reports on their way: every report is written to the outbox folder before
// its first try and stays there until the server accepted it, a 5xx refused
// it or three days of tries passed, so neither a dead server nor the end of
// the program loses one. Entries hold everything needed to send again (never
// the password); their files stay where the capture put them.
class COutbox {
public:
    static constexpr int64_t kGiveUpSeconds = 3 * 24 * 3600;

    struct CEntry {
        std::string id;
        ReportMailJob job;
        int64_t firstTry = 0; // wall seconds
        int64_t nextTry = 0;
        int failures = 0;
    };
    using Log = std::function<void(const std::string&)>;
    using Deliver = std::function<CDeliveryOutcome(const ReportMailJob&)>;

    // folder ends in "/". The clock gives the wall time the tries are planned in.
    COutbox(std::string folder, const IClock& clock, Log log);

    // The wait after the n-th failed try: 1, 2, 5, 10, 30 minutes, then hourly.
    static int64_t RetryDelaySeconds(int failures);

    // Writes the job as a new entry, due now and held by the caller; its id,
    // or empty when the folder cannot be written.
    std::string Add(const ReportMailJob& job);
    // Files the outcome of a try of a held entry, logs it and lets it go.
    void Settle(const std::string& id, const CDeliveryOutcome& outcome);
    // Tries every entry whose time has come that nobody holds, one after
    // another on this thread; the number tried.
    int RetryDue(const Deliver& deliver);
    // Entries waiting, held ones included.
    std::vector<CEntry> Entries() const;

    static std::string Serialize(const CEntry& entry);
    static bool Parse(const std::string& text, CEntry& entry);

private:
    bool Write(const CEntry& entry) const;
    bool Read(const std::string& id, CEntry& entry) const;
    void Remove(const std::string& id) const;

    std::string m_folder;
    const IClock& m_clock;
    Log m_log;
};
