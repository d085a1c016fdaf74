#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

struct CFrameImage;

// A picture already converted for the encoders: planar YUV 4:2:0, the three
// planes one after the other without padding (Y rows of `width` bytes, U and V
// rows of `width / 2`). What the pre-roll ring keeps and the writers encode.
struct CYuvFrame {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> planes;

    static size_t Size(int width, int height) {
        return static_cast<size_t>(width) * height +
               2 * static_cast<size_t>(width / 2) * (height / 2);
    }
    const uint8_t* Y() const { return planes.data(); }
    const uint8_t* U() const { return Y() + static_cast<size_t>(width) * height; }
    const uint8_t* V() const { return U() + static_cast<size_t>(width / 2) * (height / 2); }
    // Holds a whole picture of this size.
    bool Fits(int w, int h) const {
        return width == w && height == h && planes.size() == Size(w, h);
    }
    // Copies the planes into an encoder's frame, whose rows may be padded.
    void CopyInto(uint8_t* const dst[3], const int strides[3]) const;
};

// The conversion from the recorders' 32-bit picture (B, G, R, x) to BT.601
// studio-range YUV 4:2:0, each chroma sample the mean of its 2 x 2 block.
// Ours rather than swscale's: swscale has no vectorised path from this
// format and took longer than the encoder itself. Sizes must be even.
class CYuvConverter {
public:
    // False for a malformed picture (buffer size, odd or empty dimensions).
    bool Convert(const CFrameImage& image, CYuvFrame& out);
    // Into planes given by the caller (an encoder's frame).
    bool Convert(const CFrameImage& image, uint8_t* const planes[3], const int strides[3]);
};
