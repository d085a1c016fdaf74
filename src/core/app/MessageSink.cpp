#include "app/MessageSink.h"

#include <cstdio>

namespace {

class CStderrSink : public IMessageSink {
public:
    void ShowMessage(const std::string& caption, const std::string& text, MessageIcon) override {
        std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
    }
    void ShowMessageWithDetail(const std::string& caption, const std::string& text, MessageIcon,
                               const std::string& detail) override {
        std::fprintf(stderr, "%s: %s\n%s\n", caption.c_str(), text.c_str(), detail.c_str());
    }
};

CStderrSink g_stderrSink;
// Process-wide for now: settings, parser, capture, recorder and sound raise
// boxes from deep inside without a sink handed to them.
IMessageSink* g_sink = &g_stderrSink;
std::string g_caption = "oculon";

} // namespace

IMessageSink* SetMessageSink(IMessageSink* sink) {
    IMessageSink* previous = g_sink;
    g_sink = sink ? sink : &g_stderrSink;
    return previous;
}

namespace {
void Show(const std::string& caption, const std::string& text, MessageIcon icon,
          const std::string& detail) {
    if (detail.empty())
        g_sink->ShowMessage(caption, text, icon);
    else
        g_sink->ShowMessageWithDetail(caption, text, icon, detail);
}
} // namespace

void AppMessageBox(const std::string& text, const std::string& detail) {
    Show(g_caption, text, MessageIcon::Warning, detail);
}

void ErrorMessageBox(const std::string& text, const std::string& detail) {
    Show("Error", text, MessageIcon::Error, detail);
}

std::string AppCaption() {
    return g_caption;
}

void SetAppCaption(const std::string& caption) {
    g_caption = caption;
}
