#pragma once
#include "video/capture/CaptureDeviceInfo.h"
#include "video/capture/CaptureInput.h"
#include "video/capture/FrameConverter.h"
#include "video/capture/FrameHandOff.h"

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

// The capture of one video input device: the device list, the opened input
// and the capture thread that hands the newest frame over on request.
//
// States: no device (index -1) -> OpenDevice -> open, detached -> AttachWindow
// (capture thread set up, hand-off installed) -> attached, stopped -> Run ->
// running. DetachWindow returns to open, detached; OpenDevice passes through it.
// Every operation except the capture thread's own work runs on one thread.
class CCaptureGraph {
public:
    // `depth`: working depth of the frames, 32 or 16 bits (others fail OpenDevice).
    explicit CCaptureGraph(int depth = 32);
    ~CCaptureGraph();
    CCaptureGraph(const CCaptureGraph&) = delete;
    CCaptureGraph& operator=(const CCaptureGraph&) = delete;

    // Rebuilds the device list; the device count. An open input is not touched.
    int EnumerateDevices();
    // Null for an index outside 0..count-1.
    const CaptureDeviceInfo* GetDeviceInfo(int index) const;
    int DeviceCount() const { return static_cast<int>(m_devices.size()); }

    // Opens the device at `index` after detaching; -1 only closes (true). An
    // index out of range fails and leaves the open input as it was, detached.
    bool OpenDevice(int index);
    // Sets up the capture thread and the hand-off; fails when already attached
    // or no device is open.
    bool AttachWindow();
    // Starts streaming; fails unless attached and stopped.
    bool Run();
    // Stops a running capture and undoes AttachWindow; true when it was attached.
    bool DetachWindow();
    bool IsAttached() const { return m_attached; }
    bool IsStopped() const { return m_stopped; }
    // The attached source has ended (an unplugged camera, a finished stream):
    // no frame comes until the capture thread has found the same device again
    // (by its stable identity) and reopened it. It tries after 1 s, then after
    // twice the wait before, at most 30 s apart, and writes the event lines
    // "camera: lost NAME" and "camera: back NAME".
    bool SourceEnded() const { return m_sourceEnded.load(std::memory_order_acquire); }
    // The first and longest wait between tries; taken at the next AttachWindow.
    void SetReconnectDelays(std::chrono::milliseconds first, std::chrono::milliseconds longest) {
        m_retryFirst = first;
        m_retryLongest = longest;
    }

    // Waits at most FetchTimeoutMs for the next frame and writes it as a BMP
    // image (headers, then the pixel area) into `out`, cut at `capacity`. The
    // whole image's byte count, or 0 (nothing written) when stopped or timed out.
    size_t FetchFrame(uint8_t* out, size_t capacity);
    // Waits like FetchFrame but copies nothing: true when a new picture was
    // converted. Either way LastPicture is then the newest good one.
    bool FetchPicture();
    // After a fetch: the next one is due in `in`. The capture thread converts
    // the last packet it expects before then, so that fetch need not wait.
    void PrepareFrame(std::chrono::microseconds in);
    // The pixel area of the newest picture converted whole, until the next
    // fetch; kept through time-outs and failed conversions, empty before the first.
    const std::vector<uint8_t>& LastPicture() const { return m_handOff.LastGood(); }
    // (width x height) / 100 milliseconds.
    int FetchTimeoutMs() const { return m_width * m_height / 100; }

    // Detaches, closes the input, empties the list and forgets the format.
    void CloseAll();

    int DeviceIndex() const { return m_deviceIndex; }
    // The frame size the program sees: 320 x 240 once a device was opened, 0 before.
    int Width() const { return m_width; }
    int Height() const { return m_height; }
    int Depth() const { return m_depth; }

private:
    // The hand-off's answer to one fetch; false when stopped, ended or timed out.
    bool AwaitFrame(const std::vector<uint8_t>*& frame);
    void CaptureThread();
    // The capture thread's tries to reopen its lost device; false on stop.
    bool Reconnect();
    // Waits until `due` or a stop; false on stop.
    bool WaitUntil(std::chrono::steady_clock::time_point due);
    // Capture thread: keeps the mean time between packets up to date.
    void NotePacketTime(CFrameHandOff::Clock::time_point now);
    void StopThread();

    const int m_depth;
    std::vector<CaptureDeviceInfo> m_devices;
    int m_deviceIndex = -1;
    int m_width = 0;
    int m_height = 0;
    bool m_attached = false;
    bool m_stopped = true;

    std::chrono::milliseconds m_retryFirst{1000};
    std::chrono::milliseconds m_retryLongest{30000};

    // Owned by the capture thread while it exists.
    CCaptureInput m_input;
    CFrameConverter m_converter;
    CaptureDeviceInfo m_threadDevice; // the device it streams and looks for when lost

    CFrameHandOff m_handOff;
    // Capture thread: when the last packet came, and the mean time between packets.
    CFrameHandOff::Clock::time_point m_lastPacket;
    CFrameHandOff::Clock::duration m_packetInterval{0};
    std::thread m_thread;
    std::atomic<bool> m_stopThread{false};
    std::atomic<bool> m_sourceEnded{false};
    std::mutex m_controlMutex;
    std::condition_variable m_control;
    bool m_streaming = false; // guarded by m_controlMutex
};
