#include "app/HomeFolder.h"

#include <cerrno>
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
void MakePath(const std::string& folder) {
    for (size_t at = 1; at <= folder.size(); ++at) {
        if (at == folder.size() || folder[at] == '/')
            (void)::mkdir(folder.substr(0, at).c_str(), 0755);
    }
}

} // namespace

std::string ExecutablePath() {
    char buf[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0)
        return {};
    return std::string(buf, static_cast<size_t>(n));
}

std::string ResolveHomeFolder() {
    if (const char* env = std::getenv("OCULON_HOME"); env && *env) {
        const std::string home = WithSlash(env);
        MakePath(home);
        return home;
    }
    const std::string exe = ExecutablePath();
    const size_t slash = exe.rfind('/');
    if (slash != std::string::npos) {
        const std::string folder = exe.substr(0, slash + 1);
        if (::access(folder.c_str(), W_OK) == 0)
            return folder;
    }
    std::string base;
    if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data == '/')
        base = WithSlash(data);
    else if (const char* user = std::getenv("HOME"); user && *user)
        base = WithSlash(user) + ".local/share/";
    else
        base = "/tmp/";
    const std::string home = base + "oculon/";
    MakePath(home);
    return home;
}
