// SIGTERM while a movie is being recorded and the mail of the one before is
// still on its way: the close ends the movie with its report, waits for both
// mails and writes the settings file.
#include "DefaultSettingsFile.h"
#include "HeadlessProcess.h"
#include "MediaChecks.h"
#include "ScriptedSmtpPeer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

namespace {

constexpr int kFps = 10;

TEST(FaultSigterm, WhileRecordingAndMailingFinishesTheMovieAndWritesTheSettings) {
    // The server holds the first mail at its greeting until the test lets it go.
    std::atomic<bool> gate{false};
    CScriptedSmtpPeer peer([&gate](CPeerSession& s) {
        GreetWhenOpen(s, gate);
        ServeCommands(s);
    });
    // A short motion (the first movie and its mail), then motion that goes on.
    const std::string settings =
        "MOTION_WRM=1\nCAPTURE_MIN_S=1\nCAPTURE_FPS=10\nCAPTURE_WMV=1\nCAPTURE_JPG=0\n"
        "EMAIL_ENA=1\nEMAIL_WMV=1\nEMAIL_JPG=1\n<VIDEO_SRC>Cam</VIDEO_SRC>\n<EMAIL_SMTP>" +
        peer.HostPort() +
        "</EMAIL_SMTP>\n<EMAIL_FROM>cam@example.org</EMAIL_FROM>\n"
        "<EMAIL_TO>me@example.org</EMAIL_TO>\n";
    CHeadlessHome home("Cam|" + BoxScene(10, "between(t,2,3)+between(t,6,40)") + "\n", settings);
    CHeadlessProcess run(home.Run());
    size_t at = 0;
    ASSERT_FALSE(run.WaitForLine("movie: end ", 60000, 0, &at).empty()) << run.Transcript();
    ASSERT_FALSE(run.WaitForLine("movie: start ", 60000, at).empty()) << run.Transcript();
    // Its first still is written right after its first frame.
    ASSERT_FALSE(run.WaitForLine("still: ", 60000, at).empty()) << run.Transcript();
    ASSERT_TRUE(peer.WaitAccepted(1));
    run.Signal(SIGTERM);
    ASSERT_FALSE(run.WaitForLine("status: closing down...", 30000).empty()) << run.Transcript();
    gate = true;
    ASSERT_EQ(run.WaitForExit(60000), 0) << run.Transcript();

    const auto starts = run.Values("movie: start ");
    const auto ends = run.Values("movie: end ");
    const auto mails = run.Values("mail: ");
    ASSERT_EQ(starts.size(), 2u) << run.Transcript();
    ASSERT_EQ(ends.size(), 2u) << run.Transcript();
    // The close ended the second movie with its report at once and waited for
    // both mails: no evidence is left behind unsent.
    ASSERT_EQ(mails.size(), 2u) << run.Transcript();
    for (const auto& mail : mails)
        EXPECT_EQ(mail.rfind("sent OCULON> ", 0), 0u) << mail;
    for (const auto& mail : mails)
        EXPECT_LT(run.IndexOf("status: closing down..."), run.IndexOf("mail: " + mail));
    EXPECT_LT(run.IndexOf("movie: end " + ends[1]), run.IndexOf("mail: " + mails[1]));
    EXPECT_TRUE(run.Values("message: ").empty()) << run.Transcript();
    for (size_t i = 0; i < 2; ++i) {
        const size_t blank = ends[i].rfind(' ');
        ASSERT_EQ(ends[i].substr(0, blank), starts[i]);
        const int frames = std::stoi(ends[i].substr(blank + 1));
        EXPECT_GT(frames, 0);
        ExpectPlayableMovie(starts[i], frames, kFps);
    }
    EXPECT_EQ(home.Settings(), WithSettings(DefaultSettingsFile(home.Home() + "/"),
                                            {{"MOTION_WRM=", "1"},
                                             {"CAPTURE_MIN_S=", "1"},
                                             {"CAPTURE_FPS=", "10"},
                                             {"CAPTURE_WMV=", "1"},
                                             {"EMAIL_ENA=", "1"},
                                             {"<VIDEO_SRC>", "Cam"},
                                             {"<EMAIL_SMTP>", peer.HostPort()},
                                             {"<EMAIL_FROM>", "cam@example.org"},
                                             {"<EMAIL_TO>", "me@example.org"}}));
}

} // namespace
