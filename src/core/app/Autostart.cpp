#include "app/Autostart.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace {

// One argument of an Exec line: quoted when it holds a reserved character,
// "%" doubled, then escaped once more as a string value.
std::string ExecArgument(const std::string& arg) {
    const bool quote =
        arg.empty() || arg.find_first_of(" \t\"'\\><~|&;$*?#()`") != std::string::npos;
    std::string out = quote ? "\"" : "";
    for (char c : arg) {
        if (quote && (c == '"' || c == '`' || c == '$' || c == '\\'))
            out += '\\';
        if (c == '%')
            out += '%';
        out += c;
    }
    if (quote)
        out += '"';
    std::string value;
    for (char c : out)
        value += c == '\\' ? std::string("\\\\") : std::string(1, c);
    return value;
}

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

} // namespace

CAutostartEntry::CAutostartEntry() : m_path(PathFor(Env("XDG_CONFIG_HOME"), Env("HOME"))) {}

std::string CAutostartEntry::PathFor(const std::string& xdgConfigHome,
                                     const std::string& userHome) {
    std::string base = !xdgConfigHome.empty() && xdgConfigHome.front() == '/'
                           ? xdgConfigHome
                           : userHome + "/.config";
    while (base.size() > 1 && base.back() == '/')
        base.pop_back();
    return base + "/autostart/oculon.desktop";
}

std::string CAutostartEntry::Text(const std::string& program) {
    // The delay keyword gives the desktop's notification area a moment to come up.
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Oculon\n"
           "Comment=Watch the webcam from login on\n"
           "Exec=" +
           ExecArgument(program) +
           " CMDARG_STRAY CMDARG_DELAY\n"
           "Icon=oculon\n"
           "Terminal=false\n"
           "X-GNOME-Autostart-enabled=true\n";
}

bool CAutostartEntry::IsOn() const {
    std::ifstream in(m_path);
    if (!in)
        return false;
    for (std::string line; std::getline(in, line);) {
        if (line == "Hidden=true" || line == "X-GNOME-Autostart-enabled=false")
            return false;
    }
    return true;
}

bool CAutostartEntry::Set(bool on, const std::string& program) const {
    namespace fs = std::filesystem;
    std::error_code ec;
    if (!on) {
        fs::remove(m_path, ec);
        return !ec;
    }
    if (program.find('\n') != std::string::npos)
        return false;
    fs::create_directories(fs::path(m_path).parent_path(), ec);
    // Written beside and renamed, so a login never finds half an entry.
    const std::string temp = m_path + ".new";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out << Text(program);
        if (!out.flush()) {
            fs::remove(temp, ec);
            return false;
        }
    }
    if (std::rename(temp.c_str(), m_path.c_str()) != 0) {
        fs::remove(temp, ec);
        return false;
    }
    return true;
}
