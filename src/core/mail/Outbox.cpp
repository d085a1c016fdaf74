#include "mail/Outbox.h"

#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <mutex>
#include <random>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr const char* kSuffix = ".report";

// Entries being tried in this process, by path: the retry worker and a
// report's own worker never try the same entry at once. A mail worker may
// still run while the process exits, so the set is never destroyed.
struct CHeldEntries {
    std::mutex mutex;
    std::set<std::string> paths;
};
CHeldEntries& Held() {
    static auto* held = new CHeldEntries;
    return *held;
}

bool Hold(const std::string& path) {
    CHeldEntries& held = Held();
    const std::lock_guard<std::mutex> lock(held.mutex);
    return held.paths.insert(path).second;
}

void Release(const std::string& path) {
    CHeldEntries& held = Held();
    const std::lock_guard<std::mutex> lock(held.mutex);
    held.paths.erase(path);
}

std::string Escaped(const std::string& value) {
    std::string out;
    for (const char c : value) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else
            out += c;
    }
    return out;
}

std::string Unescaped(const std::string& value) {
    std::string out;
    for (size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '\\' || i + 1 == value.size()) {
            out += value[i];
            continue;
        }
        const char c = value[++i];
        out += c == 'n' ? '\n' : c == 'r' ? '\r' : c;
    }
    return out;
}

std::string ReadWhole(const std::string& path) {
    std::string text;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return text;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
        text.append(buffer, n);
    std::fclose(f);
    return text;
}

} // namespace

COutbox::COutbox(std::string folder, const IClock& clock, Log log)
    : m_folder(std::move(folder)), m_clock(clock), m_log(std::move(log)) {
    if (!m_folder.empty() && m_folder.back() != '/')
        m_folder += '/';
}

int64_t COutbox::RetryDelaySeconds(int failures) {
    static constexpr int64_t kMinutes[] = {1, 2, 5, 10, 30};
    if (failures < 1)
        return 0;
    return 60 * (failures <= 5 ? kMinutes[failures - 1] : 60);
}

std::string COutbox::Serialize(const CEntry& e) {
    const ReportMailJob& j = e.job;
    std::string t;
    auto put = [&t](const char* key, const std::string& value) {
        t += std::string(key) + "=" + Escaped(value) + "\n";
    };
    auto num = [&put](const char* key, int64_t value) { put(key, std::to_string(value)); };
    put("subject", j.subject);
    put("body", j.body);
    put("movie", j.moviePath);
    put("still", j.stillPath);
    put("stilldir", j.stillDir);
    put("host", j.smtpHost);
    num("port", j.smtpPort);
    put("from", j.from);
    put("to", j.to);
    num("emailjpg", j.emailJpg);
    num("capturewmv", j.captureWmv);
    num("capturejpg", j.captureJpg);
    num("security", j.security);
    put("user", j.user);
    num("loopbacklogin", j.loginWithoutTlsOnLoopback);
    num("sizelimit", static_cast<int64_t>(j.sizeLimitBytes));
    put("cafile", j.caFile);
    put("home", j.homeFolder);
    num("firsttry", e.firstTry);
    num("nexttry", e.nextTry);
    num("failures", e.failures);
    return t;
}

bool COutbox::Parse(const std::string& text, CEntry& e) {
    ReportMailJob& j = e.job;
    size_t at = 0;
    int fields = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos)
            end = text.size();
        const std::string line = text.substr(at, end - at);
        at = end + 1;
        const size_t eq = line.find('=');
        if (eq == std::string::npos)
            continue;
        const std::string key = line.substr(0, eq);
        const std::string value = Unescaped(line.substr(eq + 1));
        const int64_t n = std::strtoll(value.c_str(), nullptr, 10);
        ++fields;
        if (key == "subject")
            j.subject = value;
        else if (key == "body")
            j.body = value;
        else if (key == "movie")
            j.moviePath = value;
        else if (key == "still")
            j.stillPath = value;
        else if (key == "stilldir")
            j.stillDir = value;
        else if (key == "host")
            j.smtpHost = value;
        else if (key == "port")
            j.smtpPort = static_cast<uint16_t>(n);
        else if (key == "from")
            j.from = value;
        else if (key == "to")
            j.to = value;
        else if (key == "emailjpg")
            j.emailJpg = n != 0;
        else if (key == "capturewmv")
            j.captureWmv = n != 0;
        else if (key == "capturejpg")
            j.captureJpg = n != 0;
        else if (key == "security")
            j.security = static_cast<int>(n);
        else if (key == "user")
            j.user = value;
        else if (key == "loopbacklogin")
            j.loginWithoutTlsOnLoopback = n != 0;
        else if (key == "sizelimit")
            j.sizeLimitBytes = static_cast<uint64_t>(n);
        else if (key == "cafile")
            j.caFile = value;
        else if (key == "home")
            j.homeFolder = value;
        else if (key == "firsttry")
            e.firstTry = n;
        else if (key == "nexttry")
            e.nextTry = n;
        else if (key == "failures")
            e.failures = static_cast<int>(n);
        else
            --fields;
    }
    return fields > 0 && !j.smtpHost.empty();
}

bool COutbox::Write(const CEntry& entry) const {
    ::mkdir(m_folder.c_str(), 0700);
    const std::string path = m_folder + entry.id + kSuffix;
    const std::string temporary = path + ".new";
    const std::string text = Serialize(entry);
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    const bool written = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    ::fsync(fd);
    ::close(fd);
    // Complete or not there: a crash while writing never leaves half an entry.
    return written && ::rename(temporary.c_str(), path.c_str()) == 0;
}

bool COutbox::Read(const std::string& id, CEntry& entry) const {
    entry = CEntry{};
    entry.id = id;
    return Parse(ReadWhole(m_folder + id + kSuffix), entry);
}

void COutbox::Remove(const std::string& id) const {
    ::unlink((m_folder + id + kSuffix).c_str());
}

std::string COutbox::Add(const ReportMailJob& job) {
    static std::mutex randomMutex;
    static std::mt19937_64 random{std::random_device{}()};
    CEntry entry;
    {
        const std::lock_guard<std::mutex> lock(randomMutex);
        char id[64];
        std::snprintf(id, sizeof id, "%lld-%012llx", static_cast<long long>(m_clock.WallSeconds()),
                      static_cast<unsigned long long>(random() & 0xffffffffffffULL));
        entry.id = id;
    }
    entry.job = job;
    entry.firstTry = entry.nextTry = m_clock.WallSeconds();
    Hold(m_folder + entry.id);
    if (!Write(entry)) {
        Release(m_folder + entry.id);
        return {};
    }
    return entry.id;
}

void COutbox::Settle(const std::string& id, const CDeliveryOutcome& outcome) {
    CEntry entry;
    const bool known = Read(id, entry);
    CDeliveryOutcome filed = outcome;
    if (known && filed.result == CDeliveryOutcome::Result::Retry) {
        ++entry.failures;
        entry.nextTry = m_clock.WallSeconds() + RetryDelaySeconds(entry.failures);
        if (entry.nextTry - entry.firstTry > kGiveUpSeconds) {
            filed.result = CDeliveryOutcome::Result::Failed;
            filed.reason += " (gave up after 3 days)";
        } else if (Write(entry)) {
            // Said once, when the report first waits; the retries stay quiet.
            if (entry.failures == 1 && m_log)
                m_log(report_delivery::EventLine(entry.job, filed));
            Release(m_folder + id);
            return;
        } else {
            filed.result = CDeliveryOutcome::Result::Failed;
        }
    }
    if (known && filed.result == CDeliveryOutcome::Result::Sent)
        report_delivery::DeleteUnarchivedFiles(entry.job, filed.movieKept);
    if (known) {
        Remove(id);
        if (m_log)
            m_log(report_delivery::EventLine(entry.job, filed));
    }
    Release(m_folder + id);
}

std::vector<COutbox::CEntry> COutbox::Entries() const {
    std::vector<CEntry> entries;
    DIR* dir = ::opendir(m_folder.c_str());
    if (!dir)
        return entries;
    while (const dirent* d = ::readdir(dir)) {
        const std::string name = d->d_name;
        if (!name.ends_with(kSuffix))
            continue;
        CEntry entry;
        if (Read(name.substr(0, name.size() - std::string(kSuffix).size()), entry))
            entries.push_back(entry);
    }
    ::closedir(dir);
    return entries;
}

int COutbox::RetryDue(const Deliver& deliver) {
    int tried = 0;
    for (const CEntry& entry : Entries()) {
        if (entry.nextTry > m_clock.WallSeconds() || !Hold(m_folder + entry.id))
            continue;
        ++tried;
        Settle(entry.id, deliver(entry.job));
    }
    return tried;
}
