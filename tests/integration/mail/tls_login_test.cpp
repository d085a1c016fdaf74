#include "MailSinkProcess.h"
#include "RunCommand.h"
#include "ScriptedSmtpPeer.h"
#include "SmtpTestConnections.h"
#include "TempDir.h"
#include "mail/MailMessage.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

class TlsLoginTest : public ::testing::Test {
protected:
    std::string MakeCertificate(const std::string& name, const std::string& subjectAltName) {
        const std::string files = MakeSinkCertificate(m_dir.Path(), name, subjectAltName);
        EXPECT_FALSE(files.empty());
        return files;
    }
    static std::string CertOf(const std::string& files) { return SinkCertificateFile(files); }

    bool Send(CSMTPConnection& connection, int port) {
        if (!connection.Connect("127.0.0.1", static_cast<uint16_t>(port)))
            return false;
        CMailMessage message;
        message.SetFrom(CMailAddress("", "cam@example.org"));
        message.AddRecipient(CMailAddress("", "me@example.org"), RecipientType::To);
        message.SetBody("over TLS");
        return connection.SendMail(message);
    }
    std::string Logins() const { return ReadFileBytes(m_saved.File("logins.txt")); }

    CTempDir m_dir;
    CTempDir m_saved;
};

TEST_F(TlsLoginTest, StartTlsAndImplicitTlsWithAValidCertificateLogIn) {
    const std::string files = MakeCertificate("good", "IP:127.0.0.1");
    for (const bool implicit : {false, true}) {
        CTempDir saved;
        CMailSinkProcess sink(saved.Path(), 0,
                              {(implicit ? "implicit=" : "starttls=") + files, "login=me:s3cret"});
        ASSERT_GT(sink.Port(), 0);
        CSmtpOptions options;
        options.security = implicit ? CMailSecurity::Tls : CMailSecurity::StartTls;
        options.user = "me";
        options.password = "s3cret";
        options.caFile = CertOf(files);
        std::vector<std::string> transcript;
        CQuickPollConnection connection;
        connection.SetOptions(options);
        connection.SetTranscript([&](const std::string& line) { transcript.push_back(line); });
        EXPECT_TRUE(Send(connection, sink.Port())) << connection.LastFailure();
        EXPECT_TRUE(connection.TlsVersion().starts_with("TLS 1.")) << connection.TlsVersion();
        EXPECT_TRUE(connection.LoggedIn());
        EXPECT_FALSE(sink.WaitForMail(1).empty());
        for (const std::string& line : transcript)
            EXPECT_EQ(line.find("s3cret"), std::string::npos) << line;
        EXPECT_NE(std::find(transcript.begin(), transcript.end(), "C: ******** (password hidden)"),
                  transcript.end());
    }
}

TEST_F(TlsLoginTest, NoPasswordLeavesWithoutAValidTlsConnection) {
    const std::string other = MakeCertificate("other", "DNS:other.example.org");
    const std::string good = MakeCertificate("good", "IP:127.0.0.1");
    CSmtpOptions options;
    options.user = "me";
    options.password = "s3cret";
    const struct {
        const char* what;
        std::string sinkOption;
        CMailSecurity security;
        std::string caFile;
        const char* reason;
    } cases[] = {
        {"certificate for another host", "starttls=" + other, CMailSecurity::StartTls,
         CertOf(other), "certificate was refused"},
        {"implicit TLS, untrusted", "implicit=" + good, CMailSecurity::Tls, CertOf(other),
         "certificate was refused"},
        {"no STARTTLS offered", "size=100000", CMailSecurity::StartTls, CertOf(good),
         "does not offer STARTTLS"},
        {"plain text", "size=100000", CMailSecurity::None, "", "never sent without TLS"},
    };
    for (const auto& c : cases) {
        CTempDir saved;
        CMailSinkProcess sink(saved.Path(), 0, {c.sinkOption, "login=me:s3cret"});
        ASSERT_GT(sink.Port(), 0);
        options.security = c.security;
        options.caFile = c.caFile;
        CQuickPollConnection connection;
        connection.SetOptions(options);
        EXPECT_FALSE(Send(connection, sink.Port())) << c.what;
        EXPECT_NE(connection.LastFailure().find(c.reason), std::string::npos)
            << c.what << ": " << connection.LastFailure();
        EXPECT_FALSE(connection.WorthRetrying()) << c.what;
        EXPECT_FALSE(fs::exists(saved.File("logins.txt"))) << c.what; // never tried
    }
}

TEST_F(TlsLoginTest, LoopbackLoginWithoutTlsOnlyWhenAskedAndLongPasswords) {
    CMailSinkProcess sink(m_saved.Path(), 0, {"login=me:s3cret"});
    ASSERT_GT(sink.Port(), 0);
    CSmtpOptions options;
    options.user = "me";
    options.password = std::string(10000, 'p');
    options.allowLoginWithoutTlsOnLoopback = true;
    CQuickPollConnection tooLong;
    tooLong.SetOptions(options);
    EXPECT_FALSE(Send(tooLong, sink.Port()));
    EXPECT_EQ(tooLong.LastFailure(), "the user name and password are too long for an SMTP login");
    options.password = "s3cret";
    CQuickPollConnection connection;
    connection.SetOptions(options);
    EXPECT_TRUE(Send(connection, sink.Port())) << connection.LastFailure();
    EXPECT_EQ(Logins(), "PLAIN ok\n");
}

TEST_F(TlsLoginTest, UnsupportedLoginMethodsAndGarbageAfterStartTlsAreClearFailures) {
    CScriptedSmtpPeer peer([](CPeerSession& s) {
        s.Send("220 ready\r\n");
        s.ReadLine();
        s.Send("250-mx\r\n250-STARTTLS\r\n250 AUTH CRAM-MD5 DIGEST-MD5\r\n");
        if (s.ReadLine() == "STARTTLS\r\n")
            s.Send("220 go ahead\r\nxx injected\r\n");
        ServeCommands(s);
    });
    CSmtpOptions options;
    options.user = "me";
    options.password = "s3cret";
    options.allowLoginWithoutTlsOnLoopback = true;
    CQuickPollConnection methods;
    methods.SetOptions(options);
    EXPECT_FALSE(methods.Connect("127.0.0.1", peer.Port()));
    EXPECT_EQ(methods.LastFailure(),
              "the server offers only login methods Oculon does not support (CRAM-MD5 DIGEST-MD5)");
    options.security = CMailSecurity::StartTls;
    CQuickPollConnection garbage;
    garbage.SetOptions(options);
    EXPECT_FALSE(garbage.Connect("127.0.0.1", peer.Port()));
    EXPECT_FALSE(garbage.LastFailure().empty());
    ASSERT_TRUE(peer.WaitFinished(2));
    EXPECT_EQ(peer.Transcript(1).find("AUTH"), std::string::npos);
}

} // namespace
