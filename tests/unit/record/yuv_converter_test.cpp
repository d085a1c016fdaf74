// The recorders' conversion to YUV 4:2:0: known colours, and agreement with
// FFmpeg's swscale on a textured picture.
#include "frame/FrameImage.h"
#include "record/YuvFrame.h"

#include <algorithm>
#include <cstdlib>
#include <gtest/gtest.h>

extern "C" {
#include <libswscale/swscale.h>
}

namespace {

CFrameImage Picture(int width, int height, auto colour) {
    CFrameImage image;
    image.width = width;
    image.height = height;
    image.bgrx.resize(static_cast<size_t>(width) * height * 4);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint8_t* p = &image.bgrx[(static_cast<size_t>(y) * width + x) * 4];
            colour(x, y, p);
            p[3] = static_cast<uint8_t>(x * 7 + y); // never read
        }
    return image;
}

TEST(YuvConverter, EverySampleOfNoiseFollowsTheFormula) {
    // Noise, so that a sample computed from the wrong pixels or stored in the
    // wrong place is far off; widths that end in each vector step size.
    for (const int w : {320, 312, 56}) {
        SCOPED_TRACE(::testing::Message() << w << " wide");
        std::srand(11);
        const CFrameImage image = Picture(w, 4, [](int, int, uint8_t* p) {
            for (int c = 0; c < 3; ++c)
                p[c] = static_cast<uint8_t>(std::rand() & 0xFF);
        });
        CYuvFrame out;
        ASSERT_TRUE(CYuvConverter().Convert(image, out));
        auto at = [&](int x, int y, int c) {
            return static_cast<double>(image.bgrx[(static_cast<size_t>(y) * w + x) * 4 + c]);
        };
        int far = 0;
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < w; ++x) {
                const double luma =
                    16 +
                    (65.481 * at(x, y, 2) + 128.553 * at(x, y, 1) + 24.966 * at(x, y, 0)) / 255;
                far += std::abs(out.Y()[y * w + x] - luma) > 1;
            }
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < w / 2; ++x) {
                double mean[3] = {};
                for (int c = 0; c < 3; ++c)
                    mean[c] = (at(2 * x, 2 * y, c) + at(2 * x + 1, 2 * y, c) +
                               at(2 * x, 2 * y + 1, c) + at(2 * x + 1, 2 * y + 1, c)) /
                              4;
                const double u = 128 + (-37.797 * mean[2] - 74.203 * mean[1] + 112 * mean[0]) / 255;
                const double v = 128 + (112 * mean[2] - 93.786 * mean[1] - 18.214 * mean[0]) / 255;
                far += std::abs(out.U()[y * w / 2 + x] - u) > 1;
                far += std::abs(out.V()[y * w / 2 + x] - v) > 1;
            }
        EXPECT_EQ(far, 0);
    }
}

TEST(YuvConverter, KnownColoursGiveStudioRangeValues) {
    struct Case {
        uint8_t b, g, r;
        int y, u, v;
    };
    // BT.601 studio range, rounded.
    const Case cases[] = {
        {0, 0, 0, 16, 128, 128},          {255, 255, 255, 235, 128, 128},
        {0, 0, 255, 82, 90, 240},         {0, 255, 0, 145, 54, 34},
        {255, 0, 0, 41, 240, 110},        {128, 128, 128, 126, 128, 128},
        {0x20, 0x60, 0xA0, 109, 90, 161},
    };
    CYuvConverter converter;
    for (const Case& c : cases) {
        // 36 wide: 32 pixels in vector steps, the rest one by one.
        const CFrameImage image = Picture(36, 2, [&](int, int, uint8_t* p) {
            p[0] = c.b;
            p[1] = c.g;
            p[2] = c.r;
        });
        CYuvFrame out;
        ASSERT_TRUE(converter.Convert(image, out));
        ASSERT_TRUE(out.Fits(36, 2));
        const int label = c.b << 16 | c.g << 8 | c.r;
        for (int i = 0; i < 72; ++i)
            EXPECT_NEAR(out.Y()[i], c.y, 1) << std::hex << label;
        for (int i = 0; i < 18; ++i) {
            EXPECT_NEAR(out.U()[i], c.u, 1) << std::hex << label;
            EXPECT_NEAR(out.V()[i], c.v, 1) << std::hex << label;
        }
    }
    CYuvFrame untouched;
    EXPECT_FALSE(converter.Convert(Picture(5, 2, [](int, int, uint8_t*) {}), untouched));
    EXPECT_FALSE(converter.Convert(Picture(4, 3, [](int, int, uint8_t*) {}), untouched));
    EXPECT_TRUE(untouched.planes.empty());
}

TEST(YuvConverter, AgreesWithSwscaleOnATexturedPicture) {
    const int w = 320, h = 240;
    std::srand(7);
    const CFrameImage image = Picture(w, h, [](int x, int y, uint8_t* p) {
        // Gradients and a box with sensor-like noise.
        const int noise = std::rand() % 9 - 4;
        const bool box = x > 100 && x < 180 && y > 60 && y < 140;
        p[0] = static_cast<uint8_t>(std::clamp(x * 255 / 319 + noise, 0, 255));
        p[1] = static_cast<uint8_t>(std::clamp((box ? 230 : y) + noise, 0, 255));
        p[2] = static_cast<uint8_t>(std::clamp((box ? 20 : 255 - x / 2) + noise, 0, 255));
    });
    CYuvFrame ours;
    CYuvConverter converter;
    ASSERT_TRUE(converter.Convert(image, ours));

    SwsContext* sws = sws_getContext(w, h, AV_PIX_FMT_BGR0, w, h, AV_PIX_FMT_YUV420P, SWS_BILINEAR,
                                     nullptr, nullptr, nullptr);
    ASSERT_NE(sws, nullptr);
    std::vector<uint8_t> theirs(CYuvFrame::Size(w, h));
    uint8_t* planes[3] = {theirs.data(), theirs.data() + w * h, theirs.data() + w * h + w * h / 4};
    const int strides[3] = {w, w / 2, w / 2};
    const uint8_t* src[1] = {image.bgrx.data()};
    const int srcStride[1] = {w * 4};
    sws_scale(sws, src, srcStride, 0, h, planes, strides);
    sws_freeContext(sws);

    int worstLuma = 0, chromaOff = 0;
    for (size_t i = 0; i < theirs.size(); ++i) {
        const int d = std::abs(ours.planes[i] - theirs[i]);
        if (i < static_cast<size_t>(w * h))
            worstLuma = std::max(worstLuma, d);
        else
            chromaOff += d > 2;
    }
    EXPECT_LE(worstLuma, 1);
    // swscale's vertical chroma filter reaches one row further than the 2 x 2
    // block, which shows only along the box's lower edge.
    EXPECT_LE(chromaOff, w * h / 2 / 100) << "of " << w * h / 2 << " chroma samples";
}

} // namespace
