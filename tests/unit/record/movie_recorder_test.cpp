#include "RecordingSinks.h"
#include "TempDir.h"

#include "app/AppSettings.h"
#include "app/Clock.h"
#include "app/TagParser.h"
#include "frame/FrameImage.h"
#include "record/ArchiveGuard.h"
#include "record/MovieRecorder.h"
#include "record/PreRollRing.h"
#include "record/WmvWriter.h"

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

CFrameImage GreyFrame(int width = kFrameWidth, int height = kFrameHeight) {
    CFrameImage f;
    f.width = width;
    f.height = height;
    f.bgrx.assign(static_cast<size_t>(width) * height * 4, 0x80);
    return f;
}

struct RuleCase {
    int captureWmv;
    int emailEna;
    int emailWmv;
    bool movie;
};

TEST(MovieRecorder, StartsAMovieOnlyForArchivingOrAMailedMovie) {
    const std::vector<RuleCase> cases = {
        {1, 0, 0, true},  {1, 1, 0, true},  {0, 1, 1, true},
        {0, 0, 1, false}, {0, 1, 0, false}, {0, 0, 0, false},
    };
    CTempDir dir;
    const CTagParser parser(false);
    CAppSettings settings(parser, dir.Folder(), dir.File("oculon"));
    CRecordingMessageSink messages;
    int n = 0;
    for (const RuleCase& c : cases) {
        settings.CAPTURE_WMV = c.captureWmv;
        settings.EMAIL_ENA = c.emailEna;
        settings.EMAIL_WMV = c.emailWmv;
        const std::string path = dir.File("movie" + std::to_string(n++) + ".wmv");
        CMovieRecorder recorder(settings);
        recorder.Start(path, 15);
        EXPECT_EQ(recorder.IsRecording(), c.movie) << path;
        recorder.AddFrame(GreyFrame(), 0);
        recorder.AddFrame(GreyFrame(), 0);
        recorder.Stop();
        EXPECT_FALSE(recorder.IsRecording());
        EXPECT_EQ(fs::exists(path), c.movie) << path;
        if (c.movie) {
            EXPECT_GT(fs::file_size(path), 0u);
        }
    }
    EXPECT_TRUE(messages.m_messages.empty());
}

TEST(MovieRecorder, AMovieThatGetsNoFrameLeavesNoFile) {
    CTempDir dir;
    const CTagParser parser(false);
    CAppSettings settings(parser, dir.Folder(), dir.File("oculon"));
    settings.CAPTURE_WMV = 1;
    CRecordingEventLog events;
    const std::string path = dir.File("empty.wmv");
    {
        CMovieRecorder recorder(settings);
        recorder.Start(path, 15);
        EXPECT_TRUE(recorder.IsRecording());
        // Destroyed without Stop, as at teardown.
    }
    EXPECT_FALSE(fs::exists(path));
    EXPECT_EQ(events.Lines(),
              (std::vector<std::string>{"movie: start " + path, "movie: end " + path + " 0"}));
}

TEST(MovieRecorder, StartWhileAMovieIsOpenFinishesTheFirst) {
    CTempDir dir;
    const CTagParser parser(false);
    CAppSettings settings(parser, dir.Folder(), dir.File("oculon"));
    settings.CAPTURE_WMV = 1;
    CRecordingEventLog events;
    CMovieRecorder recorder(settings);
    recorder.Start(dir.File("a.wmv"), 10);
    recorder.AddFrame(GreyFrame(), 0);
    recorder.Start(dir.File("b.wmv"), 10);
    recorder.AddFrame(GreyFrame(), 0);
    recorder.AddFrame(GreyFrame(), 0);
    recorder.Stop();
    EXPECT_EQ(events.Lines(), (std::vector<std::string>{
                                  "movie: start " + dir.File("a.wmv"),
                                  "movie: end " + dir.File("a.wmv") + " 1",
                                  "movie: start " + dir.File("b.wmv"),
                                  "movie: end " + dir.File("b.wmv") + " 2",
                              }));
}

// Each failure shows exactly one "Error" box; the writer is closed and every
// later frame fails quietly.
void ExpectOneErrorThenQuiet(CWmvWriter& writer, const CRecordingMessageSink& messages,
                             const std::string& text) {
    ASSERT_EQ(messages.m_messages.size(), 1u);
    EXPECT_EQ(messages.m_messages[0].caption, "Error");
    EXPECT_EQ(messages.m_messages[0].text, text);
    EXPECT_EQ(messages.m_messages[0].icon, MessageIcon::Error);
    EXPECT_EQ(writer.GetState(), CWmvWriter::kClosed);
    for (int i = 0; i < 3; ++i)
        EXPECT_FALSE(writer.AddFrame(GreyFrame()));
    EXPECT_EQ(messages.m_messages.size(), 1u);
}

TEST(WmvWriterFailure, MissingFolderFailsAtOpening) {
    CTempDir dir;
    CRecordingMessageSink messages;
    const std::string path = dir.File("no-such-folder/m.wmv");
    CWmvWriter writer(path, 15);
    ExpectOneErrorThenQuiet(writer, messages, "Unable to Set Output Filename");
    EXPECT_EQ(messages.m_messages[0].detail, path + ": No such file or directory");
    EXPECT_FALSE(fs::exists(path));
}

TEST(WmvWriterFailure, OverlongNameFailsBeforeAnythingIsWritten) {
    CTempDir dir;
    CRecordingMessageSink messages;
    CRecordingEventLog events;
    // 2048 units of name plus the terminator do not fit the 2048-unit buffer.
    const std::string path = dir.Folder() + std::string(2048 - dir.Folder().size(), 'a');
    ASSERT_EQ(path.size(), 2048u);
    CWmvWriter writer(path, 15);
    ExpectOneErrorThenQuiet(writer, messages, "Unable to Convert Output Filename");
    EXPECT_TRUE(fs::is_empty(dir.Path()));
    EXPECT_TRUE(events.Lines().empty()); // no movie was announced
}

TEST(WmvWriterFailure, UnusableFirstPictureLeavesNoFile) {
    CTempDir dir;
    CRecordingMessageSink messages;
    const std::string path = dir.File("m.wmv");
    CWmvWriter writer(path, 15);
    ASSERT_EQ(writer.GetState(), CWmvWriter::kOpened);
    CFrameImage shortBuffer = GreyFrame();
    shortBuffer.bgrx.resize(1000);
    EXPECT_FALSE(writer.AddFrame(shortBuffer));
    ExpectOneErrorThenQuiet(writer, messages, "Unable to Set Media Type");
    EXPECT_FALSE(fs::exists(path));
}

class CFixedFreeSpace : public IFreeSpaceProbe {
public:
    int64_t FreeBytes(const std::string&) const override { return m_free; }
    std::atomic<int64_t> m_free{0};
};

TEST(MovieRecorder, AFullArchivePausesMoviesAndSaysSoOnce) {
    CTempDir dir;
    const CTagParser parser(false);
    CAppSettings settings(parser, dir.Folder(), dir.File("oculon"));
    settings.CAPTURE_WMV = 1;
    settings.MOVIE_FORMAT = 1;
    CRecordingMessageSink messages;
    CRecordingEventLog events;
    CFixedFreeSpace disk;
    const CSystemClock clock;
    CArchiveGuard guard(disk, clock);
    CMovieRecorder recorder(settings);
    recorder.SetArchiveGuard(&guard); // sweeps at once: 0 bytes free of the 1 GB wanted
    guard.WaitIdle();
    for (const char* name : {"a.mp4", "b.mp4"}) {
        recorder.Start(dir.File(name), 10);
        EXPECT_FALSE(recorder.IsRecording());
        EXPECT_TRUE(recorder.ArchivePaused());
        recorder.AddFrame(GreyFrame(), 0);
        recorder.Stop();
        guard.WaitIdle();
    }
    EXPECT_EQ(messages.m_messages.size(), 1u);
    disk.m_free = int64_t{2} << 30;
    recorder.Start(dir.File("c.mp4"), 10); // a capture ends with a sweep; this one finds room
    recorder.Stop();
    guard.WaitIdle();
    recorder.Start(dir.File("d.mp4"), 10);
    EXPECT_TRUE(recorder.IsRecording());
    recorder.AddFrame(GreyFrame(), 0);
    recorder.Stop();
    EXPECT_TRUE(fs::exists(dir.File("d.mp4")));
    EXPECT_FALSE(fs::exists(dir.File("a.mp4")));
    const std::vector<std::string> lines = events.Lines();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "archive: full"), 1);
}

struct RingCase {
    int seconds;
    int rate;
    int pushEveryMs;
    size_t kept; // after 12 s of frames
};

TEST(PreRollRing, KeepsTheLastSecondsWithinItsBound) {
    const std::vector<RingCase> cases = {
        {0, 10, 100, 0},   // no pre-roll
        {3, 10, 100, 30},  // the watching rate
        {3, 10, 250, 12},  // a slower camera: the time decides
        {2, 10, 20, 21},   // a faster one: the bound decides
        {10, 60, 16, 601}, // the largest setting
    };
    for (const RingCase& c : cases) {
        CPreRollRing ring;
        ring.Configure(c.seconds, c.rate);
        for (int t = 0; t < 12000; t += c.pushEveryMs)
            ring.Push(GreyFrame(), t);
        EXPECT_EQ(ring.Count(), c.kept) << c.seconds << " s at " << c.pushEveryMs;
        EXPECT_LE(ring.BytesHeld(), ring.Capacity() * CYuvFrame::Size(kFrameWidth, kFrameHeight));
        for (size_t i = 1; i < ring.Count(); ++i)
            EXPECT_GT(ring.Time(i), ring.Time(i - 1));
        if (ring.Count() > 0) {
            EXPECT_LT(ring.Time(ring.Count() - 1) - ring.Time(0), c.seconds * 1000);
        }
    }
}

} // namespace
