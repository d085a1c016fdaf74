#pragma once
#include <string>

struct CFrameImage;

// The movie side of a capture, as the surveillance controller drives it.
class IMovieRecorder {
public:
    virtual ~IMovieRecorder() = default;
    // Opens a movie when the settings want one (movie archiving, or a mailed movie).
    virtual void Start(const std::string& path, int framesPerSecond) = 0;
    // Ignored when no movie is open.
    virtual void AddFrame(const CFrameImage& frame) = 0;
    // Finishes and closes the movie.
    virtual void Stop() = 0;
    virtual bool IsRecording() const = 0;
};
