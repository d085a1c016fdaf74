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

    // Used by the next OpenSession; 0 keeps the library's defaults.
    void SetReceiveTimeout(long milliseconds) { m_receiveTimeoutMs = milliseconds; }
    // A fresh session reporting to statusWindow (may be null); true when it exists.
    bool OpenSession(IStatusWindow* statusWindow);
    // True when the URL was opened and read to its end, whatever the HTTP
    // status: an error page's body is returned as the text. Opens a session
    // without a status window when none is open.
    bool Download(const std::string& url, std::string& out);
    void CloseSession();

    long StatusCode() const { return m_statusCode; }
    CUpdateSession* Session() const { return m_pSession.get(); }

    // Bodies beyond this are refused: the version file is a few bytes, and an
    // endless answer must not fill the memory of a blocked window.
    static constexpr size_t kMaxBody = 1 << 20;
    // Progress is reported at least this often.
    static constexpr size_t kChunk = 4095;

private:
    std::unique_ptr<CUpdateSession> m_pSession;
    long m_receiveTimeoutMs = 0;
    long m_statusCode = 0;
};
