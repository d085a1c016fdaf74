#pragma once
#include <string>

// The command line holds two keywords, found as plain case-sensitive substrings.
class CCommandLine {
public:
    explicit CCommandLine(std::string text);
    virtual ~CCommandLine() = default;

    // The arguments behind the program name, joined with blanks.
    static std::string JoinArguments(int argc, const char* const* argv);

    std::string m_strText;
    bool m_bDelayStart = false; // "CMDARG_DELAY": wait 250 ms before the main window
    bool m_bTrayMode = false;   // "CMDARG_STRAY": live in the notification area
};
