#pragma once
#include "app/Clock.h"
#include "mail/ReportMailJob.h"

#include <optional>
#include <string>
#include <vector>

class CAppSettings;

// What a test mail found out: whether the server took the mail, the whole
// conversation with the login hidden, and a verdict in plain words.
struct CTestMailResult {
    bool accepted = false;
    std::string verdict;
    std::vector<std::string> transcript;
};

namespace test_mail {

// Nobody should wait minutes for a verdict; a real server answers far sooner.
constexpr int64_t kReplyTimeoutMs = 60000;

// What a test mail is sent with; the setup dialog fills it from the values
// being edited, before they reach the settings record.
struct CTestMailSettings {
    std::string server; // EMAIL_SMTP
    std::string from;
    std::string to;
    int security = 0;
    std::string user;
    bool loginWithoutTlsOnLoopback = false;
    std::string homeFolder; // where the password file lies
};
CTestMailSettings SettingsOf(const CAppSettings& settings);

// The test mail's job, taken on the settings' thread so that Send can run on any other.
ReportMailJob Compose(const CTestMailSettings& settings);

// Sends the mail at once on this thread and waits for the outcome. Without a
// password the stored one for the job's server and user is used.
CTestMailResult Send(const ReportMailJob& job, const std::optional<std::string>& password,
                     const IClock& clock = CSystemClock::Instance());

} // namespace test_mail
