#include "mail/MailAddressList.h"

namespace {

std::string_view Trim(std::string_view text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

} // namespace

namespace mail_address {

std::string Problem(std::string_view address) {
    if (address.empty())
        return "an address is empty";
    const std::string shown = "\"" + std::string(address.substr(0, 80)) + "\"";
    for (const char c : address) {
        if (static_cast<unsigned char>(c) <= ' ' || c == '<' || c == '>' || c == ',' || c == ';' ||
            c == '"' || c == 0x7f)
            return shown +
                   " contains a blank, line end or other character not allowed in an address";
    }
    const size_t at = address.rfind('@');
    if (at == std::string_view::npos)
        return shown + " has no @";
    if (at == 0)
        return shown + " has nothing before the @";
    if (at + 1 == address.size())
        return shown + " has no domain after the @";
    if (address.substr(0, at).find('@') != std::string_view::npos)
        return shown + " has more than one @";
    const std::string_view domain = address.substr(at + 1);
    if (domain.front() == '.' || domain.back() == '.' ||
        domain.find("..") != std::string_view::npos)
        return shown + " has a malformed domain";
    return {};
}

std::vector<CMailAddress> ParseList(std::string_view text, std::vector<std::string>* problems) {
    std::vector<std::string_view> entries;
    bool quoted = false;
    bool angled = false;
    size_t start = 0;
    for (size_t i = 0; i <= text.size(); ++i) {
        const char c = i < text.size() ? text[i] : ',';
        if (c == '"' && !angled)
            quoted = !quoted;
        else if (c == '<' && !quoted)
            angled = true;
        else if (c == '>' && !quoted)
            angled = false;
        else if ((c == ',' || c == ';') && ((!quoted && !angled) || i == text.size())) {
            entries.push_back(text.substr(start, i - start));
            start = i + 1;
        }
    }
    std::vector<CMailAddress> result;
    for (std::string_view entry : entries) {
        entry = Trim(entry);
        if (entry.empty())
            continue;
        std::string name;
        std::string_view address = entry;
        const size_t open = entry.rfind('<');
        if (open != std::string_view::npos && entry.back() == '>') {
            std::string_view shownName = Trim(entry.substr(0, open));
            if (shownName.size() >= 2 && shownName.front() == '"' && shownName.back() == '"')
                shownName = shownName.substr(1, shownName.size() - 2);
            name = shownName;
            address = Trim(entry.substr(open + 1, entry.size() - open - 2));
        }
        std::string problem = Problem(address);
        for (const char c : name) {
            if (static_cast<unsigned char>(c) < ' ' || c == 0x7f)
                problem = "the name \"" + name.substr(0, 80) + "\" contains a line end";
        }
        if (!problem.empty()) {
            if (problems)
                problems->push_back(problem);
            continue;
        }
        result.emplace_back(name, std::string(address));
    }
    return result;
}

} // namespace mail_address
