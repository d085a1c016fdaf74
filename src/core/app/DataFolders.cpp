#include "app/DataFolders.h"

#include <algorithm>
#include <filesystem>

namespace {

std::string Normal(const std::filesystem::path& path) {
    std::string text = path.lexically_normal().string();
    while (text.size() > 1 && text.back() == '/')
        text.pop_back();
    return text;
}

} // namespace

std::vector<std::string> DataSearchFolders(const std::string& exePath,
                                           const std::string& dataFromBin,
                                           const std::string& configuredDataDir) {
    std::vector<std::string> folders;
    auto add = [&folders](const std::string& folder) {
        if (!folder.empty() && folder.front() == '/' &&
            std::find(folders.begin(), folders.end(), folder) == folders.end())
            folders.push_back(folder);
    };
    if (!exePath.empty() && exePath.front() == '/') {
        const std::filesystem::path bin = std::filesystem::path(exePath).parent_path();
        add(Normal(bin));
        if (!dataFromBin.empty())
            add(Normal(bin / dataFromBin));
    }
    if (!configuredDataDir.empty())
        add(Normal(configuredDataDir));
    return folders;
}
