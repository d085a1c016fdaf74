#pragma once
#include <string>

// Full path of the running executable ("" when it cannot be found).
std::string ExecutablePath();

// The program's home folder, ending in "/": $OCULON_HOME when set; else the
// executable's folder when it is writable (a build tree, a portable copy); else
// ~/.local/share/oculon. The folder is created when missing.
std::string ResolveHomeFolder();
