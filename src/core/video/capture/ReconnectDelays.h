#pragma once
#include <algorithm>
#include <chrono>

// The waits between tries to reopen a lost camera: the first, then twice the
// one before, never more than the longest.
class CReconnectDelays {
public:
    using Duration = std::chrono::milliseconds;
    CReconnectDelays(Duration first, Duration longest) : m_next(first), m_longest(longest) {}
    Duration Next() {
        const Duration now = std::min(m_next, m_longest);
        m_next = std::min(now * 2, m_longest);
        return now;
    }

private:
    Duration m_next;
    Duration m_longest;
};
