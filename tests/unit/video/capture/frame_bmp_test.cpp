#include "frame/FrameFormat.h"
#include "video/capture/FrameBmp.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

namespace {

std::vector<uint8_t> Headers(int depth, uint32_t pixelBytes) {
    std::vector<uint8_t> out(kFrameHeaderSize, 0xEE);
    WriteFrameHeaders(out.data(), depth, pixelBytes);
    return out;
}

} // namespace

TEST(FrameBmp, HeadersOfA32BitFrameAreTheCompleteBmpLayout) {
    const std::vector<uint8_t> expected = {'B',  'M',  0x36, 0xB0, 0x04, 0x00, // file size 307254
                                           0,    0,    0,    0,                // reserved
                                           54,   0,    0,    0,                // pixel offset
                                           40,   0,    0,    0,                // info header size
                                           0x40, 0x01, 0,    0,                // width 320
                                           0xF0, 0,    0,    0, // height 240, positive: bottom-up
                                           1,    0,             // planes
                                           32,   0,             // bits per pixel
                                           0,    0,    0,    0,    0,    0,    0, 0, 0, 0, 0, 0,
                                           0,    0,    0,    0,    0,    0,    0, 0, 0, 0, 0, 0};
    EXPECT_EQ(Headers(32, 307200), expected);
    EXPECT_EQ(FramePixelBytes(32) + kFrameHeaderSize, kFrameBufferSize);
}

TEST(FrameBmp, HeadersFollowTheDepthAndTheDeliveredLength) {
    const auto h16 = Headers(16, static_cast<uint32_t>(FramePixelBytes(16)));
    EXPECT_EQ(FramePixelBytes(16), 153600u);
    EXPECT_EQ(h16[2] | h16[3] << 8 | h16[4] << 16 | h16[5] << 24, 153654);
    EXPECT_EQ(h16[28], 16);
    // An empty delivery is a 54-byte image.
    const auto empty = Headers(32, 0);
    EXPECT_EQ(empty[2], 54);
    EXPECT_EQ(empty[3] | empty[4] | empty[5], 0);
}

TEST(FrameBmp, Rgb555KeepsTheTopFiveBitsOfEachChannel) {
    // Pixels as B, G, R, x.
    const std::array<uint8_t, 20> bgrx = {
        255, 255, 255, 0,    // white
        0,   0,   255, 0,    // red
        0,   255, 0,   0,    // green
        200, 100, 50,  0xAB, // mixed; the x byte is ignored
        7,   7,   7,   0,    // below one step: black
    };
    std::array<uint8_t, 10> out{};
    PackRgb555(bgrx.data(), out.data(), 5);
    const std::array<uint8_t, 10> expected = {0xFF, 0x7F, 0x00, 0x7C, 0xE0,
                                              0x03, 0x99, 0x19, 0x00, 0x00};
    EXPECT_EQ(out, expected);
}
