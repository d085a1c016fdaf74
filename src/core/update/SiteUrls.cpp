#include "update/SiteUrls.h"

#include <cstdlib>

std::string ProductSiteBase() {
    const char* env = std::getenv("OCULON_SITE");
    std::string base = env && *env ? env : kDefaultSiteBase;
    if (base.back() != '/')
        base += '/';
    return base;
}

std::string VersionFileUrl() {
    return ProductSiteBase() + "oculon/download/ver.txt";
}

std::string DownloadPageUrl() {
    return ProductSiteBase() + "oculon/download/index.htm";
}

std::string UserGuideUrl() {
    return ProductSiteBase() + "oculon/userguide/index.htm";
}

std::string ProductPageUrl() {
    return ProductSiteBase() + "oculon/index.htm";
}
