#pragma once
#include "app/EventLog.h"
#include "app/MessageSink.h"

#include <mutex>

// Standard output of the headless runner: one line per event or message box.
class CStdoutSinks : public IMessageSink, public IEventLog {
public:
    void ShowMessage(const std::string& caption, const std::string& text,
                     MessageIcon icon) override;
    // Line breaks become the two characters "\n" so every event stays one line.
    void Event(const std::string& line) override;

private:
    std::mutex m_mutex;
};
