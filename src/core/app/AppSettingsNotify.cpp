#include "app/AppSettings.h"
#include "app/SettingsValue.h"
#include "app/TagParser.h"

void CAppSettings::LoadNotify(const std::string& text) {
    using settings_value::Number;
    using settings_value::Text;
    MQTT_HOST = Text(m_parser, text, "MQTT_HOST");
    MQTT_PORT = Number(m_parser, text, "MQTT_PORT=", 1883, 1, 65535);
    MQTT_USER = Text(m_parser, text, "MQTT_USER");
    MQTT_TLS = Number(m_parser, text, "MQTT_TLS=", 0, 0, 1);
    MQTT_CA = Text(m_parser, text, "MQTT_CA");
    MQTT_BASE = Text(m_parser, text, "MQTT_BASE");
    MQTT_DISCOVERY = Number(m_parser, text, "MQTT_DISCOVERY=", 0, 0, 1);
    PUSH_MODE = Number(m_parser, text, "PUSH_MODE=", 0, 0, 2);
    PUSH_URL = Text(m_parser, text, "PUSH_URL");
    PUSH_COOLDOWN_MIN = Number(m_parser, text, "PUSH_COOLDOWN_MIN=", 0, 0, 1440);
    ARM_SCHEDULE = Text(m_parser, text, "ARM_SCHEDULE");
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
