#pragma once
#include "app/Clock.h"
#include "mail/MailError.h"
#include "mail/SMTPConnection.h"

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

// Polls every few milliseconds instead of every 250 ms; the reply timeout
// still runs on the real clock.
class CQuickPollConnection : public CSMTPConnection {
protected:
    void Pause(int) override { std::this_thread::sleep_for(std::chrono::milliseconds(5)); }
};

// A clock that moves by each pause: a silent server times out after exactly
// the number of polls the reply timeout allows, without waiting two seconds.
class CSteppedClock : public IClock {
public:
    int64_t SteadyMs() const override { return m_ms.load(); }
    int64_t WallSeconds() const override { return 1'700'000'000 + m_ms.load() / 1000; }
    CLocalTime Local() const override { return CLocalTime{2026, 12, 7, 14, 5, 0, 0, 1, 3600}; }
    void Advance(int64_t ms) { m_ms += ms; }

private:
    std::atomic<int64_t> m_ms{0};
};

class CSteppedConnection : public CSMTPConnection {
public:
    struct Read {
        bool ok;
        int error;
        std::string text;
        int pauses; // pauses this read made
    };
    // Each pause moves the clock by stepMs.
    explicit CSteppedConnection(CSteppedClock& clock, int stepMs = kPollPauseMs)
        : CSMTPConnection(clock), m_clock(clock), m_stepMs(stepMs) {}
    ~CSteppedConnection() override {
        if (IsConnected())
            Disconnect(); // here, while the recording overrides are still ours
    }

    bool ReadResponse(int expectedCode) override {
        const int before = m_pauses;
        const bool ok = CSMTPConnection::ReadResponse(expectedCode);
        m_reads.push_back({ok, GetMailLastError(), LastResponse(), m_pauses - before});
        return ok;
    }
    std::vector<Read> m_reads;

protected:
    void Pause(int ms) override {
        ++m_pauses;
        m_clock.Advance(ms == kPollPauseMs ? m_stepMs : ms);
        // A little real time so that a server that does answer gets to.
        std::this_thread::sleep_for(std::chrono::milliseconds(40));
    }

private:
    CSteppedClock& m_clock;
    int m_stepMs;
    int m_pauses = 0;
};
