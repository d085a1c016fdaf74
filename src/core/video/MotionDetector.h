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

// The false-alarm filters of the [DETECTION] settings; the defaults give the
// plain rule, where one changed block is a motion.
struct CDetectionFilters {
    // A pass that changes more than this share (percent) of the region's
    // blocks is a lighting change: no motion, and the reference is primed
    // again. 0 = off.
    int lightChangePercent = 0;
    // Blocks are compared after removing the region's common change (the
    // median change of its blocks, per channel): a drift of the whole picture
    // cancels out, a change of part of it stands out.
    bool compensateBrightness = false;
    int minBlocks = 1;        // changed blocks a motion needs
    bool blocksTouch = false; // ... all in one group of touching blocks (corners count)

    static CDetectionFilters FromSettings(const CAppSettings& settings);
};

// What one compared pass found.
struct CPassSummary {
    int changed = 0;      // blocks of the region over the threshold
    int regionBlocks = 0; // blocks the region admits
    int largestGroup = 0; // most changed blocks touching each other (with blocksTouch)
    bool lightingChange = false;
    bool motion = false; // the verdict
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
    // A lighting change (see CDetectionFilters) marks nothing and sets
    // `firstPass` again.
    int Pass(const uint8_t* pixels, int depth, const CMotionRegion& region, int threshold,
             uint8_t* cells, bool& firstPass);

    void SetFilters(const CDetectionFilters& filters) { m_filters = filters; }
    // The last compared pass; a priming pass leaves it as it was.
    const CPassSummary& LastPass() const { return m_last; }
    // Each block's change in the last compared pass, in the threshold's units
    // (summed channel means); 0 outside the region.
    const int16_t* Changes() const { return m_change; }

private:
    // Takes one block row's new sums as the reference, keeping their change.
    void StoreRow(int brow, const int32_t (*sums)[3], int32_t (*reference)[kCells]);
    // The median change per channel over the blocks inside the region.
    void CommonChange(const uint8_t* inside, int32_t (&offset)[3]);
    // Size of the largest group of touching blocks among those over the threshold.
    int LargestGroup();

    CDetectionFilters m_filters;
    CPassSummary m_last;

    // Channel sums of the last pass per cell index: [channel][cell], channel
    // order blue, green, red for 32 bits and red, green, blue for 16 bits.
    int32_t m_reference32[3][kCells] = {};
    int32_t m_reference16[3][kCells] = {};
    // Working space of a pass, kept here so that a pass never allocates.
    int32_t m_delta[3][kCells] = {}; // new sum - reference, per channel
    int16_t m_change[kCells] = {};
    uint8_t m_inside[kCells] = {};
    uint8_t m_over[kCells] = {}; // 1: over the threshold; 2: counted in a group
    int32_t m_scratch[kCells] = {};
};
