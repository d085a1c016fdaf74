// Frames in the BMP frame buffer: headers, row order and pixel values at both
// working depths, from pictures whose every pixel is known.
#include "RunCommand.h"
#include "app/AppSettings.h"
#include "app/TagParser.h"
#include "capture_support.h"
#include "frame/FrameFormat.h"
#include "video/capture/FrameBmp.h"
#include "video/capture/VideoSourceWnd.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace {

using Bgr = std::array<uint8_t, 3>;

// Quadrants of distinct colours; the picture's top row is yellow-ish so that
// a frame stored top-down would show at once.
Bgr Quadrant(int x, int y, int width, int height) {
    const bool right = x >= width / 2;
    const bool bottom = y >= height / 2;
    if (y == 0)
        return {16, 200, 240};
    if (!bottom)
        return right ? Bgr{0, 255, 0} : Bgr{255, 0, 0};
    return right ? Bgr{200, 100, 50} : Bgr{0, 0, 255};
}

class CaptureFrames : public ::testing::Test {
protected:
    void SetUp() override { m_real = RealCameraCount(); }

    // Starts the virtual device "Picture" playing the BMP at `file`.
    std::unique_ptr<CVideoSourceWnd> Start(const CVirtualDevices& /*active devices*/, int depth) {
        m_settings = std::make_unique<CAppSettings>(m_parser, m_home.Folder(), "");
        m_settings->VIDEO_SRC = "Picture";
        auto source = std::make_unique<CVideoSourceWnd>(*m_settings, depth);
        EXPECT_EQ(source->SelectedDevice(), m_real);
        return source;
    }

    int m_real = 0;
    CTempDir m_home; // outlives the settings, which write their file when they end
    CTagParser m_parser{false};
    std::unique_ptr<CAppSettings> m_settings;
};

// The pixel at (x, y downward) of the 32-bit frame buffer.
Bgr Pixel32(const uint8_t* pixels, int x, int y) {
    const uint8_t* p = pixels + static_cast<size_t>(kFrameHeight - 1 - y) * 1280 + x * 4;
    return {p[0], p[1], p[2]};
}

uint16_t Pixel16(const uint8_t* pixels, int x, int y) {
    const uint8_t* p = pixels + static_cast<size_t>(kFrameHeight - 1 - y) * 640 + x * 2;
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

TEST_F(CaptureFrames, A32BitFrameIsTheExactPictureBottomRowFirst) {
    CVirtualDevices devices("");
    const std::string file = devices.Dir().File("picture.bmp");
    WriteBmp24(file, 320, 240, [](int x, int y) { return Quadrant(x, y, 320, 240); });
    WriteFileBytes(devices.Dir().File("devices.txt"), "Picture|file:" + file + "\n");
    auto source = Start(devices, 32);
    ASSERT_TRUE(source->IsRunning());
    EXPECT_EQ(source->Depth(), 32);

    uint8_t* pixels = nullptr;
    ASSERT_EQ(source->GetFrame(pixels, true), 307254);
    const auto& buffer = source->FrameBuffer();
    ASSERT_EQ(pixels, buffer.data() + 54);
    std::vector<uint8_t> headers(54);
    WriteFrameHeaders(headers.data(), 32, 307200);
    EXPECT_EQ(std::vector<uint8_t>(buffer.begin(), buffer.begin() + 54), headers);

    int wrong = 0;
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 320; ++x)
            wrong += Pixel32(pixels, x, y) != Quadrant(x, y, 320, 240);
    EXPECT_EQ(wrong, 0);

    // A one-picture file loops: it keeps delivering like a camera.
    for (int i = 0; i < 4; ++i) {
        pixels[0] = 0;
        source->GetFrame(pixels, true);
        EXPECT_EQ(Pixel32(pixels, 0, 239), (Bgr{0, 0, 255})) << "fetch " << i;
    }

    // Without the fetch flag nothing is waited for or changed.
    pixels[0] = 0x77;
    uint8_t* again = nullptr;
    EXPECT_EQ(source->GetFrame(again, false), 307254);
    EXPECT_EQ(again, pixels);
    EXPECT_EQ(pixels[0], 0x77);
}

TEST_F(CaptureFrames, A16BitFrameIsRgb555AndLeavesTheRestOfTheBuffer) {
    CVirtualDevices devices("");
    const std::string file = devices.Dir().File("picture.bmp");
    WriteBmp24(file, 320, 240, [](int x, int y) { return Quadrant(x, y, 320, 240); });
    WriteFileBytes(devices.Dir().File("devices.txt"), "Picture|file:" + file + "\n");
    auto source = Start(devices, 16);
    ASSERT_TRUE(source->IsRunning());
    EXPECT_EQ(source->Depth(), 16);

    uint8_t* pixels = nullptr;
    ASSERT_EQ(source->GetFrame(pixels, true), 307254);
    const auto& buffer = source->FrameBuffer();
    std::vector<uint8_t> headers(54);
    WriteFrameHeaders(headers.data(), 16, 153600);
    EXPECT_EQ(std::vector<uint8_t>(buffer.begin(), buffer.begin() + 54), headers);

    EXPECT_EQ(Pixel16(pixels, 0, 0), 0x7B22);     // (240, 200, 16): 30, 25, 2
    EXPECT_EQ(Pixel16(pixels, 10, 10), 0x001F);   // blue
    EXPECT_EQ(Pixel16(pixels, 300, 10), 0x03E0);  // green
    EXPECT_EQ(Pixel16(pixels, 10, 200), 0x7C00);  // red
    EXPECT_EQ(Pixel16(pixels, 300, 239), 0x1999); // (50, 100, 200): 6, 12, 25
    // The second half of the buffer is not part of a 16-bit frame: still black.
    for (size_t i = 54 + 153600; i < buffer.size(); i += 4096)
        ASSERT_EQ(buffer[i], 0) << i;
}

TEST_F(CaptureFrames, ALargerPictureIsScaledToTheWorkingFrame) {
    CVirtualDevices devices("");
    const std::string file = devices.Dir().File("large.bmp");
    WriteBmp24(file, 640, 480, [](int x, int y) { return Quadrant(x, y, 640, 480); });
    WriteFileBytes(devices.Dir().File("devices.txt"), "Picture|file:" + file + "\n");
    auto source = Start(devices, 32);
    uint8_t* pixels = nullptr;
    ASSERT_EQ(source->GetFrame(pixels, true), 307254);
    const auto& buffer = source->FrameBuffer();
    EXPECT_EQ(buffer[18] | buffer[19] << 8, 320);
    EXPECT_EQ(buffer[22] | buffer[23] << 8, 240);
    // Quadrant centres keep their colours within the rounding of the scaler.
    const struct { int x, y; } centres[] = {{80, 60}, {240, 60}, {80, 180}, {240, 180}};
    for (const auto& c : centres) {
        const Bgr expected = Quadrant(c.x * 2, c.y * 2, 640, 480);
        const Bgr got = Pixel32(pixels, c.x, c.y);
        for (int i = 0; i < 3; ++i)
            EXPECT_NEAR(got[i], expected[i], 4) << c.x << "," << c.y << " channel " << i;
    }
}

// A Motion-JPEG stream's pictures without their Huffman tables, as cheap
// cameras send them (the standard tables are implied).
std::string WithoutHuffmanTables(const std::string& stream) {
    std::string out;
    size_t i = 0;
    while (i + 4 <= stream.size()) {
        const auto byte = [&](size_t k) { return static_cast<uint8_t>(stream[k]); };
        if (byte(i) == 0xFF && byte(i + 1) == 0xC4) {
            i += 2 + (byte(i + 2) << 8 | byte(i + 3));
            continue;
        }
        out += stream[i++];
    }
    return out + stream.substr(i);
}

TEST_F(CaptureFrames, MotionJpegOfEverySizeAndSamplingReachesTheFrame) {
    struct Case {
        int width, height;
        const char* pixelFormat;
        bool huffmanTables;
    };
    // Sizes that decode at 1/1, 1/2 and 3/8 of their size, the usual
    // samplings, and pictures without Huffman tables.
    const Case cases[] = {
        {320, 240, "yuvj420p", true},
        {640, 480, "yuvj422p", true},
        {1280, 720, "yuvj444p", true},
        {640, 480, "yuvj420p", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height) + " " +
                     c.pixelFormat + (c.huffmanTables ? "" : " without Huffman tables"));
        CVirtualDevices devices("");
        const std::string bmp = devices.Dir().File("picture.bmp");
        const std::string clip = devices.Dir().File("clip.mjpeg");
        WriteBmp24(bmp, c.width, c.height,
                   [&](int x, int y) { return Quadrant(x, y, c.width, c.height); });
        const CommandResult made =
            RunCommand("ffmpeg -v error -y -loop 1 -i " + bmp + " -t 1 -r 10 -pix_fmt " +
                       c.pixelFormat + " -c:v mjpeg -huffman default -q:v 2 -f mjpeg " + clip);
        ASSERT_EQ(made.exitCode, 0);
        if (!c.huffmanTables)
            WriteFileBytes(clip, WithoutHuffmanTables(ReadFileBytes(clip)));
        WriteFileBytes(devices.Dir().File("devices.txt"), "Picture|file:" + clip + "\n");
        auto source = Start(devices, 32);
        uint8_t* pixels = nullptr;
        ASSERT_EQ(source->GetFrame(pixels, true), 307254);
        const struct { int x, y; } centres[] = {{80, 60}, {240, 60}, {80, 180}, {240, 180}};
        for (const auto& at : centres) {
            const Bgr expected =
                Quadrant(at.x * c.width / 320, at.y * c.height / 240, c.width, c.height);
            const Bgr got = Pixel32(pixels, at.x, at.y);
            for (int i = 0; i < 3; ++i)
                EXPECT_NEAR(got[i], expected[i], 8) << at.x << "," << at.y << " channel " << i;
        }
    }
}

} // namespace

namespace {

TEST_F(CaptureFrames, AStalledCameraHandsOutTheLastCleanPictureAgain) {
    // One grey picture, then the next one an hour later.
    CVirtualDevices devices(
        "Picture|lavfi:color=c=0x808080:s=320x240:r=25,setpts='if(eq(N,0),0,PTS+3600/TB)'\n");
    auto source = Start(devices, 32);
    uint8_t* pixels = nullptr;
    const uint64_t before = source->FrameSequence();
    ASSERT_EQ(source->GetFrame(pixels, true), static_cast<int>(kFrameBufferSize));
    const uint64_t picture = source->FrameSequence();
    EXPECT_NE(picture, before) << "a new picture has a new number";
    const std::vector<uint8_t> clean = source->FrameBuffer();
    // The controller burns its lines into the buffer...
    for (int i = 0; i < 5000; ++i)
        pixels[i] = 0xFF;
    // ...and the next fetch times out: the lines must not be burnt in twice.
    source->GetFrame(pixels, true);
    EXPECT_EQ(source->FrameBuffer(), clean);
    EXPECT_EQ(source->FrameSequence(), picture) << "the repeat keeps its number";
    // A step that only reads the picture gets the same clean one, uncopied.
    const uint8_t* read = source->FetchFrameToRead();
    ASSERT_NE(read, nullptr);
    EXPECT_TRUE(std::equal(read, read + FramePixelBytes(32), clean.begin() + kFrameHeaderSize));
    EXPECT_NE(read, pixels);
    EXPECT_EQ(source->FrameSequence(), picture);
}

} // namespace
