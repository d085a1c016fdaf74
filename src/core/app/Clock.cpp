#include "app/Clock.h"

#include <chrono>
#include <ctime>

int64_t CSystemClock::SteadyMs() const {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

int64_t CSystemClock::WallSeconds() const {
    return static_cast<int64_t>(std::time(nullptr));
}

CLocalTime CSystemClock::Local() const {
    using namespace std::chrono;
    const auto now = system_clock::now();
    const std::time_t secs = system_clock::to_time_t(now);
    const auto centis = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000 / 10;
    std::tm tm{};
    localtime_r(&secs, &tm);
    CLocalTime t;
    t.year = tm.tm_year + 1900;
    t.month = tm.tm_mon + 1;
    t.day = tm.tm_mday;
    t.hour = tm.tm_hour;
    t.minute = tm.tm_min;
    t.second = tm.tm_sec;
    t.centisecond = static_cast<int>(centis);
    t.weekday = tm.tm_wday;
    t.utcOffsetSeconds = tm.tm_gmtoff;
    return t;
}

const IClock& CSystemClock::Instance() {
    static const CSystemClock clock;
    return clock;
}
