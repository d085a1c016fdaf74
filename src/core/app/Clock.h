#pragma once
#include <cstdint>

// Broken-down local time with the hundredths the time stamp shows and the
// offset from UTC that mail dates carry.
struct CLocalTime {
    int year = 1970; // four digits
    int month = 1;   // 1..12
    int day = 1;     // 1..31
    int hour = 0;
    int minute = 0;
    int second = 0;
    int centisecond = 0;
    int weekday = 4; // 0 = Sunday
    long utcOffsetSeconds = 0;
};

// Every time the program reads comes through this interface so that tests can
// drive countdowns, hold times and the close wait without sleeping.
class IClock {
public:
    virtual ~IClock() = default;
    // Milliseconds since an arbitrary start, never going backwards.
    virtual int64_t SteadyMs() const = 0;
    // Wall-clock time in whole seconds since the epoch.
    virtual int64_t WallSeconds() const = 0;
    virtual CLocalTime Local() const = 0;
};

class CSystemClock : public IClock {
public:
    int64_t SteadyMs() const override;
    int64_t WallSeconds() const override;
    CLocalTime Local() const override;

    // The one clock of the running program.
    static const IClock& Instance();
};
