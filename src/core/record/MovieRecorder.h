#pragma once
#include "record/IMovieRecorder.h"

#include <memory>

class CAppSettings;
class CWmvWriter;

// Holds the movie being written, if any. Whether a capture gets a movie at all
// is decided at Start from the settings: movie archiving, or a report mail
// that carries the movie.
class CMovieRecorder : public IMovieRecorder {
public:
    // The settings are read by Start only, so the recorder may outlive them
    // as long as nothing starts a movie any more (teardown stops it after).
    explicit CMovieRecorder(const CAppSettings& settings);
    ~CMovieRecorder() override;

    CMovieRecorder(const CMovieRecorder&) = delete;
    CMovieRecorder& operator=(const CMovieRecorder&) = delete;

    void Start(const std::string& path, int framesPerSecond) override;
    void AddFrame(const CFrameImage& frame) override;
    void Stop() override;
    // True while a writer is held, also one whose opening failed.
    bool IsRecording() const override;

    // The writer in use, for callers that need its result (null when none).
    CWmvWriter* Writer() const { return m_pWriter.get(); }

private:
    const CAppSettings& m_settings;
    std::unique_ptr<CWmvWriter> m_pWriter;
};
