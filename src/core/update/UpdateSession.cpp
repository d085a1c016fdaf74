#include "update/UpdateSession.h"

#include "update/StatusWindow.h"

#include "app/Libcurl.h"

#include <cstdarg>
#include <cstdio>
#include <string>
#include <string_view>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// Lives for one GET: the name being looked up, for the progress texts.
struct CLookup {
    CUpdateSession* session;
    std::string host;
    bool resolved = false;
};

int OnResolverStart(void*, void*, void* data) {
    const auto* lookup = static_cast<CLookup*>(data);
    lookup->session->ShowStatus("Resolving name for %s", lookup->host.c_str());
    return 0;
}

curl_socket_t OnOpenSocket(void* data, curlsocktype, curl_sockaddr* address) {
    auto* lookup = static_cast<CLookup*>(data);
    // Each address tried gets a socket; the name was resolved once.
    if (!lookup->resolved) {
        lookup->resolved = true;
        lookup->session->ShowStatus("Resolved name for %s", lookup->host.c_str());
    }
    lookup->session->ShowStatus("Connecting to socket address ");
    const int fd = ::socket(address->family, address->socktype | SOCK_CLOEXEC, address->protocol);
    return fd < 0 ? CURL_SOCKET_BAD : fd;
}

// Given the session, not the lookup: a kept-alive connection may close long
// after its GET, at the next one or when the session goes.
int OnCloseSocket(void* data, curl_socket_t fd) {
    auto* session = static_cast<CUpdateSession*>(data);
    session->ShowStatus("Closing the connection to the server");
    const int rc = ::close(fd);
    session->ShowStatus("Connection to the server closed");
    return rc;
}

int OnPrereq(void* data, char*, char*, int, int) {
    auto* session = static_cast<CUpdateSession*>(data);
    session->ShowStatus("Connected to socket address");
    session->ShowStatus("Sending request...");
    return CURL_PREREQFUNC_OK;
}

// The only hook that sees the request leave.
int OnDebug(CURL*, curl_infotype type, char*, size_t, void* data) {
    if (type == CURLINFO_HEADER_OUT)
        static_cast<CUpdateSession*>(data)->ShowStatus("Request sent");
    return 0;
}

size_t OnHeader(char* buffer, size_t size, size_t count, void* data) {
    const std::string_view line(buffer, size * count);
    if (line == "\r\n" || line == "\n")
        static_cast<CUpdateSession*>(data)->ShowStatus("Response received");
    return size * count;
}

size_t OnWrite(char* buffer, size_t size, size_t count, void* data) {
    const auto& sink = *static_cast<const CUpdateSession::ChunkSink*>(data);
    return sink(buffer, size * count) ? size * count : 0;
}

std::string HostOf(const CLibcurl& api, const std::string& url) {
    std::string host;
    if (CURLU* parts = api.url()) {
        char* name = nullptr;
        if (api.url_set(parts, CURLUPART_URL, url.c_str(), 0) == CURLUE_OK &&
            api.url_get(parts, CURLUPART_HOST, &name, 0) == CURLUE_OK) {
            host = name;
            api.free(name);
        }
        api.url_cleanup(parts);
    }
    return host;
}

} // namespace

CUpdateSession::CUpdateSession(IStatusWindow* statusWindow, long receiveTimeoutMs)
    : m_pStatusWnd(statusWindow), m_receiveTimeoutMs(receiveTimeoutMs) {
    // libcurl is opened here, with the first session, not at start.
    if (const CLibcurl* api = Libcurl())
        m_curl = api->easy_init();
}

CUpdateSession::~CUpdateSession() {
    // Closing a kept connection reports to a window that may be gone by now.
    m_pStatusWnd = nullptr;
    if (m_curl)
        Libcurl()->easy_cleanup(static_cast<CURL*>(m_curl));
}

CUpdateSession::CResult CUpdateSession::Get(const std::string& url, const ChunkSink& sink) {
    CResult result;
    if (!m_curl) {
        result.error = "The internet session is not open";
        return result;
    }
    const CLibcurl& api = *Libcurl(); // opened, since the handle exists
    CURL* curl = static_cast<CURL*>(m_curl);
    CLookup lookup{this, HostOf(api, url)};
    // A cached copy could hide a new release: always ask the server itself.
    curl_slist* headers = api.slist_append(nullptr, "Cache-Control: no-cache");
    headers = api.slist_append(headers, "Pragma: no-cache");

    api.easy_setopt(curl, CURLOPT_URL, url.c_str());
    api.easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    api.easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    api.easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    api.easy_setopt(curl, CURLOPT_MAXREDIRS, 10L);
    api.easy_setopt(curl, CURLOPT_USERAGENT, "Oculon");
    api.easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
    api.easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    if (m_receiveTimeoutMs > 0) {
        // The library measures stalls in whole seconds: at least one.
        api.easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
        api.easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, (m_receiveTimeoutMs + 999) / 1000);
        api.easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, m_receiveTimeoutMs);
    }
    api.easy_setopt(curl, CURLOPT_RESOLVER_START_FUNCTION, &OnResolverStart);
    api.easy_setopt(curl, CURLOPT_RESOLVER_START_DATA, &lookup);
    api.easy_setopt(curl, CURLOPT_OPENSOCKETFUNCTION, &OnOpenSocket);
    api.easy_setopt(curl, CURLOPT_OPENSOCKETDATA, &lookup);
    api.easy_setopt(curl, CURLOPT_CLOSESOCKETFUNCTION, &OnCloseSocket);
    api.easy_setopt(curl, CURLOPT_CLOSESOCKETDATA, this);
    api.easy_setopt(curl, CURLOPT_PREREQFUNCTION, &OnPrereq);
    api.easy_setopt(curl, CURLOPT_PREREQDATA, this);
    // Verbose only so that the debug hook sees the request go out; it prints nothing.
    api.easy_setopt(curl, CURLOPT_DEBUGFUNCTION, &OnDebug);
    api.easy_setopt(curl, CURLOPT_DEBUGDATA, this);
    api.easy_setopt(curl, CURLOPT_VERBOSE, 1L);
    api.easy_setopt(curl, CURLOPT_HEADERFUNCTION, &OnHeader);
    api.easy_setopt(curl, CURLOPT_HEADERDATA, this);
    api.easy_setopt(curl, CURLOPT_WRITEFUNCTION, &OnWrite);
    api.easy_setopt(curl, CURLOPT_WRITEDATA, &sink);

    const CURLcode code = api.easy_perform(curl);
    result.ok = code == CURLE_OK;
    if (result.ok)
        api.easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &result.httpStatus);
    else
        result.error = api.easy_strerror(code);
    // The handle must not keep pointers to what ends with this call; its
    // connection stays for the next GET.
    api.easy_reset(curl);
    api.slist_free_all(headers);
    return result;
}

void CUpdateSession::ShowStatus(const char* format, ...) {
    char buffer[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    m_lastStatus = buffer;
    if (m_pStatusWnd)
        m_pStatusWnd->SetStatusText(m_lastStatus);
}
