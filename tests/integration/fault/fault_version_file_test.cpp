// Version files that are not what the check expects, served by a real HTTP
// server: a huge one and binary garbage end in one of the dialog's own
// verdicts, with no message box and no endless download.
#include "HttpFolderServer.h"
#include "RecordingSinks.h"
#include "TempDir.h"
#include "update/StatusWindow.h"
#include "update/VersionCheck.h"
#include "update/WebFetcher.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

namespace {

struct CLastStatus : IStatusWindow {
    void SetStatusText(const std::string& text) override { last = text; }
    std::string last;
};

std::string Garbage(size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes)
        c = static_cast<char>(random() & 0xff);
    // Whatever the dice say, no tag may hide in it.
    for (size_t at; (at = bytes.find('<')) != std::string::npos;)
        bytes[at] = '\xfe';
    return bytes;
}

class FaultVersionFile : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directories(m_site.File("oculon/download"));
        m_server = std::make_unique<CHttpFolderServer>(m_site.Path());
        ASSERT_TRUE(m_server->Ready()) << "python3 -m http.server did not start";
    }
    CVersionCheckResult Check(const std::string& file) {
        WriteFileBytes(m_site.File("oculon/download/ver.txt"), file);
        return CheckLatestVersion(m_server->BaseUrl() + "oculon/download/ver.txt", &m_status);
    }

    CRecordingMessageSink m_messages;
    CLastStatus m_status;
    CTempDir m_site;
    std::unique_ptr<CHttpFolderServer> m_server;
};

TEST_F(FaultVersionFile, TenMegabytesAreRefusedEvenWithAVersionAtTheStart) {
    std::string file = "<VER>9.50</VER>\n";
    file += std::string(10 * 1024 * 1024, 'x');
    const CVersionCheckResult r = Check(file);
    EXPECT_FALSE(r.newer);
    EXPECT_EQ(r.text, kVersionNoContactText);
    EXPECT_EQ(m_status.last, "The answer of the server is too large");
    EXPECT_TRUE(m_messages.m_messages.empty());

    // Just below the limit the same file is read and understood.
    file.resize(CWebFetcher::kMaxBody);
    const CVersionCheckResult fits = Check(file);
    EXPECT_TRUE(fits.newer);
    EXPECT_FLOAT_EQ(fits.version, 9.5f);
}

TEST_F(FaultVersionFile, BinaryGarbageGivesTheDialogsOwnVerdicts) {
    struct Case {
        std::string file;
        bool newer;
        std::string text;
    };
    const std::vector<Case> cases = {
        {Garbage(64 * 1024, 1), false, kVersionUnreadableText},
        // Between the tags: garbage that is not a number reads as 0.
        {Garbage(3000, 2) + "<VER>\xff\x01" + Garbage(50, 3) + "</VER>" + Garbage(3000, 4), false,
         LatestVersionText()},
        // A number followed by garbage counts up to the garbage.
        {Garbage(3000, 5) + "<VER>3.25\xff\x80" + Garbage(50, 6) + "</VER>", true,
         NewerVersionText(3.25f)},
        // An opening tag whose closing tag never comes.
        {"<VER>2.50" + Garbage(3000, 7), false, kVersionUnreadableText},
    };
    for (size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE("case " + std::to_string(i));
        const CVersionCheckResult r = Check(cases[i].file);
        EXPECT_EQ(r.newer, cases[i].newer);
        EXPECT_EQ(r.text, cases[i].text);
    }
    EXPECT_TRUE(m_messages.m_messages.empty());
}

} // namespace
