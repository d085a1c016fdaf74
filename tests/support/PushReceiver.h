#pragma once
// push_receiver.py as a child on 127.0.0.1: records each POST in a folder and
// fails the first ones when asked. Closing its input ends it.
#include "MailSinkProcess.h"

#include <fstream>
#include <iterator>

class CPushReceiver {
public:
    struct CRequest {
        std::string head; // request line, headers, "Received-At: SECONDS", "Status: N"
        std::string body;
    };

    CPushReceiver(const std::string& folder, int failFirst) : m_folder(folder) {
        int toChild[2];
        int fromChild[2];
        if (::pipe2(toChild, O_CLOEXEC) != 0 || ::pipe2(fromChild, O_CLOEXEC) != 0)
            return;
        std::vector<std::string> args{
            SystemPython(), std::string(OCULON_SOURCE_DIR) + "/tests/support/push_receiver.py",
            folder, std::to_string(failFirst)};
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
            char buffer[32];
            const ssize_t n = ::read(fromChild[0], buffer, sizeof buffer);
            if (n <= 0)
                break;
            line.append(buffer, static_cast<size_t>(n));
        }
        ::close(fromChild[0]);
        m_port = std::atoi(line.c_str());
    }
    ~CPushReceiver() {
        if (m_input >= 0)
            ::close(m_input);
        if (m_pid <= 0)
            return;
        for (int i = 0; i < 250; ++i) {
            if (::waitpid(m_pid, nullptr, WNOHANG) == m_pid)
                return;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, 0);
    }
    CPushReceiver(const CPushReceiver&) = delete;
    CPushReceiver& operator=(const CPushReceiver&) = delete;

    int Port() const { return m_port; }
    std::string Url(const std::string& path) const {
        return "http://127.0.0.1:" + std::to_string(m_port) + path;
    }

    // The requests received so far, waiting at most `timeoutMs` for `count` of them.
    std::vector<CRequest> WaitFor(size_t count, int timeoutMs) const {
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        std::vector<CRequest> requests;
        for (;;) {
            requests.clear();
            for (size_t n = 0;; ++n) {
                const std::string base = m_folder + "/" + std::to_string(n);
                std::ifstream head(base + ".head", std::ios::binary);
                if (!head)
                    break;
                std::ifstream body(base + ".body", std::ios::binary);
                requests.push_back({std::string(std::istreambuf_iterator<char>(head), {}),
                                    std::string(std::istreambuf_iterator<char>(body), {})});
            }
            if (requests.size() >= count || std::chrono::steady_clock::now() >= deadline)
                return requests;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }

private:
    std::string m_folder;
    pid_t m_pid = -1;
    int m_input = -1;
    int m_port = 0;
};
