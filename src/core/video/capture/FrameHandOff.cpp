#include "video/capture/FrameHandOff.h"

bool CFrameHandOff::Fetch(std::chrono::milliseconds timeout, const std::vector<uint8_t>*& frame) {
    if (++m_nextTicket == 0)
        m_nextTicket = 1;
    const uint32_t ticket = m_nextTicket;
    std::unique_lock<std::mutex> lock(m_mutex);
    m_awaited = ticket;
    m_request.store(ticket, std::memory_order_release);
    const bool delivered =
        m_delivered.wait_for(lock, timeout, [&] { return m_readyTicket == ticket; });
    // From here on no delivery may touch m_ready until the next request.
    m_awaited = 0;
    lock.unlock();
    if (!delivered) {
        uint32_t expected = ticket;
        m_request.compare_exchange_strong(expected, 0, std::memory_order_acq_rel);
        return false;
    }
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
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        if (ticket == 0 || m_awaited != ticket)
            return;
        m_readyFailed = m_work.empty();
        if (!m_readyFailed)
            m_ready.swap(m_work);
        m_readyTicket = ticket;
    }
    m_delivered.notify_one();
}
