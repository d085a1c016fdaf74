#pragma once
#include "frame/FrameFormat.h"

#include <cstdint>
#include <vector>

// A picture as the recorders take it: 32-bit pixels (B, G, R, x), rows top-down,
// opaque. m_image of the controller (the frame with its burnt-in lines) is one.
struct CFrameImage {
    int width = kFrameWidth;
    int height = kFrameHeight;
    std::vector<uint8_t> bgrx; // width * height * 4 bytes

    bool Empty() const { return bgrx.empty(); }
    int Stride() const { return width * 4; }
};
