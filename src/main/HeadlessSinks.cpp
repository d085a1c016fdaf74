#include "HeadlessSinks.h"

#include "app/TextLines.h"

#include <cstdio>

void CStdoutSinks::ShowMessage(const std::string&, const std::string& text, MessageIcon) {
    Event("message: " + text);
}

void CStdoutSinks::Event(const std::string& line) {
    const std::lock_guard<std::mutex> lock(m_mutex);
    std::fputs(JoinLines(line, "\\n").c_str(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}
