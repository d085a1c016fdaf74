#pragma once
#include <string>

// The XDG autostart entry "oculon.desktop" that starts the desktop program in
// the notification area when the user logs in. The entry's presence is the
// setting: nothing about it goes into oculon.ini, and a desktop's own switch
// for it ("Hidden", "X-GNOME-Autostart-enabled") is honoured.
class CAutostartEntry {
public:
    // The entry of this process's user ($XDG_CONFIG_HOME or ~/.config).
    CAutostartEntry();
    explicit CAutostartEntry(std::string path) : m_path(std::move(path)) {}

    // <config folder>/autostart/oculon.desktop; a relative XDG_CONFIG_HOME is
    // ignored, as the base directory rules say.
    static std::string PathFor(const std::string& xdgConfigHome, const std::string& userHome);
    // The entry that runs `program` in tray mode.
    static std::string Text(const std::string& program);

    const std::string& Path() const { return m_path; }
    bool IsOn() const;
    // Writes the entry for `program` (on) or removes it (off); false, with
    // nothing half written, when that was not possible.
    bool Set(bool on, const std::string& program) const;

private:
    std::string m_path;
};
