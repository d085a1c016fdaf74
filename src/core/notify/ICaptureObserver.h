#pragma once
#include <cstdint>
#include <string>

// What the surveillance step tells about a capture as it happens: the movie,
// the stills folder and the first still, and at the end the frames it holds.
struct CCaptureNotice {
    std::string moviePath;
    std::string stillDir;
    std::string firstStillPath; // empty when no still was written
    int frames = 0;             // at the end: the frames the capture recorded
    int64_t wallSeconds = 0;    // when this was noticed (seconds since 1970)
};

// Told of each capture by the surveillance step, on the user-interface thread;
// an implementation hands the work to its own threads and returns at once.
class ICaptureObserver {
public:
    virtual ~ICaptureObserver() = default;
    // The capture's first frame (and first still, when stills are written).
    virtual void OnCaptureStart(const CCaptureNotice& notice) = 0;
    // The movie was closed and its report handed to the mailer.
    virtual void OnCaptureEnd(const CCaptureNotice& notice) = 0;
};
