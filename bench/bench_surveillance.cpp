// The work of one surveillance step: detector pass, burnt-in lines, JPEG still,
// and a whole step while recording.
#include "app/AppSettings.h"
#include "app/Clock.h"
#include "app/TagParser.h"
#include "frame/FrameFormat.h"
#include "record/MovieRecorder.h"
#include "video/FrameImaging.h"
#include "video/FrameTextPainter.h"
#include "video/MotionDetector.h"
#include "video/SurveillanceController.h"
#include "video/capture/IFrameSource.h"

#include <benchmark/benchmark.h>

#include <array>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr size_t kPixelBytes = kFrameBufferSize - kFrameHeaderSize;

// A textured picture, as a camera gives (flat frames would flatter the JPEG).
std::vector<uint8_t> Scene(unsigned seed) {
    std::vector<uint8_t> px(kPixelBytes);
    std::mt19937 rng(seed);
    for (size_t i = 0; i < px.size(); ++i)
        px[i] = static_cast<uint8_t>((i / 4 % 320) / 2 + (i / 1280) / 3 + rng() % 24);
    return px;
}

std::string MakeFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "oculon-bench-XXXXXX").string();
    return ::mkdtemp(pattern.data());
}

// Argument 1: every false-alarm filter on (the recommended settings).
void BM_DetectorPass32(benchmark::State& state) {
    const auto a = Scene(1), b = Scene(2);
    CMotionDetector detector;
    if (state.range(0) != 0)
        detector.SetFilters(CDetectionFilters{40, true, 8, true});
    std::array<uint8_t, CMotionDetector::kCells> cells{};
    bool first = true;
    bool flip = false;
    for (auto _ : state) {
        flip = !flip;
        benchmark::DoNotOptimize(
            detector.Pass((flip ? a : b).data(), 32, CMotionRegion{}, 100, cells.data(), first));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * 307200);
}
BENCHMARK(BM_DetectorPass32)->Arg(0)->Arg(1);

void BM_BurntInLines(benchmark::State& state) {
    auto px = Scene(3);
    CFrameTextPainter painter;
    const std::string stamp =
        std::string(CSurveillanceController::kWatermark) + "06/DEC/05  14:03:27.41";
    for (auto _ : state) {
        painter.Setup(px.data(), 320, 240, 50, 50, 50, 32);
        painter.DrawText(0, 230, stamp);
        painter.DrawText(0, 0, CAppSettings::kDefaultTitle);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_BurntInLines);

void BM_JpegStill50(benchmark::State& state) {
    const auto px = Scene(4);
    CFrameImage image;
    frame_imaging::FrameToImage(px.data(), 32, image);
    const std::string folder = MakeFolder();
    CJpegEncoder encoder;
    // A new file each time, as a capture writes them (rewriting one name makes
    // the file system flush on close, which no capture does).
    int n = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(
            encoder.SaveFile(image, 50, folder + "/" + CStillWriter::StillName(++n)));
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_JpegStill50);

void BM_JpegEncode50(benchmark::State& state) {
    const auto px = Scene(4);
    CFrameImage image;
    frame_imaging::FrameToImage(px.data(), 32, image);
    CJpegEncoder encoder;
    const uint8_t* data = nullptr;
    size_t size = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(encoder.Encode(image, 50, data, size));
    state.counters["bytes"] = static_cast<double>(size);
}
BENCHMARK(BM_JpegEncode50);

// A camera whose two alternating pictures differ in a 64 x 64 patch (so every
// step sees motion), as a moving object in a still scene would.
class CBenchSource : public IFrameSource {
public:
    CBenchSource() : m_frames{Scene(5), Scene(5)}, m_buffer(kFrameBufferSize) {
        for (int row = 32; row < 96; ++row) // memory rows, bottom-up
            for (int i = 0; i < 64 * 4; ++i) {
                uint8_t& b = m_frames[1][static_cast<size_t>(row) * 1280 + i];
                b = static_cast<uint8_t>(255 - b);
            }
    }
    bool IsRunning() const override { return true; }
    int GetFrame(uint8_t*& pixels, bool fetch) override {
        if (fetch) {
            std::memcpy(m_buffer.data() + kFrameHeaderSize, m_frames[m_next ^= 1].data(),
                        kPixelBytes);
            ++m_sequence;
        }
        pixels = m_buffer.data() + kFrameHeaderSize;
        return static_cast<int>(m_buffer.size());
    }
    // As the capture does: the picture where it lies, uncopied.
    const uint8_t* FetchFrameToRead() override {
        ++m_sequence;
        return m_frames[m_next ^= 1].data();
    }
    int Depth() const override { return 32; }
    uint64_t FrameSequence() const override { return m_sequence; }

private:
    std::vector<uint8_t> m_frames[2];
    std::vector<uint8_t> m_buffer;
    int m_next = 0;
    uint64_t m_sequence = 0;
};

class CStepClock : public IClock {
public:
    int64_t SteadyMs() const override { return m_ms; }
    int64_t WallSeconds() const override { return 1'700'000'000 + m_ms / 1000; }
    CLocalTime Local() const override {
        CLocalTime t{2026, 12, 7, 14, 0, 0, 0, 1, 0};
        t.second = static_cast<int>(m_ms / 1000 % 60);
        t.minute = static_cast<int>(m_ms / 60000 % 60);
        t.centisecond = static_cast<int>(m_ms % 1000 / 10);
        return t;
    }
    int64_t m_ms = 0;
};

// One step while recording with every still archived; with argument 1 the
// movie writer takes part too.
void BM_RecordingStep(benchmark::State& state) {
    const std::string home = MakeFolder() + "/";
    const CTagParser parser(false);
    {
        CAppSettings settings(parser, home, home + "oculon");
        settings.MOTION_WRM = 1;
        settings.CAPTURE_JPG = 1;
        settings.CAPTURE_WMV = state.range(0) ? 1 : 0;
        CBenchSource source;
        CStepClock clock;
        CFrameTextPainter painter;
        CMovieRecorder recorder(settings);
        bool motionOn = true;
        CSurveillanceServices services{&source, &recorder, nullptr, nullptr, &painter};
        CSurveillanceController controller(settings, clock, motionOn, services);
        auto step = [&] {
            clock.m_ms += 51;
            controller.OnSurveillanceTick();
        };
        for (int i = 0; i < 3; ++i) // armed, primed, moving: recording from here on
            step();
        for (auto _ : state)
            step();
        if (!controller.Recording())
            state.SkipWithError("not recording");
        recorder.Stop();
    }
    std::filesystem::remove_all(home);
}
BENCHMARK(BM_RecordingStep)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

} // namespace
