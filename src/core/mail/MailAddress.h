#pragma once
#include <string>

// One mailbox: an optional display name and the address as the user typed it.
class CMailAddress {
public:
    CMailAddress() = default;
    CMailAddress(std::string name, std::string address)
        : m_name(std::move(name)), m_address(std::move(address)) {}

    // "name <address>" when there is a name, else the bare address.
    std::string Format() const {
        if (m_name.empty())
            return m_address;
        return m_name + " <" + m_address + ">";
    }

    std::string m_name;
    std::string m_address;
};
