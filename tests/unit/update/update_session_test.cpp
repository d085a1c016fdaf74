#include "update/StatusWindow.h"
#include "update/UpdateSession.h"

#include <gtest/gtest.h>
#include <vector>

namespace {

struct CRecordingStatusWindow : IStatusWindow {
    void SetStatusText(const std::string& text) override { texts.push_back(text); }
    std::vector<std::string> texts;
};

TEST(UpdateSession, StatusTextIsCutTo511Bytes) {
    CRecordingStatusWindow window;
    CUpdateSession session(&window);
    const std::string longText(600, 'x');
    session.ShowStatus("%s", longText.c_str());
    ASSERT_EQ(window.texts.size(), 1u);
    EXPECT_EQ(window.texts[0], std::string(511, 'x'));
}

TEST(UpdateSession, OtherSchemesFailBeforeAnyProgressAndWithoutWindowTextIsKept) {
    CRecordingStatusWindow window;
    CUpdateSession session(&window);
    // Not a usable URL: fails before any connection.
    const auto result = session.Get("ftp://127.0.0.1/x", [](const char*, size_t) { return true; });
    EXPECT_FALSE(result.ok);
    EXPECT_FALSE(result.error.empty());
    EXPECT_TRUE(window.texts.empty());
    CUpdateSession windowless(nullptr);
    windowless.ShowStatus("Read %d bytes", 12);
    EXPECT_EQ(windowless.LastStatus(), "Read 12 bytes");
}

} // namespace
