// A capture recorded as MP4 with a two-second pre-roll, from a virtual camera
// on which a box appears at a known second.
#include "HeadlessProcess.h"
#include "MediaChecks.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr int kWidth = 320;
constexpr int kHeight = 240;

// The white box of the scene crosses rows 100 to 139 of the grey, noisy picture.
bool ShowsTheBox(const std::string& grey, size_t frame) {
    const size_t row = frame * kWidth * kHeight + 120 * kWidth;
    int run = 0;
    for (int x = 0; x < kWidth; ++x) {
        run = static_cast<uint8_t>(grey[row + x]) > 200 ? run + 1 : 0;
        if (run >= 20)
            return true;
    }
    return false;
}

TEST(HeadlessMp4, PreRollShowsTheSceneBeforeTheBoxInAPhoneMovie) {
    CHeadlessHome home("Yard|" + MovingBoxScene(20, 6, 8) + "\n",
                       "MOTION_WRM=1\nMOTION_FPS=10\nCAPTURE_FPS=10\nCAPTURE_MIN_S=1\n"
                       "CAPTURE_WMV=1\n<VIDEO_SRC>Yard</VIDEO_SRC>\n"
                       "[RECORDING]\nMOVIE_FORMAT=1\nPRE_ROLL_S=2\n");
    CHeadlessProcess run(home.Run());
    ASSERT_TRUE(run.Started());
    ASSERT_FALSE(run.WaitForLine("movie: end ", 60000).empty()) << run.Transcript();
    run.Signal(SIGTERM);
    ASSERT_EQ(run.WaitForExit(60000), 0) << run.Transcript();

    const auto starts = run.Values("movie: start ");
    ASSERT_EQ(starts.size(), 1u) << run.Transcript();
    const std::string movie = starts[0];
    EXPECT_EQ(movie.substr(movie.size() - 4), ".mp4");
    const MovieFacts facts = ProbeMovie(movie);
    EXPECT_EQ(facts.format, "mov,mp4,m4a,3gp,3g2,mj2");
    EXPECT_EQ(facts.codec, "h264");
    EXPECT_EQ(facts.width, kWidth);
    EXPECT_EQ(facts.height, kHeight);
    EXPECT_EQ(facts.decodeErrors, "");

    const CommandResult grey = RunCommand("ffmpeg -nostdin -v error -i " + ShellQuoted(movie) +
                                          " -vsync passthrough -f rawvideo -pix_fmt gray -");
    const size_t frames = grey.output.size() / (kWidth * kHeight);
    ASSERT_EQ(frames, facts.pts.size());
    // The first one and a half seconds are from before the motion: no box, and
    // at least half the watching rate's frames even on a loaded machine.
    size_t quiet = 0;
    while (quiet < frames && facts.pts[quiet] < 1500) {
        EXPECT_FALSE(ShowsTheBox(grey.output, quiet)) << "frame " << quiet;
        ++quiet;
    }
    EXPECT_GE(quiet, 8u);
    size_t withBox = 0;
    for (size_t i = quiet; i < frames; ++i)
        withBox += ShowsTheBox(grey.output, i);
    EXPECT_GE(withBox, 5u);
}

} // namespace
