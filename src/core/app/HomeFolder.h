#pragma once
#include <functional>
#include <string>

// Full path of the running executable ("" when it cannot be found).
std::string ExecutablePath();

// What the choice of the home folder depends on, read from the environment by
// ResolveHomeFolder and given by hand in tests.
struct CHomeFolderInputs {
    std::string oculonHome;  // $OCULON_HOME
    std::string xdgDataHome; // $XDG_DATA_HOME
    std::string userHome;    // $HOME
    std::string exePath;     // ExecutablePath()
};

// The home folder, ending in "/": $OCULON_HOME when set; else the executable's
// folder when it is writable (a build tree, a portable copy); else the user's
// data folder ($XDG_DATA_HOME or ~/.local/share) + "oculon/". Creates nothing.
std::string ChooseHomeFolder(const CHomeFolderInputs& inputs,
                             const std::function<bool(const std::string&)>& isWritable);

// ChooseHomeFolder on this process's environment; the folder is created when
// missing, with mode 0700.
std::string ResolveHomeFolder();
