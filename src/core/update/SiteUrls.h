#pragma once
#include <string>

// Addresses on the product web site. The base comes from the environment
// variable OCULON_SITE (tests point it at a local server), otherwise
// kDefaultSiteBase; it always ends in "/".
inline constexpr const char* kDefaultSiteBase = "https://oculon.example.org/";

std::string ProductSiteBase();
// The version file: a text holding the latest version between <VER> and </VER>.
std::string VersionFileUrl();
// The page the "Get new version..." button opens.
std::string DownloadPageUrl();
// The user guide opened by the help buttons when no copy lies beside the program.
std::string UserGuideUrl();
// The product's home page, opened by the tray menu's "Website".
std::string ProductPageUrl();
