#pragma once
#include "video/capture/ClipReader.h"
#include "video/capture/FrameConverter.h"
#include "video/capture/IFrameSource.h"

#include <string>
#include <vector>

struct AVFrame;

// A video file as the frame source of a replay: a fetch shows the picture that
// a camera filming the clip would show at the time set last, converted to the
// 32-bit working frame. Pictures in between are decoded but never converted.
class CClipSource : public IFrameSource {
public:
    CClipSource();
    ~CClipSource() override;
    CClipSource(const CClipSource&) = delete;
    CClipSource& operator=(const CClipSource&) = delete;
    bool Open(const std::string& path);
    // The clip time the next fetch shows, in seconds from its first picture.
    void SetTime(double seconds) { m_time = seconds; }
    // Every picture has been shown and its time has passed.
    bool AtEnd() const { return !m_pending && m_time >= m_shownSeconds + m_lastGap; }
    // Time of the latest picture decoded so far.
    double LastSeconds() const { return m_lastSeconds; }

    bool IsRunning() const override { return m_open; }
    int GetFrame(uint8_t*& pixels, bool fetch) override;
    int Depth() const override { return 32; }
    uint64_t FrameSequence() const override { return m_sequence; }
    // Fetches so far: one per surveillance step.
    uint64_t Fetches() const { return m_fetches; }

private:
    CClipReader m_reader;
    CFrameConverter m_converter;
    AVFrame* m_held;               // the newest due picture, until it is converted
    std::vector<uint8_t> m_buffer; // the working frame, headers included
    std::vector<uint8_t> m_pixels;
    bool m_open = false;
    bool m_pending = false; // the reader holds a picture not yet shown
    double m_time = 0;
    double m_shownSeconds = 0;
    double m_lastSeconds = 0;
    double m_lastGap = 0.04;
    uint64_t m_sequence = 0;
    uint64_t m_fetches = 0;
};
