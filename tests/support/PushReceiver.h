#pragma once
// push_receiver.py as a child on 127.0.0.1: records each POST in a folder and
// fails the first ones when asked.
#include "MailSinkProcess.h"

#include <fstream>
#include <iterator>

class CPushReceiver {
public:
    struct CRequest {
        std::string head; // request line, headers, "Received-At: SECONDS", "Status: N"
        std::string body;
    };

    CPushReceiver(const std::string& folder, int failFirst)
        : m_folder(folder),
          m_child({SystemPython(),
                   std::string(OCULON_SOURCE_DIR) + "/tests/support/push_receiver.py", folder,
                   std::to_string(failFirst)}) {}
    CPushReceiver(const CPushReceiver&) = delete;
    CPushReceiver& operator=(const CPushReceiver&) = delete;

    int Port() const { return m_child.Port(); }
    std::string Url(const std::string& path) const {
        return "http://127.0.0.1:" + std::to_string(Port()) + path;
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
    CPortReportingChild m_child;
};
