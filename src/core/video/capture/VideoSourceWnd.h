#pragma once
#include "video/capture/CaptureGraph.h"
#include "video/capture/IFrameSource.h"

#include <chrono>
#include <string>
#include <vector>

class CAppSettings;

// The program's frame source: owns the capture graph, the device display
// names and the one BMP frame buffer (VideoFrame) that every consumer reads.
// The desktop program keeps no window of its own for it: frames are painted by
// the video window.
class CVideoSourceWnd : public IFrameSource {
public:
    // Chooses and starts the device remembered in settings.VIDEO_SRC (or another,
    // telling the user); `depth` is the working depth, 32 or 16.
    explicit CVideoSourceWnd(CAppSettings& settings, int depth = 32);
    ~CVideoSourceWnd() override = default;
    CVideoSourceWnd(const CVideoSourceWnd&) = delete;
    CVideoSourceWnd& operator=(const CVideoSourceWnd&) = delete;

    // Re-enumerates, picks the device, updates VIDEO_SRC and starts the capture;
    // every problem ends in one message box and the program runs on.
    void ChooseAndStartDevice();
    // Re-enumerates and returns the display names in device order.
    const std::vector<std::string>& BuildDeviceNames();
    const std::vector<std::string>& DeviceNames() const { return m_deviceNames; }
    int SelectedDevice() const { return m_selectedDevice; }

    // A source that has ended counts as gone: the user is told there is no
    // video input instead of watching a frozen picture.
    bool IsRunning() const override { return m_graph.IsAttached() && !m_graph.SourceEnded(); }
    int GetFrame(uint8_t*& pixels, bool fetch) override;
    const uint8_t* FetchFrameToRead() override;
    void PrepareFrame(int64_t inUs) override {
        m_graph.PrepareFrame(std::chrono::microseconds(inUs));
    }
    int Depth() const override { return m_depth; }
    uint64_t FrameSequence() const override { return m_frameSequence; }

    // The whole buffer (headers and pixels), for tests and diagnostics; empty
    // until it is first needed (see VideoFrame).
    const std::vector<uint8_t>& FrameBuffer() const { return m_videoFrame; }
    CCaptureGraph& Graph() { return m_graph; }

private:
    // Waits for the next picture (counting it when new); the newest good one.
    const std::vector<uint8_t>& FetchPicture();
    // The frame buffer's pixel area blackened: the picture before the first.
    uint8_t* BlackPicture();
    // The frame buffer, made (a black picture) when first asked for: a 16-bit
    // step or a step before the first picture. At 32 bits the steps read the
    // capture's picture where it lies, and a buffer filled at start would
    // keep 300 KB resident for nothing.
    std::vector<uint8_t>& VideoFrame();

    CAppSettings& m_settings;
    const int m_depth;
    int m_selectedDevice = -1;
    CCaptureGraph m_graph;
    std::vector<std::string> m_deviceNames;
    std::vector<uint8_t> m_videoFrame; // VideoFrame: 307254 bytes once made
    uint64_t m_frameSequence = 0;      // counts the pictures the fetches brought
};
