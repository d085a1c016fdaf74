#include "RecordingSinks.h"
#include "ScriptedSmtpPeer.h"
#include "TempDir.h"
#include "app/AppSettings.h"
#include "app/TagParser.h"
#include "mail/Outbox.h"
#include "mail/ReportMailer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <memory>
#include <string>

namespace fs = std::filesystem;

namespace {

bool WaitForWorkers() {
    for (int i = 0; i < 3000 && CReportMailer::LiveWorkers() > 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return CReportMailer::LiveWorkers() == 0;
}

class ReportDeliveryTest : public ::testing::Test {
protected:
    ReportDeliveryTest() {
        m_settings = std::make_unique<CAppSettings>(m_parser, m_home.Folder(), "");
        m_settings->EMAIL_ENA = 1;
        m_settings->VIDEO_OVE = "Yard";
        m_settings->EMAIL_FROM = "cam@example.org";
        m_settings->EMAIL_TO = "me@example.org, you@example.org; Boss <boss@example.org>";
        m_settings->EMAIL_SMTP = "enter smtp server here";
        fs::create_directories(m_files.File("stills"));
        WriteFileBytes(Movie(), std::string(1000, 'm'));
        WriteFileBytes(Still(), "\xff\xd8 still \xff\xd9");
        m_report = {"07-Dec-26 14=05=09.25", Movie(), m_files.File("stills/"), Still()};
    }
    ~ReportDeliveryTest() override { EXPECT_TRUE(WaitForWorkers()); }

    std::string Movie() const { return m_files.File("cap.wmv"); }
    std::string Still() const { return m_files.File("stills/Frame_000001.jpg"); }

    // Runs one report's delivery on this thread, as its worker would.
    void Deliver() {
        auto slots = std::make_shared<CReportJobSlots>();
        const int index = slots->Reserve();
        slots->SetJob(index, std::make_shared<const ReportMailJob>(
                                 CReportMailer::ComposeJob(*m_settings, m_report)));
        CReportMailer::DeliverReport(slots, index);
        EXPECT_FALSE(slots->IsBusy(index));
    }

    CRecordingMessageSink m_messages;
    CRecordingEventLog m_log;
    CTempDir m_home;
    CTempDir m_files;
    CTagParser m_parser{false};
    std::unique_ptr<CAppSettings> m_settings;
    CCaptureReport m_report;
};

const std::string kSubject = "OCULON> 07/Dec/26 14:05:09.25";

TEST_F(ReportDeliveryTest, MovieAndStillGoOutAndTheFilesNotArchivedAreGone) {
    CScriptedSmtpPeer peer([](CPeerSession& s) { ServeNormally(s); });
    m_settings->EMAIL_SMTP = peer.HostPort();
    Deliver();
    EXPECT_EQ(m_log.Lines(), std::vector<std::string>{"mail: sent " + kSubject});
    EXPECT_FALSE(fs::exists(Movie()));
    EXPECT_FALSE(fs::exists(Still()));
    EXPECT_FALSE(fs::exists(m_files.File("stills")));

    ASSERT_TRUE(peer.WaitFinished(1));
    const std::string t = peer.Transcript();
    // Several addresses typed in one field are one RCPT each.
    EXPECT_NE(t.find("RCPT TO:<me@example.org>\r\nRCPT TO:<you@example.org>\r\n"
                     "RCPT TO:<boss@example.org>\r\nDATA\r\n"),
              std::string::npos);
    EXPECT_NE(t.find("From: cam@example.org\r\n"
                     "To: me@example.org,you@example.org,Boss <boss@example.org>\r\n"
                     "Subject: " +
                     kSubject + "\r\n"),
              std::string::npos);
    EXPECT_NE(t.find("Automatically sent by Oculon\r\nCamera name: Yard\r\n"
                     "Transmission time: 07/Dec/26 14:05:09.25\r\nhttps://oculon.example.org/"
                     "\r\n\r\n--#BOUNDARY#\r\n"),
              std::string::npos);
    const size_t movie = t.find("name=cap.wmv\r\n");
    const size_t still = t.find("name=Frame_000001.jpg\r\n");
    ASSERT_NE(movie, std::string::npos);
    ASSERT_NE(still, std::string::npos);
    EXPECT_LT(movie, still);
    EXPECT_TRUE(t.ends_with("\r\n--#BOUNDARY#--\r\n.\r\nQUIT\r\n"));
}

TEST_F(ReportDeliveryTest, ArchivedFilesStayAndAFolderWithOtherStillsStays) {
    CScriptedSmtpPeer peer([](CPeerSession& s) { ServeNormally(s); });
    m_settings->EMAIL_SMTP = peer.HostPort();
    m_settings->CAPTURE_WMV = 1;
    WriteFileBytes(m_files.File("stills/Frame_000002.jpg"), "second");
    Deliver();
    EXPECT_TRUE(fs::exists(Movie()));
    EXPECT_FALSE(fs::exists(Still()));
    EXPECT_TRUE(fs::exists(m_files.File("stills/Frame_000002.jpg")));

    m_settings->EMAIL_WMV = 0;
    m_settings->EMAIL_JPG = 0;
    WriteFileBytes(Still(), "again");
    Deliver();
    EXPECT_TRUE(fs::exists(Movie()));
    EXPECT_TRUE(fs::exists(Still())); // not mailed, so not the mailer's to delete
    ASSERT_TRUE(peer.WaitFinished(2));
    const std::string plain = peer.Transcript(1);
    EXPECT_NE(plain.find("Content-type: text/plain; charset=US-ASCII\r\n\r\nAutomatically"),
              std::string::npos);
    EXPECT_EQ(plain.find("#BOUNDARY#"), std::string::npos);
}

TEST_F(ReportDeliveryTest, UndeliveredReportsKeepTheirFilesAndWaitInTheOutbox) {
    Deliver(); // the settings' default server text is no host name: never worth a retry
    m_settings->EMAIL_SMTP = "no-such-host.invalid"; // a name lookup may work later
    Deliver();
    uint16_t deadPort;
    {
        CScriptedSmtpPeer gone([](CPeerSession&) {});
        deadPort = gone.Port();
    }
    m_settings->EMAIL_SMTP = "127.0.0.1:" + std::to_string(deadPort);
    Deliver();
    CScriptedSmtpPeer hangingUp([](CPeerSession&) {}); // accepts, then closes without a word
    m_settings->EMAIL_SMTP = hangingUp.HostPort();
    Deliver();
    CScriptedSmtpPeer refusing(
        [](CPeerSession& s) { ServeNormally(s, "RCPT TO:<", "550 5.1.1 mailbox unknown\r\n"); });
    m_settings->EMAIL_SMTP = refusing.HostPort();
    Deliver();
    CScriptedSmtpPeer partly([](CPeerSession& s) {
        ServeNormally(s, "RCPT TO:<you@", "550 5.1.1 mailbox unknown\r\n");
    });
    m_settings->EMAIL_SMTP = partly.HostPort();
    m_settings->CAPTURE_WMV = 1;
    Deliver();
    const auto lines = m_log.Lines();
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[0], "mail: failed " + kSubject +
                            ": the mail server \"enter smtp server here\" is not a host name");
    EXPECT_EQ(lines[1], "mail: queued " + kSubject + ": host not found: no-such-host.invalid");
    EXPECT_EQ(lines[2], "mail: queued " + kSubject +
                            ": connection refused by 127.0.0.1:" + std::to_string(deadPort));
    EXPECT_EQ(lines[3], "mail: queued " + kSubject +
                            ": the server closed the connection instead of answering the greeting");
    const std::string refused = " (550 5.1.1 mailbox unknown)";
    EXPECT_EQ(lines[4], "mail: failed " + kSubject +
                            ": the server refused every recipient: " + "me@example.org" + refused +
                            ", you@example.org" + refused + ", boss@example.org" + refused);
    EXPECT_EQ(lines[5], "mail: sent " + kSubject + "; refused: you@example.org" + refused);
    // Three reports wait to be sent again; the refused one and the placeholder are not retried.
    EXPECT_EQ(
        COutbox(CReportMailer::OutboxFolder(m_home.Folder()), CSystemClock::Instance(), nullptr)
            .Entries()
            .size(),
        3u);
    EXPECT_TRUE(fs::exists(Movie()));  // archived by the last report's settings
    EXPECT_FALSE(fs::exists(Still())); // the one report that went out took it
}

TEST_F(ReportDeliveryTest, TwoReportsInQuickSuccessionUseTwoJobs) {
    std::atomic<bool> gate{false};
    CScriptedSmtpPeer peer([&gate](CPeerSession& s) {
        GreetWhenOpen(s, gate);
        ServeCommands(s);
    });
    m_settings->EMAIL_SMTP = peer.HostPort();
    CReportMailer mailer(*m_settings);
    mailer.SendCaptureReport(m_report);
    m_report.stampText = "07-Dec-26 14=06=00.00";
    mailer.SendCaptureReport(m_report);
    EXPECT_EQ(mailer.PendingCount(), 2);
    EXPECT_TRUE(mailer.IsSending());
    gate = true;
    ASSERT_TRUE(WaitForWorkers());
    EXPECT_EQ(mailer.PendingCount(), 0);
    auto lines = m_log.Lines();
    std::sort(lines.begin(), lines.end());
    EXPECT_EQ(lines, (std::vector<std::string>{"mail: sent " + kSubject,
                                               "mail: sent OCULON> 07/Dec/26 14:06:00.00"}));
}

TEST_F(ReportDeliveryTest, ReportBeyondThirtyTwoBusyJobsIsDropped) {
    std::atomic<bool> gate{false};
    CScriptedSmtpPeer peer([&gate](CPeerSession& s) {
        GreetWhenOpen(s, gate);
        ServeCommands(s);
    });
    m_settings->EMAIL_SMTP = peer.HostPort();
    m_settings->EMAIL_WMV = 0;
    m_settings->EMAIL_JPG = 0;
    CReportMailer mailer(*m_settings);
    for (int i = 0; i < 33; ++i) {
        m_report.stampText = "07-Dec-26 14=05=" + std::to_string(10 + i) + ".00";
        mailer.SendCaptureReport(m_report);
    }
    EXPECT_EQ(mailer.PendingCount(), 32);
    ASSERT_TRUE(peer.WaitAccepted(32));
    gate = true;
    ASSERT_TRUE(WaitForWorkers());
    ASSERT_TRUE(peer.WaitFinished(32));
    EXPECT_EQ(peer.Accepted(), 32);
    const auto lines = m_log.Lines();
    EXPECT_EQ(lines.size(), 32u);
    for (const auto& line : lines) {
        EXPECT_TRUE(line.starts_with("mail: sent OCULON> ")) << line;
        EXPECT_EQ(line.find("14:05:42"), std::string::npos); // the 33rd
    }
}

TEST_F(ReportDeliveryTest, TeardownDoesNotWaitForAWorkerStuckOnASlowServer) {
    std::atomic<bool> gate{false};
    CScriptedSmtpPeer peer([&gate](CPeerSession& s) {
        GreetWhenOpen(s, gate);
        ServeCommands(s);
    });
    m_settings->EMAIL_SMTP = peer.HostPort();
    m_settings->EMAIL_CUS = "after teardown";
    auto mailer = std::make_unique<CReportMailer>(*m_settings);
    mailer->SendCaptureReport(m_report);
    ASSERT_TRUE(peer.WaitAccepted(1));
    // The close gave up: the mailer and the settings go while the worker waits.
    mailer.reset();
    m_settings.reset();
    EXPECT_EQ(CReportMailer::LiveWorkers(), 1);
    gate = true;
    ASSERT_TRUE(WaitForWorkers());
    ASSERT_TRUE(peer.WaitFinished(1));
    // The worker finished the mail from its own copies and, its mailer gone, logged nothing.
    EXPECT_NE(peer.Transcript().find("Camera name: Yard\r\n"), std::string::npos);
    EXPECT_NE(peer.Transcript().find("\r\nafter teardown"), std::string::npos);
    EXPECT_TRUE(m_log.Lines().empty());
    EXPECT_FALSE(fs::exists(Movie()));
}

} // namespace
