#include "video/capture/FrameHandOff.h"

#include <algorithm>

namespace {
int64_t Nanoseconds(CFrameHandOff::Clock::time_point t) {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(t.time_since_epoch()).count();
}
} // namespace

uint32_t CFrameHandOff::NextTicket() {
    if (++m_nextTicket == 0)
        m_nextTicket = 1;
    return m_nextTicket;
}

uint32_t CFrameHandOff::Request() {
    const uint32_t ticket = NextTicket();
    m_dueNs.store(0, std::memory_order_relaxed);
    m_request.store(ticket, std::memory_order_release);
    return ticket;
}

void CFrameHandOff::Withdraw(uint32_t ticket) {
    uint32_t expected = ticket;
    m_request.compare_exchange_strong(expected, 0, std::memory_order_acq_rel);
}

void CFrameHandOff::Prepare(Clock::time_point due) {
    if (m_prepared != 0)
        Withdraw(m_prepared);
    m_prepared = NextTicket();
    m_preparedDue = due;
    // The due time is in place before the ticket that it belongs to.
    m_dueNs.store(std::max<int64_t>(Nanoseconds(due), 1), std::memory_order_relaxed);
    m_request.store(m_prepared, std::memory_order_release);
}

bool CFrameHandOff::Wanted(Clock::time_point now, Clock::duration interval) const {
    if (m_request.load(std::memory_order_acquire) == 0)
        return false;
    const int64_t due = m_dueNs.load(std::memory_order_relaxed);
    return due == 0 || Nanoseconds(now + interval) >= due;
}

bool CFrameHandOff::Fetch(std::chrono::milliseconds timeout, const std::vector<uint8_t>*& frame) {
    uint32_t ticket = m_prepared;
    m_prepared = 0;
    if (ticket != 0 && Clock::now() <= m_preparedDue + kPreparedLateness) {
        // Not answered yet: from now on the next packet will do.
        m_dueNs.store(0, std::memory_order_relaxed);
    } else {
        // Nothing asked ahead, or what was has grown old: a fresh frame.
        if (ticket != 0)
            Withdraw(ticket);
        ticket = Request();
    }
    std::unique_lock<std::mutex> lock(m_mutex);
    if (!m_delivered.wait_for(lock, timeout, [&] { return m_pendingTicket == ticket; })) {
        lock.unlock();
        Withdraw(ticket);
        return false;
    }
    m_pendingTicket = 0;
    m_readyFailed = m_pendingFailed;
    if (!m_readyFailed)
        m_ready.swap(m_pending);
    lock.unlock();
    static const std::vector<uint8_t> kNone;
    frame = m_readyFailed ? &kNone : &m_ready;
    return true;
}

uint32_t CFrameHandOff::Take() {
    uint32_t ticket = m_request.load(std::memory_order_acquire);
    while (ticket != 0 && !m_request.compare_exchange_weak(ticket, 0, std::memory_order_acq_rel)) {
    }
    return ticket;
}

void CFrameHandOff::Deliver(uint32_t ticket) {
    if (ticket == 0)
        return;
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_pendingFailed = m_work.empty();
        if (!m_pendingFailed)
            m_pending.swap(m_work);
        m_pendingTicket = ticket;
    }
    m_delivered.notify_one();
}
