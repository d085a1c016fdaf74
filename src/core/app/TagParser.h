#pragma once
#include <string>
#include <string_view>

// Finds values in a block of text by plain substring search: an integer behind
// a key that ends in "=", a string between an opening and a closing tag.
class CTagParser {
public:
    explicit CTagParser(bool reportMisses);
    virtual ~CTagParser() = default;

    // key includes its "="; on a miss `value` receives `defaultValue`.
    bool GetInt(std::string_view text, std::string_view key, int& value, int defaultValue) const;
    std::string GetTagged(std::string_view text, std::string_view openTag,
                          std::string_view closeTag) const;

    // The C library's atof over exactly these characters, in the "C" locale
    // whatever the process locale is.
    static float ToFloat(std::string_view text);
    // The C library's atoi, likewise locale-free; values beyond int are clamped.
    static int ToInt(std::string_view text);
    static std::string IntToText(long value);

    // The text of a miss report for a key or tag.
    static std::string MissReportText(std::string_view what);

private:
    void ReportMiss(std::string_view what) const;

    bool m_reportMisses;
};
