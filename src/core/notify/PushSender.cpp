#include "notify/PushSender.h"

#include "app/EventLog.h"
#include "app/Libcurl.h"
#include "mail/Outbox.h"

#include <ctime>
#include <memory>

namespace {

size_t Discard(char*, size_t size, size_t count, void*) {
    return size * count;
}

int AbortWhenStopping(void* stop, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    return static_cast<std::atomic<bool>*>(stop)->load() ? 1 : 0;
}

std::string FileName(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool Readable(const std::string& path) {
    FILE* f = path.empty() ? nullptr : std::fopen(path.c_str(), "rb");
    if (f)
        std::fclose(f);
    return f != nullptr;
}

// Header values are one line of printable ASCII.
std::string HeaderText(const std::string& text) {
    std::string out;
    for (const char c : text)
        out += (c >= 32 && c < 127) ? c : ' ';
    return out;
}

} // namespace

CPushSender::CPushSender(std::string url, int mode, Delay delay)
    : m_url(std::move(url)), m_mode(mode), m_delay(std::move(delay)) {
    m_worker = std::thread([this] { Run(); });
}

CPushSender::~CPushSender() {
    m_stop = true;
    m_wake.notify_all();
    if (m_worker.joinable())
        m_worker.join();
}

bool CPushSender::Send(CPushMessage message) {
    std::lock_guard<std::mutex> hold(m_lock);
    // The head may be in flight; room is made behind it.
    const bool room = m_queue.size() < kQueueMax;
    if (!room)
        m_queue.erase(m_queue.begin() + 1);
    CEntry entry;
    entry.message = std::move(message);
    entry.firstTryS = static_cast<int64_t>(std::time(nullptr));
    entry.due = std::chrono::steady_clock::now();
    m_queue.push_back(std::move(entry));
    m_wake.notify_all();
    return room;
}

size_t CPushSender::Waiting() const {
    std::lock_guard<std::mutex> hold(m_lock);
    return m_queue.size();
}

std::string CPushSender::UrlForLog(const std::string& url) {
    const size_t scheme = url.find("://");
    const size_t start = scheme == std::string::npos ? 0 : scheme + 3;
    const size_t end = url.find_first_of("/?#", start);
    const size_t at = url.rfind('@', end == std::string::npos ? url.size() : end);
    std::string out = url;
    if (at != std::string::npos && at >= start)
        out = url.substr(0, start) + url.substr(at + 1);
    const size_t query = out.find_first_of("?#", start);
    return query == std::string::npos ? out : out.substr(0, query);
}

long CPushSender::Post(const CPushMessage& message, std::string& error) {
    // libcurl is opened with the first message, not at start.
    const CLibcurl* library = Libcurl(&error);
    if (!library)
        return 0;
    const CLibcurl& api = *library;
    CURL* curl = api.easy_init();
    if (!curl) {
        error = "cannot start libcurl";
        return 0;
    }
    curl_slist* headers = nullptr;
    curl_mime* mime = nullptr;
    FILE* still = m_mode == kNtfy && !message.stillPath.empty()
                      ? std::fopen(message.stillPath.c_str(), "rb")
                      : nullptr;
    const bool withStill = still || (m_mode != kNtfy && Readable(message.stillPath));
    api.easy_setopt(curl, CURLOPT_URL, m_url.c_str());
    api.easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    api.easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, 10L);
    api.easy_setopt(curl, CURLOPT_TIMEOUT, 30L);
    api.easy_setopt(curl, CURLOPT_WRITEFUNCTION, &Discard);
    api.easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    api.easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, &AbortWhenStopping);
    api.easy_setopt(curl, CURLOPT_XFERINFODATA, &m_stop);
    api.easy_setopt(curl, CURLOPT_USERAGENT, "Oculon");
    headers = api.slist_append(headers, "Expect:");
    if (m_mode == kNtfy) {
        headers = api.slist_append(headers, ("Title: " + HeaderText(message.title)).c_str());
        headers = api.slist_append(headers, ("Tags: " + HeaderText(message.tags)).c_str());
        headers =
            api.slist_append(headers, ("Priority: " + std::to_string(message.priority)).c_str());
        if (withStill) {
            // The still is the body and becomes the attachment; the text goes in a header.
            headers = api.slist_append(headers, ("Message: " + HeaderText(message.text)).c_str());
            headers = api.slist_append(
                headers, ("Filename: " + HeaderText(FileName(message.stillPath))).c_str());
            headers = api.slist_append(headers, "Content-Type: image/jpeg");
            std::fseek(still, 0, SEEK_END);
            const long size = std::ftell(still);
            std::fseek(still, 0, SEEK_SET);
            api.easy_setopt(curl, CURLOPT_POST, 1L);
            api.easy_setopt(curl, CURLOPT_READDATA, still);
            api.easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(size));
        } else {
            headers = api.slist_append(headers, "Content-Type: text/plain; charset=utf-8");
            api.easy_setopt(curl, CURLOPT_POSTFIELDS, message.text.c_str());
        }
    } else {
        mime = api.mime_init(curl);
        curl_mimepart* part = api.mime_addpart(mime);
        api.mime_name(part, "event");
        api.mime_data(part, message.json.data(), message.json.size());
        api.mime_type(part, "application/json");
        if (withStill) {
            part = api.mime_addpart(mime);
            api.mime_name(part, "still");
            api.mime_filedata(part, message.stillPath.c_str());
            api.mime_type(part, "image/jpeg");
        }
        api.easy_setopt(curl, CURLOPT_MIMEPOST, mime);
    }
    api.easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
    const CURLcode rc = api.easy_perform(curl);
    if (still)
        std::fclose(still);
    long status = 0;
    api.easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    if (rc != CURLE_OK)
        error = api.easy_strerror(rc);
    api.mime_free(mime);
    api.slist_free_all(headers);
    api.easy_cleanup(curl);
    return rc == CURLE_OK ? status : 0;
}

void CPushSender::Run() {
    const std::string where = UrlForLog(m_url);
    std::unique_lock<std::mutex> hold(m_lock);
    while (!m_stop) {
        if (m_queue.empty() || m_queue.front().due > std::chrono::steady_clock::now()) {
            if (m_queue.empty())
                m_wake.wait(hold);
            else
                m_wake.wait_until(hold, m_queue.front().due);
            continue;
        }
        const CPushMessage message = m_queue.front().message;
        hold.unlock();
        std::string error;
        const long status = Post(message, error);
        hold.lock();
        if (m_stop)
            break;
        CEntry& entry = m_queue.front();
        const bool delivered = status >= 200 && status < 300;
        if (delivered) {
            LogEvent("push: sent " + message.title);
            m_queue.pop_front();
            continue;
        }
        const std::string reason = status ? "HTTP " + std::to_string(status) : error;
        ++entry.failures;
        const bool tooOld =
            static_cast<int64_t>(std::time(nullptr)) - entry.firstTryS > COutbox::kGiveUpSeconds;
        if (tooOld) {
            LogEvent("push: failed " + message.title + ": " + where + ": " + reason);
            m_queue.pop_front();
            continue;
        }
        const int64_t waitMs =
            m_delay ? m_delay(entry.failures) : COutbox::RetryDelaySeconds(entry.failures) * 1000;
        entry.due = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
        LogEvent("push: queued " + message.title + ": " + where + ": " + reason);
    }
}
