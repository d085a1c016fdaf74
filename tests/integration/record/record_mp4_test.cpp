// MP4 movies as phones and browsers get them, read back with ffprobe and ffmpeg.
#include "MediaChecks.h"
#include "RecordingSinks.h"
#include "TempDir.h"

#include "app/AppSettings.h"
#include "app/TagParser.h"
#include "frame/FrameImage.h"
#include "record/MovieRecorder.h"
#include "record/Mp4Writer.h"

#include <csignal>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

// A grey scene; with `box` a red square appears, placed by k so frames differ.
CFrameImage Scene(int k, bool box) {
    CFrameImage f;
    f.bgrx.resize(static_cast<size_t>(f.width) * f.height * 4);
    for (int y = 0; y < f.height; ++y)
        for (int x = 0; x < f.width; ++x) {
            uint8_t* p = &f.bgrx[(static_cast<size_t>(y) * f.width + x) * 4];
            const bool in = box && x >= 40 + k % 100 && x < 140 + k % 100 && y >= 60 && y < 160;
            p[0] = in ? 20 : static_cast<uint8_t>(90 + x / 8);
            p[1] = in ? 20 : static_cast<uint8_t>(100 + y / 8);
            p[2] = in ? 220 : 110;
            p[3] = 0xFF;
        }
    return f;
}

std::map<std::string, std::string> Probe(const std::string& path) {
    const CommandResult r = RunCommand(
        "ffprobe -v error -select_streams v:0 -show_entries "
        "stream=codec_name,pix_fmt,width,height,profile,level:format=format_name,duration "
        "-of default=nw=1 " +
        ShellQuoted(path));
    std::map<std::string, std::string> values;
    std::istringstream lines(r.output);
    for (std::string line; std::getline(lines, line);)
        if (const size_t eq = line.find('='); eq != std::string::npos)
            values[line.substr(0, eq)] = line.substr(eq + 1);
    return values;
}

// Stamps (ms) of the key-frame packets.
std::vector<int64_t> KeyStamps(const std::string& path) {
    const CommandResult r = RunCommand("ffprobe -v error -select_streams v:0 -show_entries "
                                       "packet=pts,flags -of csv=p=0 " +
                                       ShellQuoted(path));
    std::vector<int64_t> keys;
    std::istringstream lines(r.output);
    for (std::string line; std::getline(lines, line);)
        if (line.find(",K") != std::string::npos)
            keys.push_back(std::stoll(line));
    return keys;
}

// The file's top-level boxes in order ("ftyp", "moov", "moof", "mdat", ...).
std::vector<std::string> TopBoxes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<std::string> boxes;
    unsigned char head[8];
    while (in.read(reinterpret_cast<char*>(head), 8)) {
        const uint64_t size =
            (uint64_t{head[0]} << 24) | (head[1] << 16) | (head[2] << 8) | head[3];
        boxes.emplace_back(reinterpret_cast<char*>(head + 4), 4);
        if (size < 8)
            break;
        in.seekg(static_cast<std::streamoff>(size - 8), std::ios::cur);
    }
    return boxes;
}

TEST(RecordMp4, PlaysAtRealSpeedAsH264MainInFragments) {
    CTempDir dir;
    CRecordingMessageSink messages;
    const std::string path = dir.File("phone.mp4");
    // A camera that delivers about 12 frames a second, unevenly, against a
    // nominal 20: 50 frames over 4.05 s of wall clock.
    std::vector<int64_t> stamps;
    {
        CMp4Writer writer(path, 20);
        int64_t t = 10'000;
        for (int k = 0; k < 50; ++k) {
            stamps.push_back(t - 10'000);
            ASSERT_TRUE(writer.AddFrame(Scene(k, true), t)) << k;
            t += k % 3 == 0 ? 66 : 83;
        }
    }
    const double wallSeconds = (stamps.back() + 83) / 1000.0;
    const auto info = Probe(path);
    EXPECT_EQ(info.at("codec_name"), "h264");
    EXPECT_EQ(info.at("pix_fmt"), "yuv420p");
    EXPECT_EQ(info.at("profile"), "Main");
    EXPECT_EQ(info.at("level"), "30");
    EXPECT_EQ(info.at("width"), "320");
    EXPECT_EQ(info.at("height"), "240");
    EXPECT_NEAR(std::stod(info.at("duration")), wallSeconds, wallSeconds * 0.03);

    const MovieFacts movie = ProbeMovie(path);
    EXPECT_EQ(movie.pts, stamps);
    EXPECT_EQ(movie.decodedFrames, 50);
    EXPECT_EQ(movie.decodeErrors, "");

    // Two seconds at most between key frames, whatever the camera's pace.
    const std::vector<int64_t> keys = KeyStamps(path);
    ASSERT_GE(keys.size(), 2u);
    EXPECT_EQ(keys.front(), 0);
    for (size_t i = 1; i < keys.size(); ++i)
        EXPECT_LE(keys[i] - keys[i - 1], 2000) << i;
    EXPECT_LE(stamps.back() - keys.back(), 2000);

    // Header first, then fragments: a player starts before the end arrives.
    const std::vector<std::string> boxes = TopBoxes(path);
    ASSERT_GE(boxes.size(), 4u);
    EXPECT_EQ(std::vector<std::string>(boxes.begin(), boxes.begin() + 4),
              (std::vector<std::string>{"ftyp", "moov", "moof", "mdat"}));
    EXPECT_GE(std::count(boxes.begin(), boxes.end(), "moof"), 3);
    EXPECT_TRUE(messages.m_messages.empty());
}

TEST(RecordMp4, AKilledRecordingLeavesAPlayableFile) {
    CTempDir dir;
    const std::string path = dir.File("killed.mp4");
    constexpr int kFrames = 400; // 20 s at 20 frames a second, well inside a movie
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        CMp4Writer writer(path, 20);
        for (int k = 0; k < kFrames; ++k)
            writer.AddFrame(Scene(k, k % 40 < 20), 50 * k);
        const char done = 1;
        (void)!::write(ready[1], &done, 1);
        ::pause(); // the writer is never closed
        ::_exit(0);
    }
    char done = 0;
    ASSERT_EQ(::read(ready[0], &done, 1), 1);
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    ::close(ready[0]);
    ::close(ready[1]);
    ASSERT_TRUE(WIFSIGNALED(status));

    const MovieFacts movie = ProbeMovie(path);
    EXPECT_EQ(movie.codec, "h264");
    EXPECT_GE(movie.decodedFrames, kFrames * 9 / 10);
    EXPECT_EQ(movie.decodeErrors, "");
}

struct PreRollCase {
    int format; // MOVIE_FORMAT
    const char* name;
    int movieFrames; // frames the pre-roll makes in the movie
};

// Three seconds of a quiet scene watched at 10 frames a second, then a box: the
// movie begins with the quiet seconds and the box comes right after them.
TEST(RecordMp4, PreRollBeginsTheMovieWithTheQuietSeconds) {
    const std::vector<PreRollCase> cases = {
        {1, "pre.mp4", 30}, // each kept frame once, at its own time
        {0, "pre.wmv", 60}, // repeated to the movie's 20 frames a second
    };
    CTempDir dir;
    const CTagParser parser(false);
    CAppSettings settings(parser, dir.Folder(), dir.File("oculon"));
    settings.CAPTURE_WMV = 1;
    settings.PRE_ROLL_S = 3;
    settings.MOTION_FPS = 10;
    for (const PreRollCase& c : cases) {
        SCOPED_TRACE(c.name);
        settings.MOVIE_FORMAT = c.format;
        const std::string path = dir.File(c.name);
        CMovieRecorder recorder(settings);
        for (int k = 0; k < 50; ++k) // five seconds watched; the ring keeps the last three
            recorder.Watch(Scene(k, false), 100 * k);
        EXPECT_EQ(recorder.PreRoll().Count(), 30u);
        recorder.Start(path, 20);
        for (int k = 0; k < 10; ++k)
            recorder.AddFrame(Scene(k, true), 5000 + 50 * k);
        recorder.Stop();

        const MovieFacts movie = ProbeMovie(path);
        EXPECT_EQ(movie.decodedFrames, c.movieFrames + 10);
        EXPECT_EQ(movie.decodeErrors, "");
        const auto frameHasBox = [&](int index) {
            const CommandResult r =
                RunCommand("ffmpeg -v error -i " + ShellQuoted(path) + " -vf 'select=eq(n\\," +
                           std::to_string(index) + ")' -frames:v 1 -f rawvideo -pix_fmt bgr0 -");
            const size_t centre = (static_cast<size_t>(110) * 320 + 90) * 4;
            return r.output.size() > centre + 2 &&
                   static_cast<uint8_t>(r.output[centre + 2]) > 180 &&
                   static_cast<uint8_t>(r.output[centre]) < 60;
        };
        EXPECT_FALSE(frameHasBox(0));
        EXPECT_FALSE(frameHasBox(c.movieFrames - 1));
        EXPECT_TRUE(frameHasBox(c.movieFrames));
    }
}

} // namespace
