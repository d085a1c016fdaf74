#pragma once
#include <functional>
#include <string>

class IStatusWindow;

// The internet session of the version check: one libcurl easy handle whose
// progress ("Connecting to socket address ", "Request sent", ...) is written
// into a status window. User-interface thread only.
class CUpdateSession {
public:
    // What one GET brought back.
    struct CResult {
        bool ok = false;
        long httpStatus = 0;
        std::string error; // the library's message on failure
    };
    // Takes each piece of the body; false stops the transfer.
    using ChunkSink = std::function<bool(const char* data, size_t size)>;

    // statusWindow may be null. receiveTimeoutMs 0 keeps the library's defaults;
    // otherwise it bounds both reaching the server and any stall in the answer.
    explicit CUpdateSession(IStatusWindow* statusWindow, long receiveTimeoutMs = 0);
    ~CUpdateSession();
    CUpdateSession(const CUpdateSession&) = delete;
    CUpdateSession& operator=(const CUpdateSession&) = delete;

    bool IsOpen() const { return m_curl != nullptr; }

    // One GET of `url` over http or https, bypassing caches; redirects are followed.
    CResult Get(const std::string& url, const ChunkSink& sink);

    // Formats into 512 bytes, keeps the text and shows it in the status window.
    void ShowStatus(const char* format, ...) __attribute__((format(printf, 2, 3)));
    const std::string& LastStatus() const { return m_lastStatus; }

private:
    IStatusWindow* m_pStatusWnd;
    std::string m_lastStatus;
    long m_receiveTimeoutMs;
    void* m_curl = nullptr;
};
