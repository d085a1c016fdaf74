#include "app/TagParser.h"

#include "app/MessageSink.h"

#include <climits>
#include <cstdlib>
#include <locale.h>

namespace {

// isspace() of the "C" locale.
bool IsCSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

locale_t CLocale() {
    static const locale_t loc = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return loc;
}

} // namespace

CTagParser::CTagParser(bool reportMisses) : m_reportMisses(reportMisses) {}

bool CTagParser::GetInt(std::string_view text, std::string_view key, int& value,
                        int defaultValue) const {
    const size_t at = text.find(key);
    if (at == std::string_view::npos) {
        value = defaultValue;
        ReportMiss(key);
        return false;
    }
    const size_t start = at + key.size();
    // The value runs to the first comma anywhere behind it, else to the first
    // line feed; with neither, it is empty.
    size_t end = text.find(',', start);
    if (end == std::string_view::npos)
        end = text.find('\n', start);
    value = end == std::string_view::npos ? 0 : ToInt(text.substr(start, end - start));
    return true;
}

std::string CTagParser::GetTagged(std::string_view text, std::string_view openTag,
                                  std::string_view closeTag) const {
    const size_t open = text.find(openTag);
    if (open == std::string_view::npos) {
        ReportMiss(openTag);
        return {};
    }
    const size_t start = open + openTag.size();
    const size_t close = text.find(closeTag, start);
    if (close == std::string_view::npos) {
        ReportMiss(closeTag);
        return {};
    }
    return std::string(text.substr(start, close - start));
}

float CTagParser::ToFloat(std::string_view text) {
    // strtod needs a terminated string; the copy also stops the parse at the
    // end of the view exactly as the C library stops at the terminator.
    const std::string copy(text);
    return static_cast<float>(strtod_l(copy.c_str(), nullptr, CLocale()));
}

int CTagParser::ToInt(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && IsCSpace(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    long long magnitude = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        magnitude = magnitude * 10 + (text[i] - '0');
        if (magnitude > static_cast<long long>(INT_MAX) + 1)
            magnitude = static_cast<long long>(INT_MAX) + 1;
    }
    const long long signedValue = negative ? -magnitude : magnitude;
    if (signedValue > INT_MAX)
        return INT_MAX;
    return static_cast<int>(signedValue);
}

std::string CTagParser::IntToText(long value) {
    return std::to_string(value);
}

std::string CTagParser::MissReportText(std::string_view what) {
    std::string text = "Parsing problem:\n\n";
    if (what.empty())
        text += "Unknown";
    else
        text += "'" + std::string(what) + "' Not Found";
    return text;
}

void CTagParser::ReportMiss(std::string_view what) const {
    if (m_reportMisses)
        AppMessageBox(MissReportText(what));
}
