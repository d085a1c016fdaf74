#pragma once
#include <memory>
#include <string>

class CUpdateSession;
class IStatusWindow;

// Fetches one URL into a string over its own internet session, writing the
// progress into a status window. Blocking; user-interface thread only.
class CWebFetcher {
public:
    CWebFetcher();
    ~CWebFetcher();
    CWebFetcher(const CWebFetcher&) = delete;
    CWebFetcher& operator=(const CWebFetcher&) = delete;

    // agent null: the program's own name. True when a session exists.
    bool OpenSession(const char* agent, IStatusWindow* statusWindow);
    // Used by the next OpenSession; 0 keeps the library's defaults.
    void SetReceiveTimeout(long milliseconds) { m_receiveTimeoutMs = milliseconds; }
    // True when the URL was opened and read to its end, whatever the HTTP
    // status: an error page's body is returned as the text.
    bool Download(const std::string& url, std::string& out, const char* agent,
                  IStatusWindow* statusWindow);
    void CloseSession();

    long StatusCode() const { return m_statusCode; }
    const std::string& ErrorText() const { return m_errorText; }
    const std::string& RawHeaders() const { return m_rawHeaders; }
    CUpdateSession* Session() const { return m_pSession.get(); }

    // Bodies beyond this are refused: the version file is a few bytes, and an
    // endless answer must not fill the memory of a blocked window.
    static constexpr size_t kMaxBody = 1 << 20;
    static constexpr size_t kChunk = 4095;

private:
    std::unique_ptr<CUpdateSession> m_pSession;
    long m_receiveTimeoutMs = 0;
    long m_statusCode = 0;
    std::string m_errorText;
    std::string m_rawHeaders;
};
