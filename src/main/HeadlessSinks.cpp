#include "HeadlessSinks.h"

#include <cstdio>

void CStdoutSinks::ShowMessage(const std::string&, const std::string& text, MessageIcon) {
    Event("message: " + text);
}

void CStdoutSinks::Event(const std::string& line) {
    const std::lock_guard<std::mutex> lock(m_mutex);
    std::fputs(OneLine(line).c_str(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

std::string CStdoutSinks::OneLine(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            continue;
        if (text[i] == '\n' || text[i] == '\r')
            out += "\\n";
        else
            out += text[i];
    }
    return out;
}
