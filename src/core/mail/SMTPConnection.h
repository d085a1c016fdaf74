#pragma once
#include "app/Clock.h"
#include "mail/MailSocket.h"

#include <cstdint>
#include <memory>
#include <string>

class CMailAddress;
class CMailMessage;

// The program's own minimal SMTP client: one plain TCP connection, HELO, mail
// transactions, QUIT. No authentication, no extensions, no retries: every step
// gets the one reply code it expects within the reply timeout or fails. Every
// failure leaves a code in the thread's mail last-error value (MailError.h).
// A connection belongs to the thread that created it.
class CSMTPConnection {
public:
    static constexpr uint16_t kDefaultPort = 25;
    static constexpr uint32_t kReplyTimeoutMs = 2000;
    static constexpr int kPollPauseMs = 250;
    // Far beyond any real reply; a longer text without a line end fails the read.
    static constexpr size_t kMaxReplyBytes = 65536;

    // The clock measures the reply timeout; tests pass one they move themselves.
    explicit CSMTPConnection(const IClock& clock = CSystemClock::Instance());
    // Says QUIT when still connected, then closes the socket.
    virtual ~CSMTPConnection();
    CSMTPConnection(const CSMTPConnection&) = delete;
    CSMTPConnection& operator=(const CSMTPConnection&) = delete;

    // True when the server greeted with 220 and accepted HELO with 250. A
    // refused or silent greeting or HELO still says QUIT, and the last-error
    // value and LastResponse then tell about the failed step, not about QUIT.
    bool Connect(const std::string& host, uint16_t port);
    // True when the server accepted the message with 250 after the end of data.
    bool SendMail(const CMailMessage& message);
    bool SendRcptTo(const CMailAddress& address);
    // True when QUIT was answered with 221; false when not connected.
    bool Disconnect();

    // Reads one reply; true when its code equals the expected one.
    virtual bool ReadResponse(int expectedCode);

    bool IsConnected() const { return m_connected; }
    // The text of the last reply read that failed, without its final line end.
    const std::string& LastResponse() const { return m_lastResponse; }
    uint32_t Timeout() const { return m_timeout; }

protected:
    // The receive loop under ReadResponse. The reply is complete at the first
    // line end anywhere in the text; its code is the number in its first three
    // characters. Grows beyond the caller's buffer in growStep steps.
    virtual bool ReceiveUntil(char* buffer, size_t capacity, const char* terminator,
                              int expectedCode, std::unique_ptr<char[]>& grownBuffer,
                              size_t growStep);
    // The wait between polls that found nothing to read.
    virtual void Pause(int ms);
    // Uses an already connected descriptor as the connection (reply-reader harnesses).
    void AdoptConnectedSocket(int handle);

private:
    bool SendText(const std::string& text);
    // Sends a command, reads the reply; a different code sets ERROR_BAD_COMMAND.
    bool Command(const std::string& text, int expectedCode);

    CMailSocket m_socket;
    bool m_connected = false;
    std::string m_lastResponse;
    uint32_t m_timeout = kReplyTimeoutMs;
    const IClock& m_clock;
};
