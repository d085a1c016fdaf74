// Motion that goes on for half a minute with CAPTURE_MAX_S = 10: the capture
// is cut into movies of at most ten seconds, each followed by its own mail.
#include "HeadlessProcess.h"
#include "MailSinkProcess.h"
#include "MediaChecks.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int kFps = 5;
constexpr int kMaxSeconds = 10;

// The attachments of a decoded mail: file name -> bytes.
std::map<std::string, std::string> Attachments(const std::string& folder) {
    std::map<std::string, std::string> files;
    for (const auto& e : fs::directory_iterator(folder)) {
        const std::string name = e.path().filename().string();
        if (name != "subject.txt" && name != "body.txt" && name != "defects.txt")
            files[name] = ReadFileBytes(e.path().string());
    }
    return files;
}

TEST(HeadlessLongEvent, ThirtyTwoSecondsOfMotionGiveFourMoviesAndFourMails) {
    CTempDir mailDir, decoded, stillCopies;
    CMailSinkProcess sink(mailDir.Path());
    ASSERT_GT(sink.Port(), 0) << "the aiosmtpd sink did not start";

    // A box moving from second 2 to second 34 and a one-second hold: about
    // 33 s of recording, three cuts of 10 s and a last movie of about 3 s.
    CHeadlessHome home("Hall|" + MovingBoxScene(10, 2, 34) + "\n",
                       "MOTION_WRM=1\nCAPTURE_FPS=" + std::to_string(kFps) +
                           "\nCAPTURE_MIN_S=1\nCAPTURE_MAX_S=" + std::to_string(kMaxSeconds) +
                           "\nCAPTURE_WMV=1\nCAPTURE_JPG=0\nEMAIL_ENA=1\nEMAIL_WMV=1\n"
                           "EMAIL_JPG=1\n<VIDEO_SRC>Hall</VIDEO_SRC>\n<EMAIL_SMTP>127.0.0.1:" +
                           std::to_string(sink.Port()) +
                           "</EMAIL_SMTP>\n<EMAIL_FROM>cam@example.org</EMAIL_FROM>\n"
                           "<EMAIL_TO>me@example.org</EMAIL_TO>\n");
    CHeadlessProcess run(home.Run());
    ASSERT_TRUE(run.Started());

    // Each first still is mailed and then deleted (stills are not archived):
    // a second name made as it appears keeps its bytes.
    std::vector<std::string> stillCopy;
    size_t from = 0;
    for (int i = 0; i < 4; ++i) {
        const std::string line = run.WaitForLine("still: ", 60000, from, &from);
        ASSERT_FALSE(line.empty()) << "still " << i + 1 << "\n" << run.Transcript();
        ++from;
        stillCopy.push_back(stillCopies.File(std::to_string(i) + ".jpg"));
        ASSERT_EQ(::link(line.substr(7).c_str(), stillCopy.back().c_str()), 0) << line;
    }
    from = 0;
    for (int i = 0; i < 4; ++i) {
        ASSERT_FALSE(run.WaitForLine("mail: ", 60000, from, &from).empty())
            << "mail " << i + 1 << "\n"
            << run.Transcript();
        ++from;
    }
    run.Signal(SIGTERM);
    ASSERT_EQ(run.WaitForExit(60000), 0) << run.Transcript();

    EXPECT_EQ(run.Values("status: "),
              (std::vector<std::string>{"motion detection active in 01",
                                        "motion detection is active", "motion has been detected",
                                        "motion detection is active", "closing down..."}))
        << run.Transcript();
    const auto starts = run.Values("movie: start ");
    const auto ends = run.Values("movie: end ");
    ASSERT_EQ(starts.size(), 4u) << run.Transcript();
    ASSERT_EQ(ends.size(), 4u) << run.Transcript();
    EXPECT_EQ(run.Values("mail: sent ").size(), 4u) << run.Transcript();
    EXPECT_TRUE(run.Values("message: ").empty()) << run.Transcript();

    // The archive holds the four movies and nothing else: the stills folders
    // went with their mailed stills.
    std::set<std::string> archived;
    for (const auto& e : fs::directory_iterator(home.Archive()))
        archived.insert(e.path().string());
    EXPECT_EQ(archived, std::set<std::string>(starts.begin(), starts.end()));

    int totalFrames = 0;
    for (size_t i = 0; i < 4; ++i) {
        SCOPED_TRACE(starts[i]);
        const size_t blank = ends[i].rfind(' ');
        EXPECT_EQ(ends[i].substr(0, blank), starts[i]) << "each movie ends before the next starts";
        const int frames = std::stoi(ends[i].substr(blank + 1));
        totalFrames += frames;
        if (i < 3) {
            // Cut after ten seconds at the capture rate, and they play ten seconds.
            EXPECT_LE(frames, (kMaxSeconds + 1) * kFps);
            EXPECT_GE(frames, (kMaxSeconds - 1) * kFps / 2);
            EXPECT_NEAR(frames, kMaxSeconds * kFps, 0.03 * kMaxSeconds * kFps);
            EXPECT_NEAR(ProbeMovie(starts[i]).duration, kMaxSeconds, 0.03 * kMaxSeconds);
        }
        ASSERT_NO_FATAL_FAILURE(ExpectPlayableMovie(starts[i], frames, kFps));
        EXPECT_EQ(JpegSize(stillCopy[i]), std::make_pair(320, 240));
    }
    EXPECT_LE(totalFrames, 36 * kFps);

    // Mail n carries movie n and its first still, byte for byte.
    for (int n = 1; n <= 4; ++n) {
        SCOPED_TRACE("mail " + std::to_string(n));
        const std::string mail = sink.WaitForMail(n);
        ASSERT_FALSE(mail.empty());
        const std::string folder = decoded.File(std::to_string(n));
        fs::create_directories(folder);
        ASSERT_TRUE(CMailSinkProcess::Decode(mail, folder));
        EXPECT_EQ(ReadFileBytes(folder + "/defects.txt"), "");
        const std::string movie = starts[static_cast<size_t>(n - 1)];
        const auto files = Attachments(folder);
        ASSERT_EQ(files.size(), 2u);
        ASSERT_EQ(files.count(fs::path(movie).filename().string()), 1u);
        EXPECT_TRUE(files.at(fs::path(movie).filename().string()) == ReadFileBytes(movie));
        ASSERT_EQ(files.count("Frame_000001.jpg"), 1u);
        EXPECT_TRUE(files.at("Frame_000001.jpg") ==
                    ReadFileBytes(stillCopy[static_cast<size_t>(n - 1)]));
    }
    EXPECT_FALSE(fs::exists(mailDir.File("mail5.eml")));
}

} // namespace
