// Topics, Home Assistant discovery and event texts of the home notifier.
#include "notify/HomeNotifier.h"

#include <gtest/gtest.h>

namespace {

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

TEST(HomeNotifier, CameraNamesBecomeOneTopicLevel) {
    const std::pair<const char*, const char*> cases[] = {
        {"USB2.0 HD UVC WebCam: USB2.0 HD", "usb2_0_hd_uvc_webcam_usb2_0_hd"},
        {"Yard", "yard"},
        {"front-door_2", "front-door_2"},
        {"  #+/ ", "camera"}, // wildcards and separators never reach a topic
        {"", "camera"},
        {"Caméra", "cam_ra"},
    };
    for (const auto& [name, slug] : cases)
        EXPECT_EQ(CHomeNotifier::Slug(name), slug) << name;
}

TEST(HomeNotifier, DiscoveryNamesEveryEntityWithItsTopicsAndTheDevice) {
    const auto configs =
        CHomeNotifier::DiscoveryConfigs("oculon/yard", "oculon_yard", "Oculon Yard");
    const std::vector<std::pair<std::string, std::vector<std::string>>> expected = {
        {"homeassistant/binary_sensor/oculon_yard/motion/config",
         {"\"device_class\":\"motion\"", "\"state_topic\":\"oculon/yard/motion\"",
          "\"unique_id\":\"oculon_yard_motion\""}},
        {"homeassistant/switch/oculon_yard/armed/config",
         {"\"command_topic\":\"oculon/yard/armed/set\"", "\"state_topic\":\"oculon/yard/armed\""}},
        {"homeassistant/image/oculon_yard/snapshot/config",
         {"\"image_topic\":\"oculon/yard/snapshot\"", "\"content_type\":\"image/jpeg\""}},
        {"homeassistant/sensor/oculon_yard/status/config",
         {"\"state_topic\":\"oculon/yard/status\""}},
    };
    ASSERT_EQ(configs.size(), expected.size());
    for (size_t i = 0; i < configs.size(); ++i) {
        const auto& [topic, json] = configs[i];
        EXPECT_EQ(topic, expected[i].first);
        std::vector<std::string> parts = expected[i].second;
        parts.insert(parts.end(), {"\"availability_topic\":\"oculon/yard/availability\"",
                                   "\"device\":{\"identifiers\":[\"oculon_yard\"]",
                                   "\"manufacturer\":\"Oculon\"", "\"sw_version\":\"2.07\""});
        for (const std::string& part : parts)
            EXPECT_TRUE(Has(json, part)) << part << "\n" << json;
        EXPECT_EQ(json.front(), '{');
        EXPECT_EQ(json.back(), '}');
    }
}

TEST(HomeNotifier, EventTextsEscapeWhatJsonCannotHoldAsIs) {
    CCaptureNotice notice{"/arch/a \"b\".wmv", "/arch/x\\y", "", 42, 0};
    const std::string running = CHomeNotifier::EventJson("start", "Cam\n1", 0, 0, notice, "off");
    EXPECT_TRUE(Has(running, "\"end\":null")) << running;
    EXPECT_TRUE(Has(running, "\"movie\":\"/arch/a \\\"b\\\".wmv\"")) << running;
    EXPECT_TRUE(Has(running, "\"stills\":\"/arch/x\\\\y\"")) << running;
    EXPECT_TRUE(Has(running, "\"camera\":\"Cam\\n1\"")) << running;
    const std::string ended = CHomeNotifier::EventJson("end", "Cam", 0, 90, notice, "sending");
    EXPECT_TRUE(Has(ended, "\"frames\":42")) << ended;
    EXPECT_TRUE(Has(ended, "\"end\":\"" + CHomeNotifier::IsoTime(90) + "\"")) << ended;
    EXPECT_TRUE(Has(ended, "\"mail\":\"sending\"}")) << ended;
}

} // namespace
