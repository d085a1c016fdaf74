// The camera is unplugged in the middle of a capture and plugged in again: the
// capture ends with its report, the program says so and watches on when the
// camera is back, and the next motion is captured again.
#include "FifoCamera.h"
#include "HeadlessProcess.h"
#include "MailSinkProcess.h"
#include "MediaChecks.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr int kFps = 10;

TEST(HeadlessCameraBack, ALostCameraEndsTheCaptureWithItsReportAndIsWatchedAgainWhenBack) {
    CTempDir mailDir, pipeDir;
    CMailSinkProcess sink(mailDir.Path());
    ASSERT_GT(sink.Port(), 0) << "the aiosmtpd sink did not start";
    // The box moves all the time: motion whenever the camera is watched.
    CFifoCamera camera(pipeDir.File("door.fifo"), BoxScene(20, "1").substr(6));
    const std::string settings =
        "MOTION_WRM=2\nCAPTURE_WMV=1\nCAPTURE_MIN_S=1\nCAPTURE_FPS=" + std::to_string(kFps) +
        "\nEMAIL_ENA=1\nEMAIL_WMV=0\nEMAIL_JPG=0\n"
        "<VIDEO_SRC>Door</VIDEO_SRC>\n<EMAIL_SMTP>127.0.0.1:" +
        std::to_string(sink.Port()) +
        "</EMAIL_SMTP>\n<EMAIL_FROM>cam@example.org</EMAIL_FROM>\n"
        "<EMAIL_TO>me@example.org</EMAIL_TO>\n";
    CHeadlessHome home(camera.DeviceLine("Door"), settings);
    camera.Start();
    CHeadlessProcess run(home.Run());

    ASSERT_FALSE(run.WaitForLine("movie: start ", 60000).empty()) << run.Transcript();
    camera.Stop();
    size_t lost = 0, mail = 0, back = 0;
    ASSERT_FALSE(run.WaitForLine("camera: lost Door", 30000, 0, &lost).empty()) << run.Transcript();
    ASSERT_FALSE(run.WaitForLine("mail: ", 60000, lost, &mail).empty()) << run.Transcript();
    camera.Start();
    ASSERT_FALSE(run.WaitForLine("camera: back Door", 60000, lost, &back).empty())
        << run.Transcript();
    ASSERT_FALSE(run.WaitForLine("movie: start ", 60000, back).empty()) << run.Transcript();
    run.Signal(SIGTERM);
    ASSERT_EQ(run.WaitForExit(60000), 0) << run.Transcript();

    EXPECT_EQ(run.Values("camera: "), (std::vector<std::string>{"lost Door", "back Door"}));
    const auto starts = run.Values("movie: start ");
    const auto ends = run.Values("movie: end ");
    ASSERT_EQ(starts.size(), 2u) << run.Transcript();
    ASSERT_GE(ends.size(), 1u) << run.Transcript();
    // The first movie ended when the camera went, before the report and the return.
    const int firstEnd = run.IndexOf("movie: end " + ends[0]);
    EXPECT_LT(static_cast<int>(lost), firstEnd);
    EXPECT_LT(firstEnd, static_cast<int>(mail));
    EXPECT_LT(firstEnd, static_cast<int>(back));
    EXPECT_EQ(run.Lines()[mail].rfind("mail: sent OCULON> ", 0), 0u) << run.Lines()[mail];
    EXPECT_FALSE(sink.WaitForMail(1).empty());
    const size_t blank = ends[0].rfind(' ');
    EXPECT_EQ(ends[0].substr(0, blank), starts[0]);
    ExpectPlayableMovie(starts[0], std::stoi(ends[0].substr(blank + 1)), kFps);
    // Gone, then re-armed with the countdown.
    const auto statuses = run.Values("status: ");
    const auto gone = std::find(statuses.begin(), statuses.end(), "No video input device!");
    ASSERT_NE(gone, statuses.end()) << run.Transcript();
    EXPECT_NE(std::find(gone, statuses.end(), "motion detection active in 01"), statuses.end())
        << run.Transcript();
    EXPECT_TRUE(run.Values("message: ").empty()) << run.Transcript();
}

} // namespace
