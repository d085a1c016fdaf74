#pragma once
#include "record/ArchiveGuard.h"
#include "record/IMovieRecorder.h"
#include "record/PreRollRing.h"

#include <memory>
#include <string>

class CAppSettings;
class IMovieWriter;

// Holds the movie being written, if any. Whether a capture gets a movie at all
// is decided at Start from the settings: movie archiving, or a report mail
// that carries the movie; the format (WMV or MP4) too. With a pre-roll the
// movie begins with the watched frames of the seconds before the capture.
class CMovieRecorder : public IMovieRecorder {
public:
    // The settings are read by Start and Watch only, so the recorder may
    // outlive them as long as nothing starts a movie any more (teardown stops
    // it after).
    explicit CMovieRecorder(const CAppSettings& settings);
    ~CMovieRecorder() override;

    CMovieRecorder(const CMovieRecorder&) = delete;
    CMovieRecorder& operator=(const CMovieRecorder&) = delete;

    void Start(const std::string& path, int framesPerSecond) override;
    void AddFrame(const CFrameImage& frame, int64_t captureMs) override;
    void Stop() override;
    // True while a writer is held, also one whose opening failed.
    bool IsRecording() const override;
    void Watch(const CFrameImage& frame, int64_t captureMs) override;
    bool WantsWatchFrames() const override;
    bool ArchivePaused() const override;

    // The guard to tell about each capture; it sweeps the archive at once and
    // after every capture. May be null (no limits are kept).
    void SetArchiveGuard(CArchiveGuard* guard);

    // The writer in use, for callers that need its result (null when none).
    IMovieWriter* Writer() const { return m_pWriter.get(); }
    const CPreRollRing& PreRoll() const { return m_preRoll; }

private:
    void WritePreRoll(int64_t untilMs);
    void CheckArchive();

    const CAppSettings& m_settings;
    std::unique_ptr<IMovieWriter> m_pWriter;
    CPreRollRing m_preRoll;
    CArchiveGuard* m_pGuard = nullptr;
    CArchiveLimits m_limits;    // as they were when the capture began
    bool m_captureOpen = false; // Start was called and Stop not yet
    int m_framesPerSecond = 1;
    bool m_wmv = true;
    bool m_saidFull = false;
};

namespace movie_format {
// ".wmv" or ".mp4", as the settings choose.
const char* Extension(const CAppSettings& settings);
} // namespace movie_format
