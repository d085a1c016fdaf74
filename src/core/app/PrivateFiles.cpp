#include "app/PrivateFiles.h"

#include <filesystem>
#include <sys/stat.h>

void KeepNewFilesPrivate() {
    ::umask(077);
}

CFolderAccess FolderAccess(const std::string& folder) {
    CFolderAccess access;
    const std::filesystem::path path = std::filesystem::absolute(folder).lexically_normal();
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return access;
    access.group = st.st_gid;
    // Another account needs to pass through every folder above as well.
    bool othersPass = true, groupPasses = true;
    for (std::filesystem::path up = path.parent_path(); !up.empty(); up = up.parent_path()) {
        struct stat above {};
        if (::stat(up.c_str(), &above) == 0) {
            othersPass = othersPass && (above.st_mode & S_IXOTH);
            groupPasses = groupPasses && (above.st_mode & (S_IXGRP | S_IXOTH));
        }
        if (up == up.root_path())
            break;
    }
    if (othersPass && (st.st_mode & (S_IROTH | S_IXOTH)))
        access.who = CFolderAccess::kEveryone;
    else if (groupPasses && (st.st_mode & (S_IRGRP | S_IXGRP)))
        access.who = CFolderAccess::kGroup;
    else
        access.who = CFolderAccess::kOwnerOnly;
    return access;
}
