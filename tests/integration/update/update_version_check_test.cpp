#include "HttpFolderServer.h"
#include "RecordingSinks.h"
#include "TempDir.h"
#include "update/StatusWindow.h"
#include "update/UpdateSession.h"
#include "update/VersionCheck.h"
#include "update/WebFetcher.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>
#include <vector>

namespace {

struct CRecordingStatusWindow : IStatusWindow {
    void SetStatusText(const std::string& text) override { texts.push_back(text); }
    bool Saw(const std::string& text) const {
        return std::find(texts.begin(), texts.end(), text) != texts.end();
    }
    std::vector<std::string> texts;
};

// A site folder with the version file at its usual place.
class UpdateAgainstHttpServer : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directories(site.File("oculon/download"));
        server = std::make_unique<CHttpFolderServer>(site.Path());
        ASSERT_TRUE(server->Ready()) << "python3 -m http.server did not start";
    }
    void PutVersionFile(const std::string& bytes) {
        WriteFileBytes(site.File("oculon/download/ver.txt"), bytes);
    }
    std::string VersionUrl() const { return server->BaseUrl() + "oculon/download/ver.txt"; }
    CVersionCheckResult Check() { return CheckLatestVersion(VersionUrl(), &window); }

    CTempDir site;
    std::unique_ptr<CHttpFolderServer> server;
    CRecordingStatusWindow window;
    CRecordingMessageSink messages;
};

TEST_F(UpdateAgainstHttpServer, OwnAndOlderVersionsReportTheOwnVersion) {
    for (const char* file : {"<VER>2.07</VER>\n", "<html><VER>2.075</VER></html>"}) {
        PutVersionFile(file);
        const CVersionCheckResult r = Check();
        EXPECT_FALSE(r.newer) << file;
        EXPECT_EQ(r.text,
                  "You already have the latest version: V2.07\r\rCheck this screen later...");
    }
    EXPECT_TRUE(messages.m_messages.empty());
}

TEST_F(UpdateAgainstHttpServer, NewerVersionsAreOffered) {
    PutVersionFile("<VER>2.08</VER>");
    CVersionCheckResult r = Check();
    EXPECT_TRUE(r.newer);
    EXPECT_EQ(r.text.substr(0, 42), "There's a newer version available: V2.08\r\r");
    PutVersionFile("version file\n<VER> 3.1 beta</VER>\n");
    r = Check();
    EXPECT_TRUE(r.newer);
    EXPECT_EQ(r.text, "There's a newer version available: V3.10\r\r"
                      "Pressing the 'Get new version...' button below\r"
                      "will cause the application to shut down\r"
                      "before directing you to the download page.");
    EXPECT_TRUE(messages.m_messages.empty());
}

TEST_F(UpdateAgainstHttpServer, ErrorPageWithoutTagsCannotBeRead) {
    // No version file: the server's 404 page comes back as the text.
    const CVersionCheckResult r = Check();
    EXPECT_FALSE(r.newer);
    EXPECT_EQ(r.text, "Unable to read latest version from server!\r\rCheck this screen later...");
    CWebFetcher fetcher;
    std::string body;
    ASSERT_TRUE(fetcher.Download(VersionUrl(), body));
    EXPECT_EQ(fetcher.StatusCode(), 404);
    EXPECT_NE(body.find("404"), std::string::npos);
    // A folder named without its slash is sent on to its listing.
    ASSERT_TRUE(fetcher.Download(server->BaseUrl() + "oculon/download", body));
    EXPECT_EQ(fetcher.StatusCode(), 200);
    EXPECT_TRUE(messages.m_messages.empty());
}

TEST_F(UpdateAgainstHttpServer, ProgressTextsFollowTheFetch) {
    // Large enough to arrive in several pieces.
    PutVersionFile("<VER>2.10</VER>" + std::string(10000, '.'));
    const CVersionCheckResult r = Check();
    EXPECT_TRUE(r.newer);
    for (const char* step :
         {"Resolving name for 127.0.0.1", "Resolved name for 127.0.0.1",
          "Connecting to socket address ", "Connected to socket address", "Sending request...",
          "Request sent", "Response received", "Read 10015 bytes",
          // The server ends the connection after its answer.
          "Closing the connection to the server", "Connection to the server closed"})
        EXPECT_TRUE(window.Saw(step)) << step;
    // Reads are reported with growing totals, at most 4095 bytes apart.
    int previous = 0;
    for (const std::string& t : window.texts) {
        if (t.rfind("Read ", 0) != 0)
            continue;
        const int total = std::stoi(t.substr(5));
        EXPECT_GT(total, previous);
        EXPECT_LE(total - previous, 4095);
        previous = total;
    }
    EXPECT_EQ(previous, 10015);
    const auto connecting =
        std::find(window.texts.begin(), window.texts.end(), "Sending request...");
    const auto received = std::find(window.texts.begin(), window.texts.end(), "Response received");
    EXPECT_LT(connecting, received);
}

TEST_F(UpdateAgainstHttpServer, FetcherKeepsItsSessionAcrossDownloads) {
    PutVersionFile("<VER>1</VER>");
    CWebFetcher fetcher;
    ASSERT_TRUE(fetcher.OpenSession(&window));
    std::string body;
    for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(fetcher.Download(VersionUrl(), body));
        EXPECT_EQ(body, "<VER>1</VER>");
        EXPECT_EQ(fetcher.StatusCode(), 200);
        // The last word of a good download is an empty status.
        EXPECT_EQ(fetcher.Session()->LastStatus(), "");
    }
    fetcher.CloseSession();
    EXPECT_EQ(fetcher.Session(), nullptr);
}

TEST(UpdateWithoutServer, UnreachableServerCannotBeContacted) {
    CRecordingMessageSink messages;
    CRecordingStatusWindow window;
    const std::string url =
        "http://127.0.0.1:" + std::to_string(FreeLocalPort()) + "/oculon/download/ver.txt";
    const CVersionCheckResult r = CheckLatestVersion(url, &window);
    EXPECT_FALSE(r.newer);
    EXPECT_EQ(r.text, "Unable to contact server!\r\rCheck this screen later...");
    ASSERT_FALSE(window.texts.empty());
    EXPECT_NE(window.texts.back().find("onnect"), std::string::npos) << window.texts.back();
    EXPECT_TRUE(messages.m_messages.empty());
}

TEST(UpdateWithoutServer, SilentServerEndsInTheReceiveTimeout) {
    CSilentServer silent;
    CRecordingStatusWindow window;
    const CVersionCheckResult r =
        CheckLatestVersion(silent.BaseUrl() + "oculon/download/ver.txt", &window);
    EXPECT_EQ(r.text, "Unable to contact server!\r\rCheck this screen later...");
    EXPECT_TRUE(window.Saw("Request sent"));
    EXPECT_FALSE(window.Saw("Response received"));
}

} // namespace
