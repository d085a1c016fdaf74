#pragma once
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <vector>

// The hand-off of one requested frame from the capture thread to the fetching
// thread. The fetching side raises a request (a ticket in an atomic flag) and
// waits for a wake-up; the capture thread tests the flag per packet, takes the
// request in one atomic step, converts into a buffer of its own and publishes it
// only while that very request is still awaited. A delivery that completes after
// the fetch gave up is dropped, so it can never write what the fetching side reads.
class CFrameHandOff {
public:
    // Fetching side. Asks for one frame and waits at most `timeout`. On success
    // `frame` holds the delivered bytes until the next Fetch (empty when the
    // conversion failed); on time-out the request is withdrawn and false is returned.
    bool Fetch(std::chrono::milliseconds timeout, const std::vector<uint8_t>*& frame);
    // Fetching side, between fetches: the last frame converted whole, kept
    // through time-outs and failed conversions; empty before the first.
    const std::vector<uint8_t>& LastGood() const { return m_ready; }

    // Capture side: is a frame asked for? One atomic load, for every packet.
    bool Wanted() const { return m_request.load(std::memory_order_acquire) != 0; }
    // Capture side: takes the pending request; its ticket, or 0 when none is pending.
    uint32_t Take();
    // Capture side: the buffer to convert into after a successful Take. Never
    // read by the fetching side.
    std::vector<uint8_t>& WorkBuffer() { return m_work; }
    // Capture side: publishes the work buffer for `ticket` when its fetch still
    // waits (an empty buffer tells the fetcher the conversion failed, and the
    // last good frame stays); otherwise the buffer stays with the capture side.
    void Deliver(uint32_t ticket);

private:
    std::atomic<uint32_t> m_request{0}; // ticket of the pending request, 0: none
    uint32_t m_nextTicket = 0;          // fetching side only

    std::mutex m_mutex;
    std::condition_variable m_delivered;
    uint32_t m_awaited = 0; // ticket the fetching side waits for, 0: none
    uint32_t m_readyTicket = 0;
    bool m_readyFailed = false;   // the last delivery was a failed conversion
    std::vector<uint8_t> m_ready; // the last good frame; the fetcher's until its next request
    std::vector<uint8_t> m_work;  // the capture thread's
};
