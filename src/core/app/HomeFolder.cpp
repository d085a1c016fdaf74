#include "app/HomeFolder.h"

#include <climits>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string WithSlash(std::string folder) {
    if (folder.empty() || folder.back() != '/')
        folder += '/';
    return folder;
}

// mkdir -p: the user-level fallback may be several levels deep on a new account.
// What it makes is the user's alone; folders that exist keep their modes.
void MakePath(const std::string& folder) {
    for (size_t at = 1; at <= folder.size(); ++at) {
        if (at == folder.size() || folder[at] == '/')
            (void)::mkdir(folder.substr(0, at).c_str(), 0700);
    }
}

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

} // namespace

std::string ExecutablePath() {
    char buf[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0)
        return {};
    return std::string(buf, static_cast<size_t>(n));
}

std::string ChooseHomeFolder(const CHomeFolderInputs& inputs,
                             const std::function<bool(const std::string&)>& isWritable) {
    if (!inputs.oculonHome.empty())
        return WithSlash(inputs.oculonHome);
    if (const size_t slash = inputs.exePath.rfind('/'); slash != std::string::npos) {
        const std::string folder = inputs.exePath.substr(0, slash + 1);
        if (isWritable(folder))
            return folder;
    }
    // A relative XDG_DATA_HOME is invalid and ignored, as the base directory rules say.
    std::string base;
    if (!inputs.xdgDataHome.empty() && inputs.xdgDataHome.front() == '/')
        base = WithSlash(inputs.xdgDataHome);
    else if (!inputs.userHome.empty())
        base = WithSlash(inputs.userHome) + ".local/share/";
    else
        base = "/tmp/";
    return base + "oculon/";
}

std::string ResolveHomeFolder() {
    const CHomeFolderInputs inputs{Env("OCULON_HOME"), Env("XDG_DATA_HOME"), Env("HOME"),
                                   ExecutablePath()};
    const std::string home = ChooseHomeFolder(
        inputs, [](const std::string& folder) { return ::access(folder.c_str(), W_OK) == 0; });
    MakePath(home);
    return home;
}
