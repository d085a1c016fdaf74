#include "notify/HomeNotifier.h"

#include "app/AppSettings.h"
#include "app/EventLog.h"
#include "app/ProgramVersion.h"
#include "mail/MailPassword.h"
#include "notify/MqttLink.h"
#include "notify/PushSender.h"

#include <atomic>
#include <cstdio>
#include <ctime>
#include <deque>
#include <mutex>

namespace {

std::mutex g_stateLock;
std::string g_latestState;
std::atomic<int> g_loginGeneration{0};

// Sits in front of the event log and keeps the words of report mails'
// outcomes ("sent", "queued", "failed") for the notifier, which has no other
// way to hear of them. Never destroyed, so a mail worker logging late always
// finds it.
class CMailOutcomeTap : public IEventLog {
public:
    void Install() {
        std::lock_guard<std::mutex> hold(m_lock);
        if (m_users++ == 0)
            m_next = SetEventLog(this);
    }
    void Uninstall() {
        std::lock_guard<std::mutex> hold(m_lock);
        if (--m_users > 0)
            return;
        IEventLog* current = SetEventLog(m_next);
        if (current != this) // someone came after us: leave theirs in place
            SetEventLog(current);
        m_next = nullptr;
        m_outcomes.clear();
    }
    void Event(const std::string& line) override {
        IEventLog* next = m_next.load();
        if (next)
            next->Event(line);
        for (const char* word : {"sent", "queued", "failed"}) {
            if (line.starts_with(std::string("mail: ") + word + " ")) {
                std::lock_guard<std::mutex> hold(m_lock);
                if (m_outcomes.size() < 64)
                    m_outcomes.push_back(word);
            }
        }
    }
    bool Take(std::string& word) {
        std::lock_guard<std::mutex> hold(m_lock);
        if (m_outcomes.empty())
            return false;
        word = m_outcomes.front();
        m_outcomes.pop_front();
        return true;
    }

private:
    std::mutex m_lock;
    int m_users = 0;
    std::atomic<IEventLog*> m_next{nullptr};
    std::deque<std::string> m_outcomes;
};

CMailOutcomeTap& MailOutcomes() {
    static CMailOutcomeTap* tap = new CMailOutcomeTap; // outlives every worker
    return *tap;
}

std::string Json(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
                out += escaped;
            } else {
                out += c;
            }
        }
    }
    return out + "\"";
}

std::string Upper(std::string text) {
    for (char& c : text)
        c = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    return text;
}

std::string Trim(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

} // namespace

CHomeNotifier::CHomeNotifier(const CAppSettings& settings, std::string homeFolder)
    : m_settings(settings), m_home(std::move(homeFolder)) {
    MailOutcomes().Install();
    Configure();
}

CHomeNotifier::~CHomeNotifier() {
    MailOutcomes().Uninstall();
    m_link.reset();
    m_push.reset();
    std::lock_guard<std::mutex> hold(g_stateLock);
    g_latestState.clear();
}

void CHomeNotifier::LoginChanged() {
    ++g_loginGeneration;
}

std::string CHomeNotifier::PasswordServer(const std::string& host, int port) {
    return "mqtt://" + host + ":" + std::to_string(port);
}

std::string CHomeNotifier::Slug(const std::string& name) {
    std::string slug;
    for (const char c : name) {
        const char lower = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
        const bool keep = (lower >= 'a' && lower <= 'z') || (lower >= '0' && lower <= '9') ||
                          lower == '-' || lower == '_';
        if (keep)
            slug += lower;
        else if (!slug.empty() && slug.back() != '_')
            slug += '_';
    }
    while (!slug.empty() && slug.back() == '_')
        slug.pop_back();
    return slug.empty() ? "camera" : slug;
}

std::string CHomeNotifier::BaseTopic(const CAppSettings& settings) {
    std::string base = Trim(settings.MQTT_BASE);
    while (!base.empty() && base.back() == '/')
        base.pop_back();
    return base.empty() ? "oculon/" + Slug(settings.VIDEO_SRC) : base;
}

std::string CHomeNotifier::IsoTime(int64_t wallSeconds) {
    const time_t t = static_cast<time_t>(wallSeconds);
    tm local{};
    localtime_r(&t, &local);
    char text[40];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S%z", &local);
    return text;
}

std::string CHomeNotifier::EventJson(const char* type, const std::string& camera, int64_t startWall,
                                     int64_t endWall, const CCaptureNotice& notice,
                                     const std::string& mail) {
    return std::string("{\"type\":") + Json(type) + ",\"camera\":" + Json(camera) +
           ",\"start\":" + Json(IsoTime(startWall)) +
           ",\"end\":" + (endWall ? Json(IsoTime(endWall)) : "null") +
           ",\"movie\":" + Json(notice.moviePath) + ",\"stills\":" + Json(notice.stillDir) +
           ",\"first_still\":" + Json(notice.firstStillPath) +
           ",\"frames\":" + std::to_string(notice.frames) + ",\"mail\":" + Json(mail) + "}";
}

std::vector<std::pair<std::string, std::string>>
CHomeNotifier::DiscoveryConfigs(const std::string& base, const std::string& id,
                                const std::string& name) {
    char version[16];
    std::snprintf(version, sizeof version, "%.2f", static_cast<double>(kProgramVersion));
    const std::string common = ",\"availability_topic\":" + Json(base + "/availability") +
                               ",\"payload_available\":\"online\","
                               "\"payload_not_available\":\"offline\","
                               "\"device\":{\"identifiers\":[" +
                               Json(id) + "],\"name\":" + Json(name) +
                               ",\"manufacturer\":\"Oculon\",\"model\":\"Oculon\","
                               "\"sw_version\":" +
                               Json(version) + "}}";
    auto unique = [&](const char* what) { return ",\"unique_id\":" + Json(id + "_" + what); };
    const std::string prefix = "homeassistant/";
    return {
        {prefix + "binary_sensor/" + id + "/motion/config",
         "{\"name\":\"Motion\",\"device_class\":\"motion\",\"state_topic\":" +
             Json(base + "/motion") + ",\"payload_on\":\"ON\",\"payload_off\":\"OFF\"" +
             unique("motion") + common},
        {prefix + "switch/" + id + "/armed/config",
         "{\"name\":\"Armed\",\"state_topic\":" + Json(base + "/armed") +
             ",\"command_topic\":" + Json(base + "/armed/set") +
             ",\"payload_on\":\"ON\",\"payload_off\":\"OFF\",\"state_on\":\"ON\","
             "\"state_off\":\"OFF\"" +
             unique("armed") + common},
        {prefix + "image/" + id + "/snapshot/config",
         "{\"name\":\"Snapshot\",\"image_topic\":" + Json(base + "/snapshot") +
             ",\"content_type\":\"image/jpeg\"" + unique("snapshot") + common},
        {prefix + "sensor/" + id + "/status/config",
         "{\"name\":\"Status\",\"state_topic\":" + Json(base + "/status") + unique("status") +
             common},
    };
}

std::string CHomeNotifier::Signature() const {
    const CAppSettings& s = m_settings;
    return s.MQTT_HOST + "\n" + std::to_string(s.MQTT_PORT) + "\n" + s.MQTT_USER + "\n" +
           std::to_string(s.MQTT_TLS) + "\n" + s.MQTT_CA + "\n" + BaseTopic(s) + "\n" +
           std::to_string(s.MQTT_DISCOVERY) + "\n" + std::to_string(s.PUSH_MODE) + "\n" +
           s.PUSH_URL + "\n" + s.VIDEO_SRC + "\n" + std::to_string(g_loginGeneration.load());
}

void CHomeNotifier::Configure() {
    m_signature = Signature();
    // The old link says "offline" and goes before the new one connects.
    m_link.reset();
    m_push.reset();
    m_base = BaseTopic(m_settings);
    m_camera = m_settings.VIDEO_SRC.empty() ? "camera" : m_settings.VIDEO_SRC;
    const std::string host = Trim(m_settings.MQTT_HOST);
    if (!host.empty()) {
        CMqttConfig config;
        config.host = host;
        config.port = m_settings.MQTT_PORT;
        config.user = m_settings.MQTT_USER;
        config.tls = m_settings.MQTT_TLS != 0;
        config.caFile = m_settings.MQTT_CA;
        if (!config.user.empty())
            config.password =
                mail_password::Load(m_home, PasswordServer(host, config.port), config.user);
        config.availability = m_base + "/availability";
        config.subscriptions = {m_base + "/armed/set"};
        m_link = std::make_unique<CMqttLink>(std::move(config));
        m_link->SetState(m_base + "/motion", "OFF");
        if (m_settings.MQTT_DISCOVERY) {
            const std::string id = Slug(m_base);
            for (const auto& [topic, payload] : DiscoveryConfigs(m_base, id, "Oculon " + m_camera))
                m_link->SetState(topic, payload);
        }
    }
    const std::string url = Trim(m_settings.PUSH_URL);
    if (m_settings.PUSH_MODE != CPushSender::kOff && !url.empty())
        m_push = std::make_unique<CPushSender>(url, m_settings.PUSH_MODE);
}

void CHomeNotifier::Tick(bool armed, const std::string& status) {
    if (Signature() != m_signature)
        Configure();
    SettleEnds();
    if (m_link) {
        m_link->SetState(m_base + "/armed", armed ? "ON" : "OFF");
        m_link->SetState(m_base + "/status", status);
    }
    const std::string state = LinkState();
    std::lock_guard<std::mutex> hold(g_stateLock);
    g_latestState = state;
}

int CHomeNotifier::TakeArmCommand() {
    int command = -1;
    std::string topic;
    std::string payload;
    while (m_link && m_link->TakeMessage(topic, payload)) {
        if (topic != m_base + "/armed/set")
            continue;
        const std::string word = Upper(Trim(payload));
        if (word == "ON")
            command = 1;
        else if (word == "OFF")
            command = 0;
    }
    return command;
}

std::string CHomeNotifier::MailState() const {
    return m_settings.EMAIL_ENA ? "sending" : "off";
}

void CHomeNotifier::OnCaptureStart(const CCaptureNotice& notice) {
    m_startWall = notice.wallSeconds;
    const std::string json = EventJson("start", m_camera, m_startWall, 0, notice, MailState());
    if (m_link) {
        m_link->SetState(m_base + "/motion", "ON");
        m_link->Publish(m_base + "/event", json, false);
        if (!notice.firstStillPath.empty())
            m_link->Publish(m_base + "/snapshot", {}, true, notice.firstStillPath);
    }
    // Within the cooldown the capture waits to be listed in the next alert.
    const int64_t cooldown = static_cast<int64_t>(m_settings.PUSH_COOLDOWN_MIN) * 60;
    m_alerted = m_push &&
                !(cooldown > 0 && m_lastAlertWall >= 0 && m_startWall - m_lastAlertWall < cooldown);
    if (!m_alerted) {
        if (m_push)
            m_heldStarts.push_back(m_startWall);
        return;
    }
    std::string text = "Capture started " + IsoTime(m_startWall);
    if (!m_heldStarts.empty()) {
        text += "; " + std::to_string(m_heldStarts.size()) + " more since the last alert:";
        for (const int64_t held : m_heldStarts)
            text += " " + IsoTime(held);
    }
    m_heldStarts.clear();
    m_lastAlertWall = m_startWall;
    m_push->Send(CPushMessage{json, "Motion: " + m_camera, text, "rotating_light", 4,
                              notice.firstStillPath});
}

void CHomeNotifier::OnCaptureEnd(const CCaptureNotice& notice) {
    CPendingEnd end{notice, m_startWall ? m_startWall : notice.wallSeconds,
                    std::chrono::steady_clock::now() + std::chrono::seconds(kMailWaitSeconds),
                    m_alerted};
    m_alerted = false;
    m_startWall = 0;
    if (m_link) {
        m_link->SetState(m_base + "/motion", "OFF");
        m_link->Publish(
            m_base + "/event",
            EventJson("end", m_camera, end.startWall, notice.wallSeconds, notice, MailState()),
            false);
    }
    if (!m_settings.EMAIL_ENA) {
        SendEnd(end, "off");
        return;
    }
    // Outcomes heard while no capture waited belong to earlier reports.
    std::string stale;
    while (m_pendingEnds.empty() && MailOutcomes().Take(stale)) {
    }
    m_pendingEnds.push_back(std::move(end));
}

void CHomeNotifier::SettleEnds() {
    std::string word;
    while (!m_pendingEnds.empty() && MailOutcomes().Take(word)) {
        SendEnd(m_pendingEnds.front(), word);
        m_pendingEnds.pop_front();
    }
    const auto now = std::chrono::steady_clock::now();
    while (!m_pendingEnds.empty() && m_pendingEnds.front().giveUp <= now) {
        SendEnd(m_pendingEnds.front(), "no answer yet");
        m_pendingEnds.pop_front();
    }
}

void CHomeNotifier::SendEnd(const CPendingEnd& end, const std::string& mail) {
    const CCaptureNotice& notice = end.notice;
    const std::string json =
        EventJson("end", m_camera, end.startWall, notice.wallSeconds, notice, mail);
    // The end event went out at once; the mail's outcome follows as an event of its own.
    if (m_link && m_settings.EMAIL_ENA)
        m_link->Publish(
            m_base + "/event",
            EventJson("mail", m_camera, end.startWall, notice.wallSeconds, notice, mail), false);
    if (m_push && end.alerted)
        m_push->Send(CPushMessage{json,
                                  "Capture ended: " + m_camera,
                                  "Lasted " + std::to_string(notice.wallSeconds - end.startWall) +
                                      " s, " + std::to_string(notice.frames) +
                                      " frames; mail: " + mail,
                                  "movie_camera",
                                  3,
                                  {}});
}

std::string CHomeNotifier::LinkState() const {
    return "MQTT: " + (m_link ? m_link->StateText() : std::string("off"));
}

std::string CHomeNotifier::LatestLinkState() {
    std::lock_guard<std::mutex> hold(g_stateLock);
    return g_latestState;
}
