#pragma once
#include "app/Clock.h"
#include "mail/MailSocket.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class CMailAddress;
class CMailMessage;

enum class CMailSecurity { None = 0, StartTls = 1, Tls = 2 };

// How a connection protects itself and logs in; the defaults are a plain
// connection without login.
struct CSmtpOptions {
    CMailSecurity security = CMailSecurity::None;
    std::string user; // empty: no login
    std::string password;
    // Login without TLS only to a server on this machine, and only when asked.
    bool allowLoginWithoutTlsOnLoopback = false;
    // Trusted certificates instead of the system's store (tests only).
    std::string caFile;
    // A shorter wait than RFC 5321's for every reply, for someone watching; 0: RFC 5321's.
    int64_t replyTimeoutCapMs = 0;
};

// The program's own SMTP client: EHLO (HELO for servers that refuse it),
// STARTTLS or implicit TLS, AUTH PLAIN/LOGIN, mail transactions, QUIT. Replies
// are read line by line as RFC 5321 writes them, whatever the packet
// boundaries, each within its RFC 5321 timeout. Every failure leaves a code in
// the thread's mail last-error value (MailError.h) and a reason in plain words.
// A connection belongs to the thread that created it.
class CSMTPConnection {
public:
    static constexpr uint16_t kDefaultPort = 25;
    static constexpr uint16_t kSubmissionPort = 587;
    static constexpr uint16_t kImplicitTlsPort = 465;
    static constexpr int kPollPauseMs = 250;
    // Far beyond any real reply; a longer one fails the read.
    static constexpr size_t kMaxReplyBytes = 65536;

    // Which command a reply answers; it fixes the reply's timeout and names
    // the step in reasons.
    enum class Step {
        Greeting,
        Ehlo,
        Helo,
        StartTls,
        Auth,
        MailFrom,
        RcptTo,
        Data,
        EndOfData,
        Quit
    };
    static int64_t TimeoutMs(Step step);
    static std::string StepName(Step step);

    // The clock measures the reply timeouts; tests pass one they move themselves.
    explicit CSMTPConnection(const IClock& clock = CSystemClock::Instance());
    // Says QUIT when still connected, then closes the socket.
    virtual ~CSMTPConnection();
    CSMTPConnection(const CSMTPConnection&) = delete;
    CSMTPConnection& operator=(const CSMTPConnection&) = delete;

    void SetOptions(const CSmtpOptions& options) { m_options = options; }
    // Every line sent ("C: ...") and received ("S: ..."), credentials masked.
    void SetTranscript(std::function<void(const std::string&)> transcript) {
        m_transcript = std::move(transcript);
    }

    // True when the server greeted, accepted EHLO (or HELO) and, as the
    // options ask, TLS and the login. A failure still says QUIT when the
    // server listens, and LastFailure then tells about the failed step.
    bool Connect(const std::string& host, uint16_t port);
    // True when the server accepted the message with 250 after the end of
    // data. Every recipient gets its RCPT; the message goes out when at least
    // one was accepted, and RefusedRecipients names the others.
    bool SendMail(const CMailMessage& message);
    bool SendRcptTo(const CMailAddress& address);
    // True when QUIT was answered with 221; false when not connected.
    bool Disconnect();

    // Reads one whole reply; true when its code equals the expected one.
    virtual bool ReadResponse(int expectedCode);

    bool IsConnected() const { return m_connected; }
    // The text of the last reply read that failed, lines joined by CR LF.
    const std::string& LastResponse() const { return m_lastResponse; }
    // The code of the last reply read; 0 when none came.
    int LastReplyCode() const { return m_lastCode; }
    // Why the last operation failed, in plain words.
    const std::string& LastFailure() const { return m_failure; }
    // Trying again later may help: the server was unreachable, silent or
    // answered 4xx. Not after a 5xx or a problem with the settings (TLS, login).
    bool WorthRetrying() const {
        return !m_settingsProblem && (m_lastCode == 0 || (m_lastCode >= 400 && m_lastCode < 500));
    }
    const std::vector<std::string>& RefusedRecipients() const { return m_refused; }

    // What the server announced in its EHLO reply.
    bool HasExtension(const std::string& keyword) const;
    // The SIZE limit the server announced; 0 when none.
    uint64_t ServerSizeLimit() const;
    // "TLS 1.3" and the like once TLS was agreed, kept after the connection ends.
    const std::string& TlsVersion() const { return m_tlsVersion; }
    // The TCP connection to the server was made (the last Connect got that far).
    bool ReachedServer() const { return m_reached; }
    bool LoggedIn() const { return m_loggedIn; }
    // The name the greeting gave for this machine.
    const std::string& GreetingName() const { return m_greetingName; }

    // The name to greet with: a host name with a domain as it is, else its
    // canonical name when that has one, else the address literal.
    static std::string ChooseGreetingName(const std::string& hostName,
                                          const std::string& canonicalName,
                                          const std::string& addressLiteral);

protected:
    // The wait between polls that found nothing to read.
    virtual void Pause(int ms);
    // Uses an already connected descriptor as the connection (reply-reader harnesses).
    void AdoptConnectedSocket(int handle);
    // Everything after the TCP connection: greeting, EHLO, TLS, login.
    bool Converse(const std::string& host);
    // Which step the next reply read answers.
    void ExpectReplyTo(Step step) { m_step = step; }

private:
    bool SendText(const std::string& text, const std::string& shown = {});
    // Sends a command, reads the reply; a different code sets ERROR_BAD_COMMAND.
    bool Command(const std::string& text, int expectedCode, Step step,
                 const std::string& shown = {});
    bool Greet(bool afterTls);
    bool StartTls(const std::string& host);
    bool Login();
    // One line of the reply into line; false on timeout, hang-up or error.
    bool ReadLine(std::string& line, int64_t deadline);
    bool Fail(const std::string& reason, int code = 0);
    // The reply timeout of a step with the options' cap.
    int64_t ReplyTimeoutMs(Step step) const;
    std::string Refusal() const;

    CMailSocket m_socket;
    bool m_connected = false;
    std::string m_lastResponse;
    const IClock& m_clock;
    CSmtpOptions m_options;
    std::function<void(const std::string&)> m_transcript;
    std::string m_pending; // received bytes not yet taken as lines
    std::vector<std::string> m_extensions;
    std::vector<std::string> m_refused;
    std::string m_failure;
    std::string m_greetingName;
    std::string m_tlsVersion;
    std::string m_serverName; // host:port, for reasons
    Step m_step = Step::Greeting;
    std::string m_lastReply; // the last whole reply, lines joined by CR LF
    int m_lastCode = 0;
    bool m_loggedIn = false;
    bool m_reached = false;
    // Timed out, hung up or out of step: nothing more is said, not even QUIT.
    bool m_broken = false;
    bool m_settingsProblem = false;
};
