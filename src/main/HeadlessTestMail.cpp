#include "HeadlessTestMail.h"

#include "app/AppSettings.h"
#include "app/EventLog.h"
#include "app/TagParser.h"
#include "mail/TestMail.h"

#include <optional>

int RunHeadlessTestMail(const std::string& homeFolder, const std::string& programPath) {
    ReportMailJob job;
    {
        const CTagParser parser(false);
        const CAppSettings settings(parser, homeFolder, programPath);
        job = test_mail::Compose(test_mail::SettingsOf(settings));
    }
    const CTestMailResult result = test_mail::Send(job, std::nullopt);
    for (const std::string& line : result.transcript)
        LogEvent(line);
    LogEvent("verdict: " + result.verdict);
    return result.accepted ? 0 : 1;
}
