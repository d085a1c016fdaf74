#include "app/EventLog.h"

#include <atomic>

namespace {
// Process-wide for now: the mail worker threads, the recorder and the
// controller log without a sink handed to them.
std::atomic<IEventLog*> g_log{nullptr};
} // namespace

IEventLog* SetEventLog(IEventLog* log) {
    return g_log.exchange(log);
}

void LogEvent(const std::string& line) {
    if (IEventLog* log = g_log.load())
        log->Event(line);
}
