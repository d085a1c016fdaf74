#include "video/MotionDetector.h"

#include "app/AppSettings.h"
#include "frame/FrameFormat.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

constexpr int kStride32 = kFrameWidth * 4;
constexpr int kStride16 = kFrameWidth * 2;

uint16_t Word(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

} // namespace

namespace motion_sums {

void Row32Plain(const uint8_t* rows, int32_t (*sums)[3]) {
    for (int col = 0; col < CMotionDetector::kColumns; ++col) {
        int32_t b = 0, g = 0, r = 0;
        for (int y = 0; y < 8; ++y) {
            const uint8_t* p = rows + y * kStride32 + col * 32;
            for (int x = 0; x < 8; ++x, p += 4) {
                b += p[0];
                g += p[1];
                r += p[2];
            }
        }
        sums[col][0] = b;
        sums[col][1] = g;
        sums[col][2] = r;
    }
}

void Row16Plain(const uint8_t* rows, int32_t (*sums)[3]) {
    for (int col = 0; col < CMotionDetector::kColumns; ++col) {
        int32_t r = 0, g = 0, b = 0;
        for (int y = 0; y < 8; ++y) {
            const uint8_t* p = rows + y * kStride16 + col * 16;
            for (int x = 0; x < 8; ++x, p += 2) {
                const uint16_t w = Word(p);
                r += (w >> 8) & 0xF8;
                g += (w >> 3) & 0xFC;
                b += (w & 0x1F) * 8;
            }
        }
        sums[col][0] = r;
        sums[col][1] = g;
        sums[col][2] = b;
    }
}

#if defined(__SSE2__)

// 16-bit lanes never overflow: a block's channel sum is at most 64 x 255.
void Row32(const uint8_t* rows, int32_t (*sums)[3]) {
    const __m128i lowBytes = _mm_set1_epi16(0x00FF);
    for (int col = 0; col < CMotionDetector::kColumns; ++col) {
        const uint8_t* p = rows + col * 32;
        __m128i even = _mm_setzero_si128(); // blue and red of each pixel
        __m128i odd = _mm_setzero_si128();  // green and the unused byte
        for (int y = 0; y < 8; ++y, p += kStride32) {
            const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
            const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16));
            even = _mm_add_epi16(
                even, _mm_add_epi16(_mm_and_si128(a, lowBytes), _mm_and_si128(c, lowBytes)));
            odd = _mm_add_epi16(odd, _mm_add_epi16(_mm_srli_epi16(a, 8), _mm_srli_epi16(c, 8)));
        }
        // Lanes alternate channel pairs; fold the four pixels onto lanes 0 and 1.
        even = _mm_add_epi16(even, _mm_srli_si128(even, 8));
        even = _mm_add_epi16(even, _mm_srli_si128(even, 4));
        odd = _mm_add_epi16(odd, _mm_srli_si128(odd, 8));
        odd = _mm_add_epi16(odd, _mm_srli_si128(odd, 4));
        const uint32_t br = static_cast<uint32_t>(_mm_cvtsi128_si32(even));
        const uint32_t gx = static_cast<uint32_t>(_mm_cvtsi128_si32(odd));
        sums[col][0] = static_cast<int32_t>(br & 0xFFFF);
        sums[col][1] = static_cast<int32_t>(gx & 0xFFFF);
        sums[col][2] = static_cast<int32_t>(br >> 16);
    }
}

void Row16(const uint8_t* rows, int32_t (*sums)[3]) {
    const __m128i maskRB = _mm_set1_epi16(0xF8);
    const __m128i maskG = _mm_set1_epi16(0xFC);
    const __m128i ones = _mm_set1_epi16(1);
    for (int col = 0; col < CMotionDetector::kColumns; ++col) {
        const uint8_t* p = rows + col * 16;
        __m128i r = _mm_setzero_si128(), g = _mm_setzero_si128(), b = _mm_setzero_si128();
        for (int y = 0; y < 8; ++y, p += kStride16) {
            const __m128i w = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
            r = _mm_add_epi16(r, _mm_and_si128(_mm_srli_epi16(w, 8), maskRB));
            g = _mm_add_epi16(g, _mm_and_si128(_mm_srli_epi16(w, 3), maskG));
            b = _mm_add_epi16(b, _mm_and_si128(_mm_slli_epi16(w, 3), maskRB));
        }
        __m128i s[3] = {_mm_madd_epi16(r, ones), _mm_madd_epi16(g, ones), _mm_madd_epi16(b, ones)};
        for (int ch = 0; ch < 3; ++ch) {
            __m128i v = _mm_add_epi32(s[ch], _mm_srli_si128(s[ch], 8));
            v = _mm_add_epi32(v, _mm_srli_si128(v, 4));
            sums[col][ch] = _mm_cvtsi128_si32(v);
        }
    }
}

#else

void Row32(const uint8_t* rows, int32_t (*sums)[3]) {
    Row32Plain(rows, sums);
}
void Row16(const uint8_t* rows, int32_t (*sums)[3]) {
    Row16Plain(rows, sums);
}

#endif

} // namespace motion_sums

CMotionRegion CMotionRegion::FromSettings(const CAppSettings& s) {
    CMotionRegion region;
    if (s.MOTION_R_ENA != 0) {
        region.xMin = s.MOTION_R_LEF;
        region.xMax = s.MOTION_R_RIG;
        region.yMax = kFrameHeight - s.MOTION_R_TOP;
        region.yMin = kFrameHeight - s.MOTION_R_BOT;
    }
    return region;
}

CDetectionFilters CDetectionFilters::FromSettings(const CAppSettings& s) {
    CDetectionFilters f;
    f.lightChangePercent = s.DETECT_LIGHT_PCT;
    f.compensateBrightness = s.DETECT_BRIGHT_COMP != 0;
    f.minBlocks = s.DETECT_MIN_BLOCKS;
    f.blocksTouch = s.DETECT_BLOCKS_TOUCH != 0;
    return f;
}

void CMotionDetector::StoreRow(int brow, const int32_t (*sums)[3], int32_t (*reference)[kCells]) {
    for (int col = 0; col < kColumns; ++col) {
        const int index = CellIndex(col, kRows - 1 - brow);
        for (int ch = 0; ch < 3; ++ch) {
            m_delta[ch][index] = sums[col][ch] - reference[ch][index];
            reference[ch][index] = sums[col][ch];
        }
    }
}

void CMotionDetector::CommonChange(const uint8_t* inside, int32_t (&offset)[3]) {
    for (int ch = 0; ch < 3; ++ch) {
        int n = 0;
        for (int i = 0; i < kCells; ++i)
            if (inside[i])
                m_scratch[n++] = m_delta[ch][i];
        offset[ch] = 0;
        if (n == 0)
            continue;
        std::nth_element(m_scratch, m_scratch + n / 2, m_scratch + n);
        offset[ch] = m_scratch[n / 2];
    }
}

int CMotionDetector::LargestGroup() {
    int largest = 0;
    for (int start = 0; start < kCells; ++start) {
        if (m_over[start] != 1)
            continue;
        // Depth-first over the group; m_scratch is the stack of cell indices.
        int top = 0, size = 0;
        m_scratch[top++] = start;
        m_over[start] = 2;
        while (top > 0) {
            const int cell = m_scratch[--top];
            ++size;
            const int col = cell / kRows, row = cell % kRows;
            for (int dc = -1; dc <= 1; ++dc)
                for (int dr = -1; dr <= 1; ++dr) {
                    const int c = col + dc, r = row + dr;
                    if (c < 0 || c >= kColumns || r < 0 || r >= kRows)
                        continue;
                    const int next = CellIndex(c, r);
                    if (m_over[next] == 1) {
                        m_over[next] = 2;
                        m_scratch[top++] = next;
                    }
                }
        }
        if (size > largest)
            largest = size;
    }
    return largest;
}

int CMotionDetector::Pass(const uint8_t* pixels, int depth, const CMotionRegion& region,
                          int threshold, uint8_t* cells, bool& firstPass) {
    const bool sixteen = depth == 16;
    const int stride = sixteen ? kStride16 : kStride32;
    auto* const rowSums = sixteen ? motion_sums::Row16 : motion_sums::Row32;
    int32_t(*const reference)[kCells] = sixteen ? m_reference16 : m_reference32;
    int32_t sums[kColumns][3];
    for (int brow = 0; brow < kRows; ++brow) {
        rowSums(pixels + brow * 8 * stride, sums);
        StoreRow(brow, sums, reference);
    }
    if (firstPass) {
        firstPass = false;
        return 0;
    }

    // A block is tested by its left and lower edge, y counted upward.
    CPassSummary pass;
    for (int col = 0; col < kColumns; ++col) {
        const int xb = 8 * col;
        for (int row = 0; row < kRows; ++row) {
            const int yb = 8 * (kRows - 1 - row);
            const bool in =
                yb <= region.yMax && yb >= region.yMin && xb >= region.xMin && xb <= region.xMax;
            m_inside[CellIndex(col, row)] = in ? 1 : 0;
            pass.regionBlocks += in ? 1 : 0;
        }
    }
    int32_t offset[3] = {0, 0, 0};
    if (m_filters.compensateBrightness)
        CommonChange(m_inside, offset);
    for (int i = 0; i < kCells; ++i) {
        m_over[i] = 0;
        m_change[i] = 0;
        if (!m_inside[i])
            continue;
        int32_t d = 0;
        for (int ch = 0; ch < 3; ++ch)
            d += std::abs(m_delta[ch][i] - offset[ch]);
        m_change[i] = static_cast<int16_t>(d / 64);
        if (d / 64 > threshold) {
            m_over[i] = 1;
            ++pass.changed;
        }
    }
    pass.lightingChange = m_filters.lightChangePercent > 0 &&
                          pass.changed * 100 > m_filters.lightChangePercent * pass.regionBlocks;
    for (int i = 0; i < kCells; ++i) {
        if (!m_inside[i])
            cells[i] = 0;
        else if (m_over[i] && !pass.lightingChange)
            cells[i] = 8;
    }
    if (pass.lightingChange) {
        firstPass = true;
    } else {
        if (m_filters.blocksTouch)
            pass.largestGroup = LargestGroup();
        const int size = m_filters.blocksTouch ? pass.largestGroup : pass.changed;
        pass.motion = pass.changed > 0 && size >= m_filters.minBlocks;
    }
    m_last = pass;
    return pass.lightingChange ? 0 : pass.changed;
}

void CMotionDetector::AgeMarks(uint8_t* cells) {
    for (int i = 0; i < kCells; ++i)
        if (cells[i] > 0)
            --cells[i];
}
