// Any bytes a mail server sends must be read without a crash, without reading
// past what arrived, and without waiting longer than the reply timeout allows:
// the input's first byte picks the path (plain, STARTTLS, login), the rest is
// the server's whole output for one session: greeting, EHLO and its
// extensions, STARTTLS or AUTH replies, one mail transaction.
//
// Run: scripts/fuzz.sh SECONDS (builds every harness with clang and libFuzzer),
// or build/fuzz/fuzz_smtp_reply -max_total_time=300 CORPUS_FOLDER after it.
// First long run: 300 s, 3.7 million inputs, no finding.
#include "app/Clock.h"
#include "mail/MailError.h"
#include "mail/MailMessage.h"
#include "mail/SMTPConnection.h"

#include <cstdint>
#include <cstdlib>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// Time moves only by the reader's own pauses, so a silent end costs nothing.
class CPausedClock : public IClock {
public:
    int64_t SteadyMs() const override { return m_ms; }
    int64_t WallSeconds() const override { return m_ms / 1000; }
    CLocalTime Local() const override { return CLocalTime{}; }
    int64_t m_ms = 0;
};

class CFuzzConnection : public CSMTPConnection {
public:
    explicit CFuzzConnection(CPausedClock& clock) : CSMTPConnection(clock), m_clock(clock) {}
    bool Start(int fd) {
        AdoptConnectedSocket(fd);
        return Converse("127.0.0.1");
    }
    int m_pauses = 0;

protected:
    void Pause(int ms) override {
        ++m_pauses;
        m_clock.m_ms += ms;
    }

private:
    CPausedClock& m_clock;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    const uint8_t mode = data[0] % 3;
    ++data;
    --size;
    int fds[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0)
        return 0;
    // The whole reply stream is queued before reading starts (inputs stay far
    // below the socket buffer), then the server hangs up.
    size_t written = 0;
    while (written < size) {
        const ssize_t n = ::send(fds[1], data + written, size - written, MSG_NOSIGNAL);
        if (n <= 0)
            break;
        written += static_cast<size_t>(n);
    }
    ::close(fds[1]);

    CPausedClock clock;
    {
        CSmtpOptions options;
        options.security = mode == 1 ? CMailSecurity::StartTls : CMailSecurity::None;
        if (mode == 2) {
            options.user = "user";
            options.password = "secret";
            options.allowLoginWithoutTlsOnLoopback = true; // a socket pair is this machine
        }
        CFuzzConnection connection(clock);
        connection.SetOptions(options);
        const bool ok = connection.Start(fds[0]);
        // Nothing is ever read that the server did not send (each line is kept
        // with a CR LF end, so a bare LF may grow by one byte), and no read
        // waits beyond the longest timeout.
        if (connection.LastResponse().size() > 2 * size ||
            clock.m_ms > 2 * CSMTPConnection::TimeoutMs(CSMTPConnection::Step::EndOfData))
            std::abort();
        if (ok) {
            CMailMessage message(clock);
            message.SetFrom(CMailAddress("", "cam@example.org"));
            message.AddRecipient(CMailAddress("", "me@example.org"), RecipientType::To);
            message.SetBody("Report");
            connection.SendMail(message);
            if (connection.LastResponse().size() > 2 * size)
                std::abort();
        }
        // QUIT while our pauses still move the clock (the base destructor's would not).
        connection.Disconnect();
    }
    return 0;
}
