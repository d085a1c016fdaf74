#pragma once
#include <string>
#include <string_view>

class CTagParser;

// Values of the sections added after the described file stay on their line
// and can hold no tag and no "KEY=" that the first-occurrence lookup would take
// for a later key: '%', '<', '>', '=' and control bytes are written as %XX.
namespace settings_value {
std::string Escaped(const std::string& value);
std::string Unescaped(const std::string& value);

// A number key ("KEY=") of an added section: a file from before the section has
// none, which gives the default without a miss report; out of range, too.
int Number(const CTagParser& parser, std::string_view text, const char* key, int defaultValue,
           int min, int max);
// A tagged value ("KEY" for <KEY>...</KEY>) of an added section, unescaped;
// empty when the file has none.
std::string Text(const CTagParser& parser, std::string_view text, const std::string& key);
} // namespace settings_value
