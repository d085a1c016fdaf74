#pragma once
#include "app/EventLog.h"
#include "app/MessageSink.h"

#include <array>
#include <mutex>
#include <string>
#include <vector>

// What has gone wrong lately, read from the program's event lines and messages,
// for a desktop that shows it without being asked: a report mail that failed or
// waits in the outbox, a camera that was lost, a movie that could not be
// written (the movie writers' "Error" boxes). A failing stretch lasts from the
// first failure to the next success of its kind: a sent mail, the camera back,
// a movie completed. Installed in front of the real event log and message sink,
// it passes everything on. Lines come from any thread (mail workers, the
// capture thread), so its state is kept under one lock.
class CFailureWatch : public IEventLog, public IMessageSink {
public:
    enum Kind { kMail, kCamera, kRecording, kKindCount };

    struct CState {
        bool failing = false;
        std::string reason; // what the user reads: the last failure's reason
    };
    struct CNotice {
        Kind kind;
        std::string reason;
    };

    // Either may be null: then lines or messages end here.
    CFailureWatch(IEventLog* nextLog, IMessageSink* nextSink);

    void Event(const std::string& line) override;
    void ShowMessage(const std::string& caption, const std::string& text,
                     MessageIcon icon) override;
    void ShowMessageWithDetail(const std::string& caption, const std::string& text,
                               MessageIcon icon, const std::string& detail) override;

    CState State(Kind kind) const;
    // The stretches begun since the last call, each once, in the order they began.
    std::vector<CNotice> TakeNewStretches();

private:
    void Note(const std::string& line);
    void NoteMessage(MessageIcon icon, const std::string& text);
    void Fail(Kind kind, std::string reason);
    void Succeed(Kind kind);

    IEventLog* m_nextLog;
    IMessageSink* m_nextSink;
    mutable std::mutex m_mutex;
    std::array<CState, kKindCount> m_states;
    std::vector<CNotice> m_new;
    bool m_movieFailed = false; // the movie being written has failed
};
