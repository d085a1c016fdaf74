#include "record/ArchiveGuard.h"

#include "app/AppSettings.h"
#include "app/Clock.h"
#include "app/EventLog.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <sys/statvfs.h>

namespace fs = std::filesystem;

namespace {

const char* const kMonths[12] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                 "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};

constexpr int64_t kGigabyte = int64_t{1} << 30;

bool Digits(const std::string& s, size_t at, size_t count, int& value) {
    value = 0;
    for (size_t i = at; i < at + count; ++i) {
        if (i >= s.size() || s[i] < '0' || s[i] > '9')
            return false;
        value = value * 10 + (s[i] - '0');
    }
    return true;
}

// "Frame_000001.jpg": the only files a stills folder of ours holds.
bool IsStillName(const std::string& name) {
    int n = 0;
    return name.size() == 16 && name.compare(0, 6, "Frame_") == 0 && Digits(name, 6, 6, n) &&
           name.compare(12, 4, ".jpg") == 0;
}

// Our stills in a stills folder; anything else there is not ours to count.
int64_t StillBytes(const fs::path& folder) {
    int64_t bytes = 0;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec))
        if (entry.is_regular_file(ec) && IsStillName(entry.path().filename().string()))
            bytes += static_cast<int64_t>(entry.file_size(ec));
    return bytes;
}

} // namespace

int64_t CDiskFreeSpace::FreeBytes(const std::string& folder) const {
    struct statvfs st {};
    if (::statvfs(folder.c_str(), &st) != 0)
        return -1;
    return static_cast<int64_t>(st.f_bavail) * static_cast<int64_t>(st.f_frsize);
}

CArchiveLimits CArchiveLimits::FromSettings(const CAppSettings& settings) {
    CArchiveLimits limits;
    limits.folder = settings.CAPTURE_PTH;
    limits.maxAgeSeconds = int64_t{settings.ARCHIVE_MAX_DAYS} * 86400;
    limits.maxBytes = int64_t{settings.ARCHIVE_MAX_GB} * kGigabyte;
    limits.minFreeBytes = int64_t{settings.ARCHIVE_MIN_FREE_GB} * kGigabyte;
    return limits;
}

int64_t CArchiveGuard::StampOfName(const std::string& name, std::string* base) {
    // DD-MON-YY  HH=MM=SS=CC : 22 characters, then the kind.
    constexpr size_t kStamp = 22;
    if (name.size() != kStamp + 4)
        return -1;
    const std::string kind = name.substr(kStamp);
    if (kind != ".wmv" && kind != ".mp4" && kind != "-jpg")
        return -1;
    int day = 0, year = 0, hour = 0, minute = 0, second = 0, centi = 0;
    const int month =
        static_cast<int>(std::find_if(std::begin(kMonths), std::end(kMonths),
                                      [&](const char* m) { return name.compare(3, 3, m) == 0; }) -
                         std::begin(kMonths));
    const bool ok = Digits(name, 0, 2, day) && name[2] == '-' && month < 12 && name[6] == '-' &&
                    Digits(name, 7, 2, year) && name.compare(9, 2, "  ") == 0 &&
                    Digits(name, 11, 2, hour) && name[13] == '=' && Digits(name, 14, 2, minute) &&
                    name[16] == '=' && Digits(name, 17, 2, second) && name[19] == '=' &&
                    Digits(name, 20, 2, centi);
    if (!ok || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 60)
        return -1;
    std::tm tm{};
    tm.tm_mday = day;
    tm.tm_mon = month;
    tm.tm_year = 100 + year; // two-digit years of this century
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    tm.tm_isdst = -1;
    if (base)
        *base = name.substr(0, kStamp);
    return static_cast<int64_t>(std::mktime(&tm));
}

std::vector<CArchivedCapture> CArchiveGuard::ListCaptures(const std::string& folder) {
    std::vector<CArchivedCapture> captures;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec)) {
        std::string name = entry.path().filename().string(), stem;
        const int64_t stamp = StampOfName(name, &stem);
        if (stamp < 0)
            continue;
        const bool stills = name.compare(name.size() - 4, 4, "-jpg") == 0;
        // A link or a file where a folder belongs (or the other way) is not ours.
        if (entry.is_symlink(ec) || (stills ? !entry.is_directory(ec) : !entry.is_regular_file(ec)))
            continue;
        const std::string base = (fs::path(folder) / stem).string();
        auto it = std::find_if(captures.begin(), captures.end(),
                               [&](const CArchivedCapture& c) { return c.base == base; });
        if (it == captures.end()) {
            captures.push_back(CArchivedCapture{base, stamp, 0, {}, {}});
            it = captures.end() - 1;
        }
        if (stills) {
            it->stillDir = entry.path().string();
            it->bytes += StillBytes(entry.path());
        } else {
            it->movies.push_back(entry.path().string());
            it->bytes += static_cast<int64_t>(entry.file_size(ec));
        }
    }
    std::sort(captures.begin(), captures.end(), [](const auto& a, const auto& b) {
        return a.stamp != b.stamp ? a.stamp < b.stamp : a.base < b.base;
    });
    return captures;
}

CArchiveGuard::CArchiveGuard(const IFreeSpaceProbe& probe, const IClock& clock)
    : m_probe(probe), m_clock(clock), m_worker([this] { Run(); }) {}

CArchiveGuard::~CArchiveGuard() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    m_worker.join();
}

void CArchiveGuard::Request(const CArchiveLimits& limits) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_limits = limits;
        ++m_asked;
    }
    m_wake.notify_all();
}

void CArchiveGuard::SetInProgress(const std::string& base) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_inProgress = base;
}

void CArchiveGuard::WaitIdle() {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_idle.wait(lock, [this] { return m_done >= m_asked || m_stop; });
}

void CArchiveGuard::Run() {
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        const auto asked = [this] { return m_stop || m_asked > m_done; };
        if (m_full.load())
            m_wake.wait_for(lock, std::chrono::seconds(kFullRecheckSeconds), asked);
        else
            m_wake.wait(lock, asked);
        if (m_stop)
            break;
        if (m_limits.folder.empty())
            continue;
        const uint64_t target = m_asked;
        const CArchiveLimits limits = m_limits;
        lock.unlock();
        Sweep(limits);
        lock.lock();
        m_done = std::max(m_done, target);
        m_idle.notify_all();
    }
    m_idle.notify_all();
}

bool CArchiveGuard::Delete(const CArchivedCapture& capture) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_inProgress.empty() && capture.base == m_inProgress)
            return false;
    }
    bool any = false;
    std::error_code ec;
    for (const std::string& movie : capture.movies) {
        if (fs::remove(movie, ec)) {
            LogEvent("archive: deleted " + movie);
            any = true;
        }
    }
    if (!capture.stillDir.empty()) {
        // Only our stills go; a folder with anything else in it stays.
        for (const auto& entry : fs::directory_iterator(capture.stillDir, ec))
            if (entry.is_regular_file(ec) && IsStillName(entry.path().filename().string()))
                fs::remove(entry.path(), ec);
        if (fs::remove(capture.stillDir, ec)) {
            LogEvent("archive: deleted " + capture.stillDir);
            any = true;
        }
    }
    return any;
}

bool CArchiveGuard::Sweep(const CArchiveLimits& limits) {
    std::vector<CArchivedCapture> captures = ListCaptures(limits.folder);
    int64_t total = 0;
    for (const auto& c : captures)
        total += c.bytes;
    const int64_t now = m_clock.WallSeconds();
    const auto tooMuch = [&] {
        if (limits.maxBytes > 0 && total > limits.maxBytes)
            return true;
        const int64_t free = m_probe.FreeBytes(limits.folder);
        return free >= 0 && free < limits.minFreeBytes;
    };
    for (const CArchivedCapture& c : captures) {
        const bool expired = limits.maxAgeSeconds > 0 && c.stamp < now - limits.maxAgeSeconds;
        if (!expired && !tooMuch())
            break; // oldest first: everything after this one is newer
        if (Delete(c))
            total -= c.bytes;
    }
    const int64_t free = m_probe.FreeBytes(limits.folder);
    const bool full = free >= 0 && free < limits.minFreeBytes;
    if (full && !m_full.load())
        LogEvent("archive: full");
    m_full.store(full);
    return full;
}
