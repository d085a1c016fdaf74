// Cost of the capture side: one fetch-and-convert of a 640 x 480 camera picture
// into the 320 x 240 working frame, and what the capture thread costs while
// nobody fetches. The "camera" is a 640 x 480, 30 frames-per-second clip
// played as a virtual device (MJPEG, as most webcams send at this size, or raw
// YUYV), made with the ffmpeg command-line tool.
#include "app/AppSettings.h"
#include "app/TagParser.h"
#include "video/capture/FrameConverter.h"
#include "video/capture/VideoSourceWnd.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

extern "C" {
#include <libavutil/frame.h>
}

namespace {

double ProcessCpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// A home folder with a devices file naming one clip; removed at the end.
class CBenchCamera {
public:
    explicit CBenchCamera(bool mjpeg) {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "oculon-bench-XXXXXX").string();
        m_home = std::string(::mkdtemp(pattern.data())) + "/";
        const std::string clip = m_home + (mjpeg ? "clip.avi" : "clip.nut");
        const std::string codec =
            mjpeg ? "-c:v mjpeg -q:v 5 -pix_fmt yuvj422p" : "-c:v rawvideo -pix_fmt yuyv422";
        const std::string cmd =
            "ffmpeg -v error -y -f lavfi -i testsrc2=s=640x480:r=30:d=2 " + codec + " " + clip;
        m_ok = std::system(cmd.c_str()) == 0;
        std::ofstream(m_home + "devices.txt") << "Camera|file:" << clip << "\n";
        ::setenv("OCULON_DEVICES", (m_home + "devices.txt").c_str(), 1);
        m_settings = std::make_unique<CAppSettings>(m_parser, m_home, "");
        m_settings->VIDEO_SRC = "Camera";
        if (m_ok)
            m_source = std::make_unique<CVideoSourceWnd>(*m_settings);
        m_ok = m_ok && m_source->IsRunning();
    }
    ~CBenchCamera() {
        m_source.reset();
        m_settings.reset();
        ::unsetenv("OCULON_DEVICES");
        std::filesystem::remove_all(m_home);
    }
    bool Ok() const { return m_ok; }
    CVideoSourceWnd& Source() { return *m_source; }

private:
    std::string m_home;
    bool m_ok = false;
    CTagParser m_parser{false};
    std::unique_ptr<CAppSettings> m_settings;
    std::unique_ptr<CVideoSourceWnd> m_source;
};

// One fetch: request, decode, scale and convert on the capture thread, hand
// over, copy into the frame buffer. The CPU column is the whole process's CPU
// per fetch; the wall time includes waiting for the camera's next frame.
void BM_FetchAndConvert(benchmark::State& state) {
    CBenchCamera camera(state.range(0) == 1);
    if (!camera.Ok()) {
        state.SkipWithError("no ffmpeg tool or the clip did not open");
        return;
    }
    uint8_t* pixels = nullptr;
    int failed = 0;
    for (auto _ : state) {
        camera.Source().GetFrame(pixels, true);
        failed += camera.Source().FrameBuffer()[2] == 0; // never: 32-bit frames
        benchmark::DoNotOptimize(pixels);
    }
    state.counters["failed"] = failed;
    state.SetLabel(state.range(0) == 1 ? "mjpeg 640x480" : "yuyv 640x480");
}
BENCHMARK(BM_FetchAndConvert)->Arg(1)->Arg(0)->MeasureProcessCPUTime()->UseRealTime();

// A step's fetch of a frame asked ahead, as the controller does: ask for the
// frame due in 100 ms, sleep until then, fetch. The time is the fetch's wall
// time alone, which for an unprepared fetch is the wait for the next frame.
void BM_FetchAskedAhead(benchmark::State& state) {
    CBenchCamera camera(true);
    if (!camera.Ok()) {
        state.SkipWithError("no ffmpeg tool or the clip did not open");
        return;
    }
    const bool ahead = state.range(0) == 1;
    uint8_t* pixels = nullptr;
    camera.Source().GetFrame(pixels, true);
    for (auto _ : state) {
        if (ahead)
            camera.Source().PrepareFrame(100000);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        const auto start = std::chrono::steady_clock::now();
        camera.Source().GetFrame(pixels, true);
        state.SetIterationTime(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        benchmark::DoNotOptimize(pixels);
    }
    state.SetLabel(ahead ? "asked ahead, mjpeg 640x480" : "asked at the deadline, mjpeg 640x480");
}
BENCHMARK(BM_FetchAskedAhead)->Arg(1)->Arg(0)->Iterations(30)->UseManualTime();

// The capture thread alone for one second of a 30 frames-per-second camera
// that nobody asks for frames: packets are read and dropped undecoded.
void BM_IdleCaptureThread(benchmark::State& state) {
    CBenchCamera camera(state.range(0) == 1);
    if (!camera.Ok()) {
        state.SkipWithError("no ffmpeg tool or the clip did not open");
        return;
    }
    double cpu = 0;
    double wall = 0;
    for (auto _ : state) {
        const double cpu0 = ProcessCpuSeconds();
        const auto wall0 = std::chrono::steady_clock::now();
        std::this_thread::sleep_for(std::chrono::seconds(1));
        cpu += ProcessCpuSeconds() - cpu0;
        wall += std::chrono::duration<double>(std::chrono::steady_clock::now() - wall0).count();
    }
    state.counters["cpu_percent"] = wall > 0 ? 100.0 * cpu / wall : 0;
    state.SetLabel(state.range(0) == 1 ? "mjpeg 640x480" : "yuyv 640x480");
}
BENCHMARK(BM_IdleCaptureThread)->Arg(1)->Arg(0)->Iterations(3)->UseRealTime();

// The conversion alone: a 640 x 480 YUYV picture to the 320 x 240 working
// frame at 32 and 16 bits.
void BM_ConvertYuyv640x480(benchmark::State& state) {
    AVFrame* frame = av_frame_alloc();
    frame->width = 640;
    frame->height = 480;
    frame->format = AV_PIX_FMT_YUYV422;
    av_frame_get_buffer(frame, 0);
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 1280; ++x)
            frame->data[0][y * frame->linesize[0] + x] = static_cast<uint8_t>(x ^ y);
    CFrameConverter converter;
    std::vector<uint8_t> out;
    for (auto _ : state) {
        converter.Convert(*frame, static_cast<int>(state.range(0)), out);
        benchmark::DoNotOptimize(out.data());
    }
    av_frame_free(&frame);
}
BENCHMARK(BM_ConvertYuyv640x480)->Arg(32)->Arg(16);

} // namespace
