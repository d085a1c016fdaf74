#pragma once
// A scripted SMTP peer on 127.0.0.1 for exact protocol cases: every accepted
// connection runs the test's script on a thread of its own, and everything the
// client sent is kept. Every wait is bounded, and the peer stops its threads itself.
#include <arpa/inet.h>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <functional>
#include <mutex>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

class CPeerSession {
public:
    static constexpr int kWaitMs = 15000;

    CPeerSession(int fd, const std::atomic<bool>& stop) : m_fd(fd), m_stop(stop) {}
    ~CPeerSession() { Close(); }

    void Send(const std::string& text) {
        size_t done = 0;
        while (m_fd >= 0 && done < text.size()) {
            const ssize_t n = ::send(m_fd, text.data() + done, text.size() - done, MSG_NOSIGNAL);
            if (n <= 0)
                return;
            done += static_cast<size_t>(n);
        }
    }
    // The next line with its CR LF; what came before a close or the bounded wait otherwise.
    std::string ReadLine() { return ReadUntil("\r\n"); }
    // The message after DATA up to and including the end-of-data line.
    std::string ReadData() { return ReadUntil("\r\n.\r\n"); }
    std::string ReadUntil(const std::string& end) {
        for (;;) {
            const size_t at = m_pending.find(end);
            if (at != std::string::npos) {
                std::string text = m_pending.substr(0, at + end.size());
                m_pending.erase(0, at + end.size());
                return text;
            }
            if (!Fill()) {
                std::string text;
                text.swap(m_pending);
                return text;
            }
        }
    }
    // True when the client closed the connection within the bounded wait.
    bool WaitForClose() {
        while (Fill()) {
        }
        return m_closedByClient;
    }
    void Pause(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
    void Close() {
        if (m_fd >= 0) {
            ::close(m_fd);
            m_fd = -1;
        }
    }
    const std::string& Received() const { return m_received; }
    bool Stopping() const { return m_stop.load(); }

private:
    bool Fill() {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kWaitMs);
        while (m_fd >= 0 && !m_stop.load() && std::chrono::steady_clock::now() < deadline) {
            pollfd p{m_fd, POLLIN, 0};
            if (::poll(&p, 1, 20) <= 0)
                continue;
            char buffer[65536];
            const ssize_t n = ::recv(m_fd, buffer, sizeof buffer, 0);
            if (n <= 0) {
                m_closedByClient = true;
                return false;
            }
            m_received.append(buffer, static_cast<size_t>(n));
            m_pending.append(buffer, static_cast<size_t>(n));
            return true;
        }
        return false;
    }

    int m_fd;
    const std::atomic<bool>& m_stop;
    std::string m_received;
    std::string m_pending;
    bool m_closedByClient = false;
};

class CScriptedSmtpPeer {
public:
    using Script = std::function<void(CPeerSession&)>;

    explicit CScriptedSmtpPeer(Script script) : m_script(std::move(script)) {
        m_listen = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        const int one = 1;
        ::setsockopt(m_listen, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        ::bind(m_listen, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::listen(m_listen, 64);
        socklen_t length = sizeof address;
        ::getsockname(m_listen, reinterpret_cast<sockaddr*>(&address), &length);
        m_port = ntohs(address.sin_port);
        m_acceptor = std::thread([this] { AcceptLoop(); });
    }
    ~CScriptedSmtpPeer() {
        m_stop = true;
        m_acceptor.join();
        for (auto& t : m_sessions)
            t.join();
        ::close(m_listen);
    }

    uint16_t Port() const { return m_port; }
    std::string HostPort() const { return "127.0.0.1:" + std::to_string(m_port); }

    // Connections accepted so far.
    int Accepted() const { return m_accepted.load(); }
    // Waits (bounded) until n connections were accepted.
    bool WaitAccepted(int n) {
        for (int i = 0; i < 1500 && m_accepted.load() < n; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return m_accepted.load() >= n;
    }
    // Waits (bounded) until every script has returned; the transcripts are then complete.
    bool WaitFinished(int n) {
        for (int i = 0; i < 3000 && m_finished.load() < n; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return m_finished.load() >= n;
    }
    // What each connection's client sent, in accepting order.
    std::vector<std::string> Transcripts() {
        const std::lock_guard<std::mutex> lock(m_mutex);
        return m_transcripts;
    }
    std::string Transcript(size_t i = 0) {
        const auto all = Transcripts();
        return i < all.size() ? all[i] : std::string();
    }

    // A gate that scripts can hold a client at until the test opens it.
    void Open() { m_open = true; }
    bool IsOpen() const { return m_open.load(); }

private:
    void AcceptLoop() {
        while (!m_stop.load()) {
            pollfd p{m_listen, POLLIN, 0};
            if (::poll(&p, 1, 20) <= 0)
                continue;
            const int fd = ::accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0)
                continue;
            size_t index;
            {
                const std::lock_guard<std::mutex> lock(m_mutex);
                index = m_transcripts.size();
                m_transcripts.emplace_back();
            }
            ++m_accepted;
            m_sessions.emplace_back([this, fd, index] {
                CPeerSession session(fd, m_stop);
                m_script(session);
                session.Close();
                {
                    const std::lock_guard<std::mutex> lock(m_mutex);
                    m_transcripts[index] = session.Received();
                }
                ++m_finished;
            });
        }
    }

    Script m_script;
    int m_listen = -1;
    uint16_t m_port = 0;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_open{false};
    std::atomic<int> m_accepted{0};
    std::atomic<int> m_finished{0};
    std::mutex m_mutex;
    std::vector<std::string> m_transcripts;
    std::vector<std::thread> m_sessions;
    std::thread m_acceptor;
};

// A well-behaved server after its greeting: accepts every command and takes
// the message. A command starting with refusedPrefix gets the refusal instead.
inline void ServeCommands(CPeerSession& s, const std::string& refusedPrefix = "",
                          const std::string& refusal = "") {
    for (;;) {
        const std::string line = s.ReadLine();
        if (line.empty())
            return;
        if (!refusedPrefix.empty() && line.rfind(refusedPrefix, 0) == 0) {
            s.Send(refusal);
        } else if (line.rfind("DATA", 0) == 0) {
            s.Send("354 go ahead\r\n");
            s.ReadData();
            s.Send("250 queued\r\n");
        } else if (line.rfind("QUIT", 0) == 0) {
            s.Send("221 bye\r\n");
            s.WaitForClose();
            return;
        } else {
            s.Send("250 ok\r\n");
        }
    }
}

inline void ServeNormally(CPeerSession& s, const std::string& refusedPrefix = "",
                          const std::string& refusal = "") {
    s.Send("220 peer ready\r\n");
    ServeCommands(s, refusedPrefix, refusal);
}

// A slow server: its greeting comes one byte at a time, each well inside the
// client's reply timeout, until the gate opens (or a bounded while passes).
inline void GreetWhenOpen(CPeerSession& s, const std::atomic<bool>& gate) {
    s.Send("220 ");
    for (int i = 0; i < 300 && !gate.load() && !s.Stopping(); ++i) {
        s.Pause(100);
        s.Send(".");
    }
    s.Send(" finally\r\n");
}
