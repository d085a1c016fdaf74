#pragma once
#include <string>

// What the controller hands over when a capture ends: the time stamp of the
// step at which the movie ended, the movie, and the capture's stills.
struct CCaptureReport {
    std::string stampText;
    std::string moviePath;
    std::string stillDir;
    std::string firstStillPath;
};

class IReportMailer {
public:
    virtual ~IReportMailer() = default;
    // Composes the report (or nothing, when mail is off) and delivers it on a worker.
    virtual void SendCaptureReport(const CCaptureReport& report) = 0;
    virtual bool IsSending() const = 0;
    virtual int PendingCount() const = 0;
};
