// Movies checked by ffprobe and decoded by ffmpeg, as a player would see them.
#include "RecordingSinks.h"
#include "RunCommand.h"
#include "TempDir.h"

#include "app/AppSettings.h"
#include "app/TagParser.h"
#include "frame/FrameImage.h"
#include "record/MovieRecorder.h"
#include "record/WmvWriter.h"

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <vector>

namespace {

// A blue picture with a red box that moves with k: a red/blue swap or a
// flipped picture shows up at once in the decoded frame.
CFrameImage SceneFrame(int k) {
    CFrameImage f;
    f.bgrx.resize(static_cast<size_t>(f.width) * f.height * 4);
    for (int y = 0; y < f.height; ++y) {
        for (int x = 0; x < f.width; ++x) {
            uint8_t* p = &f.bgrx[(static_cast<size_t>(y) * f.width + x) * 4];
            const bool box = x >= 20 + 4 * k && x < 100 + 4 * k && y >= 10 && y < 90;
            p[0] = box ? 30 : 200; // blue
            p[1] = 40;             // green
            p[2] = box ? 210 : 30; // red
            p[3] = 0;
        }
    }
    return f;
}

std::map<std::string, std::string> ProbeStream(const std::string& path) {
    const CommandResult r = RunCommand("ffprobe -v error -count_frames -select_streams v "
                                       "-show_entries stream=codec_name,width,height,nb_read_frames"
                                       ":format=format_name -of default=noprint_wrappers=1 '" +
                                       path + "'");
    std::map<std::string, std::string> values;
    std::istringstream lines(r.output);
    for (std::string line; std::getline(lines, line);) {
        const size_t eq = line.find('=');
        if (eq != std::string::npos)
            values[line.substr(0, eq)] = line.substr(eq + 1);
    }
    return values;
}

std::vector<long> PacketTimes(const std::string& path) {
    const CommandResult r =
        RunCommand("ffprobe -v error -select_streams v -show_entries packet=pts "
                   "-of csv=p=0 '" +
                   path + "'");
    std::vector<long> times;
    std::istringstream lines(r.output);
    for (std::string line; std::getline(lines, line);)
        times.push_back(std::strtol(line.c_str(), nullptr, 10));
    return times;
}

// Mean absolute difference between a decoded frame and the picture given.
double DecodedDifference(const std::string& path, int index, const CFrameImage& expected) {
    const CommandResult r =
        RunCommand("ffmpeg -v error -i '" + path + "' -vf 'select=eq(n\\," + std::to_string(index) +
                   ")' -frames:v 1 -f rawvideo -pix_fmt bgr0 -");
    if (r.output.size() != expected.bgrx.size())
        return 1e9;
    double sum = 0;
    size_t n = 0;
    for (size_t i = 0; i < expected.bgrx.size(); ++i) {
        if (i % 4 == 3)
            continue;
        sum += std::abs(static_cast<uint8_t>(r.output[i]) - expected.bgrx[i]);
        ++n;
    }
    return sum / n;
}

void WriteMovie(const std::string& path, int rate, int frames) {
    CWmvWriter writer(path, rate);
    for (int k = 0; k < frames; ++k)
        ASSERT_TRUE(writer.AddFrame(SceneFrame(k))) << k;
}

TEST(RecordMovie, FifteenFramesASecondAsWmv2InAsf) {
    CTempDir dir;
    CRecordingMessageSink messages;
    const std::string path = dir.File("15fps.wmv");
    WriteMovie(path, 15, 16);

    const auto stream = ProbeStream(path);
    EXPECT_EQ(stream.at("codec_name"), "wmv2");
    EXPECT_EQ(stream.at("format_name"), "asf");
    EXPECT_EQ(stream.at("width"), "320");
    EXPECT_EQ(stream.at("height"), "240");
    EXPECT_EQ(stream.at("nb_read_frames"), "16");

    const std::vector<long> times = PacketTimes(path);
    ASSERT_EQ(times.size(), 16u);
    EXPECT_EQ(std::vector<long>(times.begin(), times.begin() + 4),
              (std::vector<long>{0, 66, 133, 200}));
    EXPECT_EQ(times.back(), 1000); // frame 15 of 15 a second
    EXPECT_TRUE(messages.m_messages.empty());
}

TEST(RecordMovie, SevenFramesASecondStampsByFrameCount) {
    CTempDir dir;
    const std::string path = dir.File("7fps.wmv");
    WriteMovie(path, 7, 3);
    EXPECT_EQ(PacketTimes(path), (std::vector<long>{0, 142, 285}));
    EXPECT_EQ(ProbeStream(path).at("nb_read_frames"), "3");
}

TEST(RecordMovie, DecodedPicturesMatchWhatWasRecorded) {
    CTempDir dir;
    const std::string path = dir.File("scene.wmv");
    WriteMovie(path, 10, 12);
    // Colours, orientation and order survive; the coding loss stays small.
    EXPECT_LT(DecodedDifference(path, 0, SceneFrame(0)), 4.0);
    EXPECT_LT(DecodedDifference(path, 11, SceneFrame(11)), 4.0);
    EXPECT_GT(DecodedDifference(path, 11, SceneFrame(0)), 10.0);
}

TEST(RecordMovie, MailedMovieWithoutArchivingIsAPlayableFile) {
    CTempDir dir;
    const CTagParser parser(false);
    CAppSettings settings(parser, dir.Folder(), dir.File("oculon"));
    settings.CAPTURE_WMV = 0;
    settings.EMAIL_ENA = 1;
    settings.EMAIL_WMV = 1;
    CRecordingEventLog events;
    const std::string path = dir.File("mailed.wmv");
    CMovieRecorder recorder(settings);
    recorder.Start(path, 20);
    for (int k = 0; k < 5; ++k)
        recorder.AddFrame(SceneFrame(k), 50 * k);
    recorder.Stop();
    EXPECT_EQ(ProbeStream(path).at("nb_read_frames"), "5");
    EXPECT_EQ(PacketTimes(path), (std::vector<long>{0, 50, 100, 150, 200}));
    EXPECT_EQ(events.Lines(),
              (std::vector<std::string>{"movie: start " + path, "movie: end " + path + " 5"}));
}

TEST(RecordMovie, AMovieCutShortByAFailureIsStillPlayable) {
    CTempDir dir;
    CRecordingMessageSink messages;
    CRecordingEventLog events;
    const std::string path = dir.File("cut.wmv");
    {
        CWmvWriter writer(path, 15);
        for (int k = 0; k < 4; ++k)
            ASSERT_TRUE(writer.AddFrame(SceneFrame(k)));
        CFrameImage wrong = SceneFrame(4); // a picture of another size than the movie
        wrong.height = 200;
        EXPECT_FALSE(writer.AddFrame(wrong));
        EXPECT_EQ(writer.GetState(), CWmvWriter::kClosed);
        EXPECT_FALSE(writer.AddFrame(SceneFrame(5)));
        EXPECT_EQ(writer.FramesWritten(), 5u); // the failed frame counts as handed over
    }
    EXPECT_EQ(messages.Texts(), (std::vector<std::string>{"Unable to Write Frame"}));
    EXPECT_EQ(events.Lines().back(), "movie: end " + path + " 4");
    EXPECT_EQ(ProbeStream(path).at("nb_read_frames"), "4");
    EXPECT_EQ(PacketTimes(path), (std::vector<long>{0, 66, 133, 200}));
}

TEST(RecordMovie, AFullDiskIsReportedOnceWhenTheMovieCannotBeCompleted) {
    CTempDir dir;
    CRecordingMessageSink messages;
    const std::string path = dir.File("full.wmv");
    // A file size limit plays the full disk: writes past it fail with EFBIG.
    rlimit old{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 4096;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    {
        CWmvWriter writer(path, 10);
        for (int k = 0; k < 10; ++k)
            writer.AddFrame(SceneFrame(k));
    }
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(messages.Texts(), (std::vector<std::string>{"Unable to Write Frame"}));
    EXPECT_EQ(messages.m_messages[0].detail, path + ": File too large");
    EXPECT_LE(std::filesystem::file_size(path), 4096u);
}

} // namespace
