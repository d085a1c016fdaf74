#include "notify/MqttLink.h"

#include "app/OnDemandLibrary.h"

#include <mosquitto.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <fstream>
#include <iterator>

namespace {

constexpr int kKeepAliveSeconds = 30;
constexpr int kLoopMs = 50;

// The libmosquitto functions the link calls. The library is opened when a
// link starts, not at start.
// clang-format off
#define OCULON_LIBMOSQUITTO_FUNCTIONS(X) \
    X(lib_init) \
    X(new) \
    X(destroy) \
    X(username_pw_set) \
    X(will_set) \
    X(tls_set) \
    X(connect_callback_set) \
    X(disconnect_callback_set) \
    X(message_callback_set) \
    X(connect_async) \
    X(loop) \
    X(publish) \
    X(subscribe) \
    X(disconnect) \
    X(strerror) \
    X(connack_string)
// clang-format on

struct CLibmosquitto {
#define OCULON_LIBMOSQUITTO_MEMBER(name) decltype(&::mosquitto_##name) mosquitto_##name = nullptr;
    OCULON_LIBMOSQUITTO_FUNCTIONS(OCULON_LIBMOSQUITTO_MEMBER)
#undef OCULON_LIBMOSQUITTO_MEMBER
};

// Opened and set up once per process (the library's own clean-up at exit is
// left to the OS); null, with the reason in `error`, when it cannot be loaded.
const CLibmosquitto* Libmosquitto(std::string* error = nullptr) {
    static COnDemandLibrary library("libmosquitto.so.1");
    static const CLibmosquitto* const functions = []() -> const CLibmosquitto* {
        static CLibmosquitto found;
#define OCULON_LIBMOSQUITTO_FIND(name) library.Find(found.mosquitto_##name, "mosquitto_" #name);
        OCULON_LIBMOSQUITTO_FUNCTIONS(OCULON_LIBMOSQUITTO_FIND)
#undef OCULON_LIBMOSQUITTO_FIND
        if (!library.Complete())
            return nullptr;
        found.mosquitto_lib_init();
        return &found;
    }();
    if (!functions && error)
        *error = library.Error();
    return functions;
}

// The functions, once the link's run has opened them.
const CLibmosquitto& Api() {
    return *Libmosquitto();
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

} // namespace

CMqttLink::CMqttLink(CMqttConfig config) : m_config(std::move(config)) {
    m_stateText = "connecting to " + m_config.host + ":" + std::to_string(m_config.port);
    m_worker = std::thread([this] { Run(); });
}

CMqttLink::~CMqttLink() {
    m_stop = true;
    m_wake.notify_all();
    if (m_worker.joinable())
        m_worker.join();
}

void CMqttLink::SetState(const std::string& topic, const std::string& payload) {
    std::lock_guard<std::mutex> hold(m_lock);
    auto it = m_state.find(topic);
    if (it != m_state.end() && it->second == payload)
        return;
    m_state[topic] = payload;
    if (std::find(m_dirty.begin(), m_dirty.end(), topic) == m_dirty.end())
        m_dirty.push_back(topic);
}

bool CMqttLink::Publish(const std::string& topic, const std::string& payload, bool retain,
                        const std::string& filePath) {
    std::lock_guard<std::mutex> hold(m_lock);
    const bool room = m_queue.size() < kQueueMax;
    if (!room)
        m_queue.pop_front();
    m_queue.push_back(CItem{topic, payload, filePath, retain});
    return room;
}

bool CMqttLink::TakeMessage(std::string& topic, std::string& payload) {
    std::lock_guard<std::mutex> hold(m_lock);
    if (m_inbox.empty())
        return false;
    topic = std::move(m_inbox.front().first);
    payload = std::move(m_inbox.front().second);
    m_inbox.pop_front();
    return true;
}

std::string CMqttLink::StateText() const {
    std::lock_guard<std::mutex> hold(m_lock);
    return m_stateText;
}

void CMqttLink::SetStateText(const std::string& text) {
    std::lock_guard<std::mutex> hold(m_lock);
    m_stateText = text;
}

void CMqttLink::OnConnect(mosquitto*, void* self, int rc) {
    auto* link = static_cast<CMqttLink*>(self);
    if (rc != 0) {
        link->m_refusal = Api().mosquitto_connack_string(rc);
        return;
    }
    link->m_fresh = true;
    link->m_connected = true;
    link->SetStateText("connected to " + link->m_config.host + ":" +
                       std::to_string(link->m_config.port));
}

void CMqttLink::OnDisconnect(mosquitto*, void* self, int) {
    static_cast<CMqttLink*>(self)->m_connected = false;
}

void CMqttLink::OnMessage(mosquitto*, void* self, const mosquitto_message* message) {
    auto* link = static_cast<CMqttLink*>(self);
    std::string payload(static_cast<const char*>(message->payload),
                        static_cast<size_t>(std::max(message->payloadlen, 0)));
    std::lock_guard<std::mutex> hold(link->m_lock);
    if (link->m_inbox.size() >= kQueueMax)
        link->m_inbox.pop_front();
    link->m_inbox.emplace_back(message->topic ? message->topic : "", std::move(payload));
}

void CMqttLink::Flush(bool everything) {
    std::vector<CItem> items;
    {
        std::lock_guard<std::mutex> hold(m_lock);
        if (everything) {
            for (const auto& [topic, payload] : m_state)
                items.push_back(CItem{topic, payload, {}, true});
        } else {
            for (const std::string& topic : m_dirty)
                items.push_back(CItem{topic, m_state[topic], {}, true});
        }
        m_dirty.clear();
        for (CItem& item : m_queue)
            items.push_back(std::move(item));
        m_queue.clear();
    }
    if (everything) {
        if (!m_config.availability.empty())
            Api().mosquitto_publish(m_mosq, nullptr, m_config.availability.c_str(), 6, "online", 1,
                                    true);
        for (const std::string& topic : m_config.subscriptions)
            Api().mosquitto_subscribe(m_mosq, nullptr, topic.c_str(), 1);
    }
    for (CItem& item : items) {
        if (!item.filePath.empty()) {
            item.payload = ReadFile(item.filePath);
            if (item.payload.empty())
                continue;
        }
        Api().mosquitto_publish(m_mosq, nullptr, item.topic.c_str(),
                                static_cast<int>(item.payload.size()), item.payload.data(), 1,
                                item.retain);
    }
}

void CMqttLink::Farewell() {
    if (!m_connected)
        return;
    Flush(false);
    if (!m_config.availability.empty())
        Api().mosquitto_publish(m_mosq, nullptr, m_config.availability.c_str(), 7, "offline", 1,
                                true);
    Api().mosquitto_disconnect(m_mosq);
    // Lets the last messages and the disconnect go out; the loop ends with the socket.
    for (int i = 0; i < 20 && Api().mosquitto_loop(m_mosq, kLoopMs, 1) == MOSQ_ERR_SUCCESS; ++i) {
    }
}

void CMqttLink::Run() {
    std::string missing;
    if (!Libmosquitto(&missing)) {
        SetStateText("cannot start the MQTT client: " + missing);
        return;
    }
    m_mosq = Api().mosquitto_new(m_config.clientId.empty() ? nullptr : m_config.clientId.c_str(),
                                 true, this);
    if (!m_mosq) {
        SetStateText("cannot start the MQTT client");
        return;
    }
    const std::string where = m_config.host + ":" + std::to_string(m_config.port);
    if (!m_config.user.empty()) {
        const bool withPassword = m_config.tls && !m_config.password.empty();
        Api().mosquitto_username_pw_set(m_mosq, m_config.user.c_str(),
                                        withPassword ? m_config.password.c_str() : nullptr);
    }
    if (!m_config.availability.empty())
        Api().mosquitto_will_set(m_mosq, m_config.availability.c_str(), 7, "offline", 1, true);
    if (m_config.tls) {
        const bool ownCa = !m_config.caFile.empty();
        Api().mosquitto_tls_set(m_mosq, ownCa ? m_config.caFile.c_str() : nullptr,
                                ownCa ? nullptr : "/etc/ssl/certs", nullptr, nullptr, nullptr);
    }
    Api().mosquitto_connect_callback_set(m_mosq, &CMqttLink::OnConnect);
    Api().mosquitto_disconnect_callback_set(m_mosq, &CMqttLink::OnDisconnect);
    Api().mosquitto_message_callback_set(m_mosq, &CMqttLink::OnMessage);

    using Clock = std::chrono::steady_clock;
    int failures = 0;
    bool open = false;
    Clock::time_point nextTry = Clock::now();
    auto fail = [&](const std::string& reason) {
        open = false;
        m_connected = false;
        ++failures;
        const int wait = std::min(30, 1 << std::min(failures - 1, 5));
        nextTry = Clock::now() + std::chrono::seconds(wait);
        // A broker that answered with a refusal was reached: say why it refused.
        SetStateText(m_refusal.empty() ? "cannot reach " + where + ": " + reason
                                       : "refused by " + where + ": " + m_refusal);
        m_refusal.clear();
    };
    while (!m_stop) {
        if (!open) {
            if (Clock::now() < nextTry) {
                std::unique_lock<std::mutex> hold(m_lock);
                m_wake.wait_until(hold, std::min(nextTry, Clock::now() + std::chrono::seconds(1)),
                                  [this] { return m_stop.load(); });
                continue;
            }
            const int rc = Api().mosquitto_connect_async(m_mosq, m_config.host.c_str(),
                                                         m_config.port, kKeepAliveSeconds);
            if (rc != MOSQ_ERR_SUCCESS) {
                fail(rc == MOSQ_ERR_ERRNO ? std::strerror(errno) : Api().mosquitto_strerror(rc));
                continue;
            }
            open = true;
        }
        const int rc = Api().mosquitto_loop(m_mosq, kLoopMs, 1);
        if (rc != MOSQ_ERR_SUCCESS) {
            fail(rc == MOSQ_ERR_ERRNO ? std::strerror(errno) : Api().mosquitto_strerror(rc));
            continue;
        }
        if (m_connected) {
            failures = 0;
            const bool fresh = m_fresh;
            m_fresh = false;
            Flush(fresh);
        }
    }
    Farewell();
    Api().mosquitto_destroy(m_mosq);
    m_mosq = nullptr;
}
