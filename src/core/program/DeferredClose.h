#pragma once
#include <cstdint>

// The close waits for report mails still being sent, but never longer than 20
// whole seconds counted from the first tick that saw the request.
class CDeferredClose {
public:
    static constexpr int64_t kMaxWaitSeconds = 20;

    // Called on every main tick while a close is requested and no modal dialog
    // is up; true when the program should end now.
    bool Tick(int64_t wallSeconds, int busyMailJobs);

private:
    int64_t m_firstTick = -1;
};
