#include "video/capture/DeviceChoice.h"

#include <gtest/gtest.h>

namespace {

const std::string kNoDevice = "Oculon cannot find any\r\n"
                              "suitable video devices on your PC.\r\n\r\n"
                              "Please follow these steps:\r\n\r\n"
                              "[1] Shut Down Oculon.\r\n"
                              "[2] Install/Plug-In video device.\r\n"
                              "[3] Restart Oculon.\r\n\r\n"
                              "HINT:\r\n"
                              "Oculon is compatible with\r\n"
                              "any webcam.\r\n";
const std::string kHint = "\r\n\r\nTo select another device\r\nuse the setup screen.";

std::string Missing(const std::string& remembered, const std::string& replacement) {
    return "Unable to locate the selected\r\nvideo device on your PC!\r\n\r\nCannot find:\r\n\"" +
           remembered + "\"\r\n\r\nUsing instead:\r\n\"" + replacement + "\"";
}

} // namespace

TEST(DeviceChoice, NoDeviceGivesMessageAAndNoIndex) {
    const auto choice = ChooseDevice({}, "Old camera");
    EXPECT_EQ(choice.index, -1);
    ASSERT_EQ(choice.messages.size(), 1u);
    EXPECT_EQ(choice.messages[0], kNoDevice);
}

TEST(DeviceChoice, WithoutARememberedDeviceTheFirstIsUsedAndNamedOnlyWhenThereIsAChoice) {
    const auto one = ChooseDevice({"Cam A"}, "");
    EXPECT_EQ(one.index, 0);
    EXPECT_TRUE(one.messages.empty());

    const auto two = ChooseDevice({"Cam A", "Cam B"}, "");
    EXPECT_EQ(two.index, 0);
    ASSERT_EQ(two.messages.size(), 1u);
    EXPECT_EQ(two.messages[0], "Oculon has chosen to use\r\nthe following video device:\r\n\r\n"
                               "Device name:\r\n\"Cam A\"" +
                                   kHint);
}

TEST(DeviceChoice, TheRememberedDeviceIsFoundByItsExactName) {
    const auto choice = ChooseDevice({"Cam A", "Cam B", "Cam B"}, "Cam B");
    EXPECT_EQ(choice.index, 1);
    EXPECT_TRUE(choice.messages.empty());
}

TEST(DeviceChoice, AMissingRememberedDeviceIsReplacedByTheFirst) {
    const auto one = ChooseDevice({"Cam A"}, "Gone");
    EXPECT_EQ(one.index, 0);
    ASSERT_EQ(one.messages.size(), 1u);
    EXPECT_EQ(one.messages[0], Missing("Gone", "Cam A"));

    const auto two = ChooseDevice({"Cam A", "Cam B"}, "Gone");
    EXPECT_EQ(two.index, 0);
    ASSERT_EQ(two.messages.size(), 1u);
    EXPECT_EQ(two.messages[0], Missing("Gone", "Cam A") + kHint);

    // Letter case counts.
    const auto cased = ChooseDevice({"Cam A", "Cam B"}, "cam b");
    EXPECT_EQ(cased.index, 0);
    ASSERT_EQ(cased.messages.size(), 1u);
    EXPECT_EQ(cased.messages[0], Missing("cam b", "Cam A") + kHint);
}
