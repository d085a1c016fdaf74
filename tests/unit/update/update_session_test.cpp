#include "update/StatusWindow.h"
#include "update/UpdateSession.h"

#include <cstdint>
#include <cstring>
#include <gtest/gtest.h>
#include <vector>

namespace {

struct CRecordingStatusWindow : IStatusWindow {
    void SetStatusText(const std::string& text) override { texts.push_back(text); }
    std::vector<std::string> texts;
};

class UpdateSessionStatus : public ::testing::Test {
protected:
    UpdateSessionStatus() : session("test-agent", 1) { session.SetStatusWindow(&window); }
    // The text a status leaves in the window, "(unchanged)" when it shows nothing.
    std::string Shown(uint32_t status, const void* info = nullptr, uint32_t length = 0) {
        window.texts.clear();
        session.OnStatusCallback(1, status, info, length);
        return window.texts.empty() ? "(unchanged)" : window.texts.back();
    }
    CRecordingStatusWindow window;
    CUpdateSession session;
};

TEST_F(UpdateSessionStatus, EveryStatusCodeHasItsText) {
    const char host[] = "example.org";
    EXPECT_EQ(Shown(10, host, sizeof host), "Resolving name for example.org");
    EXPECT_EQ(Shown(11, host, sizeof host), "Resolved name for example.org");
    EXPECT_EQ(Shown(20), "Connecting to socket address ");
    EXPECT_EQ(Shown(21), "Connected to socket address");
    EXPECT_EQ(Shown(30), "Sending request...");
    EXPECT_EQ(Shown(31), "Request sent");
    EXPECT_EQ(Shown(40), "(unchanged)");
    EXPECT_EQ(Shown(41), "Response received");
    EXPECT_EQ(Shown(50), "Closing the connection to the server");
    EXPECT_EQ(Shown(51), "Connection to the server closed");
    EXPECT_EQ(Shown(60), "");
    EXPECT_EQ(Shown(70), "(unchanged)");
    EXPECT_EQ(Shown(100), "Request complete");
    const uint32_t result[2] = {0x1u, 0xABCDEFu};
    EXPECT_EQ(Shown(100, result, 8), "Request complete, dwResult = 00000001, dwError = 00ABCDEF");
    EXPECT_EQ(Shown(7), "Unknown status: 7");
    EXPECT_EQ(session.LastStatus(), "Unknown status: 7");
}

TEST_F(UpdateSessionStatus, LibraryTextIsNeverAFormat) {
    const char host[] = "%s%n%x.example";
    EXPECT_EQ(Shown(10, host, sizeof host), "Resolving name for %s%n%x.example");
    // A name without its terminator stops at the given length.
    const char unterminated[4] = {'a', 'b', 'c', 'd'};
    EXPECT_EQ(Shown(11, unterminated, 3), "Resolved name for abc");
}

TEST_F(UpdateSessionStatus, StatusTextIsCutTo511Bytes) {
    const std::string longText(600, 'x');
    window.texts.clear();
    session.ShowStatus("%s", longText.c_str());
    ASSERT_EQ(window.texts.size(), 1u);
    EXPECT_EQ(window.texts[0], std::string(511, 'x'));
}

TEST(UpdateSession, CallbackOnlyWhenSwitchedOnAndWithoutWindowKeepsText) {
    CRecordingStatusWindow window;
    CUpdateSession session("a", 1);
    session.SetStatusWindow(&window);
    std::string headers;
    // Not a usable URL: fails before any connection, with the callback off.
    const auto result = session.Get(
        "ftp://127.0.0.1/x", [](const char*, size_t) { return true; }, headers);
    EXPECT_FALSE(result.ok);
    EXPECT_FALSE(result.error.empty());
    EXPECT_TRUE(window.texts.empty());
    session.SetStatusWindow(nullptr);
    session.ShowStatus("Read %d bytes", 12);
    EXPECT_EQ(session.LastStatus(), "Read 12 bytes");
}

} // namespace
