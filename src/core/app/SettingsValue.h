#pragma once
#include <string>

// Values of the sections added after the described file stay on their line
// and can hold no tag and no "KEY=" that the first-occurrence lookup would take
// for a later key: '%', '<', '>', '=' and control bytes are written as %XX.
namespace settings_value {
std::string Escaped(const std::string& value);
std::string Unescaped(const std::string& value);
} // namespace settings_value
