#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <sys/types.h>

typedef struct ssl_st SSL;
typedef struct ssl_ctx_st SSL_CTX;

// A blocking IPv4 stream socket that can turn into a TLS connection (OpenSSL)
// after connecting. A new socket is closed; destroying an open one closes it.
// Failures leave the socket layer's code in the mail last-error value.
class CMailSocket {
public:
    // A peer that stops taking data for this long fails the send (and the
    // connect), so a stuck server cannot hold a delivery thread forever.
    static constexpr int kSendTimeoutMs = 30000;
    static constexpr int kHandshakeTimeoutMs = 60000;
    // Receive() says "nothing yet" with this value (a TLS record not complete).
    static constexpr ssize_t kNothingYet = -2;

    enum class PollResult { Readable, NotReadable, Error };

    CMailSocket() = default;
    ~CMailSocket();
    CMailSocket(const CMailSocket&) = delete;
    CMailSocket& operator=(const CMailSocket&) = delete;

    // Opens a fresh IPv4 stream socket (closing an earlier one).
    bool Create();
    // Dotted-decimal hosts are used as they are; names take the first IPv4
    // address of their lookup. A name that does not resolve sets 10022.
    bool Connect(const std::string& host, uint16_t port);
    // TLS over the connected socket: the peer's certificate must chain to the
    // system's trust store (or to caFile when one is given) and name host.
    // On failure the socket is unusable and failure says why in plain words.
    bool StartTls(const std::string& host, const std::string& caFile, std::string& failure);
    // Hands over the whole text, continuing after partial sends.
    bool Send(const char* data, size_t length);
    // Readability without waiting.
    PollResult PollReadable();
    // Bytes received, 0 when the peer closed, -1 on error, kNothingYet when a
    // TLS record is still incomplete.
    ssize_t Receive(char* buffer, size_t capacity);
    void Close();

    bool IsOpen() const { return m_handle >= 0; }
    bool IsTls() const { return m_ssl != nullptr; }
    // "TLS 1.3" and the like; empty without TLS.
    std::string TlsVersion() const;
    // The peer is this machine (loopback address or a local socket pair).
    bool PeerIsLocal() const;
    // This end's address as an SMTP address literal ("[192.0.2.7]"); empty when unknown.
    std::string LocalAddressLiteral() const;
    // Takes over an already connected descriptor.
    void Adopt(int handle);

private:
    void EndTls();

    int m_handle = -1;
    SSL_CTX* m_context = nullptr;
    SSL* m_ssl = nullptr;
};
