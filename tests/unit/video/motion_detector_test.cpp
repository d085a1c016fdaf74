#include "video/MotionDetector.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <functional>
#include <random>
#include <vector>

namespace {

constexpr int kStride32 = 1280;
constexpr int kStride16 = 640;

struct Frame32 {
    std::vector<uint8_t> px = std::vector<uint8_t>(320 * 240 * 4, 100);
    // Sets channel `ch` (0 blue, 1 green, 2 red) of every pixel of one block.
    void Block(int col, int rowFromTop, int ch, uint8_t value) {
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x)
                At(col, rowFromTop, x, y)[ch] = value;
    }
    uint8_t* At(int col, int rowFromTop, int x, int y) {
        const int memRow = (29 - rowFromTop) * 8 + y;
        return px.data() + memRow * kStride32 + (col * 8 + x) * 4;
    }
};

int Index(int col, int rowFromTop) {
    return col * 30 + rowFromTop;
}

struct DetectorRun {
    CMotionDetector detector;
    std::array<uint8_t, CMotionDetector::kCells> cells{};
    bool firstPass = true;
    CMotionRegion region;
    int threshold = 100;
    int Pass(const Frame32& f) {
        return detector.Pass(f.px.data(), 32, region, threshold, cells.data(), firstPass);
    }
};

} // namespace

TEST(MotionDetector, FirstPassPrimesOnlyThenComparesWithPreviousFrame) {
    DetectorRun run;
    Frame32 frame;
    frame.Block(5, 5, 0, 255);
    run.cells[Index(5, 5)] = 3;
    EXPECT_EQ(run.Pass(frame), 0);
    EXPECT_FALSE(run.firstPass);
    EXPECT_EQ(run.cells[Index(5, 5)], 3) << "a first pass marks and clears nothing";

    EXPECT_EQ(run.Pass(frame), 0) << "same picture again";
    frame.Block(5, 5, 0, 100);
    EXPECT_EQ(run.Pass(frame), 1);
    EXPECT_EQ(run.cells[Index(5, 5)], 8);
    EXPECT_EQ(run.Pass(frame), 0) << "the reference is the previous pass, not a background";
    EXPECT_EQ(run.cells[Index(5, 5)], 8) << "unchanged cells keep their mark for the painter";
}

TEST(MotionDetector, ThresholdIsTheLargestChangeOfMeansThatDoesNotCount) {
    // THR = 100: D = 64 * 101 - 1 = 6463 does not count, 6464 does.
    for (const int d : {6463, 6464}) {
        DetectorRun run;
        Frame32 frame;
        run.Pass(frame);
        frame.Block(7, 9, 1, 100 + 101);
        if (d == 6463)
            frame.At(7, 9, 0, 0)[1] = 100 + 100;
        EXPECT_EQ(run.Pass(frame), d == 6464 ? 1 : 0) << "D = " << d;
    }
    // Changes in several channels add up: 60 + 41 = 101 of summed means.
    DetectorRun run;
    Frame32 frame;
    run.Pass(frame);
    frame.Block(3, 3, 2, 160);
    frame.Block(3, 3, 0, 59);
    EXPECT_EQ(run.Pass(frame), 1);
}

TEST(MotionDetector, WholeFrameQualifiesWithoutRegionIncludingLastColumnAndBottomRow) {
    DetectorRun run;
    Frame32 frame;
    run.Pass(frame);
    frame.Block(39, 29, 0, 255);
    frame.Block(0, 0, 2, 255);
    EXPECT_EQ(run.Pass(frame), 2);
    EXPECT_EQ(run.cells[1199], 8);
    EXPECT_EQ(run.cells[0], 8);
    // The channel order in memory is blue, green, red, unused: the fourth byte is ignored.
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            frame.At(20, 15, x, y)[3] = 255;
    EXPECT_EQ(run.Pass(frame), 0);
}

TEST(MotionDetector, DefaultRegionAdmitsColumns10To30AndRows7To21) {
    DetectorRun run;
    run.region = {80, 240, 240 - 180, 240 - 60};
    Frame32 frame;
    run.Pass(frame);
    const int inside[][2] = {{10, 7}, {30, 21}, {10, 21}, {30, 7}};
    const int outside[][2] = {{9, 10}, {31, 10}, {20, 6}, {20, 22}};
    run.cells[Index(20, 14)] = 5; // inside, unchanged: keeps its value
    run.cells[Index(0, 0)] = 5;   // outside: cleared by every later pass
    for (const auto& b : inside)
        frame.Block(b[0], b[1], 0, 250);
    for (const auto& b : outside)
        frame.Block(b[0], b[1], 0, 250);
    EXPECT_EQ(run.Pass(frame), 4);
    for (const auto& b : inside)
        EXPECT_EQ(run.cells[Index(b[0], b[1])], 8) << b[0] << "," << b[1];
    for (const auto& b : outside)
        EXPECT_EQ(run.cells[Index(b[0], b[1])], 0) << b[0] << "," << b[1];
    EXPECT_EQ(run.cells[Index(20, 14)], 5);
    EXPECT_EQ(run.cells[Index(0, 0)], 0);
}

TEST(MotionDetector, InvertedRegionAdmitsNothingAndClearsEveryCell) {
    for (const CMotionRegion region : {CMotionRegion{200, 100, -240, 240}, // left > right
                                       CMotionRegion{0, 320, 200, 40}}) {  // top > bottom
        DetectorRun run;
        run.region = region;
        run.cells.fill(4);
        Frame32 frame;
        run.Pass(frame);
        std::memset(frame.px.data(), 255, frame.px.size());
        EXPECT_EQ(run.Pass(frame), 0);
        for (const uint8_t c : run.cells)
            ASSERT_EQ(c, 0);
    }
}

TEST(MotionDetector, SlowDriftBelowThresholdIsNeverDetected) {
    DetectorRun run;
    run.threshold = 5;
    Frame32 frame;
    std::memset(frame.px.data(), 0, frame.px.size());
    run.Pass(frame);
    // Each pass moves every mean by 1 (summed 3 <= 5), in all 250 steps.
    for (int level = 1; level <= 250; ++level) {
        std::memset(frame.px.data(), level, frame.px.size());
        ASSERT_EQ(run.Pass(frame), 0) << level;
    }
    std::memset(frame.px.data(), 0, frame.px.size());
    EXPECT_EQ(run.Pass(frame), 1200) << "the same change at once counts everywhere";
}

TEST(MotionDetector, SixteenBitPassUsesFiveSixFiveMasksOnEachWord) {
    int32_t sums[40][3];
    std::vector<uint8_t> px(320 * 240 * 2, 0);
    // One pixel of block 0 per mask: the top five, middle six and low five bits.
    const uint16_t words[] = {0xF800, 0x07E0, 0x001F, 0x0421};
    for (int i = 0; i < 4; ++i) {
        px[i * 2] = static_cast<uint8_t>(words[i] & 0xFF);
        px[i * 2 + 1] = static_cast<uint8_t>(words[i] >> 8);
    }
    motion_sums::Row16(px.data(), sums);
    // 0x0421 gives red (0x04 & 0xF8) = 0, green (0x84 & 0xFC) = 0x84, blue 8.
    EXPECT_EQ(sums[0][0], 0xF8);
    EXPECT_EQ(sums[0][1], 0xFC + 0x84);
    EXPECT_EQ(sums[0][2], 0xF8 + 8);

    // A frame change confined to bit 15 moves the red mean by 128.
    CMotionDetector detector;
    std::array<uint8_t, CMotionDetector::kCells> cells{};
    bool first = true;
    detector.Pass(px.data(), 16, {}, 100, cells.data(), first);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            px[(16 * 8 + y) * kStride16 + (12 * 8 + x) * 2 + 1] |= 0x80;
    EXPECT_EQ(detector.Pass(px.data(), 16, {}, 100, cells.data(), first), 1);
    EXPECT_EQ(cells[Index(12, 29 - 16)], 8);
}

TEST(MotionDetector, VectorSumsEqualThePlainRuleOnRandomFrames) {
    std::mt19937 rng(7);
    std::vector<uint8_t> px(320 * 8 * 4);
    int32_t fast[40][3], plain[40][3];
    for (int round = 0; round < 20; ++round) {
        for (auto& b : px)
            b = static_cast<uint8_t>(rng());
        if (round == 0)
            std::memset(px.data(), 255, px.size()); // largest sums
        motion_sums::Row32(px.data(), fast);
        motion_sums::Row32Plain(px.data(), plain);
        ASSERT_EQ(0, std::memcmp(fast, plain, sizeof fast)) << "32-bit round " << round;
        motion_sums::Row16(px.data(), fast);
        motion_sums::Row16Plain(px.data(), plain);
        ASSERT_EQ(0, std::memcmp(fast, plain, sizeof fast)) << "16-bit round " << round;
    }
}

TEST(MotionDetector, DepthsKeepSeparateReferences) {
    CMotionDetector detector;
    std::array<uint8_t, CMotionDetector::kCells> cells{};
    bool first = true;
    Frame32 frame;
    detector.Pass(frame.px.data(), 32, {}, 5, cells.data(), first);
    std::vector<uint8_t> px16(320 * 240 * 2, 0xFF);
    // The 16-bit set still holds zeros: a white 16-bit frame differs everywhere.
    EXPECT_EQ(detector.Pass(px16.data(), 16, {}, 5, cells.data(), first), 1200);
    EXPECT_EQ(detector.Pass(frame.px.data(), 32, {}, 5, cells.data(), first), 0);
}

TEST(MotionDetector, FiltersDecideTheVerdictFromSizeShapeAndCommonChange) {
    using Change = std::function<void(Frame32&)>;
    auto blocks = [](std::vector<std::array<int, 2>> at, uint8_t level = 250) {
        return [at, level](Frame32& f) {
            for (const auto& b : at)
                for (int ch = 0; ch < 3; ++ch)
                    f.Block(b[0], b[1], ch, level);
        };
    };
    auto whole = [](int delta, Change more = {}) {
        return [delta, more](Frame32& f) {
            for (auto& p : f.px)
                p = static_cast<uint8_t>(p + delta);
            if (more)
                more(f);
        };
    };
    struct Case {
        const char* name;
        CDetectionFilters filters;
        Change change;
        int changed;
        bool motion;
        bool lighting;
    };
    const CDetectionFilters plain;
    const CDetectionFilters three{0, false, 3, false};
    const CDetectionFilters threeTouching{0, false, 3, true};
    const CDetectionFilters lightAt50{50, false, 1, false};
    const CDetectionFilters compensated{0, true, 1, false};
    const std::vector<std::array<int, 2>> scattered = {{2, 2}, {10, 10}, {20, 20}};
    const Case cases[] = {
        {"plain: one block", plain, blocks({{5, 5}}), 1, true, false},
        {"plain: whole frame", plain, whole(60), 1200, true, false},
        {"two blocks short of three", three, blocks({{2, 2}, {10, 10}}), 2, false, false},
        {"three scattered blocks", three, blocks(scattered), 3, true, false},
        {"scattered blocks do not touch", threeTouching, blocks(scattered), 3, false, false},
        {"corners touch", threeTouching, blocks({{4, 4}, {5, 5}, {6, 4}}), 3, true, false},
        {"a gap splits the group", threeTouching, blocks({{4, 4}, {5, 5}, {7, 4}}), 3, false,
         false},
        {"whole frame is lighting", lightAt50, whole(60), 1200, false, true},
        {"half the frame is motion", lightAt50,
         [](Frame32& f) {
             for (int col = 0; col < 20; ++col)
                 for (int row = 0; row < 30; ++row)
                     f.Block(col, row, 1, 250);
         },
         600, true, false},
        {"common change cancels", compensated, whole(60), 0, false, false},
        {"a part stands out of the common change", compensated, whole(-40, blocks({{8, 8}}, 200)),
         1, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DetectorRun run;
        run.detector.SetFilters(c.filters);
        Frame32 frame;
        run.Pass(frame);
        c.change(frame);
        const int marked = run.Pass(frame);
        const CPassSummary& pass = run.detector.LastPass();
        EXPECT_EQ(pass.changed, c.changed);
        EXPECT_EQ(pass.motion, c.motion);
        EXPECT_EQ(pass.lightingChange, c.lighting);
        // A lighting change marks nothing and primes the reference again.
        EXPECT_EQ(marked, c.lighting ? 0 : c.changed);
        EXPECT_EQ(run.firstPass, c.lighting);
        EXPECT_EQ(std::count(run.cells.begin(), run.cells.end(), 8), marked);
    }
}
