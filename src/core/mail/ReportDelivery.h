#pragma once
#include "app/Clock.h"
#include "mail/ReportMailJob.h"

#include <string>

// The outcome of one try to deliver a report.
struct CDeliveryOutcome {
    enum class Result { Sent, Retry, Failed };
    Result result = Result::Failed;
    std::string reason;     // why it was not sent, in plain words
    std::string refused;    // recipients the server refused although the mail went out
    bool movieKept = false; // left out for its size: the archive keeps it
};

namespace report_delivery {

// One connection, one mail, QUIT. A movie that would make the mail larger
// than the server's announced SIZE or the job's limit is left out, and a line
// in the text says where it is. Touches no file.
CDeliveryOutcome Deliver(const ReportMailJob& job, const IClock& clock);

// After the server accepted the mail: the files made only for the report go.
void DeleteUnarchivedFiles(const ReportMailJob& job, bool movieKept);

// The event line of an outcome ("mail: sent S", "mail: queued S: R", "mail: failed S: R").
std::string EventLine(const ReportMailJob& job, const CDeliveryOutcome& outcome);

} // namespace report_delivery
