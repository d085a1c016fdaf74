#include "program/DeferredClose.h"

bool CDeferredClose::Tick(int64_t wallSeconds, int busyMailJobs) {
    if (m_firstTick < 0)
        m_firstTick = wallSeconds;
    return !(wallSeconds - m_firstTick <= kMaxWaitSeconds && busyMailJobs > 0);
}
