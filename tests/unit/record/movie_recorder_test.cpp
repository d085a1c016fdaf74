#include "RecordingSinks.h"
#include "TempDir.h"

#include "app/AppSettings.h"
#include "app/TagParser.h"
#include "frame/FrameImage.h"
#include "record/MovieRecorder.h"
#include "record/WmvWriter.h"

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

} // namespace
