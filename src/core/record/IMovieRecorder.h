#pragma once
#include <cstdint>
#include <string>

struct CFrameImage;

// The movie side of a capture, as the surveillance controller drives it.
class IMovieRecorder {
public:
    virtual ~IMovieRecorder() = default;
    // Opens a movie when the settings want one (movie archiving, or a mailed movie).
    virtual void Start(const std::string& path, int framesPerSecond) = 0;
    // Ignored when no movie is open. `captureMs`: when the frame was taken
    // (steady clock, milliseconds).
    virtual void AddFrame(const CFrameImage& frame, int64_t captureMs) = 0;
    // Finishes and closes the movie.
    virtual void Stop() = 0;
    virtual bool IsRecording() const = 0;
    // Every watched frame outside a movie, kept when movies begin before the motion.
    virtual void Watch(const CFrameImage&, int64_t) {}
    // Whether Watch keeps frames now; when not, a watching step need not make its image.
    virtual bool WantsWatchFrames() const { return false; }
    // The archive's disk is full: no movie and no still is written.
    virtual bool ArchivePaused() const { return false; }
};
