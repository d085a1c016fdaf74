#include "ScriptedSmtpPeer.h"
#include "SmtpTestConnections.h"
#include "mail/MailAttachment.h"
#include "mail/MailError.h"
#include "mail/MailMessage.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const std::string kHelo = "HELO " + LocalHostNameForHelo() + "\r\n";

CMailMessage Message(const IClock& clock) {
    CMailMessage message(clock);
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
    {
        CQuickPollConnection connection;
        ASSERT_TRUE(connection.Connect("127.0.0.1", peer.Port()));
        EXPECT_TRUE(connection.SendMail(message));
    } // destruction says QUIT
    ASSERT_TRUE(peer.WaitFinished(1));
    EXPECT_EQ(peer.Transcript(),
              kHelo + "MAIL FROM:<cam@example.org>\r\nDATA\r\n"
                      "From: Camera <cam@example.org>\r\nTo: \r\nSubject: OCULON> test\r\n"
                      "Date: Mon, 07 Dec 2026 14:05:00 +0100\r\nX-Mailer: CSMTPConnection v1.3\r\n"
                      "MIME-Version: 1.0\r\nContent-type: text/plain; charset=US-ASCII\r\n\r\n"
                      "Report\r\n..\r\nend\r\n"
                      "\r\n.\r\nQUIT\r\n");
}

TEST(SmtpProtocol, RecipientsInOrderAndARefusedBccFailsTheMail) {
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
    EXPECT_FALSE(connection.SendMail(message));
    EXPECT_EQ(GetMailLastError(), mail_error::kCommandRefused);
    EXPECT_EQ(connection.LastResponse(), "550 no such user");
    EXPECT_TRUE(connection.IsConnected()); // no RSET; the caller decides
    EXPECT_TRUE(connection.Disconnect());
    EXPECT_FALSE(connection.Disconnect());
    ASSERT_TRUE(peer.WaitFinished(1));
    EXPECT_EQ(peer.Transcript(), kHelo + "MAIL FROM:<cam@example.org>\r\n"
                                         "RCPT TO:<one@example.org>\r\n"
                                         "RCPT TO:<two@example.org>\r\n"
                                         "RCPT TO:<copy@example.org>\r\n"
                                         "RCPT TO:<hidden@example.org>\r\n"
                                         "QUIT\r\n");
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

TEST(SmtpProtocol, MultiLineGreetingPassesButItsSecondLineFailsHelo) {
    CScriptedSmtpPeer peer([](CPeerSession& s) {
        s.Send("220-first line\r\n");
        // The client answers the first line alone with HELO...
        if (s.ReadLine().rfind("HELO ", 0) != 0)
            return;
        // ...and then takes the greeting's second line for the HELO reply.
        s.Send("220 second line\r\n");
        if (s.ReadLine() == "QUIT\r\n")
            s.Send("221 bye\r\n");
        s.WaitForClose();
    });
    CQuickPollConnection connection;
    EXPECT_FALSE(connection.Connect("127.0.0.1", peer.Port()));
    EXPECT_EQ(GetMailLastError(), mail_error::kUnexpectedReply);
    EXPECT_EQ(connection.LastResponse(), "220 second line");
    ASSERT_TRUE(peer.WaitFinished(1));
    EXPECT_EQ(peer.Transcript(), kHelo + "QUIT\r\n");
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

TEST(SmtpProtocol, SilentServerTimesOutAfterTheReplyTimeout) {
    CScriptedSmtpPeer peer([](CPeerSession& s) { s.WaitForClose(); });
    CSteppedClock clock;
    CSteppedConnection connection(clock);
    EXPECT_FALSE(connection.Connect("127.0.0.1", peer.Port()));
    // The greeting read and the read of QUIT's reply each give up once more
    // than 2000 ms passed: after nine 250 ms pauses.
    ASSERT_EQ(connection.m_reads.size(), 2u);
    for (const auto& read : connection.m_reads) {
        EXPECT_FALSE(read.ok);
        EXPECT_EQ(read.error, mail_error::kTimedOut);
        EXPECT_EQ(read.pauses, 9);
    }
    EXPECT_EQ(GetMailLastError(), mail_error::kTimedOut); // why Connect failed, not QUIT
    EXPECT_EQ(clock.SteadyMs(), 18 * CSMTPConnection::kPollPauseMs);
    ASSERT_TRUE(peer.WaitFinished(1));
    EXPECT_EQ(peer.Transcript(), "QUIT\r\n");
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
