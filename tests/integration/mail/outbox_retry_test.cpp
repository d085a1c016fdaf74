#include "MailSinkProcess.h"
#include "ManualClock.h"
#include "RecordingSinks.h"
#include "ScriptedSmtpPeer.h"
#include "TempDir.h"
#include "mail/Outbox.h"
#include "mail/ReportDelivery.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

class OutboxRetryTest : public ::testing::Test {
protected:
    OutboxRetryTest() {
        WriteFileBytes(m_files.File("cap.wmv"), std::string(1000, 'm'));
        m_job.subject = "OCULON> 07/Dec/26 14:05:09.25";
        m_job.body = "Automatically sent by Oculon";
        m_job.moviePath = m_files.File("cap.wmv");
        m_job.smtpHost = "127.0.0.1";
        m_job.from = "cam@example.org";
        m_job.to = "me@example.org";
        m_job.homeFolder = m_home.Folder();
    }

    COutbox Outbox() {
        return COutbox(m_home.File("outbox/"), m_clock,
                       [this](const std::string& line) { m_lines.push_back(line); });
    }
    int Retry(COutbox& outbox) {
        return outbox.RetryDue(
            [this](const ReportMailJob& job) { return report_delivery::Deliver(job, m_clock); });
    }
    void FirstTry(COutbox& outbox) {
        const std::string id = outbox.Add(m_job);
        ASSERT_FALSE(id.empty());
        outbox.Settle(id, report_delivery::Deliver(m_job, m_clock));
    }

    CRecordingMessageSink m_messages;
    CManualClock m_clock;
    CTempDir m_home;
    CTempDir m_files;
    ReportMailJob m_job;
    std::vector<std::string> m_lines;
};

TEST(OutboxSchedule, BacksOffThenHourly) {
    const int64_t expected[] = {0, 60, 120, 300, 600, 1800, 3600, 3600};
    for (int failures = 0; failures < 8; ++failures)
        EXPECT_EQ(COutbox::RetryDelaySeconds(failures), expected[failures]) << failures;
}

TEST_F(OutboxRetryTest, BusyServerIsRetriedOnScheduleUntilThreeDaysPass) {
    CScriptedSmtpPeer busy([](CPeerSession& s) { s.Send("421 4.3.2 too busy\r\n"); });
    m_job.smtpPort = busy.Port();
    COutbox outbox = Outbox();
    FirstTry(outbox);
    ASSERT_EQ(m_lines, std::vector<std::string>{"mail: queued " + m_job.subject +
                                                ": the server refused the greeting: 421 4.3.2 "
                                                "too busy"});
    // Seconds after the first try at which a retry is due: 1, +2, +5, +10, +30
    // minutes, then hourly.
    int tries = 1;
    for (const int64_t due : {60, 180, 480, 1080, 2880, 6480, 10080}) {
        m_clock.SetMs((due - 1) * 1000);
        EXPECT_EQ(Retry(outbox), 0) << due;
        m_clock.SetMs(due * 1000);
        EXPECT_EQ(Retry(outbox), 1) << due;
        ASSERT_TRUE(busy.WaitAccepted(++tries));
    }
    EXPECT_EQ(m_lines.size(), 1u); // the retries stay quiet
    // Hourly until the three days are used up, then given up; the files stay.
    for (int64_t due = 10080 + 3600; due <= COutbox::kGiveUpSeconds + 3600; due += 3600) {
        m_clock.SetMs(due * 1000);
        Retry(outbox);
    }
    EXPECT_TRUE(outbox.Entries().empty());
    ASSERT_EQ(m_lines.size(), 2u);
    EXPECT_EQ(m_lines[1], "mail: failed " + m_job.subject +
                              ": the server refused the greeting: 421 4.3.2 too busy "
                              "(gave up after 3 days)");
    EXPECT_TRUE(fs::exists(m_job.moviePath));
}

TEST_F(OutboxRetryTest, ServerDownAtFirstGetsTheReportAfterARestart) {
    uint16_t port;
    {
        CScriptedSmtpPeer gone([](CPeerSession&) {});
        port = gone.Port();
    }
    m_job.smtpPort = port;
    {
        COutbox outbox = Outbox();
        FirstTry(outbox);
    } // the program ends with the report unsent
    ASSERT_EQ(m_lines.size(), 1u);
    EXPECT_TRUE(fs::exists(m_job.moviePath));

    CTempDir saved;
    CMailSinkProcess sink(saved.Path(), port);
    ASSERT_EQ(sink.Port(), port) << "the aiosmtpd sink did not start";
    COutbox restarted = Outbox();
    EXPECT_EQ(Retry(restarted), 0); // not due yet
    m_clock.Advance(60000);
    EXPECT_EQ(Retry(restarted), 1);
    EXPECT_FALSE(sink.WaitForMail(1).empty());
    EXPECT_EQ(m_lines.back(), "mail: sent " + m_job.subject);
    EXPECT_TRUE(restarted.Entries().empty());
    EXPECT_FALSE(fs::exists(m_job.moviePath)); // not archived: gone once the mail was accepted
}

TEST(OutboxEntry, EverythingNeededToSendAgainSurvivesTheFile) {
    COutbox::CEntry entry;
    entry.id = "1-2";
    entry.job.subject = "S \\n";
    entry.job.body = "line\r\n.two\\";
    entry.job.smtpHost = "mail.example.org";
    entry.job.smtpPort = 587;
    entry.job.to = "a@x.org, Name <c@z.org>";
    entry.job.security = 1;
    entry.job.user = "me";
    entry.job.captureJpg = true;
    entry.firstTry = 1700000000;
    entry.nextTry = 1700000060;
    entry.failures = 1;
    COutbox::CEntry back;
    ASSERT_TRUE(COutbox::Parse(COutbox::Serialize(entry), back));
    EXPECT_EQ(COutbox::Serialize(back), COutbox::Serialize(entry));
    EXPECT_EQ(back.job.body, entry.job.body);
    EXPECT_EQ(back.job.subject, entry.job.subject);
    EXPECT_EQ(COutbox::Serialize(entry).find("password"), std::string::npos);
}

} // namespace
