#include "mail/SMTPConnection.h"

#include "mail/MailAttachment.h"
#include "mail/MailError.h"
#include "mail/MailMessage.h"
#include "mail/MailText.h"

#include <chrono>
#include <cstring>
#include <string_view>
#include <thread>
#include <unistd.h>

namespace {

// The number at the start of the reply's first three characters, as the
// classic reply readers take it ("25" followed by garbage is 25).
int ReplyCode(const char* text, size_t length) {
    const size_t n = length < 3 ? length : 3;
    size_t i = 0;
    while (i < n && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    bool negative = false;
    if (i < n && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    int code = 0;
    for (; i < n && text[i] >= '0' && text[i] <= '9'; ++i)
        code = code * 10 + (text[i] - '0');
    return negative ? -code : code;
}

std::string LocalHostName() {
    char name[100] = {};
    if (::gethostname(name, sizeof name - 1) != 0 || name[0] == '\0')
        return "localhost";
    return name;
}

} // namespace

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
}

bool CSMTPConnection::SendText(const std::string& text) {
    return m_socket.Send(text.data(), text.size());
}

bool CSMTPConnection::Command(const std::string& text, int expectedCode) {
    if (!SendText(text))
        return false;
    if (!ReadResponse(expectedCode)) {
        SetMailLastError(mail_error::kCommandRefused);
        return false;
    }
    return true;
}

bool CSMTPConnection::Connect(const std::string& host, uint16_t port) {
    if (!m_socket.Create())
        return false;
    if (!m_socket.Connect(host, port))
        return false;
    m_connected = true;
    if (!ReadResponse(220) ||
        !(SendText("HELO " + LocalHostName() + "\r\n") && ReadResponse(250))) {
        // QUIT's own outcome would hide why the connection failed.
        const int code = GetMailLastError();
        const std::string response = m_lastResponse;
        Disconnect();
        SetMailLastError(code);
        m_lastResponse = response;
        return false;
    }
    return true;
}

bool CSMTPConnection::SendMail(const CMailMessage& message) {
    if (!m_connected)
        return false;
    if (!Command("MAIL FROM:<" + mail_text::WithoutLineEnds(message.From().m_address) + ">\r\n",
                 250))
        return false;
    for (const RecipientType type : {RecipientType::To, RecipientType::Cc, RecipientType::Bcc}) {
        for (const CMailAddress& address : message.Recipients(type)) {
            if (!SendRcptTo(address))
                return false;
        }
    }
    if (!Command("DATA\r\n", 354))
        return false;
    const bool sent = message.ForEachPiece(
        [this](std::string_view piece) { return m_socket.Send(piece.data(), piece.size()); });
    if (!sent)
        return false;
    return Command("\r\n.\r\n", 250);
}

bool CSMTPConnection::SendRcptTo(const CMailAddress& address) {
    return Command("RCPT TO:<" + mail_text::WithoutLineEnds(address.m_address) + ">\r\n", 250);
}

bool CSMTPConnection::Disconnect() {
    bool result = false;
    if (m_connected) {
        SendText("QUIT\r\n");
        result = ReadResponse(221);
        if (!result)
            SetMailLastError(mail_error::kCommandRefused);
        m_connected = false;
    }
    m_socket.Close();
    return result;
}

bool CSMTPConnection::ReadResponse(int expectedCode) {
    char buffer[256];
    std::unique_ptr<char[]> grown;
    return ReceiveUntil(buffer, sizeof buffer, "\r\n", expectedCode, grown, 4096);
}

bool CSMTPConnection::ReceiveUntil(char* buffer, size_t capacity, const char* terminator,
                                   int expectedCode, std::unique_ptr<char[]>& grownBuffer,
                                   size_t growStep) {
    char* text = buffer;
    size_t length = 0;
    const std::string_view term(terminator);
    int64_t lastActivity = m_clock.SteadyMs();
    auto fail = [&](int code) {
        text[length] = '\0';
        if (code != 0)
            SetMailLastError(code);
        m_lastResponse.assign(text, length);
        return false;
    };
    for (;;) {
        if (m_clock.SteadyMs() - lastActivity > static_cast<int64_t>(m_timeout))
            return fail(mail_error::kTimedOut);
        const CMailSocket::PollResult poll = m_socket.PollReadable();
        if (poll == CMailSocket::PollResult::Error)
            return fail(0);
        if (poll == CMailSocket::PollResult::NotReadable) {
            Pause(kPollPauseMs);
            continue;
        }
        const size_t room = capacity > length + 1 ? capacity - length - 1 : 0;
        const ssize_t received = m_socket.Receive(text + length, room);
        if (received < 0)
            return fail(0);
        if (received == 0) {
            // The server hung up: nothing more will come, but the read still ends
            // by its timeout. Waiting here keeps a closed socket from spinning.
            Pause(kPollPauseMs);
            continue;
        }
        lastActivity = m_clock.SteadyMs();
        length += static_cast<size_t>(received);
        text[length] = '\0';
        if (static_cast<size_t>(received) == room) {
            const size_t newCapacity = capacity + growStep;
            auto bigger = std::make_unique<char[]>(newCapacity);
            std::memcpy(bigger.get(), text, length + 1);
            grownBuffer = std::move(bigger);
            text = grownBuffer.get();
            capacity = newCapacity;
        }
        const std::string_view receivedText(text, length);
        if (receivedText.find(term) == std::string_view::npos) {
            // A server that streams without ever ending its line must not eat memory.
            if (length >= kMaxReplyBytes)
                return fail(mail_error::kUnexpectedReply);
            continue;
        }
        if (receivedText.ends_with(term)) {
            length -= term.size();
            text[length] = '\0';
        }
        if (ReplyCode(text, length) == expectedCode)
            return true;
        return fail(mail_error::kUnexpectedReply);
    }
}
