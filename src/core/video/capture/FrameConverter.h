#pragma once
#include <cstdint>
#include <vector>

struct AVFrame;
struct SwsContext;

// Scales and converts a decoded picture of any size and pixel format to the
// 320 x 240 working frame: rows bottom-up, 32 bits (B, G, R, x) or 16 bits (RGB555).
class CFrameConverter {
public:
    CFrameConverter() = default;
    ~CFrameConverter();
    CFrameConverter(const CFrameConverter&) = delete;
    CFrameConverter& operator=(const CFrameConverter&) = delete;

    // Fills `out` with the pixel area of the frame buffer; false when the
    // picture cannot be converted (out is then empty).
    bool Convert(const AVFrame& frame, int depth, std::vector<uint8_t>& out);

private:
    SwsContext* m_sws = nullptr;
    int m_srcWidth = 0;
    int m_srcHeight = 0;
    int m_srcFormat = -1;
    std::vector<uint8_t> m_topDown; // 320 x 240 B, G, R, x as scaled
};
