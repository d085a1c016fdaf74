#include "mail/MailSocket.h"

#include "mail/MailError.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

CMailSocket::~CMailSocket() {
    Close();
}

bool CMailSocket::Create() {
    Close();
    m_handle = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (m_handle < 0) {
        SetMailLastError(errno);
        return false;
    }
    timeval tv{};
    tv.tv_sec = kSendTimeoutMs / 1000;
    tv.tv_usec = (kSendTimeoutMs % 1000) * 1000;
    ::setsockopt(m_handle, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
    return true;
}

bool CMailSocket::Connect(const std::string& host, uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    if (::inet_pton(AF_INET, host.c_str(), &address.sin_addr) != 1) {
        addrinfo hints{};
        hints.ai_family = AF_INET;
        hints.ai_socktype = SOCK_STREAM;
        addrinfo* result = nullptr;
        if (host.empty() || ::getaddrinfo(host.c_str(), nullptr, &hints, &result) != 0 || !result) {
            if (result)
                ::freeaddrinfo(result);
            SetMailLastError(mail_error::kInvalidArgument);
            return false;
        }
        address.sin_addr = reinterpret_cast<const sockaddr_in*>(result->ai_addr)->sin_addr;
        ::freeaddrinfo(result);
    }
    if (m_handle < 0) {
        SetMailLastError(EBADF);
        return false;
    }
    int rc;
    do {
        rc = ::connect(m_handle, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        // Linux reports a connect cut short by the send timeout as "in progress".
        SetMailLastError(errno == EINPROGRESS ? ETIMEDOUT : errno);
        return false;
    }
    return true;
}

bool CMailSocket::Send(const char* data, size_t length) {
    if (m_handle < 0) {
        SetMailLastError(EBADF);
        return false;
    }
    while (length > 0) {
        // No SIGPIPE: a server that hung up must fail the send, not end the program.
        const ssize_t sent = ::send(m_handle, data, length, MSG_NOSIGNAL);
        if (sent < 0) {
            if (errno == EINTR)
                continue;
            SetMailLastError(errno == EAGAIN || errno == EWOULDBLOCK ? ETIMEDOUT : errno);
            return false;
        }
        data += sent;
        length -= static_cast<size_t>(sent);
    }
    return true;
}

CMailSocket::PollResult CMailSocket::PollReadable() {
    if (m_handle < 0) {
        SetMailLastError(EBADF);
        return PollResult::Error;
    }
    pollfd p{};
    p.fd = m_handle;
    p.events = POLLIN;
    const int rc = ::poll(&p, 1, 0);
    if (rc < 0) {
        if (errno == EINTR)
            return PollResult::NotReadable;
        SetMailLastError(errno);
        return PollResult::Error;
    }
    if (rc == 0)
        return PollResult::NotReadable;
    if (p.revents & POLLNVAL) {
        SetMailLastError(EBADF);
        return PollResult::Error;
    }
    // Hang-up and error conditions are left to the receive, which reports them.
    return PollResult::Readable;
}

ssize_t CMailSocket::Receive(char* buffer, size_t capacity) {
    if (m_handle < 0) {
        SetMailLastError(EBADF);
        return -1;
    }
    ssize_t n;
    do {
        n = ::recv(m_handle, buffer, capacity, 0);
    } while (n < 0 && errno == EINTR);
    if (n < 0)
        SetMailLastError(errno);
    return n;
}

void CMailSocket::Close() {
    if (m_handle >= 0) {
        ::close(m_handle);
        m_handle = -1;
    }
}

void CMailSocket::Adopt(int handle) {
    Close();
    m_handle = handle;
}
