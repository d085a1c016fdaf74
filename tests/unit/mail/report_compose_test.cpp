#include "RecordingSinks.h"
#include "TempDir.h"
#include "app/AppSettings.h"
#include "app/TagParser.h"
#include "mail/ReportMailer.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class ReportComposeTest : public ::testing::Test {
protected:
    ReportComposeTest() : m_settings(m_parser, m_home.Folder(), "") {
        m_settings.EMAIL_ENA = 1;
        m_settings.VIDEO_OVE = "Garage";
        m_settings.EMAIL_SMTP = "mail.example.org";
        m_settings.EMAIL_FROM = "cam@example.org";
        m_settings.EMAIL_TO = "me@example.org";
        m_report.stampText = "07-Dec-26 14=05=09.25";
        m_report.moviePath = "/a/m.wmv";
        m_report.stillDir = "/a/stills/";
        m_report.firstStillPath = "/a/stills/Frame_000001.jpg";
    }

    ReportMailJob Compose() { return CReportMailer::ComposeJob(m_settings, m_report); }

    CRecordingMessageSink m_messages; // the settings may complain about their file
    CTempDir m_home;
    CTagParser m_parser{false};
    CAppSettings m_settings;
    CCaptureReport m_report;
};

const std::string kBase = "Automatically sent by Oculon\r\nCamera name: Garage\r\n"
                          "Transmission time: 07/Dec/26 14:05:09.25\r\n"
                          "https://oculon.example.org/";

TEST_F(ReportComposeTest, SubjectAndBodyWithoutCustomText) {
    const ReportMailJob job = Compose();
    EXPECT_EQ(job.subject, "OCULON> 07/Dec/26 14:05:09.25");
    EXPECT_EQ(job.body, kBase);
    EXPECT_EQ(job.smtpHost, "mail.example.org");
    EXPECT_EQ(job.smtpPort, 25);
    EXPECT_EQ(job.to, "me@example.org");
    EXPECT_EQ(job.from, "cam@example.org");
}

TEST_F(ReportComposeTest, CustomTextFollowsACompleteSeparatorAndIsCutToFit) {
    m_settings.EMAIL_CUS = "Call 100% now\nplease";
    m_settings.VIDEO_OVE = "%s %d Garage";
    ReportMailJob job = Compose();
    EXPECT_NE(job.body.find("Camera name: %s %d Garage\r\n"), std::string::npos);
    EXPECT_TRUE(job.body.ends_with("\r\n____________________\r\nCall 100% now\r\nplease"));

    m_settings.EMAIL_CUS = std::string(2000, 'c');
    job = Compose();
    EXPECT_EQ(job.body.size(), CReportMailer::kBodyMax);
    EXPECT_NE(job.body.find("\r\n____________________\r\nccc"), std::string::npos);

    // A cut never leaves half a character behind.
    m_settings.EMAIL_CUS = "";
    const size_t room = CReportMailer::kBodyMax - Compose().body.size() - 24;
    m_settings.EMAIL_CUS = std::string(room - 1, 'c') + "\xc3\xa9\xc3\xa9";
    job = Compose();
    // The first "é" would straddle the limit: it goes whole, one byte short of it.
    EXPECT_EQ(job.body.size(), CReportMailer::kBodyMax - 1);
    EXPECT_EQ(job.body.back(), 'c');
}

TEST_F(ReportComposeTest, AttachmentChoiceFollowsTheMailSwitches) {
    m_settings.EMAIL_WMV = 1;
    m_settings.EMAIL_JPG = 0;
    m_settings.CAPTURE_WMV = 1;
    ReportMailJob job = Compose();
    EXPECT_EQ(job.moviePath, "/a/m.wmv");
    EXPECT_EQ(job.stillPath, "");
    EXPECT_FALSE(job.emailJpg);
    EXPECT_TRUE(job.captureWmv);

    m_settings.EMAIL_WMV = 0;
    m_settings.EMAIL_JPG = 1;
    job = Compose();
    EXPECT_EQ(job.moviePath, "");
    EXPECT_EQ(job.stillPath, "/a/stills/Frame_000001.jpg");
    EXPECT_EQ(job.stillDir, "/a/stills/");
    EXPECT_TRUE(job.emailJpg);
}

TEST(ReportServer, PortOnlyFromAValidSuffix) {
    std::string host;
    uint16_t port = 0;
    CReportMailer::SplitServer("127.0.0.1:2525", host, port);
    EXPECT_EQ(host, "127.0.0.1");
    EXPECT_EQ(port, 2525);
    CReportMailer::SplitServer(" smtp.example.org ", host, port);
    EXPECT_EQ(host, "smtp.example.org");
    EXPECT_EQ(port, 25);
    for (const char* odd : {"h:0", "h:70000", "h:x1", "h:", "::1", "enter smtp server here"}) {
        CReportMailer::SplitServer(odd, host, port);
        EXPECT_EQ(host, odd);
        EXPECT_EQ(port, 25) << odd;
    }
}

TEST_F(ReportComposeTest, NothingHappensWhenMailIsOffOrThereIsNoStamp) {
    CRecordingEventLog log;
    CReportMailer mailer(m_settings);
    m_settings.EMAIL_ENA = 0;
    mailer.SendCaptureReport(m_report);
    m_settings.EMAIL_ENA = 1;
    m_report.stampText.clear();
    mailer.SendCaptureReport(m_report);
    EXPECT_FALSE(mailer.IsSending());
    EXPECT_EQ(mailer.PendingCount(), 0);
    EXPECT_EQ(CReportMailer::LiveWorkers(), 0);
    EXPECT_TRUE(log.Lines().empty());
}

TEST(ReportSlots, FirstFreeSlotInIndexOrderAndDeliveryOfAFreeSlotDoesNothing) {
    auto slots = std::make_shared<CReportJobSlots>();
    EXPECT_EQ(slots->Reserve(), 0);
    EXPECT_EQ(slots->Reserve(), 1);
    slots->Release(0);
    EXPECT_EQ(slots->Reserve(), 0);
    for (int i = 2; i < CReportJobSlots::kCount; ++i)
        EXPECT_EQ(slots->Reserve(), i);
    EXPECT_EQ(slots->Reserve(), -1);
    EXPECT_EQ(slots->BusyCount(), 32);
    slots->Release(5);
    CReportMailer::DeliverReport(slots, 5);  // free: nothing to deliver
    CReportMailer::DeliverReport(slots, 32); // outside the slots
    CReportMailer::DeliverReport(slots, -1);
    EXPECT_EQ(slots->BusyCount(), 31);
}

} // namespace
