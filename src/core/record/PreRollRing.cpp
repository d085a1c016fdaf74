#include "record/PreRollRing.h"

void CPreRollRing::Configure(int seconds, int rate) {
    if (seconds == m_seconds && rate == m_rate)
        return;
    m_seconds = seconds;
    m_rate = rate;
    m_capacity = seconds > 0 && rate > 0 ? static_cast<size_t>(seconds) * rate + 1 : 0;
    m_slots.clear();
    m_slots.shrink_to_fit();
    m_times.clear();
    m_head = 0;
    m_count = 0;
}

void CPreRollRing::Push(const CFrameImage& image, int64_t captureMs) {
    if (m_capacity == 0)
        return;
    // Frames older than the pre-roll are dropped from the front.
    while (m_count > 0 && captureMs - Time(0) >= int64_t{m_seconds} * 1000) {
        m_head = (m_head + 1) % m_slots.size();
        --m_count;
    }
    if (m_count == m_capacity) {
        m_head = (m_head + 1) % m_slots.size();
        --m_count;
    }
    // The slots grow to the capacity once and are reused after that.
    if (m_count == m_slots.size() && m_slots.size() < m_capacity) {
        // A new slot goes in just behind the newest frame.
        m_slots.insert(m_slots.begin() + static_cast<ptrdiff_t>(m_head), CYuvFrame{});
        m_times.insert(m_times.begin() + static_cast<ptrdiff_t>(m_head), 0);
        if (m_count > 0)
            ++m_head;
    }
    const size_t at = (m_head + m_count) % m_slots.size();
    if (!m_converter.Convert(image, m_slots[at]))
        return;
    m_times[at] = captureMs;
    ++m_count;
}

size_t CPreRollRing::BytesHeld() const {
    size_t bytes = 0;
    for (const CYuvFrame& f : m_slots)
        bytes += f.planes.capacity();
    return bytes;
}
