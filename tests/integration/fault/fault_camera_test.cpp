// The camera gives out in the middle of a recording: the movie is finished
// and plays, the program goes on, and it says "No video input device!" only
// when the camera is really gone, not while it merely stalls.
#include "DefaultSettingsFile.h"
#include "HeadlessProcess.h"
#include "MediaChecks.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr int kFps = 10;

const std::string kSettings = "MOTION_WRM=1\nCAPTURE_WMV=1\nCAPTURE_MIN_S=2\nCAPTURE_FPS=10\n"
                              "<VIDEO_SRC>Cam</VIDEO_SRC>\n";

std::string ExpectedSettings(const CHeadlessHome& home) {
    return WithSettings(DefaultSettingsFile(home.Home() + "/"), {{"MOTION_WRM=", "1"},
                                                                 {"CAPTURE_WMV=", "1"},
                                                                 {"CAPTURE_FPS=", "10"},
                                                                 {"<VIDEO_SRC>", "Cam"}});
}

// "movie: end PATH FRAMES": the movie plays with exactly those frames.
void ExpectPlayable(const std::string& endLine) {
    const size_t blank = endLine.rfind(' ');
    const std::string path = endLine.substr(0, blank);
    const int frames = std::stoi(endLine.substr(blank + 1));
    EXPECT_GT(frames, 0) << path;
    ExpectPlayableMovie(path, frames, kFps);
}

TEST(FaultCamera, ASourceThatEndsMidRecordingFinishesTheMovieAndIsReportedGone) {
    // The box shows from second 3; the stream itself ends at second 5.
    CHeadlessHome home("Cam|" + BoxScene(20, "between(t,3,9)", 5) + "\n", kSettings);
    CHeadlessProcess run(home.Run());
    ASSERT_FALSE(run.WaitForLine("status: No video input device!", 60000).empty())
        << run.Transcript();
    ASSERT_FALSE(run.WaitForLine("movie: end ", 10000).empty()) << run.Transcript();
    // Still running: it answers the close like any other.
    run.Signal(SIGTERM);
    ASSERT_EQ(run.WaitForExit(30000), 0) << run.Transcript();

    EXPECT_EQ(run.Values("status: "),
              (std::vector<std::string>{"motion detection active in 01",
                                        "motion detection is active", "motion has been detected",
                                        "No video input device!", "closing down..."}))
        << run.Transcript();
    const auto ends = run.Values("movie: end ");
    ASSERT_EQ(ends.size(), 1u) << run.Transcript();
    EXPECT_EQ(run.Values("movie: start ").size(), 1u);
    ExpectPlayable(ends[0]);
    EXPECT_TRUE(run.Values("message: ").empty()) << run.Transcript();
    EXPECT_EQ(home.Settings(), ExpectedSettings(home));
}

TEST(FaultCamera, AStallMidRecordingEndsTheMovieAndTheProgramWatchesOnAfterwards) {
    // Pictures from second 4 on come six seconds late: a camera that stops
    // delivering for a while. The box shows before the stall and again after it.
    CHeadlessHome home(
        "Cam|" + BoxScene(10, "between(t,3,3.7)+between(t,5,6)", 0, "setpts='PTS+gte(T,4)*6/TB'") +
            "\n",
        kSettings);
    CHeadlessProcess run(home.Run());
    size_t firstEnd = 0;
    ASSERT_FALSE(run.WaitForLine("movie: end ", 60000, 0, &firstEnd).empty()) << run.Transcript();
    ASSERT_FALSE(run.WaitForLine("movie: end ", 60000, firstEnd + 1).empty()) << run.Transcript();
    run.Signal(SIGTERM);
    ASSERT_EQ(run.WaitForExit(30000), 0) << run.Transcript();

    EXPECT_EQ(run.Values("status: "),
              (std::vector<std::string>{"motion detection active in 01",
                                        "motion detection is active", "motion has been detected",
                                        "motion detection is active", "motion has been detected",
                                        "motion detection is active", "closing down..."}))
        << run.Transcript();
    const auto starts = run.Values("movie: start ");
    const auto ends = run.Values("movie: end ");
    ASSERT_EQ(starts.size(), 2u) << run.Transcript();
    ASSERT_EQ(ends.size(), 2u) << run.Transcript();
    EXPECT_LT(run.IndexOf("movie: end " + ends[0]), run.IndexOf("movie: start " + starts[1]));
    ExpectPlayable(ends[0]);
    ExpectPlayable(ends[1]);
    EXPECT_TRUE(run.Values("message: ").empty()) << run.Transcript();
    EXPECT_EQ(home.Settings(), ExpectedSettings(home));
}

} // namespace
