#pragma once
#include "video/capture/CaptureDeviceInfo.h"
#include "video/capture/MjpegDecoder.h"

#include <atomic>
#include <chrono>

struct AVCodecContext;
struct AVFormatContext;
struct AVFrame;
struct AVPacket;

// One opened FFmpeg input with its video decoder: what the capture thread
// reads from. Opened on the fetching thread, then used by the capture thread
// alone until it is joined.
class CCaptureInput {
public:
    using Clock = std::chrono::steady_clock;
    enum class ReadResult { Packet, Again, Ended };

    CCaptureInput() = default;
    ~CCaptureInput();
    CCaptureInput(const CCaptureInput&) = delete;
    CCaptureInput& operator=(const CCaptureInput&) = delete;

    // Opens the device and its decoder; `stop` aborts blocking opens and reads
    // when set. Opening gives up after OpenTimeout of a source that says nothing.
    bool Open(const CaptureDeviceInfo& device, const std::atomic<bool>* stop);
    static constexpr auto kOpenTimeout = std::chrono::seconds(10);
    // A pipe that delivers nothing for this long counts as ended.
    static constexpr auto kPipeSilence = std::chrono::seconds(10);
    void Close();
    bool IsOpen() const { return m_format != nullptr; }

    // Reads the next video packet. A file starts over at its end; Again means
    // a camera has no frame yet; Ended means the source is gone or finished.
    ReadResult ReadVideoPacket();
    // Virtual sources hand out frames as fast as they are read; these are due
    // at their time stamps, counted from the first packet after ResetPacing.
    bool IsPaced() const { return m_paced; }
    Clock::time_point DueTime();
    void ResetPacing() { m_paceStarted = false; }

    // Decoders with frame-to-frame references need every packet; intra-only
    // ones (raw, MJPEG) can skip the packets nobody asked for.
    bool NeedsEveryPacket() const { return !m_intraOnly; }
    // Decodes the current packet; the newest picture it yields, or null.
    const AVFrame* DecodePacket();
    void DropPacket();

private:
    bool StartOver();
    bool WaitForPipeData();
    static int Interrupt(void* self);

    const std::atomic<bool>* m_stop = nullptr;
    // While opening: when a blocking call gives up; the epoch means never.
    Clock::time_point m_deadline{};
    int m_pipe = -1; // a FIFO we opened ourselves and hand to FFmpeg by number

    AVFormatContext* m_format = nullptr;
    AVCodecContext* m_decoder = nullptr;
    AVPacket* m_packet = nullptr;
    AVFrame* m_frame = nullptr; // newest picture
    AVFrame* m_spare = nullptr;
    CMjpegDecoder m_mjpeg; // Motion-JPEG pictures go here first
    bool m_isMjpeg = false;
    int m_stream = -1;
    bool m_paced = false;
    bool m_loops = false;
    bool m_intraOnly = true;
    bool m_haveFrame = false;
    bool m_packetsThisPass = false;

    bool m_paceStarted = false;
    Clock::time_point m_paceOrigin;
    double m_originPts = 0;
    Clock::time_point m_lastDue;
    Clock::duration m_lastGap{};
    bool m_passOriginPending = false;
};
