#include "DefaultSettingsFile.h"
#include "RecordingSinks.h"
#include "TempDir.h"
#include "app/AppSettings.h"
#include "app/SettingsValue.h"
#include "app/TagParser.h"

#include <algorithm>
#include <filesystem>
#include <functional>
#include <grp.h>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

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

TEST_F(AppSettingsTest, DetectionSectionKeepsItsValuesWithinTheirLimits) {
    auto s = Load("[DETECTION]\nDETECT_LIGHT_PCT=101\nDETECT_BRIGHT_COMP=1\n"
                  "DETECT_MIN_PASSES=0\nDETECT_MIN_BLOCKS=1200\nDETECT_BLOCKS_TOUCH=2\n");
    EXPECT_EQ(s->DETECT_LIGHT_PCT, 0);
    EXPECT_EQ(s->DETECT_BRIGHT_COMP, 1);
    EXPECT_EQ(s->DETECT_MIN_PASSES, 1);
    EXPECT_EQ(s->DETECT_MIN_BLOCKS, 1200);
    EXPECT_EQ(s->DETECT_BLOCKS_TOUCH, 0);
    s.reset();
    EXPECT_NE(FileText().find("SMTP_SIZE_MB=20\n\n[DETECTION]\nDETECT_LIGHT_PCT=0\n"
                              "DETECT_BRIGHT_COMP=1\nDETECT_MIN_PASSES=1\n"
                              "DETECT_MIN_BLOCKS=1200\nDETECT_BLOCKS_TOUCH=0\n"),
              std::string::npos);
}

TEST_F(AppSettingsTest, ReadOnlyRecordWritesNothing) {
    WriteFileBytes(m_dir.File("oculon.ini"), "MOTION_THR=7\n");
    {
        CAppSettings s(m_parser, m_dir.Folder(), "", true);
        EXPECT_EQ(s.MOTION_THR, 7);
        s.MOTION_THR = 300;
    }
    EXPECT_EQ(FileText(), "MOTION_THR=7\n");
    EXPECT_FALSE(std::filesystem::exists(m_dir.File("captured")));
}

TEST_F(AppSettingsTest, MailServerSectionKeepsLimitsAndAnyUserNameOnItsLine) {
    auto old = Load("SMTP_SECURITY=3\nSMTP_SIZE_MB=0\nSMTP_LOOPBACK_LOGIN=1\n");
    EXPECT_EQ(old->SMTP_SECURITY, 0);
    EXPECT_EQ(old->SMTP_SIZE_MB, 20);
    EXPECT_EQ(old->SMTP_LOOPBACK_LOGIN, 1);
    EXPECT_EQ(old->SMTP_USER, "");
    old.reset();
    for (const std::string user : {"me@example.org", "a<b>c", "x</SMTP_USER>y", "two\nlines\r",
                                   "SMTP_SIZE_MB=1", "100%41 <SMTP_USER>"}) {
        {
            auto s = LoadWithoutFile();
            s->SMTP_USER = user;
            s->SMTP_SIZE_MB = 5;
        }
        const std::string text = FileText();
        const size_t from = text.find("\n[MAIL SERVER]\n");
        const std::string section = text.substr(from, text.find("\n[DETECTION]") - from);
        EXPECT_EQ(std::count(section.begin(), section.end(), '\n'), 6) << section;
        EXPECT_EQ(text.substr(0, text.find("\n[RECORDING]")),
                  DefaultSettingsFile(m_dir.Folder()).substr(0, text.find("\n[RECORDING]")));
        auto s = LoadWithoutFile();
        EXPECT_EQ(s->SMTP_USER, user);
        EXPECT_EQ(s->SMTP_SIZE_MB, 5) << user;
    }
}

TEST_F(AppSettingsTest, HomeAndPushSectionKeepsItsValuesWithinTheirLimits) {
    auto s = Load("[HOME AND PUSH]\n<MQTT_HOST>broker.lan</MQTT_HOST>\nMQTT_PORT=70000\n"
                  "<MQTT_USER>cam</MQTT_USER>\nMQTT_TLS=1\nMQTT_DISCOVERY=2\nPUSH_MODE=2\n"
                  "<PUSH_URL>https://ntfy.example/yard</PUSH_URL>\nPUSH_COOLDOWN_MIN=1441\n");
    EXPECT_EQ(s->MQTT_HOST, "broker.lan");
    EXPECT_EQ(s->MQTT_PORT, 1883);
    EXPECT_EQ(s->MQTT_USER, "cam");
    EXPECT_EQ(s->MQTT_TLS, 1);
    EXPECT_EQ(s->MQTT_DISCOVERY, 0);
    EXPECT_EQ(s->PUSH_MODE, 2);
    EXPECT_EQ(s->PUSH_COOLDOWN_MIN, 0);
    s->MQTT_BASE = "home/yard";
    s->MQTT_CA = "a<b>=%41\n";
    s.reset();
    EXPECT_EQ(LoadWithoutFile()->MQTT_CA, "a<b>=%41\n"); // kept whole on its line
    EXPECT_EQ(LoadWithoutFile()->ARM_SCHEDULE, "") << "no [ARMING] section: no schedule";
    EXPECT_NE(
        FileText().find("\n[HOME AND PUSH]\n<MQTT_HOST>broker.lan</MQTT_HOST>\n"
                        "MQTT_PORT=1883\n<MQTT_USER>cam</MQTT_USER>\nMQTT_TLS=1\n"
                        "<MQTT_CA>a%3Cb%3E%3D%2541%0A</MQTT_CA>\n<MQTT_BASE>home/yard</MQTT_BASE>\n"
                        "MQTT_DISCOVERY=0\nPUSH_MODE=2\n"
                        "<PUSH_URL>https://ntfy.example/yard</PUSH_URL>\nPUSH_COOLDOWN_MIN=0\n"),
        std::string::npos)
        << FileText();
}

TEST_F(AppSettingsTest, ArmingScheduleKeepsItsTextOnItsLine) {
    const std::string schedule = "Mon-Fri 22:00-06:30; Sat,Sun 00:00-24:00 <x>";
    Load("[ARMING]\n<ARM_SCHEDULE>" + settings_value::Escaped(schedule) + "</ARM_SCHEDULE>\n")
        .reset();
    EXPECT_EQ(LoadWithoutFile()->ARM_SCHEDULE, schedule);
    EXPECT_NE(FileText().find("\n[HOME AND PUSH]\n"), std::string::npos);
    EXPECT_NE(FileText().find("PUSH_COOLDOWN_MIN=0\n\n[ARMING]\n<ARM_SCHEDULE>Mon-Fri "
                              "22:00-06:30; Sat,Sun 00:00-24:00 %3Cx%3E</ARM_SCHEDULE>\n"),
              std::string::npos)
        << FileText();
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

// Runs `body` in a child process under an account that file permissions apply
// to (nobody, when the tests run as root); what it returned, or nothing when
// no such child could be made.
std::optional<std::string> RunAsUser(const std::function<std::string()>& body) {
    int out[2];
    if (::pipe(out) != 0)
        return std::nullopt;
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(out[0]);
        if (::geteuid() == 0 &&
            (::setgroups(0, nullptr) != 0 || ::setresgid(65534, 65534, 65534) != 0 ||
             ::setresuid(65534, 65534, 65534) != 0))
            ::_exit(77);
        const std::string result = body();
        const bool written =
            ::write(out[1], result.data(), result.size()) == static_cast<ssize_t>(result.size());
        ::_exit(written ? 0 : 1);
    }
    ::close(out[1]);
    std::string result;
    char buffer[4096];
    for (ssize_t n; (n = ::read(out[0], buffer, sizeof buffer)) > 0;)
        result.append(buffer, static_cast<size_t>(n));
    ::close(out[0]);
    int status = 0;
    if (pid < 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0)
        return std::nullopt;
    return result;
}

// Hands a path to the account RunAsUser runs under.
void GiveToUser(const std::string& path) {
    if (::geteuid() == 0) {
        ASSERT_EQ(::lchown(path.c_str(), 65534, 65534), 0) << path;
    }
}

TEST(SettingsFileAccess, AFileThatCannotBeReadOrWrittenIsNeverReplaced) {
    const std::string kOld = "MOTION_THR=321\n<VIDEO_OVE>GATE</VIDEO_OVE>\n";
    struct CCase {
        const char* name;
        // Prepares <scratch>/home/oculon.ini (the home is the user's, 0700).
        std::function<void(const std::string& scratch)> prepare;
        int loadedThreshold;
        std::vector<std::string> messages; // '@' stands for the settings path
        const char* checked;               // the file the text must end in, below scratch
        bool saved;                        // it holds the new text, else the old one
        mode_t type;                       // of home/oculon.ini afterwards
    };
    const std::string read = "Error reading data from disk:\nAccess to @ was denied.";
    const std::string denied = "Error exporting data to disk:\nAccess to @ was denied.";
    auto file = [&](mode_t mode) {
        return [&, mode](const std::string& scratch) {
            WriteFileBytes(scratch + "/home/oculon.ini", kOld);
            GiveToUser(scratch + "/home/oculon.ini");
            ::chmod((scratch + "/home/oculon.ini").c_str(), mode);
        };
    };
    const std::vector<CCase> cases = {
        {"unreadable file",
         file(0000),
         100,
         {read, denied, denied},
         "home/oculon.ini",
         false,
         S_IFREG},
        {"read-only file", file(0444), 321, {denied, denied}, "home/oculon.ini", false, S_IFREG},
        {"folder the user cannot write",
         [&](const std::string& scratch) {
             file(0644)(scratch);
             ::chmod((scratch + "/home").c_str(), 0555);
         },
         321,
         {},
         "home/oculon.ini",
         true,
         S_IFREG},
        {"link to a file elsewhere",
         [&](const std::string& scratch) {
             std::filesystem::create_directory(scratch + "/real");
             GiveToUser(scratch + "/real");
             WriteFileBytes(scratch + "/real/settings.ini", kOld);
             GiveToUser(scratch + "/real/settings.ini");
             ASSERT_EQ(::symlink("../real/settings.ini", (scratch + "/home/oculon.ini").c_str()),
                       0);
         },
         321,
         {},
         "real/settings.ini",
         true,
         S_IFLNK},
        {"folder in its place",
         [&](const std::string& scratch) {
             std::filesystem::create_directory(scratch + "/home/oculon.ini");
         },
         100,
         {read, denied, denied},
         nullptr,
         false,
         S_IFDIR},
    };
    for (const CCase& c : cases) {
        SCOPED_TRACE(c.name);
        CTempDir scratch;
        GiveToUser(scratch.Path());
        const std::string home = scratch.File("home");
        std::filesystem::create_directory(home);
        GiveToUser(home);
        c.prepare(scratch.Path());
        const auto result = RunAsUser([&] {
            CRecordingMessageSink sink;
            CTagParser parser(false);
            std::string threshold;
            {
                CAppSettings settings(parser, home, "");
                threshold = std::to_string(settings.MOTION_THR);
                settings.MOTION_THR = 222;
                settings.Save(); // and once more when it ends
            }
            std::string text = threshold;
            for (const auto& m : sink.Texts())
                text += "|" + m;
            return text;
        });
        ::chmod(home.c_str(), 0700);
        if (!result)
            GTEST_SKIP() << "no child process under an account that permissions apply to";
        std::string expected = std::to_string(c.loadedThreshold);
        for (std::string m : c.messages)
            expected += "|" + m.replace(m.find('@'), 1, home + "/oculon.ini");
        EXPECT_EQ(*result, expected);
        if (c.checked) {
            ::chmod(scratch.File(c.checked).c_str(), 0600); // for a parent that is not root
            const std::string text = ReadFileBytes(scratch.File(c.checked));
            EXPECT_EQ(text.find("MOTION_THR=222\n") != std::string::npos, c.saved) << text;
            EXPECT_EQ(text == kOld, !c.saved) << text;
        }
        struct stat st {};
        ASSERT_EQ(::lstat((home + "/oculon.ini").c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & S_IFMT, c.type);
    }
}

} // namespace
