// Cost of recording: one movie frame (colour conversion, wmv2 encode, asf mux)
// and one 50 ms alert-sound buffer.
#include "frame/FrameImage.h"
#include "record/AlertSynth.h"
#include "record/WmvWriter.h"

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

namespace {

// A camera-like scene: a smooth background, a moving box and sensor noise,
// different in every frame so the encoder cannot coast on repeats.
std::vector<CFrameImage> Scene(int count) {
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> noise(-4, 4);
    std::vector<CFrameImage> frames(count);
    for (int k = 0; k < count; ++k) {
        CFrameImage& f = frames[k];
        f.bgrx.resize(static_cast<size_t>(f.width) * f.height * 4);
        for (int y = 0; y < f.height; ++y) {
            for (int x = 0; x < f.width; ++x) {
                const bool box = x >= 40 + 6 * k && x < 120 + 6 * k && y >= 80 && y < 160;
                uint8_t* p = &f.bgrx[(static_cast<size_t>(y) * f.width + x) * 4];
                p[0] = static_cast<uint8_t>((box ? 40 : 60 + x / 4) + noise(rng) + 8);
                p[1] = static_cast<uint8_t>((box ? 60 : 90 + y / 4) + noise(rng) + 8);
                p[2] = static_cast<uint8_t>((box ? 180 : 100) + noise(rng) + 8);
                p[3] = 0;
            }
        }
    }
    return frames;
}

void BM_MovieFrame(benchmark::State& state) {
    const std::vector<CFrameImage> frames = Scene(30);
    std::string pattern = (std::filesystem::temp_directory_path() / "oculon-bench-XXXXXX").string();
    const std::string dir = ::mkdtemp(pattern.data());
    {
        CWmvWriter writer(dir + "/bench.wmv", 15);
        writer.AddFrame(frames[0]); // set-up of the encoder is not a per-frame cost
        size_t k = 1;
        for (auto _ : state) {
            if (!writer.AddFrame(frames[k++ % frames.size()]))
                state.SkipWithError("frame refused");
        }
    }
    std::filesystem::remove_all(dir);
}
BENCHMARK(BM_MovieFrame)->Unit(benchmark::kMillisecond);

void BM_SoundBuffer(benchmark::State& state) {
    CAlertSynth synth(50);
    synth.SetSiren(true);
    int16_t buffer[CAlertSynth::kBufferSamples];
    synth.Fill(buffer); // builds the tables once
    for (auto _ : state) {
        synth.Fill(buffer);
        benchmark::DoNotOptimize(buffer);
    }
}
BENCHMARK(BM_SoundBuffer)->Unit(benchmark::kMicrosecond);

} // namespace
