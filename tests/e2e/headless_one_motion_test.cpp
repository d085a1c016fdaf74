// One motion of two seconds in front of a virtual camera, with the report mail
// going to a real SMTP server: everything the user gets, read back with real tools.
#include "DefaultSettingsFile.h"
#include "HeadlessProcess.h"
#include "MailSinkProcess.h"
#include "MediaChecks.h"
#include "mail/ReportMailer.h"
#include "video/StillWriter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int kFps = 10;
constexpr int kHoldSeconds = 2;
constexpr int kMotionSeconds = 2;
const std::string kTitle = "E2E YARD";
const std::string kCustom = "Check the yard.";

std::string WithoutCr(std::string text) {
    std::erase(text, '\r');
    return text;
}

std::vector<std::string> FileNames(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(HeadlessOneMotion, GivesOneMovieOneStillsFolderAndOneMailWithTheExactFiles) {
    CTempDir mailDir, decoded;
    CMailSinkProcess sink(mailDir.Path());
    ASSERT_GT(sink.Port(), 0) << "the aiosmtpd sink did not start";
    const std::string smtp = "127.0.0.1:" + std::to_string(sink.Port());

    // A box that crosses the scene from second 3 to second 5.
    const std::string settings = "MOTION_WRM=1\nCAPTURE_FPS=" + std::to_string(kFps) +
                                 "\nCAPTURE_MIN_S=" + std::to_string(kHoldSeconds) +
                                 "\nCAPTURE_WMV=0\nCAPTURE_JPG=1\n"
                                 "EMAIL_ENA=1\nEMAIL_WMV=1\nEMAIL_JPG=1\n"
                                 "<VIDEO_OVE>" +
                                 kTitle +
                                 "</VIDEO_OVE>\n<VIDEO_SRC>Yard</VIDEO_SRC>\n<EMAIL_SMTP>" + smtp +
                                 "</EMAIL_SMTP>\n<EMAIL_FROM>cam@example.org</EMAIL_FROM>\n"
                                 "<EMAIL_TO>me@example.org</EMAIL_TO>\n<EMAIL_CUS>" +
                                 kCustom + "</EMAIL_CUS>\n";
    CHeadlessHome home("Yard|" + MovingBoxScene(20, 3, 5) + "\n", settings);
    CHeadlessProcess run(home.Run());
    ASSERT_TRUE(run.Started());

    // The movie is not archived, so the mailer deletes it: a second name for
    // the file, made while it is being written, keeps the bytes the mail carried.
    const std::string movieLine = run.WaitForLine("movie: start ", 60000);
    ASSERT_FALSE(movieLine.empty()) << run.Transcript();
    const std::string moviePath = movieLine.substr(13);
    ASSERT_FALSE(run.WaitForLine("still: ", 30000).empty()) << run.Transcript();
    const std::string movieCopy = home.File("movie-copy.wmv");
    ASSERT_EQ(::link(moviePath.c_str(), movieCopy.c_str()), 0) << moviePath;

    ASSERT_FALSE(run.WaitForLine("mail: ", 60000).empty()) << run.Transcript();
    run.Signal(SIGTERM);
    ASSERT_EQ(run.WaitForExit(60000), 0) << run.Transcript();

    // The event lines, in order.
    const auto starts = run.Values("movie: start ");
    const auto ends = run.Values("movie: end ");
    const auto stills = run.Values("still: ");
    const auto mails = run.Values("mail: ");
    ASSERT_EQ(starts.size(), 1u) << run.Transcript();
    ASSERT_EQ(ends.size(), 1u) << run.Transcript();
    ASSERT_EQ(stills.size(), 1u) << run.Transcript();
    ASSERT_EQ(mails.size(), 1u) << run.Transcript();
    EXPECT_TRUE(run.Values("message: ").empty()) << run.Transcript();
    EXPECT_LT(run.IndexOf("movie: start " + starts[0]), run.IndexOf("still: " + stills[0]));
    EXPECT_LT(run.IndexOf("still: " + stills[0]), run.IndexOf("movie: end " + ends[0]));
    EXPECT_LT(run.IndexOf("movie: end " + ends[0]), run.IndexOf("mail: " + mails[0]));
    EXPECT_EQ(run.Values("status: "),
              (std::vector<std::string>{"motion detection active in 01",
                                        "motion detection is active", "motion has been detected",
                                        "motion detection is active", "closing down..."}))
        << run.Transcript();

    // "movie: end PATH FRAMES"
    const size_t blank = ends[0].rfind(' ');
    ASSERT_EQ(ends[0].substr(0, blank), moviePath);
    const int frames = std::stoi(ends[0].substr(blank + 1));
    // Two seconds of motion and the hold after it, at no more than the capture
    // rate; a loaded machine records fewer steps, never more.
    EXPECT_LE(frames, (kMotionSeconds + kHoldSeconds + 1) * kFps);
    EXPECT_GE(frames, (kMotionSeconds + kHoldSeconds) * kFps / 2);

    // The movie: WMV 8 in ASF, every frame stamped by its number at the capture rate.
    const MovieFacts movie = ProbeMovie(movieCopy);
    ASSERT_TRUE(movie.probed);
    EXPECT_EQ(movie.format, "asf");
    EXPECT_EQ(movie.codec, "wmv2");
    EXPECT_EQ(movie.width, 320);
    EXPECT_EQ(movie.height, 240);
    EXPECT_EQ(movie.pts, ExpectedStamps(static_cast<size_t>(frames), kFps));
    EXPECT_EQ(movie.decodedFrames, frames);
    EXPECT_NEAR(movie.duration, static_cast<double>(frames) / kFps, 0.0015);
    EXPECT_EQ(movie.decodeErrors, "");

    // The archive: the stills folder alone, the movie deleted after it was mailed.
    const std::string stillDir = fs::path(stills[0]).parent_path().string();
    EXPECT_EQ(fs::path(stills[0]).filename(), "Frame_000001.jpg");
    EXPECT_EQ(fs::path(stillDir).filename().string(), fs::path(moviePath).stem().string() + "-jpg");
    EXPECT_EQ(FileNames(home.Archive()),
              std::vector<std::string>{fs::path(stillDir).filename().string()});
    EXPECT_FALSE(fs::exists(moviePath));
    const auto names = FileNames(stillDir);
    // A still is skipped only when its frame repeats the one before.
    EXPECT_GE(static_cast<int>(names.size()), frames - 2);
    EXPECT_LE(static_cast<int>(names.size()), frames);
    for (const auto& name : names) {
        int n = 0;
        ASSERT_EQ(std::sscanf(name.c_str(), "Frame_%06d.jpg", &n), 1) << name;
        EXPECT_EQ(name, CStillWriter::StillName(n));
        EXPECT_GE(n, 1);
        EXPECT_LE(n, frames);
        EXPECT_EQ(JpegSize(stillDir + "/" + name), std::make_pair(320, 240)) << name;
    }

    // The mail: the report text and both files, byte for byte.
    const std::string mail = sink.WaitForMail(1);
    ASSERT_FALSE(mail.empty());
    EXPECT_FALSE(fs::exists(mailDir.File("mail2.eml")));
    ASSERT_TRUE(CMailSinkProcess::Decode(mail, decoded.Path()));
    EXPECT_EQ(ReadFileBytes(decoded.File("defects.txt")), "");
    const std::string subject = ReadFileBytes(decoded.File("subject.txt"));
    EXPECT_EQ(mails[0], "sent " + subject);
    ASSERT_EQ(subject.rfind("OCULON> ", 0), 0u) << subject;
    const std::string time = subject.substr(8);
    EXPECT_EQ(WithoutCr(ReadFileBytes(decoded.File("body.txt"))),
              "Automatically sent by Oculon\nCamera name: " + kTitle +
                  "\nTransmission time: " + time + "\n" + CReportMailer::kWebAddress +
                  "\n____________________\n" + kCustom + "\n");
    EXPECT_EQ(ReadFileBytes(mailDir.File("mail1.rcpt")), "me@example.org");
    const std::string mailedMovie = ReadFileBytes(decoded.File(fs::path(moviePath).filename()));
    const std::string keptMovie = ReadFileBytes(movieCopy);
    EXPECT_GT(keptMovie.size(), 10000u);
    EXPECT_TRUE(mailedMovie == keptMovie) << mailedMovie.size() << " / " << keptMovie.size();
    const std::string mailedStill = ReadFileBytes(decoded.File("Frame_000001.jpg"));
    EXPECT_GT(mailedStill.size(), 1000u);
    EXPECT_TRUE(mailedStill == ReadFileBytes(stills[0]));

    // The settings file is complete and holds what the run used.
    EXPECT_EQ(home.Settings(), WithSettings(DefaultSettingsFile(home.Home() + "/"),
                                            {{"MOTION_WRM=", "1"},
                                             {"CAPTURE_FPS=", std::to_string(kFps)},
                                             {"CAPTURE_MIN_S=", std::to_string(kHoldSeconds)},
                                             {"CAPTURE_JPG=", "1"},
                                             {"EMAIL_ENA=", "1"},
                                             {"<VIDEO_OVE>", kTitle},
                                             {"<VIDEO_SRC>", "Yard"},
                                             {"<EMAIL_SMTP>", smtp},
                                             {"<EMAIL_FROM>", "cam@example.org"},
                                             {"<EMAIL_TO>", "me@example.org"},
                                             {"<EMAIL_CUS>", kCustom}}));
}

} // namespace
