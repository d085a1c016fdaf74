#include "update/WebFetcher.h"

#include "app/ProgramVersion.h"
#include "update/StatusWindow.h"
#include "update/UpdateSession.h"
#include "update/VersionCheck.h"

namespace {

constexpr uintptr_t kContext = 1;
constexpr size_t kMaxMessage = 255;

std::string Cut(std::string text) {
    if (text.size() > kMaxMessage)
        text.resize(kMaxMessage);
    return text;
}

} // namespace

CWebFetcher::CWebFetcher() = default;

CWebFetcher::~CWebFetcher() {
    CloseSession();
}

bool CWebFetcher::OpenSession(const char* agent, IStatusWindow* statusWindow) {
    CloseSession();
    const std::string name = agent ? agent : "Oculon/" + FormatVersion(kProgramVersion);
    auto session = std::make_unique<CUpdateSession>(name, kContext);
    if (!session->IsOpen())
        return false;
    session->EnableStatusCallback(true);
    session->SetStatusWindow(statusWindow);
    if (m_receiveTimeoutMs != 0)
        session->SetReceiveTimeout(m_receiveTimeoutMs);
    m_pSession = std::move(session);
    return true;
}

bool CWebFetcher::Download(const std::string& url, std::string& out, const char* agent,
                           IStatusWindow* statusWindow) {
    m_rawHeaders.clear();
    m_statusCode = 0;
    out.clear();
    if (!m_pSession && !OpenSession(agent, statusWindow))
        return false;
    if (statusWindow)
        m_pSession->SetStatusWindow(statusWindow);

    bool tooLarge = false;
    const CUpdateSession::ChunkSink sink = [&](const char* data, size_t size) {
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
    std::string headers;
    const CUpdateSession::Result result = m_pSession->Get(url, sink, headers);
    if (!result.ok) {
        const std::string message =
            Cut(tooLarge ? "The answer of the server is too large" : result.error);
        if (result.headersReceived)
            m_errorText = message;
        m_pSession->ShowStatus("%s", message.c_str());
        return false;
    }
    m_statusCode = result.httpStatus;
    m_rawHeaders = std::move(headers);
    m_pSession->ShowStatus("%s", "");
    return true;
}

void CWebFetcher::CloseSession() {
    m_pSession.reset();
}
