// An archive folder that cannot be written and a disk that is full: the run
// goes on, the user is told with the program's own texts, and the settings
// file is either written whole or left exactly as it was.
#include "DefaultSettingsFile.h"
#include "HeadlessProcess.h"
#include "MailSinkProcess.h"
#include "MediaChecks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

TEST(FaultArchive, AnArchiveThatCannotBeCreatedLosesTheFilesButNotTheRunOrTheMail) {
    CTempDir mailDir, decoded;
    CMailSinkProcess sink(mailDir.Path());
    ASSERT_GT(sink.Port(), 0) << "the aiosmtpd sink did not start";
    const std::string smtp = "127.0.0.1:" + std::to_string(sink.Port());
    CHeadlessHome home("Cam|" + MovingBoxScene(10, 3, 4) + "\n", "");
    // A folder below a plain file cannot be made or written, even by root.
    WriteFileBytes(home.File("blocker"), "not a folder");
    const std::string archive = home.File("blocker") + "/archive";
    WriteFileBytes(home.SettingsPath(),
                   "MOTION_WRM=1\nCAPTURE_MIN_S=1\nCAPTURE_FPS=10\nCAPTURE_WMV=1\nCAPTURE_JPG=1\n"
                   "EMAIL_ENA=1\n<VIDEO_SRC>Cam</VIDEO_SRC>\n<CAPTURE_PTH>" +
                       archive + "</CAPTURE_PTH>\n<EMAIL_SMTP>" + smtp +
                       "</EMAIL_SMTP>\n<EMAIL_FROM>cam@example.org</EMAIL_FROM>\n"
                       "<EMAIL_TO>me@example.org</EMAIL_TO>\n");

    CHeadlessProcess run(home.Run());
    ASSERT_FALSE(run.WaitForLine("mail: ", 60000).empty()) << run.Transcript();
    run.Signal(SIGTERM);
    ASSERT_EQ(run.WaitForExit(30000), 0) << run.Transcript();

    // One box for the movie that could not be made; stills fail silently.
    EXPECT_EQ(run.Values("message: "), std::vector<std::string>{"Unable to Set Output Filename"})
        << run.Transcript();
    EXPECT_TRUE(run.Values("movie: ").empty()) << run.Transcript();
    EXPECT_TRUE(run.Values("still: ").empty()) << run.Transcript();
    EXPECT_EQ(run.Values("status: "),
              (std::vector<std::string>{"motion detection active in 01",
                                        "motion detection is active", "motion has been detected",
                                        "motion detection is active", "closing down..."}))
        << run.Transcript();
    EXPECT_EQ(ReadFileBytes(home.File("blocker")), "not a folder");

    // The report still goes out, as a text mail without attachments.
    const auto mails = run.Values("mail: ");
    ASSERT_EQ(mails.size(), 1u);
    EXPECT_EQ(mails[0].rfind("sent OCULON> ", 0), 0u) << mails[0];
    const std::string mail = sink.WaitForMail(1);
    ASSERT_FALSE(mail.empty());
    ASSERT_TRUE(CMailSinkProcess::Decode(mail, decoded.Path()));
    std::vector<std::string> parts;
    for (const auto& e : fs::directory_iterator(decoded.Path()))
        parts.push_back(e.path().filename().string());
    std::sort(parts.begin(), parts.end());
    EXPECT_EQ(parts, (std::vector<std::string>{"body.txt", "defects.txt", "subject.txt"}));

    EXPECT_EQ(home.Settings(), WithSettings(DefaultSettingsFile(home.Home() + "/"),
                                            {{"MOTION_WRM=", "1"},
                                             {"CAPTURE_MIN_S=", "1"},
                                             {"CAPTURE_FPS=", "10"},
                                             {"CAPTURE_WMV=", "1"},
                                             {"CAPTURE_JPG=", "1"},
                                             {"EMAIL_ENA=", "1"},
                                             {"<VIDEO_SRC>", "Cam"},
                                             {"<CAPTURE_PTH>", archive},
                                             {"<EMAIL_SMTP>", smtp},
                                             {"<EMAIL_FROM>", "cam@example.org"},
                                             {"<EMAIL_TO>", "me@example.org"}}));
}

TEST(FaultArchive, AFullDiskFailsTheMovieAndTheStillsAndLeavesTheSettingsFileAsItWas) {
    const std::string settings = "MOTION_WRM=1\nCAPTURE_MIN_S=1\nCAPTURE_FPS=10\nCAPTURE_WMV=1\n"
                                 "CAPTURE_JPG=1\n<VIDEO_SRC>Cam</VIDEO_SRC>\n";
    CHeadlessHome home("Cam|" + MovingBoxScene(10, 3, 4) + "\n", settings);
    CHeadlessProcess::Options options = home.Run();
    // No file may grow past 512 bytes: less than a still, a movie or the
    // settings file the program writes, more than the one it starts from.
    options.fileSizeLimit = 512;
    CHeadlessProcess run(options);
    ASSERT_FALSE(run.WaitForLine("movie: end ", 60000).empty()) << run.Transcript();
    run.Signal(SIGTERM);
    ASSERT_EQ(run.WaitForExit(30000), 0) << run.Transcript();

    EXPECT_EQ(
        run.Values("message: "),
        (std::vector<std::string>{"Unable to Write Frame",
                                  "Error exporting data to disk:\\nDisk full while accessing " +
                                      home.SettingsPath() + "."}))
        << run.Transcript();
    EXPECT_LT(run.IndexOf("message: Unable to Write Frame"),
              run.IndexOf("movie: end " + run.Values("movie: end ")[0]));
    EXPECT_EQ(run.Values("status: ").back(), "closing down...");
    EXPECT_TRUE(run.Values("still: ").empty()) << run.Transcript();

    // No half-written still is left behind, and the settings file was replaced
    // only if it could be written whole: here it could not.
    const std::string movie = run.Values("movie: start ")[0];
    const std::string stills = movie.substr(0, movie.size() - 4) + "-jpg";
    EXPECT_TRUE(fs::is_directory(stills));
    EXPECT_TRUE(fs::is_empty(stills));
    EXPECT_LE(fs::file_size(movie), 512u);
    EXPECT_EQ(home.Settings(), settings);
    std::vector<std::string> homeFiles;
    for (const auto& e : fs::directory_iterator(home.Home()))
        homeFiles.push_back(e.path().filename().string());
    std::sort(homeFiles.begin(), homeFiles.end());
    EXPECT_EQ(homeFiles, (std::vector<std::string>{"captured", "oculon.ini"}));
}

} // namespace
