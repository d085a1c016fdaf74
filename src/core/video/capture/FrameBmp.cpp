#include "video/capture/FrameBmp.h"

#include "frame/FrameFormat.h"

namespace {

void Put16(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

void Put32(uint8_t* p, uint32_t v) {
    Put16(p, v & 0xFFFF);
    Put16(p + 2, v >> 16);
}

} // namespace

size_t FramePixelBytes(int depth) {
    return static_cast<size_t>(kFrameWidth) * kFrameHeight * static_cast<size_t>(depth / 8);
}

void WriteFrameHeaders(uint8_t* out, int depth, uint32_t pixelBytes) {
    for (size_t i = 0; i < kFrameHeaderSize; ++i)
        out[i] = 0;
    out[0] = 'B';
    out[1] = 'M';
    Put32(out + 2, static_cast<uint32_t>(kFrameHeaderSize) + pixelBytes);
    Put32(out + 10, static_cast<uint32_t>(kFrameHeaderSize));
    Put32(out + 14, 40);
    Put32(out + 18, kFrameWidth);
    // Positive height: rows are stored bottom row first.
    Put32(out + 22, kFrameHeight);
    Put16(out + 26, 1);
    Put16(out + 28, static_cast<uint32_t>(depth));
}

void PackRgb555(const uint8_t* bgrx, uint8_t* out, size_t count) {
    for (size_t i = 0; i < count; ++i, bgrx += 4, out += 2) {
        const uint32_t word = (static_cast<uint32_t>(bgrx[2] >> 3) << 10) |
                              (static_cast<uint32_t>(bgrx[1] >> 3) << 5) | (bgrx[0] >> 3);
        Put16(out, word);
    }
}
