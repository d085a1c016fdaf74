#pragma once
#include "app/EventLog.h"
#include "app/MessageSink.h"

#include <mutex>
#include <string>
#include <vector>

// Collects the message boxes shown while it is installed.
class CRecordingMessageSink : public IMessageSink {
public:
    struct Message {
        std::string caption;
        std::string text;
        MessageIcon icon;
        std::string detail;
    };
    CRecordingMessageSink() : m_previous(SetMessageSink(this)) {}
    ~CRecordingMessageSink() override { SetMessageSink(m_previous); }
    void ShowMessage(const std::string& caption, const std::string& text,
                     MessageIcon icon) override {
        m_messages.push_back({caption, text, icon, {}});
    }
    void ShowMessageWithDetail(const std::string& caption, const std::string& text,
                               MessageIcon icon, const std::string& detail) override {
        m_messages.push_back({caption, text, icon, detail});
    }
    std::vector<std::string> Texts() const {
        std::vector<std::string> texts;
        for (const auto& m : m_messages)
            texts.push_back(m.text);
        return texts;
    }
    std::vector<Message> m_messages;

private:
    IMessageSink* m_previous;
};

// Collects event lines, from any thread.
class CRecordingEventLog : public IEventLog {
public:
    CRecordingEventLog() : m_previous(SetEventLog(this)) {}
    ~CRecordingEventLog() override { SetEventLog(m_previous); }
    void Event(const std::string& line) override {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_lines.push_back(line);
    }
    std::vector<std::string> Lines() {
        const std::lock_guard<std::mutex> lock(m_mutex);
        return m_lines;
    }

private:
    std::mutex m_mutex;
    std::vector<std::string> m_lines;
    IEventLog* m_previous;
};
