#include "video/capture/FrameHandOff.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

using namespace std::chrono_literals;

namespace {

// Would the capture side answer a packet that comes now?
bool Asked(const CFrameHandOff& handOff) {
    return handOff.Wanted(CFrameHandOff::Clock::now(), {});
}

// Plays the capture thread: answers requests with frames of one repeated byte
// (a failed conversion: an empty frame).
void Answer(CFrameHandOff& handOff, uint8_t value, bool failed = false) {
    while (!Asked(handOff))
        std::this_thread::yield();
    const uint32_t ticket = handOff.Take();
    handOff.WorkBuffer().assign(failed ? 0 : 16, value);
    handOff.Deliver(ticket);
}

} // namespace

TEST(FrameHandOff, NothingIsWantedOrTakenWithoutARequest) {
    CFrameHandOff handOff;
    EXPECT_FALSE(Asked(handOff));
    EXPECT_EQ(handOff.Take(), 0u);
    const std::vector<uint8_t>* frame = nullptr;
    // A fetch nobody answers gives up and withdraws its request.
    EXPECT_FALSE(handOff.Fetch(1ms, frame));
    EXPECT_EQ(frame, nullptr);
    EXPECT_FALSE(Asked(handOff));
    EXPECT_EQ(handOff.Take(), 0u);
}

TEST(FrameHandOff, EachRequestIsAnsweredWithItsOwnFrame) {
    CFrameHandOff handOff;
    for (uint8_t value = 1; value <= 3; ++value) {
        std::thread capture([&] { Answer(handOff, value); });
        const std::vector<uint8_t>* frame = nullptr;
        const bool ok = handOff.Fetch(10s, frame);
        capture.join();
        ASSERT_TRUE(ok);
        EXPECT_EQ(*frame, std::vector<uint8_t>(16, value));
        // Taken once: the flag is clear again.
        EXPECT_FALSE(Asked(handOff));
    }
}

TEST(FrameHandOff, TheLastGoodFrameOutlivesTimeOutsAndFailedConversions) {
    CFrameHandOff handOff;
    EXPECT_TRUE(handOff.LastGood().empty());
    const struct {
        uint8_t value;
        bool answered, failed;
        uint8_t lastGood;
    } steps[] = {
        {1, true, false, 1}, {2, false, false, 1}, {3, true, true, 1}, {4, true, false, 4}};
    for (const auto& step : steps) {
        const std::vector<uint8_t>* frame = nullptr;
        if (step.answered) {
            std::thread capture([&] { Answer(handOff, step.value, step.failed); });
            ASSERT_TRUE(handOff.Fetch(10s, frame));
            capture.join();
            EXPECT_EQ(frame->empty(), step.failed) << int(step.value);
        } else {
            EXPECT_FALSE(handOff.Fetch(1ms, frame));
        }
        EXPECT_EQ(handOff.LastGood(), std::vector<uint8_t>(16, step.lastGood)) << int(step.value);
    }
}

TEST(FrameHandOff, ALateDeliveryNeverTouchesTheFetchedFrame) {
    CFrameHandOff handOff;
    const std::vector<uint8_t>* first = nullptr;
    {
        std::thread capture([&] { Answer(handOff, 1); });
        ASSERT_TRUE(handOff.Fetch(10s, first));
        capture.join();
    }

    // The capture side takes the next request but finishes only after the
    // fetch has given up.
    std::atomic<bool> gaveUp{false};
    std::thread late([&] {
        while (!Asked(handOff))
            std::this_thread::yield();
        const uint32_t ticket = handOff.Take();
        while (!gaveUp)
            std::this_thread::yield();
        handOff.WorkBuffer().assign(16, 2);
        handOff.Deliver(ticket);
    });
    const std::vector<uint8_t>* second = nullptr;
    EXPECT_FALSE(handOff.Fetch(200ms, second));
    gaveUp = true;
    late.join();
    EXPECT_EQ(*first, std::vector<uint8_t>(16, 1));

    // The stale frame does not answer the next request either.
    std::thread capture([&] { Answer(handOff, 3); });
    const std::vector<uint8_t>* third = nullptr;
    ASSERT_TRUE(handOff.Fetch(10s, third));
    capture.join();
    EXPECT_EQ(*third, std::vector<uint8_t>(16, 3));
}

TEST(FrameHandOff, AFrameAskedAheadIsTheLastPacketBeforeItsDueTime) {
    using Clock = CFrameHandOff::Clock;
    CFrameHandOff handOff;
    const std::vector<uint8_t>* frame = nullptr;

    // Packets 50 ms apart: only the last one before the due time is wanted;
    // once delivered, the fetch takes it without waiting.
    const auto due = Clock::now() + 1h;
    handOff.Prepare(due);
    const struct {
        std::chrono::milliseconds before;
        bool wanted;
    } packets[] = {{120ms, false}, {60ms, false}, {40ms, true}, {0ms, true}, {-10ms, true}};
    for (const auto& p : packets)
        EXPECT_EQ(handOff.Wanted(due - p.before, 50ms), p.wanted) << p.before.count() << " ms";
    const uint32_t ticket = handOff.Take();
    ASSERT_NE(ticket, 0u);
    handOff.WorkBuffer().assign(16, 7);
    handOff.Deliver(ticket);
    ASSERT_TRUE(handOff.Fetch(0ms, frame));
    EXPECT_EQ(*frame, std::vector<uint8_t>(16, 7));
    EXPECT_FALSE(Asked(handOff));

    // Fetched long after its due time (a dialog was up), the frame is too old:
    // the fetch asks for a fresh one.
    handOff.Prepare(Clock::now() - 1s);
    handOff.WorkBuffer().assign(16, 8);
    handOff.Deliver(handOff.Take());
    EXPECT_FALSE(handOff.Fetch(1ms, frame));
    EXPECT_EQ(handOff.LastGood(), std::vector<uint8_t>(16, 7));

    // Not answered by the time it is fetched: the next packet answers it.
    handOff.Prepare(Clock::now() + 1h);
    EXPECT_FALSE(handOff.Wanted(Clock::now(), 50ms));
    std::thread capture([&] {
        while (!handOff.Wanted(Clock::now(), 50ms))
            std::this_thread::yield();
        const uint32_t next = handOff.Take();
        handOff.WorkBuffer().assign(16, 9);
        handOff.Deliver(next);
    });
    ASSERT_TRUE(handOff.Fetch(10s, frame));
    capture.join();
    EXPECT_EQ(*frame, std::vector<uint8_t>(16, 9));
}
