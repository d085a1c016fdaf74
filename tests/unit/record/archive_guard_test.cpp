#include "ManualClock.h"
#include "RecordingSinks.h"
#include "TempDir.h"

#include "record/ArchiveGuard.h"

#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr int64_t kNow = 1'700'000'000;
constexpr int64_t kDay = 86400;
constexpr int64_t kKb = 1024;

// The capture name the program gives a capture that began at `epoch`.
std::string StampName(int64_t epoch) {
    static const char* const months[12] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                           "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
    const std::time_t t = static_cast<std::time_t>(epoch);
    std::tm tm{};
    localtime_r(&t, &tm);
    char name[40];
    std::snprintf(name, sizeof name, "%02d-%s-%02d  %02d=%02d=%02d=00", tm.tm_mday,
                  months[tm.tm_mon], tm.tm_year % 100, tm.tm_hour, tm.tm_min, tm.tm_sec);
    return name;
}

void WriteBytes(const fs::path& path, int64_t bytes) {
    std::ofstream(path, std::ios::binary) << std::string(static_cast<size_t>(bytes), 'x');
}

class CFakeProbe : public IFreeSpaceProbe {
public:
    int64_t FreeBytes(const std::string& folder) const override { return m_free(folder); }
    std::function<int64_t(const std::string&)> m_free;
};

// An archive of four captures (10, 5 and 2 days old and one from the last
// hour, which is in progress), 100 KB each, and things that are not ours.
class ArchiveGuardTest : public ::testing::Test {
protected:
    void SetUp() override { Populate(); }
    // A fresh archive folder.
    void Populate() {
        m_dir = std::make_unique<CTempDir>();
        m_bases.clear();
        m_clock.m_wallBase = kNow;
        const int64_t ages[4] = {10 * kDay, 5 * kDay, 2 * kDay, 3600};
        for (int i = 0; i < 4; ++i) {
            m_bases.push_back(m_dir->File(StampName(kNow - ages[i])));
            WriteBytes(m_bases[i] + (i == 1 ? ".mp4" : ".wmv"), i == 1 ? 100 * kKb : 50 * kKb);
            if (i != 1) {
                fs::create_directory(m_bases[i] + "-jpg");
                WriteBytes(m_bases[i] + "-jpg/Frame_000001.jpg", 25 * kKb);
                WriteBytes(m_bases[i] + "-jpg/Frame_000002.jpg", 25 * kKb);
            }
        }
        // Not ours: other names, a stamp name of another kind, a file where a
        // stills folder belongs, and a file of the user's in an old stills folder.
        m_foreign = {m_dir->File("notes.txt"), m_dir->File(StampName(kNow - 30 * kDay) + ".avi"),
                     m_dir->File(StampName(kNow - 31 * kDay) + "-jpg"),
                     m_dir->File("x" + StampName(kNow - 32 * kDay) + ".mp4"),
                     m_bases[0] + "-jpg/mine.txt"};
        for (const std::string& f : m_foreign)
            WriteBytes(f, 300 * kKb);
        m_guard.SetInProgress(m_bases[3]);
        m_probe.m_free = [](const std::string&) { return int64_t{1} << 40; };
    }

    CArchiveLimits Limits(int64_t maxAgeDays, int64_t maxBytes, int64_t minFree) const {
        return CArchiveLimits{m_dir->Folder(), maxAgeDays * kDay, maxBytes, minFree};
    }
    // Which of the four captures still have their movie.
    std::vector<bool> Kept() const {
        std::vector<bool> kept;
        for (size_t i = 0; i < m_bases.size(); ++i)
            kept.push_back(fs::exists(m_bases[i] + (i == 1 ? ".mp4" : ".wmv")));
        return kept;
    }
    int64_t ArchiveBytes() const {
        int64_t bytes = 0;
        for (const auto& c : CArchiveGuard::ListCaptures(m_dir->Folder()))
            bytes += c.bytes;
        return bytes;
    }

    std::unique_ptr<CTempDir> m_dir;
    CManualClock m_clock;
    CFakeProbe m_probe;
    CArchiveGuard m_guard{m_probe, m_clock};
    std::vector<std::string> m_bases;
    std::vector<std::string> m_foreign;
};

struct LimitCase {
    const char* what;
    int64_t maxAgeDays;
    int64_t maxBytes;
    int64_t diskBytes; // free = disk - archive; 0 = plenty
    int64_t minFree;
    std::vector<bool> kept;
    bool full;
};

TEST_F(ArchiveGuardTest, OldestCapturesGoFirstAndOnlyOurs) {
    const std::vector<LimitCase> cases = {
        {"nothing passed", 0, 0, 0, kKb, {true, true, true, true}, false},
        {"older than 3 days", 3, 0, 0, kKb, {false, false, true, true}, false},
        {"over 250 KB", 0, 250 * kKb, 0, kKb, {false, false, true, true}, false},
        {"150 KB free wanted of 400",
         0,
         0,
         400 * kKb,
         150 * kKb,
         {false, false, true, true},
         false},
        {"only the capture in progress would fit",
         0,
         0,
         400 * kKb,
         350 * kKb,
         {false, false, false, true},
         true},
    };
    for (const LimitCase& c : cases) {
        SCOPED_TRACE(c.what);
        Populate();
        if (c.diskBytes > 0)
            m_probe.m_free = [&](const std::string&) { return c.diskBytes - ArchiveBytes(); };
        CRecordingEventLog events;
        EXPECT_EQ(m_guard.Sweep(Limits(c.maxAgeDays, c.maxBytes, c.minFree)), c.full);
        EXPECT_EQ(Kept(), c.kept);
        std::vector<std::string> expected;
        for (size_t i = 0; i < c.kept.size(); ++i) {
            if (c.kept[i])
                continue;
            expected.push_back("archive: deleted " + m_bases[i] + (i == 1 ? ".mp4" : ".wmv"));
            if (i > 0 && i != 1)
                expected.push_back("archive: deleted " + m_bases[i] + "-jpg");
        }
        if (c.full)
            expected.push_back("archive: full");
        EXPECT_EQ(events.Lines(), expected);
        for (const std::string& f : m_foreign)
            EXPECT_TRUE(fs::exists(f)) << f;
        // The old stills folder lost our stills but keeps the user's file.
        EXPECT_EQ(fs::exists(m_bases[0] + "-jpg/Frame_000001.jpg"), c.kept[0]);
        EXPECT_TRUE(fs::exists(m_bases[3] + "-jpg/Frame_000002.jpg"));
    }
}

TEST_F(ArchiveGuardTest, AFullDiskIsSaidOnceAndRecordingResumesWhenThereIsRoom) {
    CRecordingEventLog events;
    int64_t free = 10 * kKb;
    m_probe.m_free = [&](const std::string&) { return free; };
    const CArchiveLimits limits = Limits(0, 0, 20 * kKb);
    EXPECT_TRUE(m_guard.Sweep(limits));
    EXPECT_TRUE(m_guard.Sweep(limits));
    EXPECT_TRUE(m_guard.IsFull());
    EXPECT_EQ(Kept(), (std::vector<bool>{false, false, false, true}));
    const std::vector<std::string> lines = events.Lines();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "archive: full"), 1);
    free = 30 * kKb; // the user made room
    EXPECT_FALSE(m_guard.Sweep(limits));
    EXPECT_FALSE(m_guard.IsFull());
    EXPECT_TRUE(fs::exists(m_bases[3] + ".wmv"));
}

TEST(ArchiveGuard, NamesOfOursAreKnownByTheirStamp) {
    EXPECT_GT(CArchiveGuard::StampOfName("07-DEC-26  14=05=00=00.mp4"), 0);
    EXPECT_GT(CArchiveGuard::StampOfName("07-DEC-26  14=05=00=00-jpg"), 0);
    EXPECT_LT(CArchiveGuard::StampOfName("07-DEC-26  14=05=00=00.mov"), 0);
    EXPECT_LT(CArchiveGuard::StampOfName("07-DEX-26  14=05=00=00.wmv"), 0);
    EXPECT_LT(CArchiveGuard::StampOfName("07-DEC-26 14=05=00=00.wmv"), 0);
    EXPECT_LT(CArchiveGuard::StampOfName("07-DEC-26  24=05=00=00.wmv"), 0);
    EXPECT_LT(CArchiveGuard::StampOfName("07-DEC-26  14=05=00=00.wmv.part"), 0);
    EXPECT_LT(CArchiveGuard::StampOfName("07-DEC-26  14=05=00=00.WMV"), 0);
}

// The real disk and the guard's own worker, with a small size limit.
TEST(ArchiveGuard, WorkerKeepsARealArchiveUnderItsSizeLimit) {
    CTempDir dir;
    CRecordingEventLog events;
    const CDiskFreeSpace disk;
    const CManualClock clock;
    std::vector<std::string> movies;
    for (int i = 0; i < 5; ++i) {
        movies.push_back(dir.File(StampName(kNow - 100 * (5 - i)) + ".mp4"));
        WriteBytes(movies.back(), 100 * kKb);
    }
    {
        CArchiveGuard guard(disk, clock);
        guard.Request(CArchiveLimits{dir.Folder(), 0, 250 * kKb, 0});
        guard.WaitIdle();
        EXPECT_FALSE(guard.IsFull());
    }
    EXPECT_EQ(events.Lines(), (std::vector<std::string>{"archive: deleted " + movies[0],
                                                        "archive: deleted " + movies[1],
                                                        "archive: deleted " + movies[2]}));
    EXPECT_TRUE(fs::exists(movies[3]) && fs::exists(movies[4]));
}

} // namespace
