#pragma once
#include "record/YuvFrame.h"

#include <cstdint>
#include <vector>

// The frames of the last few seconds before a capture, already converted so
// that the movie can begin with them at no conversion cost. Holds at most
// seconds x rate + 1 frames (rate = the watching rate) and drops any frame
// `seconds` or more older than the newest; slots are allocated as frames
// arrive and reused after that. Memory bound: Capacity() x CYuvFrame::Size,
// 115 200 bytes a frame at 320 x 240 (10 s at 60 frames a second: 69 MB).
class CPreRollRing {
public:
    // Empties the ring when the length or rate changes.
    void Configure(int seconds, int rate);
    void Push(const CFrameImage& image, int64_t captureMs);
    // Oldest first.
    size_t Count() const { return m_count; }
    const CYuvFrame& Frame(size_t i) const { return m_slots[(m_head + i) % m_slots.size()]; }
    int64_t Time(size_t i) const { return m_times[(m_head + i) % m_slots.size()]; }
    void Clear() { m_count = 0; }

    size_t Capacity() const { return m_capacity; }
    size_t BytesHeld() const;

private:
    CYuvConverter m_converter;
    std::vector<CYuvFrame> m_slots;
    std::vector<int64_t> m_times;
    size_t m_capacity = 0;
    size_t m_head = 0;
    size_t m_count = 0;
    int m_seconds = 0;
    int m_rate = 0;
};
