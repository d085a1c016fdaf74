#pragma once
#include "app/AppSettings.h"
#include "app/TagParser.h"
#include "frame/FrameFormat.h"
#include "frame/FrameImage.h"
#include "mail/IReportMailer.h"
#include "record/IAlertSound.h"
#include "record/IMovieRecorder.h"
#include "video/capture/IFrameSource.h"

#include "TempDir.h"

#include <cstring>
#include <memory>
#include <string>
#include <vector>

// A camera whose next frame the test paints; every fetch counts.
class CFakeSource : public IFrameSource {
public:
    explicit CFakeSource(int depth = 32) : m_depth(depth), m_buffer(kFrameBufferSize, 0) {
        m_next.assign(kFrameBufferSize - kFrameHeaderSize, 0x80);
    }
    bool IsRunning() const override { return m_running; }
    int GetFrame(uint8_t*& pixels, bool fetch) override {
        if (fetch) {
            if (!m_stalled) {
                std::memcpy(m_buffer.data() + kFrameHeaderSize, m_next.data(), m_next.size());
                ++m_sequence;
            }
            ++m_fetches;
        }
        pixels = m_buffer.data() + kFrameHeaderSize;
        return static_cast<int>(m_buffer.size());
    }
    int Depth() const override { return m_depth; }
    uint64_t FrameSequence() const override { return m_sequence; }
    void PrepareFrame(int64_t inUs) override { m_preparedInUs = inUs; }

    // Fills the next frame (32 bits) with one grey level.
    void Fill(uint8_t level) { std::memset(m_next.data(), level, m_next.size()); }
    // Paints an 8 x 8 block of the next 32-bit frame (column, row from top).
    void Block(int col, int rowFromTop, uint8_t level) {
        for (int y = 0; y < 8; ++y) {
            const int memRow = (29 - rowFromTop) * 8 + y;
            std::memset(m_next.data() + memRow * 1280 + col * 32, level, 32);
        }
    }

    bool m_running = true;
    bool m_stalled = false; // fetches bring no new picture
    uint64_t m_sequence = 0;
    int m_depth;
    int m_fetches = 0;
    int64_t m_preparedInUs = -1; // the last PrepareFrame's lead
    std::vector<uint8_t> m_buffer;
    std::vector<uint8_t> m_next; // pixel area of the next frame
};

class CFakeRecorder : public IMovieRecorder {
public:
    void Start(const std::string& path, int fps) override {
        m_starts.push_back(path);
        m_fps = fps;
        m_open = true;
        m_log.push_back("start " + path);
    }
    void AddFrame(const CFrameImage& frame, int64_t) override {
        if (!m_open)
            return;
        ++m_frames;
        m_lastAlpha = frame.bgrx.empty() ? 0 : frame.bgrx[3];
    }
    void Stop() override {
        if (m_open)
            m_log.push_back("stop");
        m_open = false;
    }
    bool IsRecording() const override { return m_open; }
    bool WantsWatchFrames() const override { return m_wantsWatch; }

    bool m_wantsWatch = false; // as a pre-roll would
    std::vector<std::string> m_starts;
    std::vector<std::string> m_log;
    int m_fps = 0;
    int m_frames = 0;
    int m_lastAlpha = 0;
    bool m_open = false;
};

class CFakeSound : public IAlertSound {
public:
    void SetVolume(int v) override { m_volume = v; }
    void SetSiren(bool on) override { m_siren = on; }
    void PlayChirp() override { ++m_chirps; }
    bool IsSounding() const override { return m_siren; }
    int m_volume = -1;
    bool m_siren = false;
    int m_chirps = 0;
};

class CFakeMailer : public IReportMailer {
public:
    void SendCaptureReport(const CCaptureReport& r) override { m_reports.push_back(r); }
    bool IsSending() const override { return false; }
    int PendingCount() const override { return 0; }
    std::vector<CCaptureReport> m_reports;
};

// A settings record in a folder of its own (it writes the file when it ends).
struct CTestSettings {
    CTempDir dir;
    CTagParser parser{false};
    std::unique_ptr<CAppSettings> settings;
    CTestSettings() {
        settings = std::make_unique<CAppSettings>(parser, dir.Folder(), dir.File("oculon"));
        settings->CAPTURE_PTH = dir.File("captured");
    }
    CAppSettings& operator*() { return *settings; }
    CAppSettings* operator->() { return settings.get(); }
};
