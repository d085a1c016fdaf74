#include "app/AppSettings.h"
#include "app/TagParser.h"
#include "video/Replay.h"

#include "RunCommand.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <regex>

namespace {

// The recommended [DETECTION] settings of the user guide.
void Recommend(CAppSettings& s) {
    s.DETECT_LIGHT_PCT = 40;
    s.DETECT_BRIGHT_COMP = 1;
    s.DETECT_MIN_PASSES = 2;
    s.DETECT_MIN_BLOCKS = 8;
    s.DETECT_BLOCKS_TOUCH = 1;
}

// The scenes are drawn once for all tests of this file.
class DetectionScenes : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_dir = std::make_unique<CTempDir>();
        s_made = RunCommand(std::string(OCULON_SOURCE_DIR) + "/tests/support/make_scenes.sh " +
                            s_dir->Path())
                     .exitCode == 0;
    }
    static void TearDownTestSuite() { s_dir.reset(); }
    void SetUp() override { ASSERT_TRUE(s_made) << "ffmpeg could not draw the scenes"; }
    static std::string Clip(const std::string& name) { return s_dir->File(name + ".mp4"); }

    static std::unique_ptr<CTempDir> s_dir;
    static bool s_made;
};
std::unique_ptr<CTempDir> DetectionScenes::s_dir;
bool DetectionScenes::s_made = false;

} // namespace

TEST_F(DetectionScenes, RecommendedSettingsCaptureWhatIsWantedAndNothingElse) {
    struct Scene {
        const char* name;
        bool wanted;        // someone to capture is in the scene
        bool plainCaptures; // what the plain detector does with it
    };
    const Scene scenes[] = {
        {"slow_ramp", false, false},       {"light_on", false, true},
        {"exposure_pumping", false, true}, {"sensor_noise", false, true},
        {"leaves", false, true},           {"person_walks", true, true},
        {"cat_walks", false, true},        {"person_in_ramp", true, true},
    };
    CTempDir home;
    const CTagParser parser(false);
    for (const Scene& scene : scenes) {
        for (const bool recommended : {false, true}) {
            SCOPED_TRACE(std::string(scene.name) + (recommended ? ", recommended" : ", plain"));
            CAppSettings settings(parser, home.Folder(), "", true);
            if (recommended)
                Recommend(settings);
            const CReplayResult r = ReplayClip(Clip(scene.name), settings);
            ASSERT_TRUE(r.opened);
            EXPECT_NEAR(r.clipSeconds, 5.95, 0.01);
            EXPECT_EQ(!r.captures.empty(), recommended ? scene.wanted : scene.plainCaptures)
                << r.captures.size() << " captures, " << r.motionPasses << " motion passes, "
                << r.lightingPasses << " lighting changes";
            for (const CReplayCapture& c : r.captures) {
                EXPECT_LT(c.start, c.end);
                EXPECT_GE(c.passes, recommended ? 2 : 1);
                EXPECT_GE(c.peakBlocks, recommended ? 8 : 1);
            }
        }
    }
}

TEST_F(DetectionScenes, HeadlessReplayPrintsEachCaptureAndWritesNothing) {
    struct Run {
        const char* scene;
        const char* settings;
        const char* output; // a regular expression
    };
    const Run runs[] = {
        // The person walks in after 1 s and is out of the picture after about 5 s.
        {"person_walks", "CAPTURE_MIN_S=1\nEMAIL_ENA=1\nCAPTURE_JPG=1\n",
         "replay: capture 1\\.[0-9]{2}\u2013[4-6]\\.[0-9]{2} passes [0-9]+ peak-blocks [0-9]+\n"
         "replay: 1 captures, [0-9]+ passes, [0-9]+ with motion, 0 lighting changes, "
         "5\\.95 s of clip in [0-9.]+ s\n"},
        // The lamp is one lighting change, counted but not printed on its own.
        {"light_on", "DETECT_LIGHT_PCT=40\n",
         "replay: 0 captures, [0-9]+ passes, 0 with motion, 1 lighting changes, "
         "5\\.95 s of clip in [0-9.]+ s\n"},
    };
    for (const Run& r : runs) {
        SCOPED_TRACE(r.scene);
        CTempDir home;
        WriteFileBytes(home.File("oculon.ini"), r.settings);
        const CommandResult run = RunCommand(std::string(OCULON_HEADLESS_EXE) + " --replay " +
                                             Clip(r.scene) + " --home " + home.Path());
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_TRUE(std::regex_match(run.output, std::regex(r.output))) << run.output;
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(home.Path()),
                                std::filesystem::directory_iterator{}),
                  1)
            << "no movie, still or settings beside oculon.ini";
        EXPECT_EQ(ReadFileBytes(home.File("oculon.ini")), r.settings);
    }
    CTempDir home;
    const CommandResult missing = RunCommand(std::string(OCULON_HEADLESS_EXE) + " --replay " +
                                             home.File("none.mp4") + " --home " + home.Path());
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_EQ(missing.output, "replay: cannot read " + home.File("none.mp4") + "\n");
}

TEST_F(DetectionScenes, CancelledReplayStopsAtTheNextStep) {
    CTempDir home;
    const CTagParser parser(false);
    CAppSettings settings(parser, home.Folder(), "", true);
    for (const bool cancelled : {false, true}) {
        const std::atomic<bool> cancel{cancelled};
        const CReplayResult r = ReplayClip(Clip("person_walks"), settings, &cancel);
        EXPECT_TRUE(r.opened);
        EXPECT_EQ(r.cancelled, cancelled);
        EXPECT_EQ(r.passes == 0, cancelled);
        EXPECT_EQ(r.captures.empty(), cancelled);
    }
}
