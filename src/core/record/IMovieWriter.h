#pragma once
#include <cstdint>

struct CFrameImage;
struct CYuvFrame;

// One movie file being written, whatever its format. `captureMs` is when the
// frame was taken (steady clock); a format that stamps frames by their count
// ignores it. Every failure closes the writer once; later frames return false.
class IMovieWriter {
public:
    virtual ~IMovieWriter() = default;
    virtual bool AddFrame(const CFrameImage& frame, int64_t captureMs) = 0;
    // A frame converted earlier (the pre-roll).
    virtual bool AddConverted(const CYuvFrame& frame, int64_t captureMs) = 0;
    // Completes the file; the writer is closed afterwards.
    virtual void Close() = 0;
};
