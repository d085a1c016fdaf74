#pragma once
// A helper server run as a child process: it writes the port it listens on
// as its first line, and ends when its input is closed. Stopping waits
// (bounded) for that, then falls back to SIGKILL.
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

class CPortReportingChild {
public:
    explicit CPortReportingChild(std::vector<std::string> args) {
        int toChild[2];
        int fromChild[2];
        if (::pipe2(toChild, O_CLOEXEC) != 0 || ::pipe2(fromChild, O_CLOEXEC) != 0)
            return;
        std::vector<char*> argv;
        for (std::string& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        m_pid = ::fork();
        if (m_pid == 0) {
            ::dup2(toChild[0], 0);
            ::dup2(fromChild[1], 1);
            ::execvp(argv[0], argv.data());
            ::_exit(127);
        }
        ::close(toChild[0]);
        ::close(fromChild[1]);
        m_input = toChild[1];
        std::string line;
        pollfd p{fromChild[0], POLLIN, 0};
        while (line.find('\n') == std::string::npos && ::poll(&p, 1, 20000) > 0) {
            char buffer[64];
            const ssize_t n = ::read(fromChild[0], buffer, sizeof buffer);
            if (n <= 0)
                break;
            line.append(buffer, static_cast<size_t>(n));
        }
        ::close(fromChild[0]);
        m_port = std::atoi(line.c_str());
    }
    ~CPortReportingChild() {
        if (m_input >= 0)
            ::close(m_input);
        if (m_pid <= 0)
            return;
        for (int i = 0; i < 500; ++i) {
            if (::waitpid(m_pid, nullptr, WNOHANG) == m_pid)
                return;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, 0);
    }
    CPortReportingChild(const CPortReportingChild&) = delete;
    CPortReportingChild& operator=(const CPortReportingChild&) = delete;

    // The port the child reported; 0 when it could not start.
    int Port() const { return m_port; }

private:
    pid_t m_pid = -1;
    int m_input = -1;
    int m_port = 0;
};
