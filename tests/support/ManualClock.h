#pragma once
#include "app/Clock.h"

// A clock that moves only when the test says so.
class CManualClock : public IClock {
public:
    int64_t SteadyMs() const override { return m_ms; }
    int64_t WallSeconds() const override { return m_wallBase + m_ms / 1000; }
    CLocalTime Local() const override {
        // Moves within the day only; tests do not run past midnight.
        CLocalTime t = m_local;
        const int64_t s = t.hour * 3600 + t.minute * 60 + t.second + m_ms / 1000;
        t.second = static_cast<int>(s % 60);
        t.minute = static_cast<int>(s / 60 % 60);
        t.hour = static_cast<int>(s / 3600 % 24);
        t.centisecond = static_cast<int>(m_ms % 1000 / 10);
        return t;
    }

    void Advance(int64_t ms) { m_ms += ms; }
    void SetMs(int64_t ms) { m_ms = ms; }

    int64_t m_ms = 0;
    int64_t m_wallBase = 1'700'000'000;
    CLocalTime m_local{2026, 12, 7, 14, 5, 0, 0, 1, 3600};
};
