#include "DefaultSettingsFile.h"
#include "RecordingSinks.h"
#include "TempDir.h"
#include "app/AppSettings.h"
#include "app/TagParser.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <memory>

namespace {

class AppSettingsTest : public ::testing::Test {
protected:
    std::unique_ptr<CAppSettings> Load(const std::string& fileText) {
        WriteFileBytes(m_dir.File("oculon.ini"), fileText);
        return std::make_unique<CAppSettings>(m_parser, m_dir.Folder(), "/opt/oculon/oculon");
    }
    std::unique_ptr<CAppSettings> LoadWithoutFile() {
        return std::make_unique<CAppSettings>(m_parser, m_dir.Folder(), "/opt/oculon/oculon");
    }
    std::string FileText() { return ReadFileBytes(m_dir.File("oculon.ini")); }

    CTempDir m_dir;
    CTagParser m_parser{false};
};

TEST_F(AppSettingsTest, FirstStartWritesTheCompleteDefaultFileAndArchiveFolder) {
    CRecordingMessageSink sink;
    { auto settings = LoadWithoutFile(); }
    EXPECT_EQ(FileText(), DefaultSettingsFile(m_dir.Folder()));
    EXPECT_TRUE(std::filesystem::is_directory(m_dir.File("captured")));
    EXPECT_TRUE(sink.m_messages.empty());
}

TEST_F(AppSettingsTest, RoundTripKeepsEveryValue) {
    {
        auto s = LoadWithoutFile();
        s->APP_POSX = -12;
        s->APP_POSY = 300;
        s->APP_BUTS = 0;
        s->VIDEO_OPA = 0;
        s->VIDEO_OVE = "   ";
        s->VIDEO_SRC = "USB Camera: HD Webcam";
        s->MOTION_FPS = 60;
        s->MOTION_WRM = 600;
        s->MOTION_THR = 5;
        s->MOTION_SHO = 0;
        s->MOTION_VOL = 100;
        s->MOTION_R_ENA = 1;
        s->MOTION_R_LEF = 0;
        s->MOTION_R_RIG = 320;
        s->MOTION_R_TOP = 0;
        s->MOTION_R_BOT = 240;
        s->CAPTURE_WMV = 1;
        s->CAPTURE_JPG = 1;
        s->CAPTURE_JPQ = 90;
        s->CAPTURE_MIN_S = 60;
        s->CAPTURE_MAX_S = 10;
        s->CAPTURE_FPS = 1;
        s->CAPTURE_PTH = "/srv/archive";
        s->EMAIL_ENA = 1;
        s->EMAIL_WMV = 0;
        s->EMAIL_JPG = 0;
        s->EMAIL_SMTP = "127.0.0.1";
        s->EMAIL_FROM = "cam@example.org";
        s->EMAIL_TO = "me@example.org";
        s->EMAIL_CUS = "first line\nsecond line\n\nfourth";
    }
    const std::string written = FileText();
    auto s = LoadWithoutFile();
    EXPECT_EQ(s->APP_POSX, -12);
    EXPECT_EQ(s->APP_POSY, 300);
    EXPECT_EQ(s->APP_BUTS, 0);
    EXPECT_EQ(s->VIDEO_OPA, 0);
    EXPECT_EQ(s->VIDEO_OVE, "   ");
    EXPECT_EQ(s->VIDEO_SRC, "USB Camera: HD Webcam");
    EXPECT_EQ(s->MOTION_FPS, 60);
    EXPECT_EQ(s->MOTION_WRM, 600);
    EXPECT_EQ(s->MOTION_THR, 5);
    EXPECT_EQ(s->MOTION_SHO, 0);
    EXPECT_EQ(s->MOTION_VOL, 100);
    EXPECT_EQ(s->MOTION_R_ENA, 1);
    EXPECT_EQ(s->MOTION_R_LEF, 0);
    EXPECT_EQ(s->MOTION_R_RIG, 320);
    EXPECT_EQ(s->MOTION_R_TOP, 0);
    EXPECT_EQ(s->MOTION_R_BOT, 240);
    EXPECT_EQ(s->CAPTURE_WMV, 1);
    EXPECT_EQ(s->CAPTURE_JPG, 1);
    EXPECT_EQ(s->CAPTURE_JPQ, 90);
    EXPECT_EQ(s->CAPTURE_MIN_S, 60);
    EXPECT_EQ(s->CAPTURE_MAX_S, 10);
    EXPECT_EQ(s->CAPTURE_FPS, 1);
    EXPECT_EQ(s->CAPTURE_PTH, "/srv/archive");
    EXPECT_EQ(s->EMAIL_ENA, 1);
    EXPECT_EQ(s->EMAIL_WMV, 0);
    EXPECT_EQ(s->EMAIL_JPG, 0);
    EXPECT_EQ(s->EMAIL_SMTP, "127.0.0.1");
    EXPECT_EQ(s->EMAIL_FROM, "cam@example.org");
    EXPECT_EQ(s->EMAIL_TO, "me@example.org");
    EXPECT_EQ(s->EMAIL_CUS, "first line\nsecond line\n\nfourth");
    // The multi-line custom text spreads over several file lines.
    EXPECT_NE(written.find("<EMAIL_CUS>first line\nsecond line\n\nfourth</EMAIL_CUS>\n"),
              std::string::npos);
    s.reset();
    EXPECT_EQ(FileText(), written);
}

TEST_F(AppSettingsTest, LoadLimitsReplaceOutOfRangeValuesWithDefaults) {
    auto s = Load("VIDEO_OPA=150\nCAPTURE_MAX_S=5\nMOTION_R_RIG=320\nMOTION_FPS=12abc\n"
                  "MOTION_WRM=abc\nMOTION_THR=4\nMOTION_VOL=-1\nCAPTURE_JPQ=91\n"
                  "CAPTURE_MIN_S=0\nCAPTURE_FPS=61\nMOTION_R_BOT=241\nMOTION_R_LEF=-1\n"
                  "APP_POSX=-99999\nCAPTURE_WMV=7\n");
    EXPECT_EQ(s->VIDEO_OPA, 50);
    EXPECT_EQ(s->CAPTURE_MAX_S, 60);
    EXPECT_EQ(s->MOTION_R_RIG, 320);
    EXPECT_EQ(s->MOTION_FPS, 12);
    EXPECT_EQ(s->MOTION_WRM, 10);
    EXPECT_EQ(s->MOTION_THR, 100);
    EXPECT_EQ(s->MOTION_VOL, 50);
    EXPECT_EQ(s->CAPTURE_JPQ, 50);
    EXPECT_EQ(s->CAPTURE_MIN_S, 2);
    EXPECT_EQ(s->CAPTURE_FPS, 20);
    EXPECT_EQ(s->MOTION_R_BOT, 180);
    EXPECT_EQ(s->MOTION_R_LEF, 80);
    // Keys without limits keep whatever the file holds.
    EXPECT_EQ(s->APP_POSX, -99999);
    EXPECT_EQ(s->CAPTURE_WMV, 7);
}

TEST_F(AppSettingsTest, RecordingSectionKeepsItsValuesWithinTheirLimits) {
    auto s = Load("[RECORDING]\nMOVIE_FORMAT=1\nPRE_ROLL_S=11\nARCHIVE_MAX_DAYS=30\n"
                  "ARCHIVE_MAX_GB=-1\nARCHIVE_MIN_FREE_GB=5\n");
    EXPECT_EQ(s->MOVIE_FORMAT, 1);
    EXPECT_EQ(s->PRE_ROLL_S, 0);
    EXPECT_EQ(s->ARCHIVE_MAX_DAYS, 30);
    EXPECT_EQ(s->ARCHIVE_MAX_GB, 0);
    EXPECT_EQ(s->ARCHIVE_MIN_FREE_GB, 5);
    s.reset();
    EXPECT_NE(FileText().find("<EMAIL_CUS></EMAIL_CUS>\n\n[RECORDING]\nMOVIE_FORMAT=1\n"
                              "PRE_ROLL_S=0\nARCHIVE_MAX_DAYS=30\nARCHIVE_MAX_GB=0\n"
                              "ARCHIVE_MIN_FREE_GB=5\n"),
              std::string::npos);
}

TEST_F(AppSettingsTest, StringsUseDefaultsOnlyWhenEmpty) {
    auto s =
        Load("<VIDEO_OVE></VIDEO_OVE>\n<EMAIL_SMTP>  </EMAIL_SMTP>\n<CAPTURE_PTH></CAPTURE_PTH>\n");
    EXPECT_EQ(s->VIDEO_OVE, " PRESS SETUP TO EDIT THIS TITLE ");
    EXPECT_EQ(s->EMAIL_SMTP, "  ");
    EXPECT_EQ(s->EMAIL_FROM, "enter email address here");
    EXPECT_EQ(s->CAPTURE_PTH, m_dir.Folder() + "captured");
    EXPECT_TRUE(std::filesystem::is_directory(m_dir.File("captured")));
}

TEST_F(AppSettingsTest, KeysInAnyOrderWithoutSections) {
    auto s = Load("EMAIL_ENA=1\n<EMAIL_TO>a@b.c</EMAIL_TO>MOTION_THR=250\nAPP_BUTS=0\n");
    EXPECT_EQ(s->EMAIL_ENA, 1);
    EXPECT_EQ(s->EMAIL_TO, "a@b.c");
    EXPECT_EQ(s->MOTION_THR, 250);
    EXPECT_EQ(s->APP_BUTS, 0);
}

TEST_F(AppSettingsTest, TitleHoldingALaterKeyIsFoundFirst) {
    {
        auto s = LoadWithoutFile();
        s->VIDEO_OVE = "CAM MOTION_FPS=33\n";
        s->MOTION_FPS = 5;
    }
    auto s = LoadWithoutFile();
    EXPECT_EQ(s->MOTION_FPS, 33);
}

TEST_F(AppSettingsTest, StringHoldingItsClosingTagIsCutThere) {
    {
        auto s = LoadWithoutFile();
        s->EMAIL_CUS = "before</EMAIL_CUS>after";
    }
    auto s = LoadWithoutFile();
    EXPECT_EQ(s->EMAIL_CUS, "before");
}

TEST_F(AppSettingsTest, DamagedFilesGiveDefaultsWithoutMessages) {
    CRecordingMessageSink sink;
    std::string garbage;
    for (int i = 0; i < 5000; ++i)
        garbage += static_cast<char>((i * 7919) % 256);
    auto s = Load(garbage);
    EXPECT_EQ(s->MOTION_THR, 100);
    EXPECT_EQ(s->VIDEO_OVE, " PRESS SETUP TO EDIT THIS TITLE ");
    s.reset();
    // A NUL byte ends its block's text; keys behind it in the same block are lost.
    auto t = Load(std::string("MOTION_THR=200\n\0MOTION_FPS=30\n", 31));
    EXPECT_EQ(t->MOTION_THR, 200);
    EXPECT_EQ(t->MOTION_FPS, 10);
    EXPECT_TRUE(sink.m_messages.empty());
}

TEST_F(AppSettingsTest, UnreadableFileShowsTheReadErrorAndLoadsDefaults) {
    std::filesystem::create_directory(m_dir.File("oculon.ini"));
    CRecordingMessageSink sink;
    auto s = LoadWithoutFile();
    EXPECT_EQ(s->MOTION_THR, 100);
    ASSERT_FALSE(sink.m_messages.empty());
    EXPECT_EQ(sink.m_messages[0].text.rfind("Error reading data from disk:\n", 0), 0u);
    sink.m_messages.clear();
    // Saving over a folder fails with the export message and the program goes on.
    EXPECT_FALSE(s->Save());
    ASSERT_EQ(sink.m_messages.size(), 1u);
    EXPECT_EQ(sink.m_messages[0].text.rfind("Error exporting data to disk:\n", 0), 0u);
}

} // namespace
