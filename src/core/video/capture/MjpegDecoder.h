#pragma once
#include <cstddef>
#include <cstdint>

struct AVFrame;

// Motion-JPEG pictures decoded by TurboJPEG straight into YUV planes, at the
// smallest of its scaling steps that still covers the working frame: a
// 640 x 480 camera is decoded at 320 x 240, which skips most of the work and
// the scaler's reduction. Falls back (null) on anything TurboJPEG cannot
// read, so the caller can hand the packet to FFmpeg's decoder instead.
class CMjpegDecoder {
public:
    CMjpegDecoder() = default;
    ~CMjpegDecoder();
    CMjpegDecoder(const CMjpegDecoder&) = delete;
    CMjpegDecoder& operator=(const CMjpegDecoder&) = delete;

    // The picture of one JPEG (full-range YUV, or grey), valid until the next
    // call; null when the data is no picture TurboJPEG decodes whole, or when
    // its size differs from `width` x `height` (the stream's, when known: an
    // interlaced camera sends one field per JPEG, which FFmpeg joins).
    const AVFrame* Decode(const uint8_t* data, size_t size, int width, int height);

private:
    void* m_handle = nullptr;
    AVFrame* m_frame = nullptr;
};
