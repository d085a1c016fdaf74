#pragma once
#include <string>
#include <sys/types.h>

// Footage shows the inside of people's homes: every folder and file the
// programs make (home folder, archive, movies, stills, settings, outbox) is
// for the user alone. Called first thing in main, before any thread starts;
// folders that exist keep their modes.
void KeepNewFilesPrivate();

// Who besides its owner (and the administrator) can list a folder and open
// what is in it, judged by its mode and the modes of the folders above it.
struct CFolderAccess {
    enum EWho { kMissing, kOwnerOnly, kGroup, kEveryone };
    EWho who = kMissing;
    gid_t group = 0; // the folder's group, for kGroup
};
CFolderAccess FolderAccess(const std::string& folder);
