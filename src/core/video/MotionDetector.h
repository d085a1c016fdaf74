#pragma once
#include <cstdint>

class CAppSettings;

// Channel sums of the 40 blocks of one block row (8 memory rows starting at
// `rows`), per block in the order the detector keeps them. The vector versions
// are what passes use; the plain ones state the rule and check them.
namespace motion_sums {
void Row32(const uint8_t* rows, int32_t (*sums)[3]);
void Row16(const uint8_t* rows, int32_t (*sums)[3]);
void Row32Plain(const uint8_t* rows, int32_t (*sums)[3]);
void Row16Plain(const uint8_t* rows, int32_t (*sums)[3]);
} // namespace motion_sums

// The detection region in frame pixels with y measured upward from the bottom,
// tested against a block's left and lower edge.
struct CMotionRegion {
    int xMin = 0;
    int xMax = 320;
    int yMin = -240;
    int yMax = 240;

    // MOTION_R_* when MOTION_R_ENA is set, otherwise a region every block passes.
    static CMotionRegion FromSettings(const CAppSettings& settings);
};

// Frame-to-frame differencing of 8 x 8 block sums. Holds the reference sums of
// the previous pass, one set per depth; the marks and the first-pass flag
// belong to the caller (the video window paints the marks).
class CMotionDetector {
public:
    static constexpr int kColumns = 40;
    static constexpr int kRows = 30;
    static constexpr int kCells = kColumns * kRows;

    // Index of a block's marker: column from the left, row from the top.
    static constexpr int CellIndex(int column, int rowFromTop) {
        return column * kRows + rowFromTop;
    }
    // Counts every marker of `cells` (kCells bytes) down by one; the video
    // window does this once per paint, so that marks fade.
    static void AgeMarks(uint8_t* cells);

    // One pass over a bottom-up 320 x 240 frame at `depth` 32 (B, G, R, x) or
    // 16 (one little-endian word per pixel, read with 5-6-5 masks); any other
    // depth counts as 32. Updates `cells` (kCells bytes) and clears
    // `firstPass`; returns the number of blocks marked by this pass.
    int Pass(const uint8_t* pixels, int depth, const CMotionRegion& region, int threshold,
             uint8_t* cells, bool& firstPass);

private:
    // Compares one block row's new sums with the reference and marks cells.
    int CompareRow(int brow, const int32_t (*sums)[3], int32_t (*reference)[kCells],
                   const CMotionRegion& region, int threshold, uint8_t* cells, bool firstPass);

    // Channel sums of the last pass per cell index: [channel][cell], channel
    // order blue, green, red for 32 bits and red, green, blue for 16 bits.
    int32_t m_reference32[3][kCells] = {};
    int32_t m_reference16[3][kCells] = {};
};
