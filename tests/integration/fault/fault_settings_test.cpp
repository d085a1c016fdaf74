// Damaged settings files: the program loads what it can, takes defaults and
// limits for the rest, runs on a virtual camera and leaves a whole, valid file.
#include "DefaultSettingsFile.h"
#include "HeadlessProcess.h"
#include "MediaChecks.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

// Runs the program for a moment on a still scene, starting from `file`; the
// settings file it leaves.
std::string RunFrom(const std::string& file) {
    CHeadlessHome home("Cam|lavfi:color=c=gray:s=320x240:r=10\n", file);
    CHeadlessProcess run(home.Run({"--run-for", "1.5"}));
    EXPECT_EQ(run.WaitForExit(60000), 0) << run.Transcript();
    EXPECT_TRUE(run.Values("message: ").empty()) << run.Transcript();
    EXPECT_EQ(run.Values("status: ").back(), "closing down...") << run.Transcript();
    // The file names the home folder; make it comparable across runs.
    std::string text = home.Settings();
    const std::string folder = home.Home() + "/";
    for (size_t at; (at = text.find(folder)) != std::string::npos;)
        text.replace(at, folder.size(), "HOME/");
    return text;
}

// The defaults with the one camera chosen, plus `changes`.
std::string Expected(const std::vector<std::pair<std::string, std::string>>& changes = {}) {
    auto all = changes;
    all.push_back({"<VIDEO_SRC>", "Cam"});
    return WithSettings(DefaultSettingsFile("HOME/"), all);
}

TEST(FaultSettings, RandomBytesLoadAsDefaults) {
    std::mt19937 random(20261207);
    std::string bytes(64 * 1024, '\0');
    for (char& c : bytes)
        c = static_cast<char>(random() & 0xff);
    EXPECT_EQ(RunFrom(bytes), Expected());
}

TEST(FaultSettings, TenMegabytesAreReadToTheEndAndWrittenBackSmall) {
    std::string text = "CAPTURE_FPS=7\n";
    const std::string filler = "# a line of a settings file that grew without bounds\n";
    while (text.size() < 10 * 1024 * 1024)
        text += filler;
    text += "MOTION_THR=250\n<VIDEO_OVE>FOUND AT THE END</VIDEO_OVE>\n";
    EXPECT_EQ(RunFrom(text), Expected({{"CAPTURE_FPS=", "7"},
                                       {"MOTION_THR=", "250"},
                                       {"<VIDEO_OVE>", "FOUND AT THE END"}}));
}

TEST(FaultSettings, AZeroByteEndsTheTextOfItsBlockOnly) {
    // Blocks of 2048 bytes are read as terminated strings: the rest of the
    // first block after the zero is lost, the second block counts again.
    std::string text = std::string("MOTION_THR=200\n") + '\0' + "MOTION_FPS=5\n";
    text.resize(2048, 'x');
    text += "\nCAPTURE_FPS=7\n";
    text += '\0';
    text += "CAPTURE_JPQ=20\n";
    EXPECT_EQ(RunFrom(text), Expected({{"MOTION_THR=", "200"}, {"CAPTURE_FPS=", "7"}}));
}

TEST(FaultSettings, EveryKeyOutOfRangeTakesItsDefaultAndUnlimitedKeysKeepTheirValue) {
    const std::string text = "APP_POSX=99999999999\nAPP_POSY=-99999999999\nAPP_BUTS=7\n"
                             "VIDEO_OPA=150\nMOTION_FPS=0\nMOTION_WRM=601\nMOTION_THR=4\n"
                             "MOTION_SHO=-3\nMOTION_VOL=101\nMOTION_R_ENA=5\nMOTION_R_LEF=-1\n"
                             "MOTION_R_RIG=321\nMOTION_R_TOP=241\nMOTION_R_BOT=-5\n"
                             "CAPTURE_WMV=2\nCAPTURE_MIN_S=0\nCAPTURE_MAX_S=5\nCAPTURE_FPS=61\n"
                             "CAPTURE_JPG=-1\nCAPTURE_JPQ=91\nEMAIL_ENA=0\nEMAIL_WMV=-2\n"
                             "EMAIL_JPG=3\n";
    EXPECT_EQ(RunFrom(text), Expected({{"APP_POSX=", "2147483647"},
                                       {"APP_POSY=", "-2147483648"},
                                       {"APP_BUTS=", "7"},
                                       {"MOTION_SHO=", "-3"},
                                       {"MOTION_R_ENA=", "5"},
                                       {"CAPTURE_WMV=", "2"},
                                       {"CAPTURE_JPG=", "-1"},
                                       {"EMAIL_WMV=", "-2"},
                                       {"EMAIL_JPG=", "3"}}));
}

} // namespace
