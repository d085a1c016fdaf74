#pragma once
#include <cstddef>
#include <cstdint>

// The working frame every part of the program sees: 320 x 240 pixels held as a
// complete BMP image (54 bytes of headers, then the rows bottom-up) at the
// working depth: 32 bits (B, G, R, unused) or 16 bits (RGB555).
inline constexpr int kFrameWidth = 320;
inline constexpr int kFrameHeight = 240;
inline constexpr size_t kFrameHeaderSize = 54;
inline constexpr size_t kFrameBufferSize = 307254;
