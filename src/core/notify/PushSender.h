#pragma once
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

// One phone notification: the event's fields as JSON, a title and a line of
// text, and the still that goes with it (may be empty).
struct CPushMessage {
    std::string json;
    std::string title;
    std::string text;
    std::string tags; // ntfy tags, comma-separated
    int priority = 3; // ntfy priority, 1..5
    std::string stillPath;
};

// Posts notifications over HTTP(S) from a worker of its own, in order: a
// message that fails is tried again after the outbox's waits (1, 2, 5, 10,
// 30 minutes, then hourly) and the ones behind it wait for it, so an end never
// arrives before its start. The caller only queues.
class CPushSender {
public:
    enum EMode { kOff = 0, kWebhook = 1, kNtfy = 2 };
    // Milliseconds to wait after the n-th failed try of a message.
    using Delay = std::function<int64_t(int failures)>;
    static constexpr size_t kQueueMax = 32;

    // `delay` empty: the outbox's rule.
    CPushSender(std::string url, int mode, Delay delay = {});
    // A request in flight is aborted; what waits is dropped.
    ~CPushSender();
    CPushSender(const CPushSender&) = delete;
    CPushSender& operator=(const CPushSender&) = delete;

    // Queues the message; false when the queue was full and the oldest went.
    bool Send(CPushMessage message);
    // Messages not yet delivered, the one being tried included.
    size_t Waiting() const;

    // The URL as logs may show it: scheme, host and path, never a login.
    static std::string UrlForLog(const std::string& url);

private:
    struct CEntry {
        CPushMessage message;
        int failures = 0;
        int64_t firstTryS = 0;
        std::chrono::steady_clock::time_point due;
    };
    void Run();
    // The HTTP status, or 0 with `error` set when no answer came.
    long Post(const CPushMessage& message, std::string& error);

    const std::string m_url;
    const int m_mode;
    const Delay m_delay;
    mutable std::mutex m_lock;
    std::condition_variable m_wake;
    std::deque<CEntry> m_queue;
    std::atomic<bool> m_stop{false};
    std::thread m_worker;
};
