// Mail servers that misbehave while the program closes: the report goes to the
// outbox with its reason and its files are kept for the retry, nothing hangs,
// and the close ends, at the latest when its wait for mails in flight runs out.
#include "HeadlessProcess.h"
#include "ScriptedSmtpPeer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// One motion; neither the movie nor the stills are archived, so they exist
// only for the mail and are deleted once a server has accepted it.
std::string Settings(const CScriptedSmtpPeer& peer) {
    return "MOTION_WRM=1\nCAPTURE_MIN_S=1\nCAPTURE_FPS=10\nCAPTURE_WMV=0\nCAPTURE_JPG=0\n"
           "EMAIL_ENA=1\nEMAIL_WMV=1\nEMAIL_JPG=1\n<VIDEO_SRC>Cam</VIDEO_SRC>\n<EMAIL_SMTP>" +
           peer.HostPort() +
           "</EMAIL_SMTP>\n<EMAIL_FROM>cam@example.org</EMAIL_FROM>\n"
           "<EMAIL_TO>me@example.org</EMAIL_TO>\n";
}

// Runs one capture against `peer` and asks the program to close as soon as
// the capture ends, while its mail is in flight. The finished run.
struct CloseDuringMail {
    explicit CloseDuringMail(CScriptedSmtpPeer& peer)
        : home("Cam|" + MovingBoxScene(10, 3, 4) + "\n", Settings(peer)), run(home.Run()) {
        ended = !run.WaitForLine("movie: end ", 60000).empty();
        run.Signal(SIGTERM);
        // Mails in flight hold the close back for at most 20 s.
        exitStatus = run.WaitForExit(60000);
    }
    CHeadlessHome home;
    CHeadlessProcess run;
    bool ended = false;
    int exitStatus = -1;
};

void ExpectQueuedMailAndCleanClose(const CloseDuringMail& c, const std::string& reason) {
    ASSERT_TRUE(c.ended) << c.run.Transcript();
    EXPECT_EQ(c.exitStatus, 0) << c.run.Transcript();
    const auto mails = c.run.Values("mail: ");
    ASSERT_EQ(mails.size(), 1u) << c.run.Transcript();
    // "queued OCULON> DD/MON/YY  HH:MM:SS.CC: REASON"
    const std::string prefix = "queued OCULON> ";
    const size_t reasonAt = prefix.size() + std::string("07/DEC/26  05:57:05.37: ").size();
    ASSERT_EQ(mails[0].rfind(prefix, 0), 0u) << mails[0];
    ASSERT_GT(mails[0].size(), reasonAt) << mails[0];
    EXPECT_EQ(mails[0].substr(reasonAt - 2, 2), ": ") << mails[0];
    EXPECT_EQ(mails[0].substr(reasonAt).rfind(reason, 0), 0u) << mails[0];
    EXPECT_EQ(c.run.Values("status: ").back(), "closing down...");
    EXPECT_TRUE(c.run.Values("message: ").empty()) << c.run.Transcript();
    // Kept although they were not to be archived: the mail was not delivered.
    EXPECT_FALSE(fs::is_empty(c.home.Archive()));
}

TEST(FaultSmtp, AServerThatHangsUpInTheMiddleOfTheMessage) {
    CScriptedSmtpPeer peer([](CPeerSession& s) {
        s.Send("220 peer ready\r\n");
        for (std::string line = s.ReadLine(); !line.empty(); line = s.ReadLine()) {
            if (line.rfind("DATA", 0) == 0) {
                s.Send("354 go ahead\r\n");
                s.ReadUntil("Content-Disposition"); // the first attachment begins
                s.Close();
                return;
            }
            s.Send("250 ok\r\n");
        }
    });
    const CloseDuringMail c(peer);
    // Depending on when the hang-up is seen: a failed send or a refused end of data.
    ExpectQueuedMailAndCleanClose(c, "");
    ASSERT_TRUE(peer.WaitFinished(1));
    EXPECT_NE(peer.Transcript().find("DATA\r\n"), std::string::npos);
    EXPECT_EQ(peer.Transcript().find("\r\n.\r\n"), std::string::npos)
        << "no end of data got through";
}

TEST(FaultSmtp, AServerThatAnswersGarbage) {
    CScriptedSmtpPeer peer([](CPeerSession& s) {
        s.Send(std::string("\x16\x03\x01\x00\xff garbage \xfe\xfd\r\n", 18));
        s.WaitForClose();
    });
    const CloseDuringMail c(peer);
    ExpectQueuedMailAndCleanClose(c, "the reply to the greeting is not SMTP");
}

TEST(FaultSmtp, AServerThatNeverAnswers) {
    CScriptedSmtpPeer peer([](CPeerSession& s) { s.WaitForClose(); });
    // The greeting may take minutes: the close stops waiting after its limit
    // and the report stays in the outbox for the next start.
    const CloseDuringMail c(peer);
    ASSERT_TRUE(c.ended) << c.run.Transcript();
    EXPECT_EQ(c.exitStatus, 0) << c.run.Transcript();
    EXPECT_TRUE(c.run.Values("mail: failed").empty()) << c.run.Transcript();
    EXPECT_FALSE(fs::is_empty(c.home.Home() + "/outbox")) << c.run.Transcript();
    ASSERT_TRUE(peer.WaitFinished(1));
    EXPECT_EQ(peer.Transcript().find("HELO"), std::string::npos) << "no greeting, no HELO";
    EXPECT_EQ(peer.Transcript().find("EHLO"), std::string::npos) << "no greeting, no EHLO";
}

TEST(FaultSmtp, AServerThatKeepsTheMailBusyForeverDoesNotHoldTheCloseBack) {
    // A greeting that trickles in, a byte at a time, and never ends: the
    // reply time-out never fires, so only the close's own limit ends the wait.
    CScriptedSmtpPeer peer([](CPeerSession& s) {
        s.Send("220");
        for (int i = 0; i < 120 && !s.Stopping(); ++i) {
            s.Pause(500);
            s.Send("-");
        }
    });
    const CloseDuringMail c(peer);
    ASSERT_TRUE(c.ended) << c.run.Transcript();
    EXPECT_EQ(c.exitStatus, 0) << c.run.Transcript();
    EXPECT_TRUE(c.run.Values("mail: ").empty()) << c.run.Transcript();
    EXPECT_EQ(c.run.Values("status: ").back(), "closing down...");
}

} // namespace
