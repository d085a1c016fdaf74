#include "mail/SMTPConnection.h"

#include "app/TextLines.h"
#include "mail/MailAttachment.h"
#include "mail/MailError.h"
#include "mail/MailMessage.h"
#include "mail/MailText.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <netdb.h>
#include <string_view>
#include <thread>
#include <unistd.h>

namespace {

std::string Upper(std::string text) {
    for (char& c : text)
        c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    return text;
}

// Reply text for a reason: one line, control bytes shown as '?'.
std::string Shown(std::string_view text) {
    std::string shown = JoinLines(text.substr(0, 300), " ");
    for (char& c : shown)
        if (static_cast<unsigned char>(c) < 0x20)
            c = '?';
    return shown;
}

std::string Duration(int64_t ms) {
    if (ms % 60000 == 0 && ms >= 120000)
        return std::to_string(ms / 60000) + " minutes";
    return std::to_string(ms / 1000) + " seconds";
}

std::string HostName() {
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0)
        return {};
    return name;
}

std::string CanonicalName(const std::string& host) {
    if (host.empty())
        return {};
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_flags = AI_CANONNAME;
    addrinfo* result = nullptr;
    std::string name;
    if (::getaddrinfo(host.c_str(), nullptr, &hints, &result) == 0 && result &&
        result->ai_canonname)
        name = result->ai_canonname;
    if (result)
        ::freeaddrinfo(result);
    return name;
}

// What can name a host at all: letters, digits, dots, hyphens, underscores.
bool LooksLikeHostName(const std::string& host) {
    return !host.empty() &&
           host.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
                                  "0123456789.-_") == std::string::npos;
}

bool IsDomainName(const std::string& name) {
    const size_t dot = name.find('.');
    return dot != std::string::npos && dot > 0 && name.back() != '.' &&
           name.find_first_not_of("0123456789.") != std::string::npos &&
           name.find_first_not_of(
               "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789.-") ==
               std::string::npos;
}

} // namespace

int64_t CSMTPConnection::TimeoutMs(Step step) {
    constexpr int64_t kMinute = 60000;
    switch (step) {
    case Step::Data:
        return 2 * kMinute;
    case Step::EndOfData:
        return 10 * kMinute;
    case Step::Quit:
        return kMinute;
    default:
        return 5 * kMinute;
    }
}

std::string CSMTPConnection::StepName(Step step) {
    switch (step) {
    case Step::Greeting:
        return "the greeting";
    case Step::Ehlo:
        return "EHLO";
    case Step::Helo:
        return "HELO";
    case Step::StartTls:
        return "STARTTLS";
    case Step::Auth:
        return "the login";
    case Step::MailFrom:
        return "MAIL FROM";
    case Step::RcptTo:
        return "RCPT TO";
    case Step::Data:
        return "DATA";
    case Step::EndOfData:
        return "the end of data";
    case Step::Quit:
        return "QUIT";
    }
    return "a command";
}

std::string CSMTPConnection::ChooseGreetingName(const std::string& hostName,
                                                const std::string& canonicalName,
                                                const std::string& addressLiteral) {
    if (IsDomainName(hostName))
        return hostName;
    if (IsDomainName(canonicalName))
        return canonicalName;
    if (!addressLiteral.empty())
        return addressLiteral;
    return "[127.0.0.1]";
}

int64_t CSMTPConnection::ReplyTimeoutMs(Step step) const {
    const int64_t rfc = TimeoutMs(step);
    return m_options.replyTimeoutCapMs > 0 ? std::min(rfc, m_options.replyTimeoutCapMs) : rfc;
}

CSMTPConnection::CSMTPConnection(const IClock& clock) : m_clock(clock) {}

CSMTPConnection::~CSMTPConnection() {
    if (m_connected)
        Disconnect();
    m_socket.Close();
}

void CSMTPConnection::Pause(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void CSMTPConnection::AdoptConnectedSocket(int handle) {
    m_socket.Adopt(handle);
    m_connected = true;
    m_broken = false;
    m_pending.clear();
    m_serverName = "the server";
}

bool CSMTPConnection::Fail(const std::string& reason, int code) {
    m_failure = reason;
    if (code != 0)
        SetMailLastError(code);
    return false;
}

bool CSMTPConnection::SendText(const std::string& text, const std::string& shown) {
    if (m_transcript)
        m_transcript("C: " +
                     (shown.empty() ? std::string(mail_text::WithoutLineEnds(text)) : shown));
    if (m_socket.Send(text.data(), text.size()))
        return true;
    m_broken = true;
    return Fail("connection to " + m_serverName +
                " lost while sending: " + MailErrorText(GetMailLastError()));
}

bool CSMTPConnection::Command(const std::string& text, int expectedCode, Step step,
                              const std::string& shown) {
    if (!SendText(text, shown))
        return false;
    ExpectReplyTo(step);
    if (!ReadResponse(expectedCode)) {
        if (m_lastCode != 0)
            SetMailLastError(mail_error::kCommandRefused);
        return false;
    }
    return true;
}

bool CSMTPConnection::Connect(const std::string& host, uint16_t port) {
    m_serverName = host + ":" + std::to_string(port);
    m_failure.clear();
    m_lastCode = 0;
    m_loggedIn = false;
    m_reached = false;
    m_tlsVersion.clear();
    m_settingsProblem = false;
    m_pending.clear();
    m_extensions.clear();
    // Text that cannot be a host name (the first start's placeholder, say)
    // stays wrong however often it is tried; a name that does not resolve now
    // may resolve once the network is up.
    if (!LooksLikeHostName(host)) {
        m_settingsProblem = true;
        return Fail("the mail server \"" + Shown(host) + "\" is not a host name",
                    mail_error::kInvalidArgument);
    }
    if (!m_socket.Create())
        return Fail("cannot open a network socket: " + MailErrorText(GetMailLastError()));
    if (!m_socket.Connect(host, port)) {
        const int code = GetMailLastError();
        if (code == mail_error::kInvalidArgument)
            return Fail("host not found: " + host);
        if (code == ECONNREFUSED)
            return Fail("connection refused by " + m_serverName);
        if (code == ETIMEDOUT)
            return Fail("no answer from " + m_serverName + " within " +
                        Duration(CMailSocket::kSendTimeoutMs));
        return Fail("cannot connect to " + m_serverName + ": " + MailErrorText(code));
    }
    m_connected = true;
    m_reached = true;
    m_broken = false;
    if (!Converse(host)) {
        // QUIT's own outcome would hide why the connection failed.
        const int code = GetMailLastError();
        const std::string response = m_lastResponse;
        const std::string failure = m_failure;
        const int replyCode = m_lastCode;
        Disconnect();
        SetMailLastError(code);
        m_lastResponse = response;
        m_failure = failure;
        m_lastCode = replyCode;
        return false;
    }
    return true;
}

bool CSMTPConnection::Converse(const std::string& host) {
    if (m_options.security == CMailSecurity::Tls && !StartTls(host))
        return false;
    ExpectReplyTo(Step::Greeting);
    if (!ReadResponse(220) || !Greet(false))
        return false;
    if (m_options.security == CMailSecurity::StartTls) {
        m_settingsProblem = !HasExtension("STARTTLS");
        if (m_settingsProblem)
            return Fail("the server " + m_serverName +
                            " does not offer STARTTLS, and the settings require TLS",
                        mail_error::kCommandRefused);
        if (!Command("STARTTLS\r\n", 220, Step::StartTls))
            return false;
        // Anything the server sent before the handshake was not protected.
        if (!m_pending.empty()) {
            m_broken = true;
            return Fail("the server sent data after agreeing to STARTTLS",
                        mail_error::kUnexpectedReply);
        }
        if (!StartTls(host) || !Greet(true))
            return false;
    }
    if (!m_options.user.empty() && !Login())
        return false;
    return true;
}

bool CSMTPConnection::StartTls(const std::string& host) {
    std::string failure;
    if (m_socket.StartTls(host, m_options.caFile, failure)) {
        m_tlsVersion = m_socket.TlsVersion();
        return true;
    }
    m_broken = true;
    m_settingsProblem = failure.starts_with("the server's certificate");
    return Fail("TLS with " + m_serverName + " failed: " + failure, mail_error::kConnectionClosed);
}

bool CSMTPConnection::Greet(bool afterTls) {
    if (m_greetingName.empty()) {
        const std::string host = HostName();
        m_greetingName = ChooseGreetingName(host, IsDomainName(host) ? "" : CanonicalName(host),
                                            m_socket.LocalAddressLiteral());
    }
    m_extensions.clear();
    if (!SendText("EHLO " + m_greetingName + "\r\n"))
        return false;
    ExpectReplyTo(Step::Ehlo);
    if (ReadResponse(250)) {
        size_t start = m_lastReply.find('\n');
        while (start != std::string::npos) {
            const size_t end = m_lastReply.find('\n', start + 1);
            std::string line = m_lastReply.substr(
                start + 1, end == std::string::npos ? std::string::npos : end - start - 1);
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            if (line.size() > 4)
                m_extensions.push_back(Upper(line.substr(4)));
            start = end;
        }
        return true;
    }
    // Servers from before extended SMTP refuse EHLO; TLS and login need it.
    const bool refused = m_lastCode >= 500 && m_lastCode <= 504;
    if (!refused || afterTls || m_options.security != CMailSecurity::None)
        return false;
    return Command("HELO " + m_greetingName + "\r\n", 250, Step::Helo);
}

bool CSMTPConnection::Login() {
    m_settingsProblem = true; // until the server accepted the login
    if (!m_socket.IsTls() && !(m_options.allowLoginWithoutTlsOnLoopback && m_socket.PeerIsLocal()))
        return Fail("the password is never sent without TLS: choose STARTTLS or TLS for " +
                        m_serverName,
                    mail_error::kCommandRefused);
    std::vector<std::string> mechanisms;
    for (const std::string& extension : m_extensions) {
        if (!extension.starts_with("AUTH ") && !extension.starts_with("AUTH="))
            continue;
        size_t at = 5;
        while (at < extension.size()) {
            const size_t end = std::min(extension.find(' ', at), extension.size());
            if (end > at)
                mechanisms.push_back(extension.substr(at, end - at));
            at = end + 1;
        }
    }
    auto offers = [&mechanisms](const char* name) {
        return std::find(mechanisms.begin(), mechanisms.end(), name) != mechanisms.end();
    };
    const std::string masked = "******** (password hidden)";
    // RFC 4954 lets a server refuse longer lines; say so before sending any of it.
    constexpr size_t kMaxAuthLine = 12288;
    if ((m_options.user.size() + m_options.password.size() + 2 + 2) / 3 * 4 + 2 > kMaxAuthLine)
        return Fail("the user name and password are too long for an SMTP login",
                    mail_error::kInvalidArgument);
    bool ok;
    if (offers("PLAIN")) {
        ok = Command("AUTH PLAIN\r\n", 334, Step::Auth) &&
             Command(mail_text::Base64(std::string(1, '\0') + m_options.user + '\0' +
                                       m_options.password) +
                         "\r\n",
                     235, Step::Auth, masked);
    } else if (offers("LOGIN")) {
        ok = Command("AUTH LOGIN\r\n", 334, Step::Auth) &&
             Command(mail_text::Base64(m_options.user) + "\r\n", 334, Step::Auth,
                     "******** (user name hidden)") &&
             Command(mail_text::Base64(m_options.password) + "\r\n", 235, Step::Auth, masked);
    } else {
        std::string offered;
        for (const std::string& m : mechanisms)
            offered += (offered.empty() ? "" : " ") + m;
        return Fail(mechanisms.empty()
                        ? "the server " + m_serverName + " offers no login (AUTH)"
                        : "the server offers only login methods Oculon does not support (" +
                              offered + ")",
                    mail_error::kCommandRefused);
    }
    if (!ok) {
        m_settingsProblem = m_lastCode >= 500;
        return m_lastCode == 0 ? false : Fail("login refused: " + Shown(m_lastResponse));
    }
    m_settingsProblem = false;
    m_loggedIn = true;
    return true;
}

bool CSMTPConnection::HasExtension(const std::string& keyword) const {
    const std::string wanted = Upper(keyword);
    return std::any_of(m_extensions.begin(), m_extensions.end(), [&](const std::string& e) {
        return e == wanted || e.starts_with(wanted + " ") || e.starts_with(wanted + "=");
    });
}

uint64_t CSMTPConnection::ServerSizeLimit() const {
    for (const std::string& e : m_extensions) {
        if (e.starts_with("SIZE "))
            return std::strtoull(e.c_str() + 5, nullptr, 10);
    }
    return 0;
}

bool CSMTPConnection::SendMail(const CMailMessage& message) {
    m_refused.clear();
    if (!m_connected || m_broken)
        return Fail("not connected");
    if (!Command("MAIL FROM:<" + mail_text::WithoutLineEnds(message.From().m_address) + ">\r\n",
                 250, Step::MailFrom))
        return m_lastCode == 0 ? false
                               : Fail("the server refused the sender: " + Shown(m_lastResponse));
    int tried = 0;
    int accepted = 0;
    for (const RecipientType type : {RecipientType::To, RecipientType::Cc, RecipientType::Bcc}) {
        for (const CMailAddress& address : message.Recipients(type)) {
            ++tried;
            if (SendRcptTo(address)) {
                ++accepted;
                continue;
            }
            if (m_lastCode == 0)
                return false;
            m_refused.push_back(mail_text::WithoutLineEnds(address.m_address) + " (" +
                                Shown(m_lastResponse) + ")");
        }
    }
    if (tried > 0 && accepted == 0) {
        std::string all;
        for (const std::string& r : m_refused)
            all += (all.empty() ? "" : ", ") + r;
        return Fail("the server refused every recipient: " + all);
    }
    if (!Command("DATA\r\n", 354, Step::Data))
        return m_lastCode == 0 ? false : Fail("the server refused DATA: " + Shown(m_lastResponse));
    size_t bytes = 0;
    const bool sent = message.ForEachPiece([this, &bytes](std::string_view piece) {
        bytes += piece.size();
        if (m_socket.Send(piece.data(), piece.size()))
            return true;
        m_broken = true;
        return false;
    });
    if (m_transcript)
        m_transcript("C: (the message, " + std::to_string(bytes) + " bytes)");
    if (!sent) {
        m_lastCode = 0; // the 354 is not the server's word on the message: worth retrying
        return Fail("connection to " + m_serverName +
                    " lost while sending the message: " + MailErrorText(GetMailLastError()));
    }
    if (!Command("\r\n.\r\n", 250, Step::EndOfData, "."))
        return m_lastCode == 0 ? false
                               : Fail("the server refused the message: " + Shown(m_lastResponse));
    return true;
}

bool CSMTPConnection::SendRcptTo(const CMailAddress& address) {
    return Command("RCPT TO:<" + mail_text::WithoutLineEnds(address.m_address) + ">\r\n", 250,
                   Step::RcptTo);
}

bool CSMTPConnection::Disconnect() {
    bool result = false;
    if (m_connected) {
        // A server that stopped answering or hung up gets no QUIT to wait for.
        if (!m_broken && SendText("QUIT\r\n")) {
            ExpectReplyTo(Step::Quit);
            result = ReadResponse(221);
            if (!result && m_lastCode != 0)
                SetMailLastError(mail_error::kCommandRefused);
        }
        m_connected = false;
    }
    m_socket.Close();
    m_pending.clear();
    return result;
}

bool CSMTPConnection::ReadLine(std::string& line, int64_t deadline) {
    for (;;) {
        const size_t lf = m_pending.find('\n');
        if (lf != std::string::npos) {
            line.assign(m_pending, 0, lf);
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            m_pending.erase(0, lf + 1);
            return true;
        }
        const std::string step = StepName(m_step);
        if (m_pending.size() >= kMaxReplyBytes) {
            line = m_pending;
            m_broken = true;
            return Fail("the reply to " + step + " never ends", mail_error::kUnexpectedReply);
        }
        if (m_clock.SteadyMs() > deadline) {
            line = m_pending;
            m_broken = true;
            return Fail("no reply to " + step + " within " + Duration(ReplyTimeoutMs(m_step)),
                        mail_error::kTimedOut);
        }
        const CMailSocket::PollResult poll = m_socket.PollReadable();
        if (poll == CMailSocket::PollResult::Error) {
            line = m_pending;
            m_broken = true;
            return Fail("connection to " + m_serverName + " lost while waiting for the reply to " +
                        step);
        }
        if (poll == CMailSocket::PollResult::NotReadable) {
            Pause(kPollPauseMs);
            continue;
        }
        char buffer[4096];
        const ssize_t received = m_socket.Receive(buffer, sizeof buffer);
        if (received == CMailSocket::kNothingYet) {
            Pause(kPollPauseMs);
            continue;
        }
        if (received <= 0) {
            line = m_pending;
            m_broken = true;
            if (received < 0)
                return Fail("connection to " + m_serverName +
                            " lost while waiting for the reply to " + step + ": " +
                            MailErrorText(GetMailLastError()));
            return Fail("the server closed the connection instead of answering " + step,
                        mail_error::kConnectionClosed);
        }
        m_pending.append(buffer, static_cast<size_t>(received));
    }
}

bool CSMTPConnection::ReadResponse(int expectedCode) {
    m_lastCode = 0;
    const int64_t deadline = m_clock.SteadyMs() + ReplyTimeoutMs(m_step);
    std::string text;
    for (;;) {
        std::string line;
        const bool complete = ReadLine(line, deadline);
        if (!text.empty() || !line.empty())
            text += (text.empty() ? "" : "\r\n") + line;
        if (!complete) {
            m_lastResponse = text;
            return false;
        }
        if (m_transcript)
            m_transcript("S: " + Shown(line));
        const bool valid = line.size() >= 3 && std::isdigit(static_cast<unsigned char>(line[0])) &&
                           std::isdigit(static_cast<unsigned char>(line[1])) &&
                           std::isdigit(static_cast<unsigned char>(line[2])) &&
                           (line.size() == 3 || line[3] == ' ' || line[3] == '-');
        if (!valid) {
            m_lastResponse = text;
            m_broken = true;
            return Fail("the reply to " + StepName(m_step) + " is not SMTP: " + Shown(line),
                        mail_error::kUnexpectedReply);
        }
        if (text.size() >= kMaxReplyBytes) {
            m_lastResponse = text;
            m_broken = true;
            return Fail("the reply to " + StepName(m_step) + " never ends",
                        mail_error::kUnexpectedReply);
        }
        if (line.size() > 3 && line[3] == '-')
            continue;
        m_lastCode = std::stoi(line.substr(0, 3));
        m_lastReply = text;
        if (m_lastCode == expectedCode)
            return true;
        m_lastResponse = text;
        return Fail("the server refused " + StepName(m_step) + ": " + Shown(text),
                    mail_error::kUnexpectedReply);
    }
}
