#pragma once
#include <cstdint>

// What the surveillance controller needs of the capture side.
class IFrameSource {
public:
    virtual ~IFrameSource() = default;
    // The capture is set up and streaming.
    virtual bool IsRunning() const = 0;
    // With `fetch`, waits (bounded) for the next frame and copies it into the
    // frame buffer; in every case points `pixels` at the buffer's pixel area
    // (offset 54) and returns the buffer size, 307254.
    virtual int GetFrame(uint8_t*& pixels, bool fetch) = 0;
    // Fetches as GetFrame does, for a caller that only reads the picture: the
    // pixel area it returns may be the fetched picture itself, uncopied, and
    // stays valid until the next fetch. Null when there is none.
    virtual const uint8_t* FetchFrameToRead() {
        uint8_t* pixels = nullptr;
        GetFrame(pixels, true);
        return pixels;
    }
    // After a fetch: the next fetch is due in `inUs` microseconds. A source
    // that can may have its frame ready by then, so that fetch need not wait.
    virtual void PrepareFrame(int64_t inUs) { (void)inUs; }
    // Working depth of the frame buffer: 32 or 16.
    virtual int Depth() const = 0;
    // Number of the picture in the frame buffer: it changes only when a fetch
    // brought a new picture, so a stalled camera's repeats keep it.
    virtual uint64_t FrameSequence() const = 0;
};
