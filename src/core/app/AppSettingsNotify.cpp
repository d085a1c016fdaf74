#include "app/AppSettings.h"
#include "app/SettingsValue.h"
#include "app/TagParser.h"

void CAppSettings::LoadNotify(const std::string& text) {
    // A file from before these settings has none of them: defaults, no complaint.
    auto number = [&](const char* key, int& value, int defaultValue, int min, int max) {
        value = defaultValue;
        if (text.find(key) != std::string::npos)
            m_parser.GetInt(text, key, value, defaultValue);
        if (value < min || value > max)
            value = defaultValue;
    };
    auto tagged = [&](const char* key, std::string& value) {
        const std::string open = std::string("<") + key + ">";
        value.clear();
        if (text.find(open) != std::string::npos)
            value = settings_value::Unescaped(
                m_parser.GetTagged(text, open, std::string("</") + key + ">"));
    };
    tagged("MQTT_HOST", MQTT_HOST);
    number("MQTT_PORT=", MQTT_PORT, 1883, 1, 65535);
    tagged("MQTT_USER", MQTT_USER);
    number("MQTT_TLS=", MQTT_TLS, 0, 0, 1);
    tagged("MQTT_CA", MQTT_CA);
    tagged("MQTT_BASE", MQTT_BASE);
    number("MQTT_DISCOVERY=", MQTT_DISCOVERY, 0, 0, 1);
    number("PUSH_MODE=", PUSH_MODE, 0, 0, 2);
    tagged("PUSH_URL", PUSH_URL);
    number("PUSH_COOLDOWN_MIN=", PUSH_COOLDOWN_MIN, 0, 0, 1440);
    tagged("ARM_SCHEDULE", ARM_SCHEDULE);
}

std::string CAppSettings::NotifyText() const {
    auto tagged = [](const char* key, const std::string& value) {
        return std::string("<") + key + ">" + settings_value::Escaped(value) + "</" + key + ">\n";
    };
    return "\n[HOME AND PUSH]\n" + tagged("MQTT_HOST", MQTT_HOST) +
           "MQTT_PORT=" + std::to_string(MQTT_PORT) + "\n" + tagged("MQTT_USER", MQTT_USER) +
           "MQTT_TLS=" + std::to_string(MQTT_TLS) + "\n" + tagged("MQTT_CA", MQTT_CA) +
           tagged("MQTT_BASE", MQTT_BASE) + "MQTT_DISCOVERY=" + std::to_string(MQTT_DISCOVERY) +
           "\nPUSH_MODE=" + std::to_string(PUSH_MODE) + "\n" + tagged("PUSH_URL", PUSH_URL) +
           "PUSH_COOLDOWN_MIN=" + std::to_string(PUSH_COOLDOWN_MIN) + "\n\n[ARMING]\n" +
           tagged("ARM_SCHEDULE", ARM_SCHEDULE);
}
