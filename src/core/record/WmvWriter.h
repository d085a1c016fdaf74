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
struct CFrameImage;

// One WMV movie (Windows Media Video 8 in an ASF file). The writer is opened on a
// file name at construction; the file itself is created by the first frame, so
// a movie that never receives a frame leaves nothing behind. Frame k is stamped
// floor(k * 1000 / rate) ms whatever the clock says. Every failure closes the
// writer, shows one "Error" box and makes later frames fail silently.
class CWmvWriter : public IMovieWriter {
public:
    enum State { kClosed = 0, kOpened = 1, kWriting = 2 };

    CWmvWriter(const std::string& path, int framesPerSecond);
    ~CWmvWriter() override;

    CWmvWriter(const CWmvWriter&) = delete;
    CWmvWriter& operator=(const CWmvWriter&) = delete;

    // Runs the frame handler of the current state; false on failure or when closed.
    bool AddFrame(const CFrameImage& frame);
    // The capture time is not used: WMV frames are stamped by their count.
    bool AddFrame(const CFrameImage& frame, int64_t captureMs) override;
    bool AddConverted(const CYuvFrame& frame, int64_t captureMs) override;
    // Finishes the file when frames were written; the writer is closed afterwards.
    void Close() override;

    State GetState() const { return m_state; }
    uint32_t FramesWritten() const { return m_framesWritten; }
    const std::string& ErrorText() const { return m_errorText; }

    // Longest file name, in UTF-16 units with its terminator, that the writer takes.
    static constexpr size_t kMaxNameUnits = 2048;

private:
    using FrameHandler = bool (CWmvWriter::*)(const CFrameImage&);
    static const FrameHandler kFrameHandlers[3];

    bool Open();
    bool RefuseFrame(const CFrameImage& frame);
    bool BeginAndWriteFrame(const CFrameImage& frame);
    bool WriteFrame(const CFrameImage& frame);
    bool SetUpInput(int width, int height, bool wellFormed);
    bool PrepareFrame();
    bool EncodeFrame(bool filled);
    bool DrainPackets();
    bool Fail(const char* text);
    // Keeps a failed FFmpeg call's code for the message; true when `result` is no error.
    bool AvOk(int result);
    void ReleaseAll();

    std::string m_path;
    std::string m_errorText;
    int m_avError = 0; // the last failed FFmpeg call's code, for the message's detail
    AVFormatContext* m_format = nullptr;
    AVStream* m_stream = nullptr;
    AVCodecContext* m_encoder = nullptr;
    CYuvConverter m_converter;
    AVFrame* m_frame = nullptr;
    AVPacket* m_packet = nullptr;
    uint32_t m_framesWritten = 0;  // frames handed to the encoder, failed ones included
    uint32_t m_framesInFile = 0;   // frames that reached the file
    uint64_t m_nextSampleTime = 0; // milliseconds
    int m_framesPerSecond = 1;
    int m_width = 0;
    int m_height = 0;
    bool m_fileCreated = false;
    bool m_announced = false; // "movie: start" was logged
    State m_state = kClosed;
};
