#pragma once
#include "video/Replay.h"

#include <QObject>

#include <atomic>
#include <functional>
#include <string>
#include <thread>

// Runs one clip replay at a time on a thread of its own, so that a long clip
// never holds up the windows. A new run, Stop or the end of the object stops
// the run before it and waits for its thread; a stopped run's result never
// arrives.
class CReplayWorker : public QObject {
    Q_OBJECT
public:
    // Fills the replay's own settings record; runs on the worker thread, so it
    // must hold copies, never references to what the windows may change.
    using Prepare = std::function<void(CAppSettings&)>;

    explicit CReplayWorker(QObject* parent = nullptr);
    ~CReplayWorker() override;
    CReplayWorker(const CReplayWorker&) = delete;
    CReplayWorker& operator=(const CReplayWorker&) = delete;

    // Replays `clip` with the settings of `homeFolder` changed by `prepare`.
    void Start(const std::string& clip, const std::string& homeFolder, Prepare prepare);
    void Stop();
    bool Running() const { return m_running; }

signals:
    // On the thread of this object; `seconds` is the time the replay took.
    void finished(const CReplayResult& result, double seconds);

private:
    std::thread m_thread;
    std::atomic<bool> m_cancel{false};
    unsigned m_run = 0; // user-interface thread only
    bool m_running = false;
};
