#include "MailSinkProcess.h"
#include "ScriptedSmtpPeer.h"
#include "TempDir.h"
#include "app/AppSettings.h"
#include "app/TagParser.h"
#include "mail/MailText.h"
#include "mail/TestMail.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace {

// The login must stay out of the conversation shown, in clear or in base64.
void ExpectNoCredentials(const std::vector<std::string>& transcript, const std::string& user,
                         const std::string& password, const std::string& what) {
    const std::string secrets[] = {
        password, mail_text::Base64(password), mail_text::Base64(user),
        mail_text::Base64(std::string(1, '\0') + user + '\0' + password)};
    for (const std::string& line : transcript) {
        for (const std::string& secret : secrets)
            EXPECT_EQ(line.find(secret), std::string::npos) << what << ": " << line;
    }
}

TEST(TestMail, VerdictSaysHowFarTheMailGotAndTheLoginNeverShows) {
    CTempDir certificates;
    const std::string files = MakeSinkCertificate(certificates.Path(), "sink", "IP:127.0.0.1");
    const std::string other =
        MakeSinkCertificate(certificates.Path(), "other", "DNS:other.example.org");
    ASSERT_FALSE(files.empty() || other.empty());
    // Both trusted: the other one is refused only for the name it carries.
    const std::string trusted = certificates.File("trusted.pem");
    WriteFileBytes(trusted, ReadFileBytes(SinkCertificateFile(files)) +
                                ReadFileBytes(SinkCertificateFile(other)));
    uint16_t deadPort;
    {
        CScriptedSmtpPeer gone([](CPeerSession&) {});
        deadPort = gone.Port();
    }
    const struct {
        const char* what;
        std::vector<std::string> sinkOptions; // empty: no server at all
        int security;
        std::string password;
        bool accepted;
        std::string verdict; // "PORT" stands for the server's port
    } cases[] = {
        {"loopback login without TLS",
         {"login=me:s3cret"},
         0,
         "s3cret",
         true,
         "connected to 127.0.0.1:PORT, without TLS, login accepted, mail accepted"},
        {"STARTTLS and AUTH LOGIN",
         {"starttls=" + files, "login=me:s3cret", "only=LOGIN"},
         1,
         "s3cret",
         true,
         "connected to 127.0.0.1:PORT, TLS 1.3 with a valid certificate, login accepted, mail "
         "accepted"},
        {"wrong password",
         {"login=me:s3cret"},
         0,
         "wrong",
         false,
         "connected to 127.0.0.1:PORT, login refused: 535 5.7.8 Authentication credentials "
         "invalid"},
        {"nobody listening", {}, 0, "s3cret", false, "connection refused by 127.0.0.1:PORT"},
    };
    for (const auto& c : cases) {
        CTempDir home;
        CTempDir saved;
        std::optional<CMailSinkProcess> sink;
        int port = deadPort;
        if (!c.sinkOptions.empty()) {
            sink.emplace(saved.Path(), 0, c.sinkOptions);
            port = sink->Port();
            ASSERT_GT(port, 0) << c.what;
        }
        CTagParser parser(false);
        CAppSettings settings(parser, home.Folder(), "");
        settings.EMAIL_SMTP = "127.0.0.1:" + std::to_string(port);
        settings.EMAIL_FROM = "cam@example.org";
        settings.EMAIL_TO = "me@example.org";
        settings.SMTP_SECURITY = c.security;
        settings.SMTP_USER = "me";
        settings.SMTP_LOOPBACK_LOGIN = 1;
        ::setenv("OCULON_TEST_CA_FILE", trusted.c_str(), 1);
        const ReportMailJob job = test_mail::Compose(test_mail::SettingsOf(settings));
        ::unsetenv("OCULON_TEST_CA_FILE");

        const CTestMailResult result = test_mail::Send(job, c.password);
        std::string verdict = c.verdict;
        for (size_t at; (at = verdict.find("PORT")) != std::string::npos;)
            verdict.replace(at, 4, std::to_string(port));
        EXPECT_EQ(result.verdict, verdict) << c.what;
        EXPECT_EQ(result.accepted, c.accepted) << c.what;
        if (c.accepted)
            EXPECT_FALSE(sink->WaitForMail(1).empty()) << c.what;
        else
            EXPECT_FALSE(std::filesystem::exists(saved.File("mail1.eml"))) << c.what;
        EXPECT_EQ(result.transcript.empty(), !sink) << c.what;
        ExpectNoCredentials(result.transcript, "me", c.password, c.what);
    }
}

} // namespace
