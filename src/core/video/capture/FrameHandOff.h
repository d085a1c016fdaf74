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
// into a third buffer, from which only the fetch that asked takes it. A delivery
// that completes after the fetch gave up is never taken, so nothing the capture
// side does can touch what the fetching side reads.
//
// The fetching side may also ask ahead (Prepare): the capture thread then
// converts the last packet it expects before the fetch is due, and the fetch
// finds the frame waiting instead of sleeping until the next packet.
class CFrameHandOff {
public:
    using Clock = std::chrono::steady_clock;
    // A frame asked for ahead is taken by a fetch at most this late after its
    // due time; a later fetch asks for a fresh one.
    static constexpr std::chrono::milliseconds kPreparedLateness{50};

    // Fetching side. Takes the frame asked for ahead when it is there; else
    // asks for one now and waits at most `timeout`. On success `frame` holds
    // the delivered bytes until the next Fetch (empty when the conversion
    // failed); on time-out the request is withdrawn and false is returned.
    bool Fetch(std::chrono::milliseconds timeout, const std::vector<uint8_t>*& frame);
    // Fetching side, after a fetch: asks ahead for the frame of the next fetch,
    // due at `due`. A request asked ahead before and not yet fetched is replaced.
    void Prepare(Clock::time_point due);
    // Fetching side, between fetches: the last frame converted whole, kept
    // through time-outs and failed conversions; empty before the first.
    const std::vector<uint8_t>& LastGood() const { return m_ready; }

    // Capture side, for every packet (two atomic loads): is a frame asked for
    // from a packet that came at `now`, when the next one is expected
    // `interval` later? A request asked ahead wants the last packet before its
    // due time, any other the next packet.
    bool Wanted(Clock::time_point now, Clock::duration interval) const;
    // Capture side: takes the pending request; its ticket, or 0 when none is pending.
    uint32_t Take();
    // Capture side: the buffer to convert into after a successful Take. Never
    // read by the fetching side.
    std::vector<uint8_t>& WorkBuffer() { return m_work; }
    // Capture side: publishes the work buffer for `ticket` (an empty buffer
    // tells the fetcher the conversion failed, and the last good frame stays).
    void Deliver(uint32_t ticket);

private:
    // Fetching side: the next ticket, never 0.
    uint32_t NextTicket();
    // Fetching side: posts a new request that any packet answers; its ticket.
    uint32_t Request();
    // Fetching side: withdraws `ticket` unless the capture side took it.
    void Withdraw(uint32_t ticket);

    std::atomic<uint32_t> m_request{0}; // ticket of the pending request, 0: none
    std::atomic<int64_t> m_dueNs{0};    // its due time when asked ahead, 0: at once
    uint32_t m_nextTicket = 0;          // fetching side only
    uint32_t m_prepared = 0;            // fetching side: the ticket asked ahead, 0: none
    Clock::time_point m_preparedDue;    // fetching side

    std::mutex m_mutex;
    std::condition_variable m_delivered;
    uint32_t m_pendingTicket = 0; // ticket of the delivery in m_pending, 0: none
    bool m_pendingFailed = false; // that delivery was a failed conversion
    std::vector<uint8_t> m_pending;

    bool m_readyFailed = false;   // fetching side: the last fetch's conversion failed
    std::vector<uint8_t> m_ready; // the last good frame; the fetching side's
    std::vector<uint8_t> m_work;  // the capture thread's
};
