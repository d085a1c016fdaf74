#include "MailSinkProcess.h"
#include "RunCommand.h"
#include "TempDir.h"
#include "app/AppSettings.h"
#include "app/TagParser.h"
#include "mail/MailPassword.h"

#include <gtest/gtest.h>
#include <string>

namespace {

TEST(HeadlessTestMail, PrintsTheConversationAndVerdictAndExitsWithTheOutcome) {
    CTempDir saved;
    CMailSinkProcess sink(saved.Path(), 0, {"login=me:s3cret"});
    ASSERT_GT(sink.Port(), 0);
    const std::string port = std::to_string(sink.Port());
    const struct {
        const char* password;
        int exitCode;
        std::string verdict;
    } cases[] = {
        {"s3cret", 0,
         "verdict: connected to 127.0.0.1:" + port +
             ", without TLS, login accepted, mail accepted\n"},
        {"wrong", 1,
         "verdict: connected to 127.0.0.1:" + port +
             ", login refused: 535 5.7.8 Authentication credentials invalid\n"},
    };
    for (const auto& c : cases) {
        CTempDir home;
        {
            CTagParser parser(false);
            CAppSettings settings(parser, home.Folder(), "");
            settings.EMAIL_SMTP = "127.0.0.1:" + port;
            settings.EMAIL_FROM = "cam@example.org";
            settings.EMAIL_TO = "me@example.org";
            settings.SMTP_USER = "me";
            settings.SMTP_LOOPBACK_LOGIN = 1;
        }
        // No desktop keyring in the way: the password file of this home folder.
        ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
        ASSERT_TRUE(mail_password::Store(home.Path(), "127.0.0.1", "me", c.password));
        const CommandResult run =
            RunCommand(OCULON_HEADLESS_EXE " --home '" + home.Path() + "' --test-mail");
        EXPECT_EQ(run.exitCode, c.exitCode) << run.output;
        EXPECT_TRUE(run.output.starts_with("S: 220 ")) << run.output;
        EXPECT_TRUE(run.output.ends_with(c.verdict)) << run.output;
        EXPECT_EQ(run.output.find(c.password), std::string::npos) << run.output;
    }
}

} // namespace
