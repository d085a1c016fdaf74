#include "mail/TestMail.h"

#include "app/AppSettings.h"
#include "mail/MailAddressList.h"
#include "mail/MailMessage.h"
#include "mail/MailPassword.h"
#include "mail/ReportMailer.h"
#include "mail/SMTPConnection.h"

#include <cstdlib>

namespace test_mail {

CTestMailSettings SettingsOf(const CAppSettings& settings) {
    return {settings.EMAIL_SMTP,     settings.EMAIL_FROM, settings.EMAIL_TO,
            settings.SMTP_SECURITY,  settings.SMTP_USER,  settings.SMTP_LOOPBACK_LOGIN != 0,
            settings.m_programFolder};
}

ReportMailJob Compose(const CTestMailSettings& settings) {
    ReportMailJob job;
    CReportMailer::SetServer(job, settings.server, settings.security);
    job.from = settings.from;
    job.to = settings.to;
    job.user = settings.user;
    job.loginWithoutTlsOnLoopback = settings.loginWithoutTlsOnLoopback;
    job.homeFolder = settings.homeFolder;
    // Test-only: trust the certificates of this file instead of the system's store.
    if (const char* caFile = std::getenv("OCULON_TEST_CA_FILE"))
        job.caFile = caFile;
    job.subject = "OCULON> test mail";
    job.body = "This test mail shows that Oculon can send its reports with these settings.\r\n";
    return job;
}

CTestMailResult Send(const ReportMailJob& job, const std::optional<std::string>& password,
                     const IClock& clock) {
    CTestMailResult result;
    std::vector<std::string> problems;
    const std::vector<CMailAddress> recipients = mail_address::ParseList(job.to, &problems);
    if (recipients.empty()) {
        result.verdict =
            "not sent: " +
            (problems.empty() ? std::string("no recipient address is set") : problems.front());
        return result;
    }

    CSmtpOptions options;
    options.security = static_cast<CMailSecurity>(job.security);
    options.user = job.user;
    if (!job.user.empty())
        options.password =
            password ? *password : mail_password::Load(job.homeFolder, job.smtpHost, job.user);
    options.allowLoginWithoutTlsOnLoopback = job.loginWithoutTlsOnLoopback;
    options.caFile = job.caFile;
    options.replyTimeoutCapMs = kReplyTimeoutMs;
    CSMTPConnection connection(clock);
    connection.SetOptions(options);
    connection.SetTranscript(
        [&result](const std::string& line) { result.transcript.push_back(line); });

    std::string steps;
    auto step = [&steps](const std::string& text) { steps += (steps.empty() ? "" : ", ") + text; };
    const std::string server = job.smtpHost + ":" + std::to_string(job.smtpPort);
    const bool connected = connection.Connect(job.smtpHost, job.smtpPort);
    if (!connection.ReachedServer()) {
        result.verdict = connection.LastFailure();
        return result;
    }
    step("connected to " + server);
    if (!connection.TlsVersion().empty())
        step(connection.TlsVersion() + " with a valid certificate");
    else if (connected)
        step("without TLS");
    if (!connected) {
        step(connection.LastFailure());
        result.verdict = steps;
        return result;
    }
    step(connection.LoggedIn() ? "login accepted" : "no login");

    CMailMessage message(clock);
    for (const CMailAddress& address : recipients)
        message.AddRecipient(address, RecipientType::To);
    message.SetFrom(CMailAddress("", job.from));
    message.SetSubject(job.subject);
    message.SetBody(job.body);
    result.accepted = connection.SendMail(message);
    if (result.accepted) {
        std::string refused;
        for (const std::string& r : connection.RefusedRecipients())
            refused += (refused.empty() ? "" : ", ") + r;
        step(refused.empty() ? "mail accepted" : "mail accepted; refused: " + refused);
    } else {
        step(connection.LastFailure());
    }
    connection.Disconnect();
    result.verdict = steps;
    return result;
}

} // namespace test_mail
