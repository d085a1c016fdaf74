#include "setup/ReplayWorker.h"

#include "app/AppSettings.h"
#include "app/TagParser.h"

#include <chrono>

CReplayWorker::CReplayWorker(QObject* parent) : QObject(parent) {}

CReplayWorker::~CReplayWorker() {
    Stop();
}

void CReplayWorker::Start(const std::string& clip, const std::string& homeFolder, Prepare prepare) {
    Stop();
    m_cancel = false;
    m_running = true;
    const unsigned run = ++m_run;
    m_thread = std::thread([this, run, clip, homeFolder, prepare = std::move(prepare)] {
        const CTagParser parser(false);
        // Read-only: the replay's record never writes the program's file.
        CAppSettings settings(parser, homeFolder, "", true);
        if (prepare)
            prepare(settings);
        const auto began = std::chrono::steady_clock::now();
        CReplayResult result = ReplayClip(clip, settings, &m_cancel);
        const double took =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
        if (result.cancelled)
            return;
        // Delivered through this object's event queue, which its end empties.
        QMetaObject::invokeMethod(
            this,
            [this, run, result = std::move(result), took] {
                if (run != m_run)
                    return;
                m_running = false;
                emit finished(result, took);
            },
            Qt::QueuedConnection);
    });
}

void CReplayWorker::Stop() {
    m_cancel = true;
    if (m_thread.joinable())
        m_thread.join();
    ++m_run; // a result already on its way is dropped
    m_running = false;
}
