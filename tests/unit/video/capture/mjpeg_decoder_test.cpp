// The Motion-JPEG fast path: the size it decodes at, and the pictures it
// leaves to FFmpeg.
#include "video/capture/MjpegDecoder.h"

#include <gtest/gtest.h>
#include <turbojpeg.h>

#include <string>
#include <vector>

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/pixfmt.h>
}

namespace {

// A JPEG of a flat colour at the given size and sampling, made by TurboJPEG.
std::vector<uint8_t> Jpeg(int width, int height, int subsampling, uint8_t b, uint8_t g, uint8_t r) {
    std::vector<uint8_t> bgrx(static_cast<size_t>(width) * height * 4);
    for (size_t i = 0; i < bgrx.size(); i += 4) {
        bgrx[i] = b;
        bgrx[i + 1] = g;
        bgrx[i + 2] = r;
    }
    tjhandle tj = tjInitCompress();
    unsigned char* out = nullptr;
    unsigned long size = 0;
    const int rc =
        tjCompress2(tj, bgrx.data(), width, 0, height, TJPF_BGRX, &out, &size, subsampling, 95, 0);
    std::vector<uint8_t> jpeg;
    if (rc == 0)
        jpeg.assign(out, out + size);
    tjFree(out);
    tjDestroy(tj);
    return jpeg;
}

TEST(MjpegDecoder, DecodesAtTheSmallestScaleThatCoversTheFrame) {
    struct Case {
        int width, height, subsampling;
        int decodedWidth, decodedHeight;
        AVPixelFormat format;
    };
    const Case cases[] = {
        {320, 240, TJSAMP_420, 320, 240, AV_PIX_FMT_YUVJ420P},
        {640, 480, TJSAMP_422, 320, 240, AV_PIX_FMT_YUVJ422P},
        {1280, 720, TJSAMP_444, 480, 270, AV_PIX_FMT_YUVJ444P}, // 1/4 would be 180 high
        {1920, 1080, TJSAMP_420, 480, 270, AV_PIX_FMT_YUVJ420P},
        {176, 144, TJSAMP_420, 176, 144, AV_PIX_FMT_YUVJ420P}, // never enlarged
        {640, 480, TJSAMP_GRAY, 320, 240, AV_PIX_FMT_GRAY8},
        {321, 241, TJSAMP_420, 321, 241, AV_PIX_FMT_YUVJ420P}, // odd: planes rounded up
    };
    CMjpegDecoder decoder;
    for (const Case& c : cases) {
        const std::string label = std::to_string(c.width) + "x" + std::to_string(c.height);
        const std::vector<uint8_t> jpeg = Jpeg(c.width, c.height, c.subsampling, 40, 160, 220);
        ASSERT_FALSE(jpeg.empty()) << label;
        const AVFrame* frame = decoder.Decode(jpeg.data(), jpeg.size(), c.width, c.height);
        ASSERT_NE(frame, nullptr) << label;
        EXPECT_EQ(frame->width, c.decodedWidth) << label;
        EXPECT_EQ(frame->height, c.decodedHeight) << label;
        EXPECT_EQ(frame->format, c.format) << label;
        EXPECT_EQ(frame->color_range, AVCOL_RANGE_JPEG) << label;
        // Full-range luma of (B 40, G 160, R 220): 0.114 B + 0.587 G + 0.299 R.
        const uint8_t* y = frame->data[0];
        for (const int at : {0, frame->width / 2, frame->width - 1})
            EXPECT_NEAR(y[(frame->height - 1) * frame->linesize[0] + at], 165, 2) << label;
        // The stream's size is unknown (0 x 0): any size is taken.
        EXPECT_NE(decoder.Decode(jpeg.data(), jpeg.size(), 0, 0), nullptr) << label;
    }
}

TEST(MjpegDecoder, LeavesToFfmpegWhatItCannotDecodeWhole) {
    CMjpegDecoder decoder;
    const std::vector<uint8_t> jpeg = Jpeg(640, 480, TJSAMP_420, 10, 20, 30);
    // Half the declared height: one field of an interlaced camera.
    EXPECT_EQ(decoder.Decode(jpeg.data(), jpeg.size(), 640, 960), nullptr);
    const std::vector<uint8_t> garbage(5000, 0x5A);
    EXPECT_EQ(decoder.Decode(garbage.data(), garbage.size(), 640, 480), nullptr);
    EXPECT_EQ(decoder.Decode(nullptr, 0, 640, 480), nullptr);
    // Cut short: a damaged picture is still one (TurboJPEG warns), or none.
    const AVFrame* cut = decoder.Decode(jpeg.data(), jpeg.size() / 2, 640, 480);
    if (cut) {
        EXPECT_EQ(cut->width, 320);
        EXPECT_EQ(cut->height, 240);
    }
    // And the decoder works on after all of that.
    EXPECT_NE(decoder.Decode(jpeg.data(), jpeg.size(), 640, 480), nullptr);
}

} // namespace
