#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <sys/types.h>

// A blocking IPv4 stream socket. A new socket is closed; destroying an open
// one closes it. Failures leave the socket layer's code in the mail last-error value.
class CMailSocket {
public:
    // A peer that stops taking data for this long fails the send (and the
    // connect), so a stuck server cannot hold a delivery thread forever.
    static constexpr int kSendTimeoutMs = 30000;

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
    // Hands over the whole text, continuing after partial sends.
    bool Send(const char* data, size_t length);
    // Readability without waiting.
    PollResult PollReadable();
    // Bytes received, 0 when the peer closed, -1 on error.
    ssize_t Receive(char* buffer, size_t capacity);
    void Close();

    bool IsOpen() const { return m_handle >= 0; }
    // Takes over an already connected descriptor.
    void Adopt(int handle);

private:
    int m_handle = -1;
};
