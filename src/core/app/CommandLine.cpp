#include "app/CommandLine.h"

CCommandLine::CCommandLine(std::string text)
    : m_strText(std::move(text)),
      m_bDelayStart(m_strText.find("CMDARG_DELAY") != std::string::npos),
      m_bTrayMode(m_strText.find("CMDARG_STRAY") != std::string::npos) {}

std::string CCommandLine::JoinArguments(int argc, const char* const* argv) {
    std::string text;
    for (int i = 1; i < argc; ++i) {
        if (i > 1)
            text += ' ';
        text += argv[i];
    }
    return text;
}
