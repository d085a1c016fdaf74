#include "app/SettingsValue.h"

#include "app/TagParser.h"

namespace settings_value {

std::string Escaped(const std::string& value) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (const char c : value) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7f || c == '%' || c == '<' || c == '>' || c == '=') {
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 0xf];
        } else {
            out += c;
        }
    }
    return out;
}

std::string Unescaped(const std::string& value) {
    auto digit = [](char c) {
        return c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
    };
    std::string out;
    for (size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '%' && i + 2 < value.size() && digit(value[i + 1]) >= 0 &&
            digit(value[i + 2]) >= 0) {
            out += static_cast<char>(digit(value[i + 1]) * 16 + digit(value[i + 2]));
            i += 2;
        } else {
            out += value[i];
        }
    }
    return out;
}

int Number(const CTagParser& parser, std::string_view text, const char* key, int defaultValue,
           int min, int max) {
    int value = defaultValue;
    if (text.find(key) != std::string_view::npos)
        parser.GetInt(text, key, value, defaultValue);
    return value < min || value > max ? defaultValue : value;
}

std::string Text(const CTagParser& parser, std::string_view text, const std::string& key) {
    const std::string open = "<" + key + ">";
    if (text.find(open) == std::string_view::npos)
        return {};
    return Unescaped(parser.GetTagged(text, open, "</" + key + ">"));
}

} // namespace settings_value
