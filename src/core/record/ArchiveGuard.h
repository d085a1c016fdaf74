#pragma once
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class CAppSettings;
class IClock;

// Free space on the disk that holds a folder; injected so tests need not fill a disk.
class IFreeSpaceProbe {
public:
    virtual ~IFreeSpaceProbe() = default;
    // Bytes an unprivileged writer may still use; negative when unknown.
    virtual int64_t FreeBytes(const std::string& folder) const = 0;
};

class CDiskFreeSpace : public IFreeSpaceProbe {
public:
    int64_t FreeBytes(const std::string& folder) const override;
};

struct CArchiveLimits {
    std::string folder;
    int64_t maxAgeSeconds = 0; // 0 = keep forever
    int64_t maxBytes = 0;      // 0 = no size limit
    int64_t minFreeBytes = 0;

    static CArchiveLimits FromSettings(const CAppSettings& settings);
};

// One capture in the archive: its movie and its stills folder, found by the
// name both share.
struct CArchivedCapture {
    std::string base;  // full path without ".wmv", ".mp4" or "-jpg"
    int64_t stamp = 0; // when it began, seconds since the epoch (local time of its name)
    int64_t bytes = 0; // movie and stills together
    std::vector<std::string> movies;
    std::string stillDir; // empty when it has none
};

// Keeps the archive folder within the user's limits: captures older than the
// maximum age go, then the oldest until the archive fits its size limit and
// the disk has its minimum free space. Only what the program itself names
// (time-stamp movies, their stills folders and the stills in them) is ever
// deleted, never the capture in progress. When nothing more may go and the
// disk is still short of space the archive is full: movies and stills pause
// until a later sweep finds room. Sweeps run on a worker of their own.
class CArchiveGuard {
public:
    CArchiveGuard(const IFreeSpaceProbe& probe, const IClock& clock);
    ~CArchiveGuard();
    CArchiveGuard(const CArchiveGuard&) = delete;
    CArchiveGuard& operator=(const CArchiveGuard&) = delete;

    // Asks the worker for a sweep with these limits (the latest request wins).
    void Request(const CArchiveLimits& limits);
    // The capture being written, as a base path; "" when none.
    void SetInProgress(const std::string& base);
    bool IsFull() const { return m_full.load(); }
    // Returns once every sweep asked for so far has run.
    void WaitIdle();

    // One sweep on the calling thread; returns whether the archive is full.
    bool Sweep(const CArchiveLimits& limits);
    // The program's captures in `folder`, oldest first.
    static std::vector<CArchivedCapture> ListCaptures(const std::string& folder);
    // Seconds since the epoch of a capture name's stamp ("DD-MON-YY  HH=MM=SS=CC"
    // then ".wmv", ".mp4" or "-jpg"); -1 when the name is not one of ours.
    static int64_t StampOfName(const std::string& name, std::string* base = nullptr);

    // While full, how often the worker looks again for room without being asked.
    static constexpr int kFullRecheckSeconds = 60;

private:
    void Run();
    bool Delete(const CArchivedCapture& capture);

    const IFreeSpaceProbe& m_probe;
    const IClock& m_clock;
    std::atomic<bool> m_full{false};
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_idle;
    CArchiveLimits m_limits;
    std::string m_inProgress;
    uint64_t m_asked = 0;
    uint64_t m_done = 0;
    bool m_stop = false;
    std::thread m_worker;
};
