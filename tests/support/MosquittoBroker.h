#pragma once
// A mosquitto broker on 127.0.0.1 for the test that starts it, and a client
// that records what the broker hands out. Stop and Start keep the port, so a
// test can take the broker away and bring it back.
#include "HttpFolderServer.h"

#include <mosquitto.h>

#include <fstream>
#include <map>
#include <mutex>
#include <vector>

class CMosquittoBroker {
public:
    // `listener` holds the first listener's settings; `more` is added after it
    // (further listeners of their own).
    explicit CMosquittoBroker(const std::string& folder, bool start = true,
                              const std::string& listener = "allow_anonymous true\n",
                              const std::string& more = "")
        : m_config(folder + "/mosquitto.conf"), m_port(FreeLocalPort()) {
        std::ofstream(m_config) << "per_listener_settings true\npersistence false\n"
                                << (::geteuid() == 0 ? "user root\n" : "") << "listener " << m_port
                                << " 127.0.0.1\n"
                                << listener << more;
        if (start)
            Start();
    }
    ~CMosquittoBroker() { Stop(); }
    CMosquittoBroker(const CMosquittoBroker&) = delete;
    CMosquittoBroker& operator=(const CMosquittoBroker&) = delete;

    int Port() const { return m_port; }

    // True once it accepts connections (at most ten seconds).
    bool Start() {
        const char* argv[] = {"/usr/sbin/mosquitto", "-c", m_config.c_str(), nullptr};
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        if (posix_spawn(&m_pid, argv[0], &actions, nullptr, const_cast<char**>(argv), environ) != 0)
            m_pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        for (int i = 0; i < 500 && m_pid > 0; ++i) {
            if (LocalPortAccepts(m_port))
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    }
    void Stop() {
        if (m_pid <= 0)
            return;
        ::kill(m_pid, SIGTERM);
        ::waitpid(m_pid, nullptr, 0);
        m_pid = -1;
    }

private:
    std::string m_config;
    int m_port;
    pid_t m_pid = -1;
};

// Subscribes to everything and keeps each topic's messages in order.
class CMqttProbe {
public:
    explicit CMqttProbe(int port) {
        mosquitto_lib_init();
        m_mosq = mosquitto_new(nullptr, true, this);
        mosquitto_message_callback_set(
            m_mosq, [](mosquitto*, void* self, const mosquitto_message* m) {
                auto* probe = static_cast<CMqttProbe*>(self);
                std::lock_guard<std::mutex> hold(probe->m_lock);
                probe->m_messages[m->topic].emplace_back(static_cast<const char*>(m->payload),
                                                         static_cast<size_t>(m->payloadlen));
            });
        mosquitto_connect_callback_set(m_mosq, [](mosquitto* mosq, void*, int rc) {
            if (rc == 0)
                mosquitto_subscribe(mosq, nullptr, "#", 1);
        });
        mosquitto_connect(m_mosq, "127.0.0.1", port, 30);
        mosquitto_loop_start(m_mosq);
    }
    ~CMqttProbe() {
        mosquitto_disconnect(m_mosq);
        mosquitto_loop_stop(m_mosq, false);
        mosquitto_destroy(m_mosq);
    }
    CMqttProbe(const CMqttProbe&) = delete;
    CMqttProbe& operator=(const CMqttProbe&) = delete;

    void Send(const std::string& topic, const std::string& payload) {
        mosquitto_publish(m_mosq, nullptr, topic.c_str(), static_cast<int>(payload.size()),
                          payload.data(), 1, false);
    }
    // The latest message on `topic` once one satisfies `ok`; "" after `timeoutMs`.
    template <typename Ok>
    std::string WaitUntil(const std::string& topic, Ok ok, int timeoutMs = 20000) {
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (std::chrono::steady_clock::now() < deadline) {
            {
                std::lock_guard<std::mutex> hold(m_lock);
                const auto it = m_messages.find(topic);
                if (it != m_messages.end() && !it->second.empty() && ok(it->second.back()))
                    return it->second.back();
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return {};
    }
    std::string WaitFor(const std::string& topic, const std::string& payload,
                        int timeoutMs = 20000) {
        return WaitUntil(
            topic, [&](const std::string& p) { return p == payload; }, timeoutMs);
    }
    std::vector<std::string> Messages(const std::string& topic) {
        std::lock_guard<std::mutex> hold(m_lock);
        return m_messages[topic];
    }

private:
    mosquitto* m_mosq = nullptr;
    std::mutex m_lock;
    std::map<std::string, std::vector<std::string>> m_messages;
};
