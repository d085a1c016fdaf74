#pragma once
#include <string>
#include <vector>

// Folders searched, in this order, for the program's artwork and user guide:
// the executable's own folder (a build tree, a portable copy), then the data
// folder of the installation the executable sits in, found from it through
// `dataFromBin` (the installed data folder relative to the installed program
// folder, e.g. "../share/oculon"), so that a tree installed under another
// prefix or moved still finds its files; then `configuredDataDir`, the data
// folder the build was configured for. Folders are absolute and normalised,
// without a trailing "/", each listed once.
std::vector<std::string> DataSearchFolders(const std::string& exePath,
                                           const std::string& dataFromBin,
                                           const std::string& configuredDataDir);
