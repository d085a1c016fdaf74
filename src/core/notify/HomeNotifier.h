#pragma once
#include "notify/ICaptureObserver.h"

#include <chrono>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class CAppSettings;
class CMqttLink;
class CPushSender;

// Tells home automation (MQTT, with Home Assistant discovery) and the phone
// (a webhook or ntfy) what the camera does: availability, motion, arming,
// status text, an event at the start and the end of each capture, and the
// first still. All network work runs on the link's and the sender's workers;
// this object lives on the user-interface thread and only queues.
class CHomeNotifier : public ICaptureObserver {
public:
    CHomeNotifier(const CAppSettings& settings, std::string homeFolder);
    ~CHomeNotifier() override;
    CHomeNotifier(const CHomeNotifier&) = delete;
    CHomeNotifier& operator=(const CHomeNotifier&) = delete;

    // Every 100 ms from the main tick: takes up changed settings and publishes
    // the switch and the status text when they changed.
    void Tick(bool armed, const std::string& status);
    // The latest arm command from the broker: 1 arm, 0 disarm, -1 none.
    int TakeArmCommand();

    void OnCaptureStart(const CCaptureNotice& notice) override;
    void OnCaptureEnd(const CCaptureNotice& notice) override;

    // "MQTT: off", "MQTT: connected to HOST:PORT", ... as the status panel shows it.
    std::string LinkState() const;
    // The same text of the notifier that ticked last; "" when none exists.
    static std::string LatestLinkState();

    // A new MQTT password was stored: every notifier logs in again.
    static void LoginChanged();
    // The MQTT login's key in the password store (see mail/MailPassword.h).
    static std::string PasswordServer(const std::string& host, int port);
    // A name as one topic level: lower-case letters, digits, '-' and '_'.
    static std::string Slug(const std::string& name);
    // MQTT_BASE, or "oculon/<slug of the camera's name>".
    static std::string BaseTopic(const CAppSettings& settings);
    // The event's fields as one JSON object; `endWall` 0 = still running.
    static std::string EventJson(const char* type, const std::string& camera, int64_t startWall,
                                 int64_t endWall, const CCaptureNotice& notice,
                                 const std::string& mail);
    // Home Assistant's discovery messages (topic, retained config) for a camera;
    // `id` names the device and prefixes each entity's unique id.
    static std::vector<std::pair<std::string, std::string>>
    DiscoveryConfigs(const std::string& base, const std::string& id, const std::string& name);
    // "2026-12-07T13:05:02+0100" in local time.
    static std::string IsoTime(int64_t wallSeconds);

    // How long the end's push waits for the report mail's outcome.
    static constexpr int kMailWaitSeconds = 60;

private:
    struct CPendingEnd {
        CCaptureNotice notice;
        int64_t startWall = 0;
        std::chrono::steady_clock::time_point giveUp;
        bool alerted = false; // its start went to the phone (not held by the cooldown)
    };
    void Configure();
    void SettleEnds();
    void SendEnd(const CPendingEnd& end, const std::string& mail);
    std::string Signature() const;
    std::string MailState() const;

    const CAppSettings& m_settings;
    const std::string m_home;
    std::string m_signature;
    std::string m_base;
    std::string m_camera;
    std::unique_ptr<CMqttLink> m_link;
    std::unique_ptr<CPushSender> m_push;
    int64_t m_startWall = 0;
    bool m_alerted = false;                // the capture running now went to the phone
    int64_t m_lastAlertWall = -1;          // start of the last capture that went to the phone
    std::vector<int64_t> m_heldStarts;     // captures held back by the cooldown since then
    std::deque<CPendingEnd> m_pendingEnds; // waiting for their report mail's outcome
};
