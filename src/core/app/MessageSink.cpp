#include "app/MessageSink.h"

#include <cstdio>

namespace {

class CStderrSink : public IMessageSink {
public:
    void ShowMessage(const std::string& caption, const std::string& text, MessageIcon) override {
        std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
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

void AppMessageBox(const std::string& text) {
    g_sink->ShowMessage(g_caption, text, MessageIcon::Warning);
}

void ErrorMessageBox(const std::string& text) {
    g_sink->ShowMessage("Error", text, MessageIcon::Error);
}

std::string AppCaption() {
    return g_caption;
}

void SetAppCaption(const std::string& caption) {
    g_caption = caption;
}
