#pragma once
#include <string>
#include <string_view>

class IStatusWindow;

// The texts of the version-check dialog; line breaks are single carriage returns.
inline constexpr const char* kVersionCheckingText = "Checking online for new version...";
inline constexpr const char* kVersionNoContactText =
    "Unable to contact server!\r\rCheck this screen later...";
inline constexpr const char* kVersionUnreadableText =
    "Unable to read latest version from server!\r\rCheck this screen later...";
inline constexpr long kVersionReceiveTimeoutMs = 2000;

// "%.02f" in every locale: a decimal comma would turn 2.08 into "2,08".
std::string FormatVersion(float version);
std::string NewerVersionText(float version);
std::string LatestVersionText();

// A fetched version counts as newer only above this, so that 2.075 still
// reads as our own 2.07 (single precision, equal is not newer).
bool IsNewerVersion(float version);

struct CVersionCheckResult {
    bool newer = false;   // the download button is to be offered
    float version = 0.0f; // the number read from the file
    std::string text;     // what the dialog shows
};

// The verdict for a finished download. A missing tag is reported by nothing
// but the verdict's text.
CVersionCheckResult EvaluateVersionFile(bool downloaded, std::string_view body);

// The whole check: fetches `url` with the receive timeout, writing progress
// into `statusWindow` (may be null), and evaluates what came back.
CVersionCheckResult CheckLatestVersion(const std::string& url, IStatusWindow* statusWindow);
