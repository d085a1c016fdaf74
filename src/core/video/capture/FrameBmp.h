#pragma once
#include <cstddef>
#include <cstdint>

// Byte-level helpers for the one BMP frame buffer: headers and the 16-bit pack.

// Pixel bytes of a 320 x 240 frame at the working depth (32 or 16 bits).
size_t FramePixelBytes(int depth);

// Writes the 14-byte file header and the 40-byte info header of a 320 x 240
// bottom-up frame at `depth` bits whose pixel area holds `pixelBytes` bytes.
void WriteFrameHeaders(uint8_t* out, int depth, uint32_t pixelBytes);

// Packs `count` pixels of B, G, R, x bytes into little-endian RGB555 words
// (blue in bits 0-4, green 5-9, red 10-14), keeping the top bits of each channel.
void PackRgb555(const uint8_t* bgrx, uint8_t* out, size_t count);
