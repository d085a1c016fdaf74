#include "update/UpdateSession.h"

#include "update/StatusWindow.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <curl/curl.h>
#include <sys/socket.h>
#include <unistd.h>

struct CUpdateSession::Request {
    std::string host;
    const ChunkSink* sink = nullptr;
    std::string* rawHeaders = nullptr;
    bool nameResolved = false;
    bool headerStarted = false;
    bool headersDone = false;
    bool requestSent = false;
    int statusLines = 0;
};

// The library's callbacks, turned into the session's status notifications.
struct CurlCallbacks {
    static int ResolverStart(void*, void*, void* data) {
        auto* self = static_cast<CUpdateSession*>(data);
        if (self->m_request)
            self->Notify(CUpdateSession::kResolvingName, self->m_request->host.c_str(),
                         static_cast<uint32_t>(self->m_request->host.size() + 1));
        return 0;
    }

    static curl_socket_t OpenSocket(void* data, curlsocktype, curl_sockaddr* address) {
        auto* self = static_cast<CUpdateSession*>(data);
        if (CUpdateSession::Request* r = self->m_request) {
            if (!r->nameResolved) {
                r->nameResolved = true;
                self->Notify(CUpdateSession::kNameResolved, r->host.c_str(),
                             static_cast<uint32_t>(r->host.size() + 1));
            }
            self->Notify(CUpdateSession::kConnectingToServer, &address->addr, address->addrlen);
        }
        const int fd =
            ::socket(address->family, address->socktype | SOCK_CLOEXEC, address->protocol);
        return fd < 0 ? CURL_SOCKET_BAD : fd;
    }

    static int CloseSocket(void* data, curl_socket_t fd) {
        auto* self = static_cast<CUpdateSession*>(data);
        self->Notify(CUpdateSession::kClosingConnection);
        const int rc = ::close(fd);
        self->Notify(CUpdateSession::kConnectionClosed);
        return rc;
    }

    static int Prereq(void* data, char*, char*, int, int) {
        auto* self = static_cast<CUpdateSession*>(data);
        self->Notify(CUpdateSession::kConnectedToServer);
        self->Notify(CUpdateSession::kSendingRequest);
        return CURL_PREREQFUNC_OK;
    }

    static int Debug(CURL*, curl_infotype type, char*, size_t, void* data) {
        auto* self = static_cast<CUpdateSession*>(data);
        if (type == CURLINFO_HEADER_OUT && self->m_request && !self->m_request->requestSent) {
            self->m_request->requestSent = true;
            self->Notify(CUpdateSession::kRequestSent);
        }
        return 0;
    }

    static size_t Header(char* buffer, size_t size, size_t count, void* data) {
        auto* self = static_cast<CUpdateSession*>(data);
        const size_t bytes = size * count;
        CUpdateSession::Request* r = self->m_request;
        if (!r)
            return bytes;
        const std::string_view line(buffer, bytes);
        if (line.starts_with("HTTP/")) {
            // A further status line means the previous response sent us on.
            if (r->statusLines++ > 0)
                self->Notify(CUpdateSession::kRedirect);
            r->rawHeaders->clear();
            r->headersDone = false;
            r->requestSent = false;
        }
        if (!r->headerStarted) {
            r->headerStarted = true;
            self->Notify(CUpdateSession::kReceivingResponse);
        }
        r->rawHeaders->append(line);
        if (line == "\r\n" || line == "\n") {
            r->headersDone = true;
            self->Notify(CUpdateSession::kResponseReceived);
        }
        return bytes;
    }

    static size_t Write(char* buffer, size_t size, size_t count, void* data) {
        auto* self = static_cast<CUpdateSession*>(data);
        const size_t bytes = size * count;
        CUpdateSession::Request* r = self->m_request;
        if (!r || !r->sink)
            return bytes;
        return (*r->sink)(buffer, bytes) ? bytes : 0;
    }
};

CUpdateSession::CUpdateSession(std::string agent, uintptr_t context)
    : m_agent(std::move(agent)), m_context(context) {
    static const bool globalReady = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
    if (globalReady)
        m_curl = curl_easy_init();
}

CUpdateSession::~CUpdateSession() {
    // Closing the connection reports to a window that may be gone by now.
    m_callbackOn = false;
    m_pStatusWnd = nullptr;
    if (m_curl)
        curl_easy_cleanup(static_cast<CURL*>(m_curl));
}

CUpdateSession::Result CUpdateSession::Get(const std::string& url, const ChunkSink& sink,
                                           std::string& rawHeaders) {
    Result result;
    rawHeaders.clear();
    if (!m_curl) {
        result.error = "The internet session is not open";
        return result;
    }
    CURL* curl = static_cast<CURL*>(m_curl);
    curl_easy_reset(curl);

    Request request;
    request.sink = &sink;
    request.rawHeaders = &rawHeaders;
    if (CURLU* parts = curl_url()) {
        char* host = nullptr;
        if (curl_url_set(parts, CURLUPART_URL, url.c_str(), 0) == CURLUE_OK &&
            curl_url_get(parts, CURLUPART_HOST, &host, 0) == CURLUE_OK) {
            request.host = host;
            curl_free(host);
        }
        curl_url_cleanup(parts);
    }

    char errorBuffer[CURL_ERROR_SIZE] = {};
    // A cached copy could hide a new release: always ask the server itself.
    curl_slist* headers = curl_slist_append(nullptr, "Cache-Control: no-cache");
    headers = curl_slist_append(headers, "Pragma: no-cache");

    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(curl, CURLOPT_MAXREDIRS, 10L);
    curl_easy_setopt(curl, CURLOPT_USERAGENT, m_agent.c_str());
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_BUFFERSIZE, 4095L);
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, errorBuffer);
    if (m_receiveTimeoutMs > 0) {
        // The library measures stalls in whole seconds: at least one.
        const long seconds = (m_receiveTimeoutMs + 999) / 1000;
        curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
        curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, seconds);
        curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, m_receiveTimeoutMs);
    }
    curl_easy_setopt(curl, CURLOPT_RESOLVER_START_FUNCTION, &CurlCallbacks::ResolverStart);
    curl_easy_setopt(curl, CURLOPT_RESOLVER_START_DATA, this);
    curl_easy_setopt(curl, CURLOPT_OPENSOCKETFUNCTION, &CurlCallbacks::OpenSocket);
    curl_easy_setopt(curl, CURLOPT_OPENSOCKETDATA, this);
    curl_easy_setopt(curl, CURLOPT_CLOSESOCKETFUNCTION, &CurlCallbacks::CloseSocket);
    curl_easy_setopt(curl, CURLOPT_CLOSESOCKETDATA, this);
    curl_easy_setopt(curl, CURLOPT_PREREQFUNCTION, &CurlCallbacks::Prereq);
    curl_easy_setopt(curl, CURLOPT_PREREQDATA, this);
    // Verbose only so that the debug hook sees the request go out; it prints nothing.
    curl_easy_setopt(curl, CURLOPT_DEBUGFUNCTION, &CurlCallbacks::Debug);
    curl_easy_setopt(curl, CURLOPT_DEBUGDATA, this);
    curl_easy_setopt(curl, CURLOPT_VERBOSE, 1L);
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, &CurlCallbacks::Header);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &CurlCallbacks::Write);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, this);

    m_request = &request;
    Notify(kHandleCreated);
    const CURLcode code = curl_easy_perform(curl);
    m_request = nullptr;
    curl_slist_free_all(headers);
    // The handle must not point at the stack buffers once this call returns.
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, nullptr);
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, nullptr);

    result.headersReceived = request.headersDone;
    if (code == CURLE_OK) {
        result.ok = true;
        curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &result.httpStatus);
    } else {
        result.error = errorBuffer[0] ? errorBuffer : curl_easy_strerror(code);
        while (!result.error.empty() && result.error.back() == '\n')
            result.error.pop_back();
    }
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

void CUpdateSession::Notify(uint32_t status, const void* information, uint32_t length) {
    if (m_callbackOn)
        OnStatusCallback(m_context, status, information, length);
}

void CUpdateSession::OnStatusCallback(uintptr_t, uint32_t status, const void* information,
                                      uint32_t length) {
    // The name arrives as text; never trust it to be terminated.
    auto text = [&] {
        if (!information)
            return std::string();
        const auto* chars = static_cast<const char*>(information);
        return std::string(chars, strnlen(chars, length));
    };
    switch (status) {
    case kResolvingName:
        ShowStatus("Resolving name for %s", text().c_str());
        break;
    case kNameResolved:
        ShowStatus("Resolved name for %s", text().c_str());
        break;
    case kConnectingToServer:
        ShowStatus("Connecting to socket address ");
        break;
    case kConnectedToServer:
        ShowStatus("Connected to socket address");
        break;
    case kSendingRequest:
        ShowStatus("Sending request...");
        break;
    case kRequestSent:
        ShowStatus("Request sent");
        break;
    case kReceivingResponse:
    case kHandleCreated:
        break;
    case kResponseReceived:
        ShowStatus("Response received");
        break;
    case kClosingConnection:
        ShowStatus("Closing the connection to the server");
        break;
    case kConnectionClosed:
        ShowStatus("Connection to the server closed");
        break;
    case kRedirect:
        ShowStatus("%s", "");
        break;
    case kRequestComplete:
        if (information && length == 8) {
            uint32_t values[2];
            std::memcpy(values, information, sizeof values);
            ShowStatus("Request complete, dwResult = %8.8X, dwError = %8.8X", values[0], values[1]);
        } else {
            ShowStatus("Request complete");
        }
        break;
    default:
        ShowStatus("Unknown status: %d", static_cast<int>(status));
        break;
    }
}
