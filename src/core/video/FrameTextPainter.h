#pragma once
#include <cstdint>
#include <string>

// Burns lines of text into a frame buffer with a built-in 8 x 8 block font:
// each character is a 10 x 10 cell, glyph pixels lightened and the rest of the
// cell darkened by the set percentages (16-bit pixels go pure white or black).
class CFrameTextPainter {
public:
    // `pixels` is the bottom-up pixel area, or with `topDown` a picture whose
    // first row is the top one; `depth` 32 or 16 (others draw nothing).
    void Setup(uint8_t* pixels, int width, int height, int redPercent, int greenPercent,
               int bluePercent, int depth, bool topDown = false);
    // Points the painter at a (possibly moved) frame buffer while keeping its
    // strengths; does nothing before the first Setup.
    void Retarget(uint8_t* pixels, int depth, bool topDown = false);
    // Draws `text` with the first cell's top-left corner at (x, y), y downward;
    // a carriage return starts a new line 10 pixels lower.
    void DrawText(int x, int y, const std::string& text);
    // Lightens or darkens one pixel; (x, y) outside the frame is skipped.
    void PutPixel(int x, int y, bool lighten);

    bool IsSetUp() const { return m_pixels != nullptr; }

    // The glyph rows of a character (upper case or not), or null when it has none.
    static const uint8_t* Glyph(char c);

private:
    void BuildTables();
    // Lightens or darkens the pixel at p.
    void Paint(uint8_t* p, bool lighten) const;
    // Start of the row y pixels below the top.
    uint8_t* Row(int y) const;

    uint8_t* m_pixels = nullptr;
    int m_width = 320;
    int m_height = 240;
    int m_pixelCount = 320 * 240;
    int m_red = 0;
    int m_green = 0;
    int m_blue = 0;
    int m_bytesPerPixel = 4;
    bool m_topDown = false;
    int m_startX = 0;
    int m_x = 0;
    int m_y = 0;
    // Channel results by old value, per channel in pixel order (blue, green,
    // red), for the percentages the tables were built for.
    uint8_t m_lighten[3][256] = {};
    uint8_t m_darken[3][256] = {};
    int m_tablePercent[3] = {-1, -1, -1};
};
