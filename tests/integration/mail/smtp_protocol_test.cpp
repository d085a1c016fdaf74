#include "ScriptedSmtpPeer.h"
#include "SmtpTestConnections.h"
#include "mail/MailAttachment.h"
#include "mail/MailError.h"
#include "mail/MailMessage.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::string Ehlo(const CSMTPConnection& connection) {
    return "EHLO " + connection.GreetingName() + "\r\n";
}

CMailMessage Message(const IClock& clock) {
    CMailMessage message(clock);
    message.SetMessageId("<t.1@example.org>");
    message.SetFrom(CMailAddress("Camera", "cam@example.org"));
    message.SetSubject("OCULON> test");
    message.SetBody("Report\n.\nend\n");
    return message;
}

TEST(SmtpProtocol, RefusedGreetingSaysQuitAndFails) {
    CScriptedSmtpPeer peer([](CPeerSession& s) {
        s.Send("554 go away\r\n");
        if (s.ReadLine() == "QUIT\r\n")
            s.Send("221 bye\r\n");
        s.WaitForClose();
    });
    CQuickPollConnection connection;
    EXPECT_FALSE(connection.Connect("127.0.0.1", peer.Port()));
    EXPECT_EQ(GetMailLastError(), mail_error::kUnexpectedReply);
    EXPECT_EQ(connection.LastResponse(), "554 go away");
    EXPECT_FALSE(connection.IsConnected());
    ASSERT_TRUE(peer.WaitFinished(1));
    EXPECT_EQ(peer.Transcript(), "QUIT\r\n");
}

TEST(SmtpProtocol, WholeSessionWithoutRecipientsGoesStraightToData) {
    CScriptedSmtpPeer peer([](CPeerSession& s) { ServeNormally(s); });
    CSteppedClock clock;
    const CMailMessage message = Message(clock);
    std::string ehlo;
    {
        CQuickPollConnection connection;
        ASSERT_TRUE(connection.Connect("127.0.0.1", peer.Port()));
        EXPECT_TRUE(connection.SendMail(message));
        ehlo = Ehlo(connection);
    } // destruction says QUIT
    // A name with a domain, or this end's address literal: never a bare host name.
    EXPECT_TRUE(ehlo == "EHLO [127.0.0.1]\r\n" || ehlo.find('.') != std::string::npos) << ehlo;
    ASSERT_TRUE(peer.WaitFinished(1));
    EXPECT_EQ(peer.Transcript(),
              ehlo + "MAIL FROM:<cam@example.org>\r\nDATA\r\n"
                     "From: Camera <cam@example.org>\r\nTo: \r\nSubject: OCULON> test\r\n"
                     "Date: Mon, 07 Dec 2026 14:05:00 +0100\r\nMessage-ID: <t.1@example.org>\r\n"
                     "X-Mailer: CSMTPConnection v1.3\r\n"
                     "MIME-Version: 1.0\r\nContent-type: text/plain; charset=US-ASCII\r\n\r\n"
                     "Report\r\n..\r\nend\r\n"
                     "\r\n.\r\nQUIT\r\n");
}

TEST(SmtpProtocol, RecipientsInOrderAndARefusedBccIsNamedWhileTheMailGoesOut) {
    CScriptedSmtpPeer peer(
        [](CPeerSession& s) { ServeNormally(s, "RCPT TO:<hidden@", "550 no such user\r\n"); });
    CSteppedClock clock;
    CMailMessage message = Message(clock);
    message.AddRecipient(CMailAddress("", "hidden@example.org"), RecipientType::Bcc);
    message.AddRecipient(CMailAddress("One", "one@example.org"), RecipientType::To);
    message.AddRecipient(CMailAddress("", "copy@example.org"), RecipientType::Cc);
    message.AddRecipient(CMailAddress("", "two@example.org"), RecipientType::To);
    CQuickPollConnection connection;
    ASSERT_TRUE(connection.Connect("127.0.0.1", peer.Port()));
    EXPECT_TRUE(connection.SendMail(message));
    EXPECT_EQ(connection.RefusedRecipients(),
              std::vector<std::string>{"hidden@example.org (550 no such user)"});
    EXPECT_TRUE(connection.IsConnected());
    const std::string ehlo = Ehlo(connection);
    EXPECT_TRUE(connection.Disconnect());
    EXPECT_FALSE(connection.Disconnect());
    ASSERT_TRUE(peer.WaitFinished(1));
    const std::string t = peer.Transcript();
    EXPECT_TRUE(t.starts_with(ehlo + "MAIL FROM:<cam@example.org>\r\n"
                                     "RCPT TO:<one@example.org>\r\n"
                                     "RCPT TO:<two@example.org>\r\n"
                                     "RCPT TO:<copy@example.org>\r\n"
                                     "RCPT TO:<hidden@example.org>\r\n"
                                     "DATA\r\n"))
        << t;
    EXPECT_TRUE(t.ends_with("\r\n.\r\nQUIT\r\n"));
}

TEST(SmtpProtocol, EveryRecipientRefusedFailsTheMailAndNamesThem) {
    CScriptedSmtpPeer peer(
        [](CPeerSession& s) { ServeNormally(s, "RCPT TO:", "451 4.3.0 try later\r\n"); });
    CSteppedClock clock;
    CMailMessage message = Message(clock);
    message.AddRecipient(CMailAddress("", "a@example.org"), RecipientType::To);
    message.AddRecipient(CMailAddress("", "b@example.org"), RecipientType::To);
    CQuickPollConnection connection;
    ASSERT_TRUE(connection.Connect("127.0.0.1", peer.Port()));
    EXPECT_FALSE(connection.SendMail(message));
    EXPECT_EQ(connection.LastFailure(),
              "the server refused every recipient: a@example.org (451 4.3.0 try later), "
              "b@example.org (451 4.3.0 try later)");
    EXPECT_TRUE(connection.WorthRetrying());
}

TEST(SmtpProtocol, ReplySplitOverSegmentsIsOneReply) {
    CScriptedSmtpPeer peer([](CPeerSession& s) {
        s.Send("220 ready\r\n");
        s.ReadLine();
        s.Send("25");
        s.Pause(300); // the client has read "25" alone by now
        s.Send("0 OK\r\n");
        if (s.ReadLine() == "QUIT\r\n")
            s.Send("221 bye\r\n");
        s.WaitForClose();
    });
    CQuickPollConnection connection;
    EXPECT_TRUE(connection.Connect("127.0.0.1", peer.Port()));
    EXPECT_TRUE(connection.Disconnect());
}

TEST(SmtpProtocol, MultiLineRepliesInSeparatePacketsAreOneReply) {
    CScriptedSmtpPeer peer([](CPeerSession& s) {
        s.Send("220-first line\r\n");
        s.Pause(300); // the client has read the first line alone by now
        s.Send("220 second line\r\n");
        s.ReadLine();
        s.Send("250-mx.example.org\r\n250-SIZE");
        s.Pause(300);
        s.Send(" 100000\r\n250 8BITMIME\r\n");
        ServeCommands(s);
    });
    CQuickPollConnection connection;
    ASSERT_TRUE(connection.Connect("127.0.0.1", peer.Port()));
    EXPECT_EQ(connection.ServerSizeLimit(), 100000u);
    EXPECT_TRUE(connection.HasExtension("8bitmime"));
    EXPECT_TRUE(connection.Disconnect());
    ASSERT_TRUE(peer.WaitFinished(1));
    EXPECT_EQ(peer.Transcript(), Ehlo(connection) + "QUIT\r\n");
}

TEST(SmtpProtocol, ServerRefusingEhloIsGreetedWithHelo) {
    CScriptedSmtpPeer peer([](CPeerSession& s) {
        s.Send("220 old server\r\n");
        s.ReadLine();
        s.Send("502 command not implemented\r\n");
        ServeCommands(s);
    });
    CQuickPollConnection connection;
    ASSERT_TRUE(connection.Connect("127.0.0.1", peer.Port()));
    const std::string name = connection.GreetingName();
    EXPECT_TRUE(connection.Disconnect());
    ASSERT_TRUE(peer.WaitFinished(1));
    EXPECT_EQ(peer.Transcript(), "EHLO " + name + "\r\nHELO " + name + "\r\nQUIT\r\n");
}

TEST(SmtpGreetingName, DomainNameElseCanonicalNameElseAddressLiteral) {
    const struct {
        const char* host;
        const char* canonical;
        const char* literal;
        const char* expected;
    } cases[] = {
        {"cam.example.org", "", "[192.0.2.7]", "cam.example.org"},
        {"vm", "vm.lan.example", "[192.0.2.7]", "vm.lan.example"},
        {"vm", "vm", "[192.0.2.7]", "[192.0.2.7]"},
        {"vm", "", "", "[127.0.0.1]"},
        {"192.0.2.7", "", "[192.0.2.7]", "[192.0.2.7]"},
        {"bad_name.example", "", "[192.0.2.7]", "[192.0.2.7]"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CSMTPConnection::ChooseGreetingName(c.host, c.canonical, c.literal), c.expected)
            << c.host;
}

TEST(SmtpProtocol, LongRepliesAreReadWhole) {
    const std::string longText(5000, 'x');
    CScriptedSmtpPeer peer([&longText](CPeerSession& s) {
        s.Send("220 " + std::string(300, 'g') + "\r\n");
        s.ReadLine();
        s.Send("250 ok\r\n");
        s.ReadLine();                       // MAIL FROM
        s.Send("451 " + longText + "\r\n"); // two growths beyond the first 256 bytes
        if (s.ReadLine() == "QUIT\r\n")
            s.Send("221 bye\r\n");
        s.WaitForClose();
    });
    CSteppedClock clock;
    CQuickPollConnection connection;
    ASSERT_TRUE(connection.Connect("127.0.0.1", peer.Port()));
    EXPECT_FALSE(connection.SendMail(Message(clock)));
    EXPECT_EQ(connection.LastResponse(), "451 " + longText);
    EXPECT_TRUE(connection.Disconnect());
}

TEST(SmtpProtocol, SilentServerTimesOutAfterTheGreetingTimeoutWithoutQuit) {
    // Five minutes for the greeting, or the shorter wait asked for (the test
    // mail's): given up at the first poll beyond them.
    const struct {
        int64_t cap;
        int pauses;
        const char* failure;
    } cases[] = {{0, 300000 / 15000 + 1, "no reply to the greeting within 5 minutes"},
                 {60000, 60000 / 15000 + 1, "no reply to the greeting within 60 seconds"}};
    for (const auto& c : cases) {
        CScriptedSmtpPeer peer([](CPeerSession& s) { s.WaitForClose(); });
        CSteppedClock clock;
        CSteppedConnection connection(clock, 15000);
        CSmtpOptions options;
        options.replyTimeoutCapMs = c.cap;
        connection.SetOptions(options);
        EXPECT_FALSE(connection.Connect("127.0.0.1", peer.Port()));
        ASSERT_EQ(connection.m_reads.size(), 1u);
        EXPECT_EQ(connection.m_reads[0].error, mail_error::kTimedOut);
        EXPECT_EQ(connection.m_reads[0].pauses, c.pauses);
        EXPECT_EQ(connection.LastFailure(), c.failure);
        EXPECT_TRUE(connection.WorthRetrying());
        ASSERT_TRUE(peer.WaitFinished(1));
        EXPECT_EQ(peer.Transcript(), ""); // a silent server gets no QUIT to wait for
    }
}

TEST(SmtpProtocol, EndOfDataWaitsTenMinutesAndASlowAcceptanceCounts) {
    CScriptedSmtpPeer peer([](CPeerSession& s) {
        s.Send("220 ready\r\n");
        for (int i = 0; i < 2; ++i) { // EHLO, MAIL FROM
            s.ReadLine();
            s.Send("250 ok\r\n");
        }
        s.ReadLine();
        s.Send("354 go ahead\r\n");
        s.ReadData();
        s.Pause(3000);
        s.Send("250 accepted late\r\n");
        if (s.ReadLine() == "QUIT\r\n")
            s.Send("221 bye\r\n");
        s.WaitForClose();
    });
    CSteppedClock clock;
    CQuickPollConnection connection; // real time: the acceptance comes after 3 s
    ASSERT_TRUE(connection.Connect("127.0.0.1", peer.Port()));
    EXPECT_TRUE(connection.SendMail(Message(clock)));
    EXPECT_EQ(CSMTPConnection::TimeoutMs(CSMTPConnection::Step::EndOfData), 600000);
}

TEST(SmtpProtocol, GarbageRepliesFailTheStep) {
    CScriptedSmtpPeer peer([](CPeerSession& s) {
        s.Send(std::string("\0\xff\x1bgarbage\r\n", 12));
        s.WaitForClose();
    });
    CSteppedClock clock;
    CSteppedConnection connection(clock);
    EXPECT_FALSE(connection.Connect("127.0.0.1", peer.Port()));
    ASSERT_FALSE(connection.m_reads.empty());
    EXPECT_EQ(connection.m_reads[0].error, mail_error::kUnexpectedReply);
    EXPECT_EQ(connection.m_reads[0].text, std::string("\0\xff\x1bgarbage", 10));
}

TEST(SmtpProtocol, EndlessLineWithoutLineEndIsCutOff) {
    CScriptedSmtpPeer peer([](CPeerSession& s) {
        s.Send(std::string(200000, 'z'));
        s.WaitForClose();
    });
    CSteppedClock clock;
    CSteppedConnection connection(clock);
    EXPECT_FALSE(connection.Connect("127.0.0.1", peer.Port()));
    ASSERT_FALSE(connection.m_reads.empty());
    EXPECT_EQ(connection.m_reads[0].error, mail_error::kUnexpectedReply);
    EXPECT_GE(connection.m_reads[0].text.size(), CSMTPConnection::kMaxReplyBytes);
    EXPECT_LT(connection.m_reads[0].text.size(), CSMTPConnection::kMaxReplyBytes + 8192);
}

TEST(SmtpProtocol, ServerHangingUpInsideDataFailsTheMail) {
    CScriptedSmtpPeer peer([](CPeerSession& s) {
        s.Send("220 ready\r\n");
        for (int i = 0; i < 3; ++i) { // HELO, MAIL FROM, RCPT TO
            s.ReadLine();
            s.Send("250 ok\r\n");
        }
        s.ReadLine();
        s.Send("354 go ahead\r\n");
        s.ReadLine(); // the first header line, then gone
    });
    CSteppedClock clock;
    CMailMessage message = Message(clock);
    message.AddRecipient(CMailAddress("", "me@example.org"), RecipientType::To);
    CMailAttachment big;
    {
        // A large part so that the sends run into the closed connection too.
        char path[] = "/tmp/oculon-mail-big-XXXXXX";
        const int fd = ::mkstemp(path);
        ASSERT_GE(fd, 0);
        const std::string bytes(4 << 20, '\x5a');
        ASSERT_EQ(::write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
        ::close(fd);
        ASSERT_TRUE(big.Load(path));
        ::unlink(path);
    }
    message.AddAttachment(&big);
    CSteppedConnection connection(clock);
    ASSERT_TRUE(connection.Connect("127.0.0.1", peer.Port()));
    EXPECT_FALSE(connection.SendMail(message));
    const int error = GetMailLastError();
    EXPECT_TRUE(error == EPIPE || error == ECONNRESET || error == mail_error::kCommandRefused)
        << error;
}

TEST(SmtpProtocol, NoConnectionMeansNothingIsSent) {
    CSteppedClock clock;
    CQuickPollConnection connection;
    EXPECT_FALSE(connection.Disconnect());
    EXPECT_FALSE(connection.SendMail(Message(clock)));
    SetMailLastError(0);
    EXPECT_FALSE(connection.Connect("no-such-host.invalid", 25));
    EXPECT_EQ(GetMailLastError(), mail_error::kInvalidArgument);
    EXPECT_FALSE(connection.Connect("enter smtp server here", 25));
    EXPECT_EQ(GetMailLastError(), mail_error::kInvalidArgument);
}

TEST(SmtpProtocol, RefusedConnectionReportsTheSocketError) {
    uint16_t port;
    {
        CScriptedSmtpPeer closed([](CPeerSession&) {});
        port = closed.Port();
    } // nobody listens there any more
    CQuickPollConnection connection;
    EXPECT_FALSE(connection.Connect("127.0.0.1", port));
    EXPECT_EQ(GetMailLastError(), ECONNREFUSED);
}

} // namespace
