#include "mail/MailText.h"

namespace mail_text {

namespace {

constexpr char kBase64Alphabet[] =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr char kHex[] = "0123456789ABCDEF";
constexpr size_t kQpLineMax = 76;

bool IsContinuationByte(unsigned char c) {
    return (c & 0xC0) == 0x80;
}

// Quoted-printable of one line without its line end.
void QpLine(std::string_view line, std::string& out) {
    size_t column = 0;
    for (size_t i = 0; i < line.size(); ++i) {
        const auto c = static_cast<unsigned char>(line[i]);
        const bool last = i + 1 == line.size();
        const bool literal =
            (c >= 33 && c <= 126 && c != '=') || ((c == ' ' || c == '\t') && !last);
        const size_t width = literal ? 1 : 3;
        // Keep room for the soft break "=" unless this is the line's last character.
        const size_t limit = last ? kQpLineMax : kQpLineMax - 1;
        if (column + width > limit) {
            out += "=\r\n";
            column = 0;
        }
        if (literal) {
            out += static_cast<char>(c);
        } else {
            out += '=';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
        column += width;
    }
}

} // namespace

std::string NormalizeLineEnds(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 32);
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r') {
            out += "\r\n";
            if (i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
        } else if (c == '\n') {
            out += "\r\n";
        } else {
            out += c;
        }
    }
    return out;
}

std::string DotStuff(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 8);
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '.' && (i == 0 || text[i - 1] == '\n'))
            out += '.';
        out += text[i];
    }
    return out;
}

bool IsSevenBit(std::string_view text) {
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (u == 0 || u > 127)
            return false;
    }
    return true;
}

size_t LongestLine(std::string_view text) {
    size_t longest = 0;
    size_t start = 0;
    for (;;) {
        const size_t end = text.find("\r\n", start);
        const size_t length = (end == std::string_view::npos ? text.size() : end) - start;
        if (length > longest)
            longest = length;
        if (end == std::string_view::npos)
            return longest;
        start = end + 2;
    }
}

std::string QuotedPrintable(std::string_view text) {
    std::string out;
    out.reserve(text.size() * 2);
    size_t start = 0;
    for (;;) {
        const size_t end = text.find("\r\n", start);
        QpLine(text.substr(start,
                           end == std::string_view::npos ? std::string_view::npos : end - start),
               out);
        if (end == std::string_view::npos)
            return out;
        out += "\r\n";
        start = end + 2;
    }
}

std::string FromBase64(std::string_view text) {
    static const std::string alphabet =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    unsigned value = 0;
    int bits = 0;
    for (const char c : text) {
        const size_t index = alphabet.find(c);
        if (index == std::string::npos)
            break;
        value = (value << 6) | static_cast<unsigned>(index);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out += static_cast<char>((value >> bits) & 0xff);
        }
    }
    return out;
}

std::string Base64(std::string_view data) {
    std::string out;
    out.reserve((data.size() + 2) / 3 * 4);
    size_t i = 0;
    for (; i + 3 <= data.size(); i += 3) {
        const unsigned v = static_cast<unsigned char>(data[i]) << 16 |
                           static_cast<unsigned char>(data[i + 1]) << 8 |
                           static_cast<unsigned char>(data[i + 2]);
        out += kBase64Alphabet[v >> 18];
        out += kBase64Alphabet[(v >> 12) & 63];
        out += kBase64Alphabet[(v >> 6) & 63];
        out += kBase64Alphabet[v & 63];
    }
    const size_t rest = data.size() - i;
    if (rest > 0) {
        unsigned v = static_cast<unsigned char>(data[i]) << 16;
        if (rest == 2)
            v |= static_cast<unsigned char>(data[i + 1]) << 8;
        out += kBase64Alphabet[v >> 18];
        out += kBase64Alphabet[(v >> 12) & 63];
        out += rest == 2 ? kBase64Alphabet[(v >> 6) & 63] : '=';
        out += '=';
    }
    return out;
}

std::string EncodeHeaderValue(std::string_view value) {
    if (IsSevenBit(value))
        return std::string(value);
    // "=?UTF-8?B?" and "?=" leave 63 characters of an encoded word's 75, that is
    // 15 base64 groups or 45 bytes of text.
    constexpr size_t kChunk = 45;
    std::string out;
    while (!value.empty()) {
        std::string_view chunk = value.substr(0, kChunk);
        if (chunk.size() < value.size()) {
            size_t cut = chunk.size();
            while (cut > 0 && IsContinuationByte(static_cast<unsigned char>(value[cut])))
                --cut;
            if (cut > 0)
                chunk = value.substr(0, cut);
        }
        if (!out.empty())
            out += "\r\n ";
        out += "=?UTF-8?B?" + Base64(chunk) + "?=";
        value.remove_prefix(chunk.size());
    }
    return out;
}

std::string_view CutAtCharBoundary(std::string_view text, size_t maxBytes) {
    if (text.size() <= maxBytes)
        return text;
    size_t cut = maxBytes;
    while (cut > 0 && IsContinuationByte(static_cast<unsigned char>(text[cut])))
        --cut;
    if (cut > 0 && text[cut - 1] == '\r' && text[cut] == '\n')
        --cut;
    return text.substr(0, cut);
}

std::string MimeParameter(std::string_view key, std::string_view value) {
    constexpr std::string_view kSpecials = "()<>@,;:\\\"/[]?= ";
    bool token = !value.empty();
    for (const char c : value) {
        const auto u = static_cast<unsigned char>(c);
        if (u <= 32 || u >= 127 || kSpecials.find(c) != std::string_view::npos)
            token = false;
    }
    if (token)
        return std::string(key) + "=" + std::string(value);
    if (IsSevenBit(value)) {
        std::string quoted = std::string(key) + "=\"";
        for (const char c : value) {
            if (c == '"' || c == '\\')
                quoted += '\\';
            quoted += c;
        }
        return quoted + "\"";
    }
    std::string encoded = std::string(key) + "*=UTF-8''";
    for (const char c : value) {
        const auto u = static_cast<unsigned char>(c);
        if (u > 32 && u < 127 && kSpecials.find(c) == std::string_view::npos && c != '%' &&
            c != '*' && c != '\'') {
            encoded += c;
        } else {
            encoded += '%';
            encoded += kHex[u >> 4];
            encoded += kHex[u & 15];
        }
    }
    return encoded;
}

std::string WithoutLineEnds(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        if (c != '\r' && c != '\n')
            out += c;
    }
    return out;
}

} // namespace mail_text
