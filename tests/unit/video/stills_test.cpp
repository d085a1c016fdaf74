#include "video/FrameImaging.h"
#include "video/FrameTextPainter.h"
#include "video/StillWriter.h"
#include "video/SurveillanceController.h"

#include "ManualClock.h"
#include "RecordingSinks.h"
#include "VideoFakes.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <random>

namespace fs = std::filesystem;

namespace {

// Decodes a JPEG file with djpeg; returns "P6 W H" or the failure.
std::string DecodeHeader(const std::string& path, std::vector<uint8_t>* rgb = nullptr) {
    const std::string cmd = "djpeg -pnm '" + path + "' 2>/dev/null";
    FILE* pipe = ::popen(cmd.c_str(), "r");
    if (!pipe)
        return "no djpeg";
    std::string data;
    char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, pipe)) > 0)
        data.append(buf, n);
    const int rc = ::pclose(pipe);
    if (rc != 0)
        return "djpeg failed";
    char magic[3] = {};
    int w = 0, h = 0, maxval = 0, consumed = 0;
    if (std::sscanf(data.c_str(), "%2s %d %d %d%n", magic, &w, &h, &maxval, &consumed) != 4)
        return "bad output";
    if (rgb)
        rgb->assign(data.begin() + consumed + 1, data.end());
    return std::string(magic) + " " + std::to_string(w) + " " + std::to_string(h);
}

std::vector<std::string> Listing(const std::string& dir) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(dir, ec))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class StillsTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_settings->MOTION_WRM = 1;
        m_settings->VIDEO_OPA = 100;
        m_settings->CAPTURE_JPG = 1;
        CSurveillanceServices services{&m_source, &m_recorder, nullptr, &m_mailer, &m_painter};
        m_controller =
            std::make_unique<CSurveillanceController>(*m_settings, m_clock, m_motionOn, services);
    }
    void NextStep() {
        const int fetches = m_source.m_fetches;
        while (m_source.m_fetches == fetches) {
            m_clock.Advance(5);
            m_controller->OnSurveillanceTick();
        }
    }
    // Arms, moves once, and runs until the capture's mail has been started;
    // the camera may stall once it has shown the motion.
    void OneCapture(bool stallAfterMotion = false) {
        NextStep();
        NextStep();
        m_source.Block(20, 15, m_level ^= 0xFF);
        NextStep();
        m_source.m_stalled = stallAfterMotion;
        NextStep();
        m_movieStamp = m_controller->StampText();
        while (m_mailer.m_reports.empty())
            NextStep();
    }

    CTestSettings m_settings;
    CManualClock m_clock;
    bool m_motionOn = true;
    CFakeSource m_source;
    CFakeRecorder m_recorder;
    CFakeMailer m_mailer;
    CFrameTextPainter m_painter;
    std::unique_ptr<CSurveillanceController> m_controller;
    CRecordingEventLog m_events;
    uint8_t m_level = 0;
    std::string m_movieStamp;
};

} // namespace

TEST(StillWriter, NamesFollowTheMovieTimeStamp) {
    EXPECT_EQ(CStillWriter::StillDir("/arch", "06/DEC/05  14:03:27.41"),
              "/arch/06-DEC-05  14=03=27=41-jpg");
    EXPECT_EQ(CStillWriter::StillName(12), "Frame_000012.jpg");
    EXPECT_EQ(CStillWriter::StillName(1234567), "Frame_1234567.jpg");
}

TEST(StillWriter, SelectionByArchiveAndMailSettingsSkipsRepeatedFrames) {
    CTestSettings s;
    const uint64_t a = 7, b = 8; // the source's numbers of two pictures
    CStillWriter w;
    s->CAPTURE_JPG = 1;
    EXPECT_TRUE(w.Wanted(1, *s, a));
    EXPECT_FALSE(w.Wanted(2, *s, a)) << "a stalled camera repeats its frame";
    EXPECT_TRUE(w.Wanted(3, *s, b));
    EXPECT_TRUE(w.Wanted(4, *s, a));
    EXPECT_TRUE(w.Wanted(1, *s, a)) << "frame 1 of a movie is always written";
    EXPECT_FALSE(w.Wanted(2, *s, a)) << "only the frame's number counts";

    s->CAPTURE_JPG = 0;
    s->EMAIL_ENA = 1;
    s->EMAIL_JPG = 1;
    EXPECT_TRUE(w.Wanted(1, *s, b)) << "the mail's preview";
    EXPECT_FALSE(w.Wanted(2, *s, a));
    s->EMAIL_JPG = 0;
    EXPECT_FALSE(w.Wanted(1, *s, b));
    s->EMAIL_JPG = 1;
    s->EMAIL_ENA = 0;
    EXPECT_FALSE(w.Wanted(1, *s, a));
}

TEST(JpegEncoder, QualityChangesTheSizeAndDjpegReadsTheResult) {
    CFrameImage image;
    image.bgrx.resize(320 * 240 * 4);
    std::mt19937 rng(3);
    for (size_t i = 0; i < image.bgrx.size(); ++i)
        image.bgrx[i] = static_cast<uint8_t>((i / 4 % 320) + (rng() % 40));
    CTempDir dir;
    CJpegEncoder encoder;
    ASSERT_TRUE(encoder.SaveFile(image, 10, dir.File("q10.jpg")));
    ASSERT_TRUE(encoder.SaveFile(image, 90, dir.File("q90.jpg")));
    const auto s10 = fs::file_size(dir.File("q10.jpg"));
    const auto s90 = fs::file_size(dir.File("q90.jpg"));
    EXPECT_GT(s90, s10 * 2) << s10 << " vs " << s90;
    EXPECT_EQ(DecodeHeader(dir.File("q10.jpg")), "P6 320 240");
    EXPECT_EQ(DecodeHeader(dir.File("q90.jpg")), "P6 320 240");

    EXPECT_FALSE(encoder.SaveFile(image, 50, dir.File("missing/x.jpg")));
    EXPECT_FALSE(encoder.SaveFile(CFrameImage{}, 50, dir.File("empty.jpg")));
    EXPECT_FALSE(fs::exists(dir.File("empty.jpg")));
}

TEST_F(StillsTest, EveryRecordedFrameBecomesADecodableNumberedStill) {
    OneCapture();
    const std::string dir = CStillWriter::StillDir(m_settings->CAPTURE_PTH, m_movieStamp);
    EXPECT_EQ(m_controller->StillDir(), dir);
    EXPECT_EQ(m_controller->FirstStillPath(), dir + "/Frame_000001.jpg");
    const auto names = Listing(dir);
    ASSERT_GE(names.size(), 30u);
    EXPECT_EQ(names.front(), "Frame_000001.jpg");
    EXPECT_EQ(names.back(), CStillWriter::StillName(static_cast<int>(names.size())));
    EXPECT_EQ(names.size(), static_cast<size_t>(m_recorder.m_frames));
    std::vector<uint8_t> rgb;
    ASSERT_EQ(DecodeHeader(dir + "/Frame_000001.jpg", &rgb), "P6 320 240");
    ASSERT_EQ(rgb.size(), 320u * 240 * 3);
    // Burnt-in lines: the cell frame at the top-left and the bottom line are black.
    EXPECT_LT(rgb[0], 60);
    EXPECT_LT(rgb[(230 * 320) * 3], 60);
    EXPECT_NEAR(rgb[(120 * 320 + 100) * 3], 0x80, 12);
    const auto& report = m_mailer.m_reports.at(0);
    EXPECT_EQ(report.stillDir, dir);
    EXPECT_EQ(report.firstStillPath, dir + "/Frame_000001.jpg");
    EXPECT_EQ(m_events.Lines(), std::vector<std::string>{"still: " + dir + "/Frame_000001.jpg"});
}

TEST_F(StillsTest, QualitySettingReachesTheFiles) {
    m_settings->CAPTURE_JPQ = 10;
    OneCapture();
    const auto small = fs::file_size(m_controller->FirstStillPath());
    m_mailer.m_reports.clear();
    m_settings->CAPTURE_JPQ = 90;
    OneCapture();
    EXPECT_GT(fs::file_size(m_controller->FirstStillPath()), small);
}

TEST_F(StillsTest, NumberingRestartsInTheFolderOfEachCutMovie) {
    m_settings->CAPTURE_MAX_S = 10;
    NextStep();
    std::vector<std::string> stamps;
    size_t starts = 0;
    while (m_clock.m_ms < 23000) {
        m_source.Fill(m_level ^= 0xFF);
        NextStep();
        if (m_recorder.m_starts.size() != starts) {
            starts = m_recorder.m_starts.size();
            stamps.push_back(m_controller->StampText());
        }
    }
    ASSERT_EQ(stamps.size(), 3u);
    for (const auto& stamp : stamps) {
        const auto names = Listing(CStillWriter::StillDir(m_settings->CAPTURE_PTH, stamp));
        ASSERT_FALSE(names.empty()) << stamp;
        EXPECT_EQ(names.front(), "Frame_000001.jpg");
    }
    const auto first = Listing(CStillWriter::StillDir(m_settings->CAPTURE_PTH, stamps[0]));
    EXPECT_GE(first.size(), 170u) << "about ten seconds at 20 frames per second";
    EXPECT_EQ(m_events.Lines().size(), 3u);
}

TEST_F(StillsTest, WithoutArchivingOnlyTheMailPreviewIsWritten) {
    m_settings->CAPTURE_JPG = 0;
    m_settings->EMAIL_ENA = 1;
    m_settings->EMAIL_JPG = 1;
    OneCapture();
    const std::string dir = CStillWriter::StillDir(m_settings->CAPTURE_PTH, m_movieStamp);
    EXPECT_EQ(Listing(dir), std::vector<std::string>{"Frame_000001.jpg"});
    EXPECT_EQ(m_mailer.m_reports[0].firstStillPath, dir + "/Frame_000001.jpg");

    // No preview wanted: nothing on disk, and no stale path for the next mail.
    m_settings->EMAIL_JPG = 0;
    m_mailer.m_reports.clear();
    OneCapture();
    EXPECT_TRUE(m_controller->FirstStillPath().empty());
    EXPECT_TRUE(m_mailer.m_reports[0].stillDir.empty());
    EXPECT_FALSE(fs::exists(CStillWriter::StillDir(m_settings->CAPTURE_PTH, m_movieStamp)));
}

TEST_F(StillsTest, StalledCameraWritesNoRepeatedStills) {
    OneCapture(true);
    const auto names = Listing(m_controller->StillDir());
    EXPECT_EQ(names, std::vector<std::string>{"Frame_000001.jpg"});
    EXPECT_GT(m_recorder.m_frames, 30) << "the movie still gets every frame";
}

TEST_F(StillsTest, UnwritableArchiveRecordsOnWithoutStills) {
    m_settings->CAPTURE_PTH = m_settings.dir.File("no/such/folder");
    OneCapture();
    EXPECT_GT(m_recorder.m_frames, 30);
    EXPECT_TRUE(m_events.Lines().empty());
    EXPECT_EQ(m_mailer.m_reports.size(), 1u);
}
