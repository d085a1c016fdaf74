#pragma once
#include "record/IMovieWriter.h"
#include "record/YuvFrame.h"

#include <cstdint>
#include <string>

struct AVCodecContext;
struct AVFormatContext;
struct AVFrame;
struct AVPacket;
struct AVStream;

// One H.264 movie in a fragmented MP4 file, the format phones and browsers
// play. Each frame is stamped with its capture time since the movie's first
// frame, so a camera that delivers fewer frames than asked still plays at real
// speed. The file is written as a header followed by one fragment per key
// frame (at least every two seconds): a crash loses at most the fragment being
// filled, and a player can start before the file is complete. Like the WMV
// writer, the file is created by the first frame and every failure closes the
// writer with one "Error" box.
class CMp4Writer : public IMovieWriter {
public:
    CMp4Writer(const std::string& path, int framesPerSecond);
    ~CMp4Writer() override;

    CMp4Writer(const CMp4Writer&) = delete;
    CMp4Writer& operator=(const CMp4Writer&) = delete;

    bool AddFrame(const CFrameImage& frame, int64_t captureMs) override;
    bool AddConverted(const CYuvFrame& frame, int64_t captureMs) override;
    void Close() override;

    bool IsOpen() const { return m_open; }
    uint32_t FramesInFile() const { return m_framesInFile; }
    const std::string& ErrorText() const { return m_errorText; }

    // Rate-quality of the encoder (x264 constant rate factor), its speed
    // preset, and a look-ahead of 5 frames instead of the preset's 10: half
    // the frames held, the same quality at the same size on camera-like
    // scenes. docs/performance.md has the measurements behind them.
    static constexpr int kRateFactor = 26;
    static constexpr const char* kPreset = "veryfast";
    static constexpr const char* kParams = "log=1:rc-lookahead=5"; // log=1: warnings only
    static constexpr int kKeyFrameSeconds = 2;
    static constexpr int kFragmentMicroseconds = 1000000;

private:
    bool Begin(int width, int height);
    bool PrepareFrame();
    // Creates the file with the first frame and makes the encoder's frame writable.
    bool Ready(int width, int height);
    bool Encode(int64_t captureMs);
    bool Drain();
    bool WritePending(int64_t nextPts);
    bool Fail(const char* text);
    // Keeps a failed FFmpeg call's code for the message; true when `result` is no error.
    bool AvOk(int result);
    void ReleaseAll();

    std::string m_path;
    std::string m_errorText;
    int m_avError = 0; // the last failed FFmpeg call's code, for the message's detail
    CYuvConverter m_converter;
    AVFormatContext* m_format = nullptr;
    AVStream* m_stream = nullptr;
    AVCodecContext* m_encoder = nullptr;
    AVFrame* m_frame = nullptr;
    AVPacket* m_packet = nullptr;
    AVPacket* m_pending = nullptr; // held until the next frame's stamp gives its duration
    int64_t m_firstMs = 0;
    int64_t m_lastPts = -1;
    int64_t m_lastInterval = 0;
    int64_t m_lastKeyPts = 0;
    uint32_t m_framesInFile = 0;
    int m_framesPerSecond = 1;
    int m_width = 0;
    int m_height = 0;
    bool m_open = false;    // constructed well and not failed since
    bool m_started = false; // the file exists
    bool m_writing = false; // its header is written
    bool m_announced = false;
};
