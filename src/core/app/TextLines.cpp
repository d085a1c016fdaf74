#include "app/TextLines.h"

std::string JoinLines(std::string_view text, std::string_view joiner) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            continue; // the LF that follows ends the line
        if (c == '\r' || c == '\n')
            out += joiner;
        else
            out += c;
    }
    return out;
}
