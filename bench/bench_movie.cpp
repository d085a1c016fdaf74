// Cost of recording: one movie frame (colour conversion, encode, mux) as WMV
// and as MP4, the same MP4 frames through the ffmpeg command line for
// comparison, the colour conversion alone, a pre-roll frame, and one 50 ms
// alert-sound buffer.
#include "frame/FrameImage.h"
#include "record/AlertSynth.h"
#include "record/Mp4Writer.h"
#include "record/PreRollRing.h"
#include "record/WmvWriter.h"
#include "record/YuvFrame.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <sys/resource.h>
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

std::string TempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "oculon-bench-XXXXXX").string();
    return ::mkdtemp(pattern.data());
}

void BM_MovieFrame(benchmark::State& state) {
    const std::vector<CFrameImage> frames = Scene(30);
    const std::string dir = TempFolder();
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

void BM_Mp4Frame(benchmark::State& state) {
    const std::vector<CFrameImage> frames = Scene(30);
    const std::string dir = TempFolder();
    {
        CMp4Writer writer(dir + "/bench.mp4", 15);
        writer.AddFrame(frames[0], 0);
        int64_t k = 1;
        for (auto _ : state) {
            if (!writer.AddFrame(frames[k % frames.size()], k * 66))
                state.SkipWithError("frame refused");
            ++k;
        }
    }
    std::filesystem::remove_all(dir);
}
BENCHMARK(BM_Mp4Frame)->Unit(benchmark::kMillisecond);

// The ffmpeg command line on the same frames with the writer's settings,
// counted in the processor time of the ffmpeg process (the machine may be
// shared); its start-up is taken out by timing a one-frame run as well.
void BM_Mp4FrameFfmpegCli(benchmark::State& state) {
    constexpr int kFrames = 300;
    const std::vector<CFrameImage> frames = Scene(30);
    const std::string dir = TempFolder();
    {
        std::ofstream raw(dir + "/scene.bgr0", std::ios::binary);
        for (int k = 0; k < kFrames; ++k)
            raw.write(reinterpret_cast<const char*>(frames[k % frames.size()].bgrx.data()),
                      static_cast<std::streamsize>(frames[0].bgrx.size()));
    }
    const auto run = [&](int count) {
        const std::string command =
            "ffmpeg -nostdin -v error -y -f rawvideo -pix_fmt bgr0 -s 320x240 -r 15 -i " + dir +
            "/scene.bgr0 -frames:v " + std::to_string(count) +
            " -sws_flags bilinear -pix_fmt yuv420p -c:v libx264 -preset " + CMp4Writer::kPreset +
            " -profile:v main -level 3.0 -crf " + std::to_string(CMp4Writer::kRateFactor) +
            " -bf 0 -g 30 -threads 1 -x264-params " + CMp4Writer::kParams +
            " -movflags frag_keyframe+empty_moov+default_base_moof "
            "-frag_duration 1000000 -video_track_timescale 1000 " +
            dir + "/cli.mp4";
        const auto childSeconds = [] {
            rusage usage{};
            ::getrusage(RUSAGE_CHILDREN, &usage);
            return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                   static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
        };
        const double before = childSeconds();
        if (std::system(command.c_str()) != 0)
            state.SkipWithError("ffmpeg failed");
        return childSeconds() - before;
    };
    for (auto _ : state) {
        const double perFrame = (run(kFrames) - run(1)) / (kFrames - 1);
        state.SetIterationTime(perFrame);
    }
    std::filesystem::remove_all(dir);
}
BENCHMARK(BM_Mp4FrameFfmpegCli)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

// BGRX to YUV 4:2:0 of one frame, as every writer and the pre-roll do it.
void BM_YuvConvert(benchmark::State& state) {
    const std::vector<CFrameImage> frames = Scene(4);
    CYuvConverter converter;
    CYuvFrame out;
    size_t k = 0;
    for (auto _ : state) {
        converter.Convert(frames[k++ % frames.size()], out);
        benchmark::DoNotOptimize(out.planes.data());
    }
}
BENCHMARK(BM_YuvConvert)->Unit(benchmark::kMicrosecond);

// A watched frame kept for the pre-roll (conversion into the ring); the ring
// is filled to its largest setting, whose memory is reported.
void BM_PreRollFrame(benchmark::State& state) {
    const std::vector<CFrameImage> frames = Scene(4);
    CPreRollRing ring;
    ring.Configure(10, 60);
    int64_t t = 0;
    for (auto _ : state) {
        ring.Push(frames[t % frames.size()], t * 16);
        ++t;
    }
    state.counters["ring_MB"] = static_cast<double>(ring.BytesHeld()) / 1e6;
    state.counters["frames"] = static_cast<double>(ring.Count());
}
BENCHMARK(BM_PreRollFrame)->Iterations(1000)->Unit(benchmark::kMicrosecond);

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
