#pragma once
#include <string>

// Message boxes of the program go through one process-wide sink, so the core
// never needs a window: the desktop program shows a dialog, the headless runner
// prints a line, tests record what was said.
enum class MessageIcon { Warning, Error };

class IMessageSink {
public:
    virtual ~IMessageSink() = default;
    virtual void ShowMessage(const std::string& caption, const std::string& text,
                             MessageIcon icon) = 0;
    // The same box with `detail` (what failed and why: a path and the system's
    // reason) on a line of its own after the text. A sink that has no room for
    // it shows the text alone, so the text itself never changes.
    virtual void ShowMessageWithDetail(const std::string& caption, const std::string& text,
                                       MessageIcon icon, const std::string& detail) {
        (void)detail;
        ShowMessage(caption, text, icon);
    }
};

// Installs the sink for the whole process (nullptr restores the stderr fallback);
// returns the previous one.
IMessageSink* SetMessageSink(IMessageSink* sink);

// The application message box: the executable's name as caption, warning icon.
// `detail`, when known, says what failed and why below the text.
void AppMessageBox(const std::string& text, const std::string& detail = {});
// The plain error box of the movie writer: caption "Error", error icon.
void ErrorMessageBox(const std::string& text, const std::string& detail = {});

// The caption of application message boxes (executable file name without extension).
std::string AppCaption();
void SetAppCaption(const std::string& caption);
