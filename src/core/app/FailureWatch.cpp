#include "app/FailureWatch.h"

#include <algorithm>
#include <cstdlib>

namespace {

bool StartsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

// The reason after "SUBJECT: " in a mail line; the subject holds no ": ".
std::string AfterSubject(const std::string& rest) {
    const size_t colon = rest.find(": ");
    return colon == std::string::npos ? rest : rest.substr(colon + 2);
}

} // namespace

CFailureWatch::CFailureWatch(IEventLog* nextLog, IMessageSink* nextSink)
    : m_nextLog(nextLog), m_nextSink(nextSink) {}

void CFailureWatch::Event(const std::string& line) {
    Note(line);
    if (m_nextLog)
        m_nextLog->Event(line);
}

void CFailureWatch::ShowMessage(const std::string& caption, const std::string& text,
                                MessageIcon icon) {
    NoteMessage(icon, text);
    if (m_nextSink)
        m_nextSink->ShowMessage(caption, text, icon);
}

void CFailureWatch::ShowMessageWithDetail(const std::string& caption, const std::string& text,
                                          MessageIcon icon, const std::string& detail) {
    NoteMessage(icon, text + "\n" + detail);
    if (m_nextSink)
        m_nextSink->ShowMessageWithDetail(caption, text, icon, detail);
}

void CFailureWatch::Note(const std::string& line) {
    const std::lock_guard<std::mutex> lock(m_mutex);
    if (StartsWith(line, "mail: sent ")) {
        Succeed(kMail);
    } else if (StartsWith(line, "mail: queued ")) {
        Fail(kMail, "waiting in the outbox: " + AfterSubject(line.substr(13)));
    } else if (StartsWith(line, "mail: failed ")) {
        Fail(kMail, "not sent: " + AfterSubject(line.substr(13)));
    } else if (StartsWith(line, "camera: lost ")) {
        Fail(kCamera, "camera lost: " + line.substr(13));
    } else if (StartsWith(line, "camera: back ")) {
        Succeed(kCamera);
    } else if (StartsWith(line, "movie: start ")) {
        m_movieFailed = false;
    } else if (StartsWith(line, "movie: end ")) {
        // "movie: end PATH FRAMES": a movie with frames and no failure is a success.
        const size_t space = line.rfind(' ');
        const bool frames = std::atol(line.c_str() + space + 1) > 0;
        if (frames && !m_movieFailed)
            Succeed(kRecording);
    }
}

void CFailureWatch::NoteMessage(MessageIcon icon, const std::string& text) {
    if (icon != MessageIcon::Error)
        return;
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_movieFailed = true;
    Fail(kRecording, text);
}

void CFailureWatch::Fail(Kind kind, std::string reason) {
    CState& state = m_states[kind];
    if (!state.failing) {
        // One notice per stretch; an older one not yet taken says the same.
        m_new.erase(std::remove_if(m_new.begin(), m_new.end(),
                                   [kind](const CNotice& n) { return n.kind == kind; }),
                    m_new.end());
        m_new.push_back({kind, reason});
    }
    state.failing = true;
    state.reason = std::move(reason);
}

void CFailureWatch::Succeed(Kind kind) {
    m_states[kind] = CState{};
}

CFailureWatch::CState CFailureWatch::State(Kind kind) const {
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_states[kind];
}

std::vector<CFailureWatch::CNotice> CFailureWatch::TakeNewStretches() {
    const std::lock_guard<std::mutex> lock(m_mutex);
    std::vector<CNotice> taken;
    taken.swap(m_new);
    return taken;
}
