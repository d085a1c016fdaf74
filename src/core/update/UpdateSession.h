#pragma once
#include <cstdint>
#include <functional>
#include <string>

class IStatusWindow;

// The internet session of the version check: one libcurl easy handle whose
// progress is reported through OnStatusCallback with the status codes below,
// and written into a status window. User-interface thread only.
class CUpdateSession {
public:
    enum Status : uint32_t {
        kResolvingName = 10,
        kNameResolved = 11,
        kConnectingToServer = 20,
        kConnectedToServer = 21,
        kSendingRequest = 30,
        kRequestSent = 31,
        kReceivingResponse = 40,
        kResponseReceived = 41,
        kClosingConnection = 50,
        kConnectionClosed = 51,
        kRedirect = 60,
        kHandleCreated = 70,
        kRequestComplete = 100,
    };

    // What one GET brought back. `headersReceived` tells a failure while
    // reading the body from one while reaching the server.
    struct Result {
        bool ok = false;
        bool headersReceived = false;
        long httpStatus = 0;
        std::string error; // the library's message on failure
    };
    // Takes each piece of the body; false stops the transfer.
    using ChunkSink = std::function<bool(const char* data, size_t size)>;

    // agent: the User-Agent sent; context: handed to every status callback.
    CUpdateSession(std::string agent, uintptr_t context);
    virtual ~CUpdateSession();
    CUpdateSession(const CUpdateSession&) = delete;
    CUpdateSession& operator=(const CUpdateSession&) = delete;

    bool IsOpen() const { return m_curl != nullptr; }
    void EnableStatusCallback(bool on) { m_callbackOn = on; }
    void SetStatusWindow(IStatusWindow* window) { m_pStatusWnd = window; }
    IStatusWindow* StatusWindow() const { return m_pStatusWnd; }
    // 0 keeps the library's defaults. The time without any data before a
    // transfer fails; reaching the server is bounded by the same time.
    void SetReceiveTimeout(long milliseconds) { m_receiveTimeoutMs = milliseconds; }

    // One GET of `url`, bypassing caches; redirects are followed.
    Result Get(const std::string& url, const ChunkSink& sink, std::string& rawHeaders);

    // Formats into 512 bytes, keeps the text and shows it in the status window.
    void ShowStatus(const char* format, ...) __attribute__((format(printf, 2, 3)));
    const std::string& LastStatus() const { return m_lastStatus; }

    // Writes the text that belongs to an internet status code.
    virtual void OnStatusCallback(uintptr_t context, uint32_t status, const void* information,
                                  uint32_t length);

    struct Request; // per-GET state of the library callbacks

private:
    friend struct CurlCallbacks;
    void Notify(uint32_t status, const void* information = nullptr, uint32_t length = 0);

    IStatusWindow* m_pStatusWnd = nullptr;
    std::string m_lastStatus;
    void* m_curl = nullptr;
    std::string m_agent;
    uintptr_t m_context;
    bool m_callbackOn = false;
    long m_receiveTimeoutMs = 0;
    Request* m_request = nullptr;
};
