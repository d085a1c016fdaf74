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

#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <chrono>

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
    if (m_ssl) {
        while (length > 0) {
            size_t written = 0;
            if (SSL_write_ex(m_ssl, data, length, &written) != 1) {
                const int error = SSL_get_error(m_ssl, 0);
                SetMailLastError(error == SSL_ERROR_WANT_WRITE || error == SSL_ERROR_WANT_READ
                                     ? ETIMEDOUT
                                     : (errno != 0 ? errno : EPIPE));
                return false;
            }
            data += written;
            length -= written;
        }
        return true;
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
    if (m_ssl && (SSL_pending(m_ssl) > 0 || SSL_has_pending(m_ssl)))
        return PollResult::Readable;
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
    if (m_ssl) {
        size_t got = 0;
        ERR_clear_error();
        if (SSL_read_ex(m_ssl, buffer, capacity, &got) == 1)
            return static_cast<ssize_t>(got);
        switch (SSL_get_error(m_ssl, 0)) {
        case SSL_ERROR_WANT_READ:
        case SSL_ERROR_WANT_WRITE:
            return kNothingYet;
        case SSL_ERROR_ZERO_RETURN:
            return 0;
        default:
            SetMailLastError(ECONNRESET);
            return -1;
        }
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
    EndTls();
    if (m_handle >= 0) {
        ::close(m_handle);
        m_handle = -1;
    }
}

void CMailSocket::Adopt(int handle) {
    Close();
    m_handle = handle;
}

void CMailSocket::EndTls() {
    if (m_ssl) {
        SSL_free(m_ssl);
        m_ssl = nullptr;
    }
    if (m_context) {
        SSL_CTX_free(m_context);
        m_context = nullptr;
    }
}

bool CMailSocket::StartTls(const std::string& host, const std::string& caFile,
                           std::string& failure) {
    EndTls();
    if (m_handle < 0) {
        failure = "not connected";
        return false;
    }
    m_context = SSL_CTX_new(TLS_client_method());
    if (!m_context) {
        failure = "TLS is not available";
        return false;
    }
    SSL_CTX_set_min_proto_version(m_context, TLS1_2_VERSION);
    SSL_CTX_set_verify(m_context, SSL_VERIFY_PEER, nullptr);
    const bool trusted =
        caFile.empty() ? SSL_CTX_set_default_verify_paths(m_context) == 1
                       : SSL_CTX_load_verify_locations(m_context, caFile.c_str(), nullptr) == 1;
    if (!trusted) {
        failure = "cannot load the trusted certificates" + (caFile.empty() ? "" : " of " + caFile);
        EndTls();
        return false;
    }
    m_ssl = SSL_new(m_context);
    in_addr ip{};
    const bool isAddress = ::inet_pton(AF_INET, host.c_str(), &ip) == 1;
    if (!m_ssl || SSL_set_fd(m_ssl, m_handle) != 1 ||
        (isAddress ? X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(m_ssl), host.c_str()) != 1
                   : (SSL_set_tlsext_host_name(m_ssl, host.c_str()) != 1 ||
                      SSL_set1_host(m_ssl, host.c_str()) != 1))) {
        failure = "cannot set up TLS for " + host;
        EndTls();
        return false;
    }
    // A short receive timeout turns a blocked TLS read into "nothing yet", so
    // that the reply reader's own timeouts stay in charge.
    timeval tv{0, 50000};
    ::setsockopt(m_handle, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(kHandshakeTimeoutMs);
    for (;;) {
        ERR_clear_error();
        const int rc = SSL_connect(m_ssl);
        if (rc == 1)
            return true;
        const int error = SSL_get_error(m_ssl, rc);
        if ((error == SSL_ERROR_WANT_READ || error == SSL_ERROR_WANT_WRITE) &&
            std::chrono::steady_clock::now() < deadline)
            continue;
        const long verify = SSL_get_verify_result(m_ssl);
        if (verify != X509_V_OK) {
            failure = std::string("the server's certificate was refused: ") +
                      X509_verify_cert_error_string(verify);
        } else if (error == SSL_ERROR_WANT_READ || error == SSL_ERROR_WANT_WRITE) {
            failure = "no TLS handshake within 60 seconds";
        } else {
            char text[256] = "the connection closed";
            const unsigned long code = ERR_peek_error();
            if (code != 0)
                ERR_error_string_n(code, text, sizeof text);
            failure = std::string("TLS handshake failed: ") + text;
        }
        SetMailLastError(ECONNRESET);
        EndTls();
        return false;
    }
}

std::string CMailSocket::TlsVersion() const {
    if (!m_ssl)
        return {};
    std::string version = SSL_get_version(m_ssl); // "TLSv1.3"
    if (version.starts_with("TLSv"))
        version = "TLS " + version.substr(4);
    return version;
}

bool CMailSocket::PeerIsLocal() const {
    sockaddr_storage peer{};
    socklen_t length = sizeof peer;
    if (m_handle < 0 || ::getpeername(m_handle, reinterpret_cast<sockaddr*>(&peer), &length) != 0)
        return false;
    if (peer.ss_family == AF_UNIX)
        return true;
    if (peer.ss_family != AF_INET)
        return false;
    const uint32_t address = ntohl(reinterpret_cast<const sockaddr_in&>(peer).sin_addr.s_addr);
    return (address >> 24) == 127;
}

std::string CMailSocket::LocalAddressLiteral() const {
    sockaddr_in local{};
    socklen_t length = sizeof local;
    if (m_handle < 0 ||
        ::getsockname(m_handle, reinterpret_cast<sockaddr*>(&local), &length) != 0 ||
        local.sin_family != AF_INET)
        return {};
    char text[INET_ADDRSTRLEN] = {};
    if (!::inet_ntop(AF_INET, &local.sin_addr, text, sizeof text))
        return {};
    return std::string("[") + text + "]";
}
