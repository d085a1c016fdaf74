#include "RecordingSinks.h"
#include "app/ProgramVersion.h"
#include "update/SiteUrls.h"
#include "update/VersionCheck.h"

#include <clocale>
#include <cmath>
#include <cstdlib>
#include <gtest/gtest.h>

namespace {

const std::string kOwnVersionText =
    "You already have the latest version: V2.07\r\rCheck this screen later...";

CVersionCheckResult Evaluate(std::string_view body) {
    return EvaluateVersionFile(true, body);
}

TEST(VersionCheckVerdict, VersionsUpToOwnPlusHalfAHundredthAreNotNewer) {
    for (const char* body :
         {"<VER>2.07</VER>", "<VER>2.075</VER>", "<VER>1.99</VER>", "<VER>abc</VER>"}) {
        const CVersionCheckResult r = Evaluate(body);
        EXPECT_FALSE(r.newer) << body;
        EXPECT_EQ(r.text, kOwnVersionText) << body;
    }
    // The own number is shown, never the fetched one.
    EXPECT_EQ(Evaluate("<VER>1.5</VER>").text, kOwnVersionText);
    // The very next float above the threshold already counts.
    EXPECT_TRUE(IsNewerVersion(std::nextafter(kProgramVersion + 0.005f, 3.0f)));
    EXPECT_FALSE(IsNewerVersion(2.075f));
}

TEST(VersionCheckVerdict, NewerVersionOfferedWithExactText) {
    const CVersionCheckResult r = Evaluate("junk <VER>2.08</VER> more <VER>9</VER>");
    EXPECT_TRUE(r.newer);
    EXPECT_FLOAT_EQ(r.version, 2.08f);
    EXPECT_EQ(r.text, "There's a newer version available: V2.08\r\r"
                      "Pressing the 'Get new version...' button below\r"
                      "will cause the application to shut down\r"
                      "before directing you to the download page.");
    // Leading blanks skipped, reading stops at the word.
    const CVersionCheckResult beta = Evaluate("<VER> 3.1 beta</VER>");
    EXPECT_TRUE(beta.newer);
    EXPECT_EQ(beta.text.substr(0, 41), "There's a newer version available: V3.10\r");
}

TEST(VersionCheckVerdict, MissingTagsAndFailedDownload) {
    const std::string unreadable =
        "Unable to read latest version from server!\r\rCheck this screen later...";
    CRecordingMessageSink sink;
    for (const char* body :
         {"", "<html>404</html>", "<VER></VER>", "<VER>2.08", "2.08</VER>", "</VER><VER>"})
        EXPECT_EQ(Evaluate(body).text, unreadable) << body;
    const CVersionCheckResult failed = EvaluateVersionFile(false, "<VER>9.0</VER>");
    EXPECT_FALSE(failed.newer);
    EXPECT_EQ(failed.text, "Unable to contact server!\r\rCheck this screen later...");
    EXPECT_TRUE(sink.m_messages.empty());
}

TEST(VersionCheckVerdict, FormatIgnoresTheProcessLocale) {
    EXPECT_EQ(FormatVersion(3.1f), "3.10");
    EXPECT_EQ(FormatVersion(2.075f), "2.08");
    EXPECT_EQ(FormatVersion(12.5f), "12.50");
    // Try a decimal-comma locale when the machine has one.
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8"}) {
        if (std::setlocale(LC_ALL, name)) {
            EXPECT_EQ(FormatVersion(2.08f), "2.08");
            EXPECT_EQ(Evaluate("<VER>2.08</VER>").version, 2.08f);
            std::setlocale(LC_ALL, "C");
            break;
        }
    }
}

TEST(SiteUrls, BaseFromEnvironmentAlwaysEndsInSlash) {
    ::unsetenv("OCULON_SITE");
    EXPECT_EQ(ProductSiteBase(), kDefaultSiteBase);
    ::setenv("OCULON_SITE", "http://127.0.0.1:8123", 1);
    EXPECT_EQ(VersionFileUrl(), "http://127.0.0.1:8123/oculon/download/ver.txt");
    ::setenv("OCULON_SITE", "http://h/base/", 1);
    EXPECT_EQ(DownloadPageUrl(), "http://h/base/oculon/download/index.htm");
    EXPECT_EQ(UserGuideUrl(), "http://h/base/oculon/userguide/index.htm");
    ::setenv("OCULON_SITE", "", 1);
    EXPECT_EQ(ProductSiteBase(), kDefaultSiteBase);
    ::unsetenv("OCULON_SITE");
}

} // namespace
