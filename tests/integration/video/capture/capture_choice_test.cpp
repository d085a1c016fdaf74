// Choosing and starting the device at start-up: messages, VIDEO_SRC and the
// running capture, on virtual devices.
#include "RecordingSinks.h"
#include "app/AppSettings.h"
#include "app/TagParser.h"
#include "capture_support.h"
#include "video/capture/DeviceChoice.h"
#include "video/capture/VideoSourceWnd.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

const char* const kScene = "lavfi:testsrc2=s=320x240:r=25";

class CaptureChoice : public ::testing::Test {
protected:
    void SetUp() override {
        if (RealCameraCount() > 0)
            GTEST_SKIP() << "a camera is plugged in";
    }
    std::unique_ptr<CVideoSourceWnd> Start(const CVirtualDevices& /*active devices*/,
                                           const std::string& remembered) {
        m_settings = std::make_unique<CAppSettings>(m_parser, m_home.Folder(), "");
        m_settings->VIDEO_SRC = remembered;
        return std::make_unique<CVideoSourceWnd>(*m_settings);
    }

    CRecordingMessageSink m_sink;
    CTempDir m_home; // outlives the settings, which write their file when they end
    CTagParser m_parser{false};
    std::unique_ptr<CAppSettings> m_settings;
};

TEST_F(CaptureChoice, NoDeviceShowsOnlyMessageAAndKeepsTheSetting) {
    CVirtualDevices devices("# nothing\n");
    auto source = Start(devices, "Old camera");
    EXPECT_EQ(m_sink.Texts(), std::vector<std::string>{NoDeviceMessage()});
    ASSERT_EQ(m_sink.m_messages.size(), 1u);
    EXPECT_EQ(m_sink.m_messages[0].caption, AppCaption());
    EXPECT_EQ(m_settings->VIDEO_SRC, "Old camera");
    EXPECT_FALSE(source->IsRunning());
    EXPECT_TRUE(source->DeviceNames().empty());
    uint8_t* pixels = nullptr;
    EXPECT_EQ(source->GetFrame(pixels, true), 307254);
}

TEST_F(CaptureChoice, TheOnlyDeviceIsUsedSilentlyAndRemembered) {
    CVirtualDevices devices(std::string("Scene|") + kScene + "\n");
    auto source = Start(devices, "");
    EXPECT_TRUE(m_sink.Texts().empty());
    EXPECT_EQ(m_settings->VIDEO_SRC, "Scene");
    EXPECT_EQ(source->SelectedDevice(), 0);
    ASSERT_TRUE(source->IsRunning());
    // Frames arrive: a marked row is overwritten by the fetch.
    uint8_t* pixels = nullptr;
    source->GetFrame(pixels, false);
    std::fill(pixels, pixels + 1280, uint8_t{0x5A});
    source->GetFrame(pixels, true);
    EXPECT_NE(std::count(pixels, pixels + 1280, uint8_t{0x5A}), 1280);
}

TEST_F(CaptureChoice, TwoDevicesWithoutASettingNameTheFirst) {
    CVirtualDevices devices(std::string("Scene A|") + kScene + "\nScene B|" + kScene + "\n");
    auto source = Start(devices, "");
    EXPECT_EQ(m_sink.Texts(), std::vector<std::string>{ChosenDeviceMessage("Scene A")});
    EXPECT_EQ(m_settings->VIDEO_SRC, "Scene A");
    EXPECT_TRUE(source->IsRunning());
}

TEST_F(CaptureChoice, TheRememberedDeviceIsStartedWithoutAWord) {
    CVirtualDevices devices(std::string("Scene A|") + kScene + "\nScene B|" + kScene + "\n");
    auto source = Start(devices, "Scene B");
    EXPECT_TRUE(m_sink.Texts().empty());
    EXPECT_EQ(source->SelectedDevice(), 1);
    EXPECT_EQ(source->Graph().DeviceIndex(), 1);
}

TEST_F(CaptureChoice, AMissingDeviceIsReplacedOnceByTheFirst) {
    CVirtualDevices devices(std::string("Scene A|") + kScene + "\nScene B|" + kScene + "\n");
    auto source = Start(devices, "scene b");
    EXPECT_EQ(m_sink.Texts(),
              std::vector<std::string>{MissingDeviceMessage("scene b", "Scene A", true)});
    EXPECT_EQ(m_settings->VIDEO_SRC, "Scene A");
    // Asked again (the setup dialog's OK), the replacement is now remembered.
    source->ChooseAndStartDevice();
    EXPECT_EQ(m_sink.m_messages.size(), 1u);
    EXPECT_TRUE(source->IsRunning());

    CVirtualDevices one(std::string("Scene A|") + kScene + "\n");
    m_settings->VIDEO_SRC = "Gone";
    source->ChooseAndStartDevice();
    ASSERT_EQ(m_sink.m_messages.size(), 2u);
    EXPECT_EQ(m_sink.m_messages[1].text, MissingDeviceMessage("Gone", "Scene A", false));
}

TEST_F(CaptureChoice, ADeviceThatCannotOpenIsReportedAndStillRemembered) {
    CVirtualDevices devices("Broken|lavfi:nosuchfilter\n");
    auto source = Start(devices, "");
    EXPECT_EQ(m_sink.Texts(), std::vector<std::string>{"VIDEO INPUT FAILED!"});
    EXPECT_EQ(m_settings->VIDEO_SRC, "Broken");
    EXPECT_FALSE(source->IsRunning());
}

TEST_F(CaptureChoice, TwoDevicesOfOneNameAreEachRememberedByTheirOwnName) {
    // Numbered by their sources, not by their places in the list.
    CVirtualDevices devices("Scene|lavfi:testsrc2=s=320x240:r=30\nScene|" + std::string(kScene) +
                            "\n");
    auto source = Start(devices, "Scene (2)");
    EXPECT_TRUE(m_sink.Texts().empty());
    EXPECT_EQ(source->DeviceNames(), (std::vector<std::string>{"Scene (2)", "Scene"}));
    EXPECT_EQ(source->SelectedDevice(), 0);
}

} // namespace
