#include "update/VersionCheck.h"

#include "app/ProgramVersion.h"
#include "app/TagParser.h"
#include "update/WebFetcher.h"

#include <charconv>

std::string FormatVersion(float version) {
    char buffer[64];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, static_cast<double>(version),
                                   std::chars_format::fixed, 2);
    return std::string(buffer, end.ptr);
}

std::string NewerVersionText(float version) {
    return "There's a newer version available: V" + FormatVersion(version) +
           "\r\r"
           "Pressing the 'Get new version...' button below\r"
           "will cause the application to shut down\r"
           "before directing you to the download page.";
}

std::string LatestVersionText() {
    return "You already have the latest version: V" + FormatVersion(kProgramVersion) +
           "\r\rCheck this screen later...";
}

bool IsNewerVersion(float version) {
    constexpr float kThreshold = kProgramVersion + 0.005f;
    return version > kThreshold;
}

CVersionCheckResult EvaluateVersionFile(bool downloaded, std::string_view body) {
    CVersionCheckResult result;
    if (!downloaded) {
        result.text = kVersionNoContactText;
        return result;
    }
    const CTagParser parser(false); // the dialog's text is the only report
    const std::string tagged = parser.GetTagged(body, "<VER>", "</VER>");
    if (tagged.empty()) {
        result.text = kVersionUnreadableText;
        return result;
    }
    result.version = CTagParser::ToFloat(tagged);
    result.newer = IsNewerVersion(result.version);
    result.text = result.newer ? NewerVersionText(result.version) : LatestVersionText();
    return result;
}

CVersionCheckResult CheckLatestVersion(const std::string& url, IStatusWindow* statusWindow) {
    CWebFetcher fetcher;
    fetcher.SetReceiveTimeout(kVersionReceiveTimeoutMs);
    std::string body;
    const bool downloaded = fetcher.OpenSession(statusWindow) && fetcher.Download(url, body);
    return EvaluateVersionFile(downloaded, body);
}
