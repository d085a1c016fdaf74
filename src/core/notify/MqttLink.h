#pragma once
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct mosquitto;
struct mosquitto_message;

// Where and how to reach the broker. The password is only handed to the broker
// over TLS; without TLS the login goes without it.
struct CMqttConfig {
    std::string host;
    int port = 1883;
    std::string user;
    std::string password;
    bool tls = false;
    std::string caFile;       // TLS: the broker's CA; empty = the system's CAs
    std::string clientId;     // empty: the library picks one
    std::string availability; // retained "online"; "offline" as the last will
    std::vector<std::string> subscriptions;
};

// One connection to an MQTT broker, run by a worker thread of its own that
// connects, reconnects with back-off (1, 2, 4 ... 30 s) and publishes. The
// caller's thread only fills queues under a lock, so a broker that is down or
// slow never holds it up. Retained state is kept and published again after
// every reconnect; messages from subscriptions wait until taken.
class CMqttLink {
public:
    // Messages waiting beyond this are dropped, oldest first.
    static constexpr size_t kQueueMax = 64;

    explicit CMqttLink(CMqttConfig config);
    // Publishes "offline", disconnects and joins the worker (bounded by the
    // worker's 50 ms loop and a name lookup in progress).
    ~CMqttLink();
    CMqttLink(const CMqttLink&) = delete;
    CMqttLink& operator=(const CMqttLink&) = delete;

    // Retained state: published when it changes and after each reconnect.
    void SetState(const std::string& topic, const std::string& payload);
    // A message for the queue; `filePath` non-empty sends that file's bytes
    // (read on the worker). False when the queue was full and the oldest went.
    bool Publish(const std::string& topic, const std::string& payload, bool retain,
                 const std::string& filePath = {});
    // The oldest message received on a subscription; false when none waits.
    bool TakeMessage(std::string& topic, std::string& payload);

    bool Connected() const { return m_connected; }
    // "connected to HOST:PORT", "connecting to HOST:PORT", "cannot reach HOST:PORT: REASON",
    // "refused by HOST:PORT: REASON".
    std::string StateText() const;

private:
    struct CItem {
        std::string topic;
        std::string payload;
        std::string filePath;
        bool retain = false;
    };
    void Run();
    void Flush(bool everything);
    void Farewell();
    void SetStateText(const std::string& text);
    static void OnConnect(mosquitto*, void* self, int rc);
    static void OnDisconnect(mosquitto*, void* self, int rc);
    static void OnMessage(mosquitto*, void* self, const mosquitto_message* message);

    const CMqttConfig m_config;
    mosquitto* m_mosq = nullptr;

    mutable std::mutex m_lock;
    std::condition_variable m_wake;
    std::map<std::string, std::string> m_state;
    std::vector<std::string> m_dirty;
    std::deque<CItem> m_queue;
    std::deque<std::pair<std::string, std::string>> m_inbox;
    std::string m_stateText;

    std::atomic<bool> m_connected{false};
    std::atomic<bool> m_stop{false};
    bool m_fresh = false;  // worker only: a new session needs subscriptions and all state
    std::string m_refusal; // worker only: the broker's reason for refusing the login
    std::thread m_worker;
};
