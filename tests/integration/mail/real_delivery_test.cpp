#include "MailSinkProcess.h"
#include "ManualClock.h"
#include "RecordingSinks.h"
#include "TempDir.h"
#include "app/AppSettings.h"
#include "app/TagParser.h"
#include "mail/MailMessage.h"
#include "mail/ReportMailer.h"
#include "mail/SMTPConnection.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>

namespace fs = std::filesystem;

namespace {

std::string RandomBytes(size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes)
        c = static_cast<char>(random() & 0xff);
    return bytes;
}

std::string WithoutCr(std::string text) {
    std::erase(text, '\r');
    return text;
}

class RealDeliveryTest : public ::testing::Test {
protected:
    RealDeliveryTest() : m_sink(m_saved.Path()) {}

    // Decodes the n-th mail a sink saved; its files land in m_decoded/<n>/.
    std::string Decoded(int n) { return Decoded(n, m_sink); }
    std::string Decoded(int n, const CMailSinkProcess& sink) {
        const std::string folder = m_decoded.File(std::to_string(n));
        fs::create_directories(folder);
        const std::string mail = sink.WaitForMail(n);
        EXPECT_FALSE(mail.empty()) << "mail " << n << " never arrived";
        EXPECT_TRUE(CMailSinkProcess::Decode(mail, folder));
        EXPECT_EQ(ReadFileBytes(folder + "/defects.txt"), "");
        return folder + "/";
    }

    CRecordingMessageSink m_messages;
    CRecordingEventLog m_log;
    CTempDir m_saved;
    CTempDir m_decoded;
    CTempDir m_files;
    CMailSinkProcess m_sink;
};

TEST_F(RealDeliveryTest, ReportMailArrivesWithAttachmentsAndUtf8TextIntact) {
    ASSERT_GT(m_sink.Port(), 0) << "the aiosmtpd sink did not start";
    CTempDir home;
    CTagParser parser(false);
    CAppSettings settings(parser, home.Folder(), "");
    settings.EMAIL_ENA = 1;
    settings.EMAIL_SMTP = "127.0.0.1:" + std::to_string(m_sink.Port());
    settings.EMAIL_FROM = "cam@example.org";
    settings.EMAIL_TO = "me@example.org";
    settings.VIDEO_OVE = "K\xc3\xbc"
                         "che \xe2\x98\x83"; // Küche ☃
    settings.EMAIL_CUS = "Gr\xc3\xbc\xc3\x9f"
                         "e\n.line with a dot\nx=41 stays\n"; // Grüße
    settings.CAPTURE_WMV = 1;
    settings.CAPTURE_JPG = 1;

    const std::string movie = RandomBytes(300001, 1);
    const std::string still = RandomBytes(20000, 2);
    fs::create_directories(m_files.File("stills"));
    WriteFileBytes(m_files.File("07-Dec-26 14=05=09.wmv"), movie);
    WriteFileBytes(m_files.File("stills/Frame_000001.jpg"), still);
    const CCaptureReport report{"07-Dec-26 14=05=09.25", m_files.File("07-Dec-26 14=05=09.wmv"),
                                m_files.File("stills/"), m_files.File("stills/Frame_000001.jpg")};

    CReportMailer mailer(settings);
    mailer.SendCaptureReport(report);
    const std::string folder = Decoded(1);

    EXPECT_EQ(ReadFileBytes(folder + "subject.txt"), "OCULON> 07/Dec/26 14:05:09.25");
    EXPECT_EQ(WithoutCr(ReadFileBytes(folder + "body.txt")),
              "Automatically sent by Oculon\nCamera name: K\xc3\xbc"
              "che \xe2\x98\x83\n"
              "Transmission time: 07/Dec/26 14:05:09.25\nhttps://oculon.example.org/\n"
              "____________________\nGr\xc3\xbc\xc3\x9f"
              "e\n.line with a dot\nx=41 stays\n"
              // the empty line that the part layout puts before every boundary
              "\n");
    // The movie's name has blanks and "="; quoted, the parser reads it whole.
    const std::string movieBack = ReadFileBytes(folder + "07-Dec-26 14=05=09.wmv");
    const std::string stillBack = ReadFileBytes(folder + "Frame_000001.jpg");
    EXPECT_EQ(movieBack.size(), movie.size());
    EXPECT_TRUE(movieBack == movie);
    EXPECT_EQ(stillBack.size(), still.size());
    EXPECT_TRUE(stillBack == still);
    EXPECT_EQ(ReadFileBytes(m_saved.File("mail1.rcpt")), "me@example.org");
    for (int i = 0; i < 1000 && CReportMailer::LiveWorkers() > 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(m_log.Lines(), std::vector<std::string>{"mail: sent OCULON> 07/Dec/26 14:05:09.25"});
    EXPECT_TRUE(fs::exists(m_files.File("07-Dec-26 14=05=09.wmv"))); // archived
}

TEST_F(RealDeliveryTest, MovieBeyondTheServersSizeLimitStaysInTheArchive) {
    CTempDir saved;
    CMailSinkProcess small(saved.Path(), 0, {"size=100000"});
    ASSERT_GT(small.Port(), 0) << "the aiosmtpd sink did not start";
    CTempDir home;
    CTagParser parser(false);
    CAppSettings settings(parser, home.Folder(), "");
    settings.EMAIL_ENA = 1;
    settings.EMAIL_SMTP = "127.0.0.1:" + std::to_string(small.Port());
    settings.EMAIL_FROM = "cam@example.org";
    settings.EMAIL_TO = "me@example.org";
    settings.CAPTURE_WMV = 0; // the mail would have been the movie's only copy
    settings.CAPTURE_JPG = 1;
    const std::string movie = m_files.File("big.wmv");
    WriteFileBytes(movie, RandomBytes(150000, 3));
    fs::create_directories(m_files.File("stills"));
    WriteFileBytes(m_files.File("stills/Frame_000001.jpg"), RandomBytes(20000, 4));
    CReportMailer mailer(settings);
    mailer.SendCaptureReport({"07-Dec-26 14=05=09.25", movie, m_files.File("stills/"),
                              m_files.File("stills/Frame_000001.jpg")});
    const std::string folder = Decoded(1, small);
    EXPECT_NE(ReadFileBytes(folder + "body.txt")
                  .find("The movie big.wmv is too large for this mail; it is kept in the archive."),
              std::string::npos)
        << ReadFileBytes(folder + "body.txt");
    EXPECT_FALSE(fs::exists(folder + "big.wmv"));
    EXPECT_EQ(ReadFileBytes(folder + "Frame_000001.jpg").size(), 20000u);
    for (int i = 0; i < 1000 && CReportMailer::LiveWorkers() > 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(m_log.Lines(), std::vector<std::string>{"mail: sent OCULON> 07/Dec/26 14:05:09.25"});
    EXPECT_EQ(fs::file_size(movie), 150000u);
}

TEST_F(RealDeliveryTest, SevenBitAndNonAsciiSubjectsReadBackExactly) {
    ASSERT_GT(m_sink.Port(), 0) << "the aiosmtpd sink did not start";
    const std::string utf8Subject = "Bewegung in der K\xc3\xbc"
                                    "che \xe2\x98\x83 \xe6\x91\x84\xe5\x83\x8f\xe6\x9c\xba "
                                    "and a long tail so that it needs several encoded words";
    CSMTPConnection connection;
    ASSERT_TRUE(connection.Connect("127.0.0.1", static_cast<uint16_t>(m_sink.Port())));
    for (const std::string& subject : {std::string("OCULON> plain 100% ascii"), utf8Subject}) {
        CMailMessage message;
        message.SetFrom(CMailAddress("", "cam@example.org"));
        message.AddRecipient(CMailAddress("", "me@example.org"), RecipientType::To);
        message.SetSubject(subject);
        message.SetBody("Line one\n.\nLine three " + subject);
        EXPECT_TRUE(connection.SendMail(message));
    }
    EXPECT_TRUE(connection.Disconnect());
    const std::string plain = Decoded(1);
    EXPECT_EQ(ReadFileBytes(plain + "subject.txt"), "OCULON> plain 100% ascii");
    EXPECT_EQ(WithoutCr(ReadFileBytes(plain + "body.txt")),
              "Line one\n.\nLine three OCULON> plain 100% ascii\n");
    const std::string encoded = Decoded(2);
    EXPECT_EQ(ReadFileBytes(encoded + "subject.txt"), utf8Subject);
    EXPECT_EQ(WithoutCr(ReadFileBytes(encoded + "body.txt")),
              "Line one\n.\nLine three " + utf8Subject + "\n");
}

TEST_F(RealDeliveryTest, CooldownHoldsMailsBackAndTheNextListsTheHeldCapturesWhoseFilesStay) {
    ASSERT_GT(m_sink.Port(), 0) << "the aiosmtpd sink did not start";
    CTempDir home;
    CTagParser parser(false);
    CAppSettings settings(parser, home.Folder(), "");
    settings.EMAIL_ENA = 1;
    settings.EMAIL_SMTP = "127.0.0.1:" + std::to_string(m_sink.Port());
    settings.EMAIL_FROM = "cam@example.org";
    settings.EMAIL_TO = "me@example.org";
    settings.EMAIL_JPG = 0;
    settings.CAPTURE_WMV = 0; // the movies exist only for the mail
    settings.PUSH_COOLDOWN_MIN = 1;
    CManualClock clock;
    CReportMailer mailer(settings, clock);
    auto capture = [&](const char* stamp) {
        const std::string movie = m_files.File(std::string(stamp) + ".wmv");
        WriteFileBytes(movie, RandomBytes(1000, 5));
        mailer.SendCaptureReport({stamp, movie, "", ""});
        for (int i = 0; i < 1000 && CReportMailer::LiveWorkers() > 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return movie;
    };
    const std::string first = capture("07-Dec-26 14=05=09.25");
    clock.Advance(59'999);
    const std::string held = capture("07-Dec-26 14=06=08.00");
    clock.Advance(1);
    const std::string next = capture("07-Dec-26 14=06=09.25");

    EXPECT_EQ(ReadFileBytes(Decoded(1) + "subject.txt"), "OCULON> 07/Dec/26 14:05:09.25");
    const std::string folder = Decoded(2);
    EXPECT_EQ(ReadFileBytes(folder + "subject.txt"), "OCULON> 07/Dec/26 14:06:09.25");
    EXPECT_NE(WithoutCr(ReadFileBytes(folder + "body.txt"))
                  .find("\nCaptures since the last mail (kept in the archive):\n"
                        "07/Dec/26 14:06:08.00  " +
                        held + "\n"),
              std::string::npos)
        << ReadFileBytes(folder + "body.txt");
    EXPECT_FALSE(fs::exists(m_saved.File("mail3.eml")));
    EXPECT_EQ(m_log.Lines(),
              (std::vector<std::string>{
                  "mail: sent OCULON> 07/Dec/26 14:05:09.25",
                  "mail: held OCULON> 07/Dec/26 14:06:08.00: at most one mail per 1 minutes",
                  "mail: sent OCULON> 07/Dec/26 14:06:09.25"}));
    // Mailed movies made only for the mail go; the held one stays as evidence.
    EXPECT_FALSE(fs::exists(first));
    EXPECT_TRUE(fs::exists(held));
    EXPECT_FALSE(fs::exists(next));
}

} // namespace
