#include "update/WebFetcher.h"

#include "update/UpdateSession.h"

CWebFetcher::CWebFetcher() = default;
CWebFetcher::~CWebFetcher() = default;

bool CWebFetcher::OpenSession(IStatusWindow* statusWindow) {
    CloseSession();
    auto session = std::make_unique<CUpdateSession>(statusWindow, m_receiveTimeoutMs);
    if (session->IsOpen())
        m_pSession = std::move(session);
    return m_pSession != nullptr;
}

bool CWebFetcher::Download(const std::string& url, std::string& out) {
    m_statusCode = 0;
    out.clear();
    if (!m_pSession && !OpenSession(nullptr))
        return false;

    bool tooLarge = false;
    const auto sink = [&](const char* data, size_t size) {
        // Reported in pieces of at most kChunk bytes, whatever the library hands over.
        while (size > 0) {
            const size_t piece = size < kChunk ? size : kChunk;
            if (out.size() + piece > kMaxBody) {
                tooLarge = true;
                return false;
            }
            out.append(data, piece);
            data += piece;
            size -= piece;
            m_pSession->ShowStatus("Read %d bytes", static_cast<int>(out.size()));
        }
        return true;
    };
    const CUpdateSession::CResult result = m_pSession->Get(url, sink);
    if (!result.ok) {
        m_pSession->ShowStatus("%.255s", tooLarge ? "The answer of the server is too large"
                                                  : result.error.c_str());
        return false;
    }
    m_statusCode = result.httpStatus;
    m_pSession->ShowStatus("%s", "");
    return true;
}

void CWebFetcher::CloseSession() {
    m_pSession.reset();
}
