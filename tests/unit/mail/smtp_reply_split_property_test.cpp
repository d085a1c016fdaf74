#include "ManualClock.h"
#include "mail/MailMessage.h"
#include "mail/SMTPConnection.h"

#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

// What real servers answered to one whole mail transaction (greeting, EHLO,
// MAIL, RCPT, DATA, end of data, QUIT).
const char* const kTranscripts[] = {
    // aiosmtpd 1.4
    "220 sink.test Python SMTP 1.4.3\r\n"
    "250-sink.test\r\n250-SIZE 33554432\r\n250-8BITMIME\r\n250-SMTPUTF8\r\n250 HELP\r\n"
    "250 OK\r\n250 OK\r\n354 End data with <CR><LF>.<CR><LF>\r\n"
    "250 Message accepted for delivery\r\n221 Bye\r\n",
    // a Postfix submission service
    "220-mx.example.org ESMTP Postfix (Debian/GNU)\r\n220 mx.example.org\r\n"
    "250-mx.example.org\r\n250-PIPELINING\r\n250-SIZE 10240000\r\n250-VRFY\r\n250-ETRN\r\n"
    "250-ENHANCEDSTATUSCODES\r\n250-8BITMIME\r\n250-DSN\r\n250 CHUNKING\r\n"
    "250 2.1.0 Ok\r\n250 2.1.5 Ok\r\n354 End data with <CR><LF>.<CR><LF>\r\n"
    "250 2.0.0 Ok: queued as 4F2A51C0123\r\n221 2.0.0 Bye\r\n",
};

class CSplitConnection : public CSMTPConnection {
public:
    explicit CSplitConnection(const IClock& clock) : CSMTPConnection(clock) {}
    bool Start(int fd) {
        AdoptConnectedSocket(fd);
        return Converse("127.0.0.1");
    }

protected:
    void Pause(int) override { std::this_thread::sleep_for(std::chrono::microseconds(200)); }
};

TEST(SmtpReplySplitProperty, AnySplitOfARealTranscriptReadsTheSame) {
    CManualClock clock;
    std::mt19937 random(20261207);
    for (const std::string transcript : kTranscripts) {
        for (int round = 0; round < 40; ++round) {
            int fds[2];
            ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds), 0);
            // Round 0 goes byte by byte; the others cut at random places.
            std::vector<std::string> pieces;
            for (size_t at = 0; at < transcript.size();) {
                const size_t n = round == 0 ? 1 : 1 + random() % 40;
                pieces.push_back(transcript.substr(at, n));
                at += n;
            }
            std::thread server([&pieces, fd = fds[1]] {
                for (const std::string& piece : pieces) {
                    ::send(fd, piece.data(), piece.size(), MSG_NOSIGNAL);
                    std::this_thread::sleep_for(std::chrono::microseconds(300));
                }
            });
            CMailMessage message(clock);
            message.SetFrom(CMailAddress("", "cam@example.org"));
            message.AddRecipient(CMailAddress("", "me@example.org"), RecipientType::To);
            message.SetBody("Report");
            {
                CSplitConnection connection(clock);
                EXPECT_TRUE(connection.Start(fds[0])) << connection.LastFailure();
                EXPECT_GT(connection.ServerSizeLimit(), 1000000u);
                EXPECT_TRUE(connection.HasExtension("8BITMIME"));
                EXPECT_TRUE(connection.SendMail(message)) << connection.LastFailure();
                EXPECT_TRUE(connection.Disconnect()) << connection.LastFailure();
            }
            server.join();
            ::close(fds[1]);
        }
    }
}

} // namespace
