#include "video/FrameTextPainter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// A bottom-up 320 x 240 frame at one level; Px(x, y) with y downward.
struct Frame {
    int bpp;
    std::vector<uint8_t> px;
    explicit Frame(int depth, uint8_t level = 128)
        : bpp(depth / 8), px(static_cast<size_t>(320 * 240 * (depth / 8)), level) {}
    uint8_t* Px(int x, int y) { return px.data() + ((239 - y) * 320 + x) * bpp; }
    uint16_t Word(int x, int y) { return static_cast<uint16_t>(Px(x, y)[0] | Px(x, y)[1] << 8); }
};

// Whether glyph pixel (k, r) of `c` is lit by the font table.
bool Lit(char c, int k, int r) {
    const uint8_t* g = CFrameTextPainter::Glyph(c);
    return g && (g[r] & (0x80 >> k));
}

} // namespace

TEST(FrameTextPainter, FullOpacityGivesWhiteGlyphsInBlackCells) {
    Frame f(32);
    CFrameTextPainter p;
    p.Setup(f.px.data(), 320, 240, 100, 100, 100, 32);
    p.DrawText(20, 30, "8");
    for (int y = 0; y < 10; ++y) {
        for (int x = 0; x < 10; ++x) {
            const bool glyph = x >= 1 && x <= 8 && y >= 1 && y <= 8 && Lit('8', x - 1, y - 1);
            const uint8_t* px = f.Px(20 + x, 30 + y);
            ASSERT_EQ(px[0], glyph ? 255 : 0) << x << "," << y;
            ASSERT_EQ(px[2], glyph ? 255 : 0);
            ASSERT_EQ(px[3], 128) << "the unused byte stays";
        }
    }
    EXPECT_EQ(f.Px(30, 30)[0], 128) << "nothing right of the cell";
    EXPECT_EQ(f.Px(20, 40)[0], 128) << "nothing below the cell";
}

TEST(FrameTextPainter, HalfOpacityMovesChannelsHalfWay) {
    Frame f(32);
    f.Px(1, 1)[0] = 10; // blue of a lit glyph pixel of '0' (row FF)
    f.Px(1, 1)[1] = 200;
    CFrameTextPainter p;
    p.Setup(f.px.data(), 320, 240, 50, 50, 50, 32);
    p.DrawText(0, 0, "0");
    EXPECT_EQ(f.Px(1, 1)[0], 10 + 245 * 50 / 100);
    EXPECT_EQ(f.Px(1, 1)[1], 200 + 55 * 50 / 100);
    EXPECT_EQ(f.Px(0, 0)[0], 64) << "frame pixel darkened by half";
    EXPECT_EQ(f.Px(3, 3)[2], 64) << "unlit glyph pixel of '0' (row C3)";
    // Separate strengths per channel.
    Frame g(32);
    p.Setup(g.px.data(), 320, 240, 100, 50, 0, 32);
    p.DrawText(0, 0, "0");
    EXPECT_EQ(g.Px(1, 1)[2], 255);
    EXPECT_EQ(g.Px(1, 1)[1], 128 + 127 / 2);
    EXPECT_EQ(g.Px(1, 1)[0], 128);
}

TEST(FrameTextPainter, SixteenBitLinesArePureWhiteOnBlackAtAnyStrength) {
    Frame f(16, 0x55);
    CFrameTextPainter p;
    p.Setup(f.px.data(), 320, 240, 7, 7, 7, 16);
    p.DrawText(0, 230, "1");
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x) {
            const bool glyph = x >= 1 && x <= 8 && y >= 1 && y <= 8 && Lit('1', x - 1, y - 1);
            ASSERT_EQ(f.Word(x, 230 + y), glyph ? 0xFFFF : 0x0000) << x << "," << y;
        }
    EXPECT_EQ(f.Word(10, 230), 0x5555);
}

TEST(FrameTextPainter, CapitalsForLowerCaseAndDarkCellsWithoutGlyph) {
    Frame lower(32), upper(32);
    CFrameTextPainter p;
    p.Setup(lower.px.data(), 320, 240, 100, 100, 100, 32);
    p.DrawText(0, 0, "oculon hq");
    p.Setup(upper.px.data(), 320, 240, 100, 100, 100, 32);
    p.DrawText(0, 0, "OCULON HQ");
    EXPECT_EQ(lower.px, upper.px);

    for (const char c : {'-', '=', ',', ' '}) {
        Frame f(32);
        p.Setup(f.px.data(), 320, 240, 100, 100, 100, 32);
        p.DrawText(0, 0, std::string(1, c));
        for (int y = 0; y < 10; ++y)
            for (int x = 0; x < 10; ++x)
                ASSERT_EQ(f.Px(x, y)[1], 0) << "'" << c << "' " << x << "," << y;
    }
}

TEST(FrameTextPainter, CarriageReturnStartsTheNextLineAtTheStartColumn) {
    Frame a(32), b(32);
    CFrameTextPainter p;
    p.Setup(a.px.data(), 320, 240, 100, 100, 100, 32);
    p.DrawText(40, 50, "AB\rC");
    p.Setup(b.px.data(), 320, 240, 100, 100, 100, 32);
    p.DrawText(40, 50, "AB");
    p.DrawText(40, 60, "C");
    EXPECT_EQ(a.px, b.px);
}

TEST(FrameTextPainter, DrawsNothingOutsideTheFrameOrBeforeSetup) {
    CFrameTextPainter idle;
    idle.DrawText(0, 0, "NOTHING"); // no pixels yet: must not touch memory
    idle.Retarget(nullptr, 32);
    EXPECT_FALSE(idle.IsSetUp());

    Frame f(32);
    const std::vector<uint8_t> before = f.px;
    CFrameTextPainter p;
    p.Setup(f.px.data(), 320, 240, 100, 100, 100, 32);
    p.DrawText(0, 240, "OFF THE BOTTOM");
    p.DrawText(0, -10, "OFF THE TOP");
    EXPECT_EQ(f.px, before);
    // A 33rd character is cut instead of spilling into the row above.
    p.DrawText(0, 100, std::string(33, '8'));
    EXPECT_EQ(f.Px(0, 99)[0], 128);
    EXPECT_EQ(f.Px(319, 100)[0], 0) << "the 32nd cell's right frame column";
}

TEST(FrameTextPainter, TextCutAtAnyEdgeMatchesTheCellPaintedPixelByPixel) {
    struct Case {
        int depth, x, y;
        bool topDown = false; // an image's rows rather than a frame buffer's
    };
    for (const Case& c :
         {Case{32, -13, -4}, Case{32, 297, 233}, Case{32, 150, 117}, Case{16, -7, 236},
          Case{16, 303, -6}, Case{32, -13, -4, true}, Case{32, 297, 233, true}}) {
        SCOPED_TRACE(::testing::Message() << c.depth << " bits at " << c.x << "," << c.y
                                          << (c.topDown ? ", top-down" : ""));
        Frame drawn(c.depth), expected(c.depth);
        for (size_t i = 0; i < drawn.px.size(); ++i)
            drawn.px[i] = expected.px[i] = static_cast<uint8_t>(i * 7);
        const std::string text = "Oc9:";
        CFrameTextPainter p, q;
        p.Setup(drawn.px.data(), 320, 240, 30, 60, 90, c.depth, c.topDown);
        p.DrawText(c.x, c.y, text);
        // Each cell: the glyph's lit pixels lightened, the rest of its 10 x 10 darkened.
        q.Setup(expected.px.data(), 320, 240, 30, 60, 90, c.depth, c.topDown);
        for (size_t n = 0; n < text.size(); ++n)
            for (int r = 0; r < 10; ++r)
                for (int k = 0; k < 10; ++k)
                    q.PutPixel(c.x + 10 * static_cast<int>(n) + k, c.y + r,
                               r >= 1 && r <= 8 && k >= 1 && k <= 8 && Lit(text[n], k - 1, r - 1));
        EXPECT_EQ(drawn.px, expected.px);
    }
}
