#include "video/FrameTextPainter.h"

#include <algorithm>
#include <cctype>

namespace {

struct CGlyphEntry {
    char c;
    uint8_t rows[8];
};

const CGlyphEntry kFont[] = {
    {'#', {0x66, 0xFF, 0xFF, 0x66, 0x66, 0xFF, 0xFF, 0x66}},
    {'.', {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x3C, 0x3C}},
    {'/', {0x00, 0x06, 0x0E, 0x1C, 0x38, 0x70, 0x60, 0x00}},
    {':', {0x00, 0x3C, 0x3C, 0x00, 0x00, 0x3C, 0x3C, 0x00}},
    {'0', {0xFF, 0xFF, 0xC3, 0xC3, 0xC3, 0xC3, 0xFF, 0xFF}},
    {'1', {0x18, 0x38, 0x38, 0x18, 0x18, 0x18, 0x3C, 0x3C}},
    {'2', {0xFF, 0xFF, 0x03, 0xFF, 0xFF, 0xC0, 0xFF, 0xFF}},
    {'3', {0xFF, 0xFF, 0x03, 0xFF, 0xFF, 0x03, 0xFF, 0xFF}},
    {'4', {0xC3, 0xC3, 0xC3, 0xC3, 0xFF, 0xFF, 0x03, 0x03}},
    {'5', {0xFF, 0xFF, 0xC0, 0xFF, 0xFF, 0x03, 0xFF, 0xFF}},
    {'6', {0xC0, 0xC0, 0xC0, 0xFF, 0xFF, 0xC3, 0xFF, 0xFF}},
    {'7', {0xFF, 0xFF, 0x03, 0x3F, 0x3F, 0x03, 0x03, 0x03}},
    {'8', {0xFF, 0xFF, 0xC3, 0xFF, 0xFF, 0xC3, 0xFF, 0xFF}},
    {'9', {0xFF, 0xFF, 0xC3, 0xFF, 0xFF, 0x03, 0x03, 0x03}},
    {'A', {0x7E, 0xFF, 0xC3, 0xC3, 0xFF, 0xFF, 0xC3, 0xC3}},
    {'B', {0xFE, 0xFF, 0xC3, 0xFE, 0xFE, 0xC3, 0xFF, 0xFE}},
    {'C', {0x7F, 0xFF, 0xC0, 0xC0, 0xC0, 0xC0, 0xFF, 0x7F}},
    {'D', {0xFE, 0xFF, 0xC3, 0xC3, 0xC3, 0xC3, 0xFF, 0xFE}},
    {'E', {0xFF, 0xFF, 0xC0, 0xFE, 0xFE, 0xC0, 0xFF, 0xFF}},
    {'F', {0xFF, 0xFF, 0xC0, 0xC0, 0xFE, 0xFE, 0xC0, 0xC0}},
    {'G', {0x7F, 0xFF, 0xC0, 0xCF, 0xCF, 0xC3, 0xFF, 0x7E}},
    {'H', {0xC3, 0xC3, 0xC3, 0xFF, 0xFF, 0xC3, 0xC3, 0xC3}},
    {'I', {0x3C, 0x3C, 0x18, 0x18, 0x18, 0x18, 0x3C, 0x3C}},
    {'J', {0xFF, 0xFF, 0x03, 0x03, 0x03, 0x03, 0xFF, 0xFE}},
    {'K', {0xC3, 0xC7, 0xCE, 0xFC, 0xFC, 0xCE, 0xC7, 0xC3}},
    {'L', {0xC0, 0xC0, 0xC0, 0xC0, 0xC0, 0xC0, 0xFF, 0xFF}},
    {'M', {0xC3, 0xE7, 0xFF, 0xFF, 0xDB, 0xC3, 0xC3, 0xC3}},
    {'N', {0xC3, 0xE3, 0xF3, 0xFB, 0xDF, 0xCF, 0xC7, 0xC3}},
    {'O', {0x7E, 0xFF, 0xC3, 0xC3, 0xC3, 0xC3, 0xFF, 0x7E}},
    {'P', {0xFE, 0xFF, 0xC3, 0xC3, 0xFF, 0xFE, 0xC0, 0xC0}},
    {'Q', {0x7E, 0xFF, 0xC3, 0xCB, 0xDF, 0xCF, 0xFF, 0x7E}},
    {'R', {0xFE, 0xFF, 0xC3, 0xC3, 0xFE, 0xFE, 0xC7, 0xC3}},
    {'S', {0x7F, 0xFF, 0xC0, 0xFE, 0x7F, 0x03, 0xFF, 0xFE}},
    {'T', {0xFF, 0xFF, 0x18, 0x18, 0x18, 0x18, 0x18, 0x18}},
    {'U', {0xC3, 0xC3, 0xC3, 0xC3, 0xC3, 0xC3, 0xFF, 0x7E}},
    {'V', {0xC3, 0xC3, 0xC3, 0xC3, 0xE7, 0x7E, 0x3C, 0x18}},
    {'W', {0xC3, 0xC3, 0xC3, 0xDB, 0xFF, 0xFF, 0xE7, 0xC3}},
    {'X', {0xC3, 0xE7, 0x7E, 0x3C, 0x3C, 0x7E, 0xE7, 0xC3}},
    {'Y', {0xC3, 0xC3, 0xE7, 0x7E, 0x3C, 0x18, 0x18, 0x18}},
    {'Z', {0xFF, 0xFF, 0x0E, 0x1C, 0x38, 0x70, 0xFF, 0xFF}},
};

// Direct lookup by character code, built once from the table above.
struct CGlyphIndex {
    const uint8_t* byCode[256] = {};
    CGlyphIndex() {
        for (const auto& g : kFont)
            byCode[static_cast<unsigned char>(g.c)] = g.rows;
    }
};

const CGlyphIndex& Index() {
    static const CGlyphIndex index;
    return index;
}

} // namespace

const uint8_t* CFrameTextPainter::Glyph(char c) {
    const int upper = std::toupper(static_cast<unsigned char>(c));
    return Index().byCode[static_cast<unsigned char>(upper)];
}

void CFrameTextPainter::Setup(uint8_t* pixels, int width, int height, int redPercent,
                              int greenPercent, int bluePercent, int depth, bool topDown) {
    m_pixels = pixels;
    m_topDown = topDown;
    m_width = width;
    m_height = height;
    m_pixelCount = width * height;
    m_red = redPercent;
    m_green = greenPercent;
    m_blue = bluePercent;
    m_bytesPerPixel = depth / 8;
    BuildTables();
}

void CFrameTextPainter::BuildTables() {
    const int percent[3] = {m_blue, m_green, m_red};
    for (int ch = 0; ch < 3; ++ch) {
        if (m_tablePercent[ch] == percent[ch])
            continue;
        for (int v = 0; v < 256; ++v) {
            m_lighten[ch][v] = static_cast<uint8_t>(v + (255 - v) * percent[ch] / 100);
            m_darken[ch][v] = static_cast<uint8_t>(v - v * percent[ch] / 100);
        }
        m_tablePercent[ch] = percent[ch];
    }
}

void CFrameTextPainter::Retarget(uint8_t* pixels, int depth, bool topDown) {
    if (!m_pixels)
        return;
    m_pixels = pixels;
    m_topDown = topDown;
    m_bytesPerPixel = depth / 8;
}

void CFrameTextPainter::PutPixel(int x, int y, bool lighten) {
    if (!m_pixels)
        return;
    // A line longer than the frame is cut rather than spilling into the row above.
    if (x < 0 || x >= m_width)
        return;
    const int index = (m_topDown ? y : m_height - y - 1) * m_width + x;
    if (index < 0 || index >= m_pixelCount)
        return;
    Paint(m_pixels + static_cast<size_t>(index) * m_bytesPerPixel, lighten);
}

uint8_t* CFrameTextPainter::Row(int y) const {
    const int row = m_topDown ? y : m_height - 1 - y;
    return m_pixels + static_cast<size_t>(row) * m_width * m_bytesPerPixel;
}

inline void CFrameTextPainter::Paint(uint8_t* p, bool lighten) const {
    if (m_bytesPerPixel == 4) {
        const uint8_t(*table)[256] = lighten ? m_lighten : m_darken;
        p[0] = table[0][p[0]];
        p[1] = table[1][p[1]];
        p[2] = table[2][p[2]];
    } else if (m_bytesPerPixel == 2) {
        p[0] = p[1] = lighten ? 0xFF : 0x00;
    }
}

void CFrameTextPainter::DrawText(int x, int y, const std::string& text) {
    static const uint8_t kBlank[8] = {};
    m_startX = x;
    m_x = x;
    m_y = y;
    for (const char c : text) {
        if (c == '\r') {
            m_y += 10;
            m_x = m_startX;
            continue;
        }
        const uint8_t* rows = Glyph(c);
        if (!rows)
            rows = kBlank;
        // Each pixel of the 10 x 10 cell is painted once, row by row: the
        // glyph's set bits lightened, its clear bits and the frame around it
        // darkened. Rows and columns outside the frame are cut.
        const int X = m_x, Y = m_y;
        const int x0 = std::max(X, 0), x1 = std::min(X + 10, m_width);
        for (int r = 0; r < 10 && m_pixels && x0 < x1; ++r) {
            const int y = Y + r;
            if (y < 0 || y >= m_height)
                continue;
            const unsigned bits = r >= 1 && r <= 8 ? rows[r - 1] : 0u;
            uint8_t* row = Row(y);
            // Bit 8 - k of `lit` is glyph column k; the frame columns stay dark.
            const unsigned lit = bits << 1;
            for (int px = x0; px < x1; ++px)
                Paint(row + static_cast<size_t>(px) * m_bytesPerPixel,
                      ((lit >> (9 - (px - X))) & 1u) != 0);
        }
        m_x = X + 10;
    }
}
