// oculon-headless on a virtual camera: a grey scene in which a white box shows
// for two seconds once detection is armed.
#include "video/FrameTextPainter.h"
#include "video/SurveillanceController.h"

#include "RunCommand.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// Grey levels of a still decoded by djpeg (-grayscale), top-down.
std::vector<uint8_t> DecodeGrey(const std::string& path) {
    const std::string pgm = RunCommand("djpeg -grayscale -pnm '" + path + "'").output;
    int w = 0, h = 0, maxval = 0, consumed = 0;
    if (std::sscanf(pgm.c_str(), "P5 %d %d %d%n", &w, &h, &maxval, &consumed) != 3 || w != 320 ||
        h != 240)
        return {};
    return std::vector<uint8_t>(pgm.begin() + consumed + 1, pgm.end());
}

// The fraction of pixels of the text's cells (10 x 10 each, from the left edge
// at `y`) whose light/dark reading differs from the same text painted at full
// strength.
double BandMismatch(const std::vector<uint8_t>& grey, int y, const std::string& text) {
    std::vector<uint8_t> expected(320 * 240 * 4, 128);
    CFrameTextPainter painter;
    painter.Setup(expected.data(), 320, 240, 100, 100, 100, 32);
    painter.DrawText(0, y, text);
    const int width = std::min(320, static_cast<int>(text.size()) * 10);
    int wrong = 0;
    for (int row = y; row < y + 10; ++row)
        for (int x = 0; x < width; ++x) {
            const bool lit = expected[static_cast<size_t>((239 - row) * 320 + x) * 4] > 128;
            wrong += lit != (grey[static_cast<size_t>(row * 320 + x)] > 128);
        }
    return wrong / (width * 10.0);
}

// The time stamp a stills folder is named after, or "" when the name has
// another form.
std::string StampOfFolder(const std::string& folder) {
    const std::string form = "00-AAA-00  00=00=00=00-jpg";
    if (folder.size() != form.size())
        return "";
    for (size_t i = 0; i < form.size(); ++i) {
        const char f = form[i], c = folder[i];
        const bool ok = f == '0'   ? (c >= '0' && c <= '9')
                        : f == 'A' ? (c >= 'A' && c <= 'Z')
                                   : c == f;
        if (!ok)
            return "";
    }
    std::string stamp = folder.substr(0, folder.size() - 4);
    stamp[2] = stamp[6] = '/';
    stamp[13] = stamp[16] = ':';
    stamp[19] = '.';
    return stamp;
}

} // namespace

TEST(HeadlessSurveillance, BoxInAVirtualSceneGivesOneStampedStillsFolder) {
    CTempDir dir;
    const std::string home = dir.File("home");
    fs::create_directories(home);
    WriteFileBytes(dir.File("devices.txt"),
                   "# grey scene, white box from second 4 to 6\n"
                   "Scene|lavfi:color=c=gray:s=320x240:r=20,noise=alls=8:allf=t,"
                   "drawbox=x=100:y=80:w=120:h=80:color=white:t=fill:enable='between(t,4,6)'\n");
    WriteFileBytes(home + "/oculon.ini",
                   "MOTION_WRM=2\nCAPTURE_JPG=1\nCAPTURE_MIN_S=3\nVIDEO_OPA=100\n"
                   "<VIDEO_OVE>E2E CAMERA 1</VIDEO_OVE>\n"
                   "<VIDEO_SRC>Scene</VIDEO_SRC>\n");
    const CommandResult run =
        RunCommand("OCULON_DEVICES='" + dir.File("devices.txt") +
                   "' SDL_AUDIODRIVER=dummy timeout 60 '" OCULON_HEADLESS_EXE "' --home '" + home +
                   "' --run-for 12 2>/dev/null");
    const std::string& out = run.output;
    EXPECT_EQ(run.exitCode, 0) << "a clean end (sanitizer builds fail here on a finding)";

    std::vector<std::string> status, stills;
    for (const auto& line : Lines(out)) {
        if (line.rfind("status: ", 0) == 0)
            status.push_back(line.substr(8));
        else if (line.rfind("still: ", 0) == 0)
            stills.push_back(line.substr(7));
    }
    const std::vector<std::string> expectedStatus = {
        "motion detection active in 02", "motion detection active in 01",
        "motion detection is active",    "motion has been detected",
        "motion detection is active",    "closing down..."};
    EXPECT_EQ(status, expectedStatus) << out;

    std::vector<fs::path> folders;
    for (const auto& e : fs::directory_iterator(home + "/captured"))
        folders.push_back(e.path());
    ASSERT_EQ(folders.size(), 1u) << out;
    const std::string folder = folders[0].filename().string();
    // "DD-MON-YY  HH=MM=SS=CC-jpg": the stamp of the movie's first frame.
    const std::string stamp = StampOfFolder(folder);
    ASSERT_FALSE(stamp.empty()) << folder;
    EXPECT_EQ(CStillWriter::BaseName(stamp) + "-jpg", folder);
    ASSERT_EQ(stills, std::vector<std::string>{folders[0].string() + "/Frame_000001.jpg"});

    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folders[0]))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    // Box on screen for 2 s, then the 3 s hold (which bridges the box's
    // appearance and disappearance), at up to 20 frames a second.
    EXPECT_GE(names.size(), 40u);
    EXPECT_LE(names.size(), 110u);
    for (size_t i = 0; i < names.size(); ++i)
        ASSERT_EQ(names[i], CStillWriter::StillName(static_cast<int>(i + 1)));

    // Frame 1 carries the title and the very stamp its folder is named after.
    const auto grey = DecodeGrey(folders[0].string() + "/Frame_000001.jpg");
    ASSERT_EQ(grey.size(), 320u * 240);
    EXPECT_LT(BandMismatch(grey, 0, "E2E CAMERA 1"), 0.03);
    EXPECT_LT(BandMismatch(grey, 230, std::string(CSurveillanceController::kWatermark) + stamp),
              0.03);
    EXPECT_GT(
        BandMismatch(grey, 230,
                     std::string(CSurveillanceController::kWatermark) + "01/JAN/00  00:00:00.00"),
        0.05)
        << "the comparison tells stamps apart";
    // The box is in the picture: white in the middle, grey around it.
    EXPECT_GT(grey[120 * 320 + 160], 220);
    EXPECT_LT(grey[40 * 320 + 40], 170);
}

TEST(HeadlessSurveillance, WithoutADeviceNothingIsRecorded) {
    CTempDir dir;
    const std::string home = dir.File("home");
    fs::create_directories(home);
    WriteFileBytes(dir.File("devices.txt"), "# no virtual devices\n");
    WriteFileBytes(home + "/oculon.ini", "MOTION_WRM=1\nCAPTURE_JPG=1\n"
                                         "<VIDEO_SRC>Gone Camera</VIDEO_SRC>\n");
    const CommandResult run =
        RunCommand("OCULON_DEVICES='" + dir.File("devices.txt") +
                   "' SDL_AUDIODRIVER=dummy timeout 60 '" OCULON_HEADLESS_EXE "' --home '" + home +
                   "' --run-for 2.5 2>/dev/null");
    const std::string& out = run.output;
    EXPECT_EQ(run.exitCode, 0);
    std::vector<std::string> status;
    for (const auto& line : Lines(out)) {
        if (line.rfind("status: ", 0) == 0)
            status.push_back(line.substr(8));
        EXPECT_NE(line.rfind("still: ", 0), 0u) << line;
    }
    EXPECT_EQ(status, (std::vector<std::string>{"No video input device!", "closing down..."}))
        << out;
    EXPECT_TRUE(fs::is_empty(home + "/captured"));
}
