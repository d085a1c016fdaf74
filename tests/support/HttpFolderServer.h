#pragma once
#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <netinet/in.h>
#include <spawn.h>
#include <string>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

// A port on 127.0.0.1 that nothing listens on right now.
inline int FreeLocalPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    socklen_t len = sizeof addr;
    int port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) == 0)
        port = ntohs(addr.sin_port);
    ::close(fd);
    return port;
}

inline bool LocalPortAccepts(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(static_cast<uint16_t>(port));
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    ::close(fd);
    return ok;
}

// `python3 -m http.server` serving one folder on 127.0.0.1, started here and
// stopped when this object goes.
class CHttpFolderServer {
public:
    explicit CHttpFolderServer(const std::string& folder) : m_port(FreeLocalPort()) {
        const std::string port = std::to_string(m_port);
        const char* argv[] = {"python3",    "-m",          "http.server",  "--bind", "127.0.0.1",
                              port.c_str(), "--directory", folder.c_str(), nullptr};
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        // Its request log would clutter the test output.
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        if (posix_spawnp(&m_pid, "python3", &actions, nullptr, const_cast<char**>(argv), environ) !=
            0)
            m_pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        // Wait until it listens, at most ten seconds.
        for (int i = 0; m_pid > 0 && i < 500 && !LocalPortAccepts(m_port); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ~CHttpFolderServer() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGTERM);
            ::waitpid(m_pid, nullptr, 0);
        }
    }
    CHttpFolderServer(const CHttpFolderServer&) = delete;
    CHttpFolderServer& operator=(const CHttpFolderServer&) = delete;

    bool Ready() const { return m_pid > 0 && LocalPortAccepts(m_port); }
    int Port() const { return m_port; }
    std::string BaseUrl() const { return "http://127.0.0.1:" + std::to_string(m_port) + "/"; }

private:
    int m_port;
    pid_t m_pid = -1;
};

// Accepts connections on 127.0.0.1 and never answers, to make a fetch stall.
class CSilentServer {
public:
    CSilentServer() {
        m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof addr;
        ::bind(m_fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
        ::listen(m_fd, 4);
        ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&addr), &len);
        m_port = ntohs(addr.sin_port);
    }
    ~CSilentServer() { ::close(m_fd); }
    CSilentServer(const CSilentServer&) = delete;
    CSilentServer& operator=(const CSilentServer&) = delete;
    std::string BaseUrl() const { return "http://127.0.0.1:" + std::to_string(m_port) + "/"; }

private:
    int m_fd = -1;
    int m_port = 0;
};
