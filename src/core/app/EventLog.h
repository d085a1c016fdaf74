#pragma once
#include <string>

// One line per program event ("movie: start PATH", "mail: sent SUBJECT", ...).
// The headless runner prints them; the desktop program and tests may listen.
// May be called from any thread; the sink must be thread-safe.
class IEventLog {
public:
    virtual ~IEventLog() = default;
    virtual void Event(const std::string& line) = 0;
};

// nullptr silences events; returns the previous sink.
IEventLog* SetEventLog(IEventLog* log);
void LogEvent(const std::string& line);
