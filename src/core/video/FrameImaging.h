#pragma once
#include "frame/FrameImage.h"

#include <cstdint>
#include <string>
#include <vector>

// Conversions between the working frame and the pictures the recorders take.
namespace frame_imaging {

// The frame image of a bottom-up 320 x 240 pixel area at 32 bits (B, G, R, x)
// or 16 bits (RGB555), as 32-bit top-down pixels over opaque black (the fourth
// byte 0xFF), the picture the movie writers take. False (image left empty)
// for any other depth or no pixels.
bool FrameToImage(const uint8_t* pixels, int depth, CFrameImage& image);

} // namespace frame_imaging

// JPEG encoding through TurboJPEG; keeps its compressor and output buffer
// between calls so that a still costs no allocation.
class CJpegEncoder {
public:
    CJpegEncoder() = default;
    ~CJpegEncoder();
    CJpegEncoder(const CJpegEncoder&) = delete;
    CJpegEncoder& operator=(const CJpegEncoder&) = delete;

    // Encodes at `quality` (1..100); the bytes stay valid until the next call.
    bool Encode(const CFrameImage& image, int quality, const uint8_t*& data, size_t& size);
    // Encodes and writes the file; a partly written file is removed.
    bool SaveFile(const CFrameImage& image, int quality, const std::string& path);

private:
    void* m_handle = nullptr;
    unsigned char* m_buffer = nullptr;
    unsigned long m_capacity = 0;
};
