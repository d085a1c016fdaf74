// The MQTT link against a real mosquitto broker on 127.0.0.1.
#include "MosquittoBroker.h"
#include "TempDir.h"
#include "notify/MqttLink.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

CMqttConfig LocalConfig(int port) {
    CMqttConfig config;
    config.host = "127.0.0.1";
    config.port = port;
    config.availability = "cam/availability";
    config.subscriptions = {"cam/armed/set"};
    return config;
}

TEST(MqttLink, RetainedStateCommandsAndACleanGoodbye) {
    CTempDir dir;
    CMosquittoBroker broker(dir.Path());
    auto link = std::make_unique<CMqttLink>(LocalConfig(broker.Port()));
    link->SetState("cam/armed", "ON");
    link->SetState("cam/armed", "OFF"); // only the latest state counts
    link->SetState("cam/status", "WATCHING");

    // A client that comes later still finds the state: it is retained.
    CMqttProbe probe(broker.Port());
    EXPECT_EQ(probe.WaitFor("cam/availability", "online"), "online");
    EXPECT_EQ(probe.WaitFor("cam/armed", "OFF"), "OFF");
    EXPECT_EQ(probe.WaitFor("cam/status", "WATCHING"), "WATCHING");
    EXPECT_TRUE(link->Connected());
    EXPECT_EQ(link->StateText(), "connected to 127.0.0.1:" + std::to_string(broker.Port()));

    probe.Send("cam/armed/set", "ON");
    probe.Send("cam/other", "ignored: not subscribed");
    std::string topic, payload;
    for (int i = 0; i < 1000 && !link->TakeMessage(topic, payload); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(topic, "cam/armed/set");
    EXPECT_EQ(payload, "ON");

    link.reset();
    EXPECT_EQ(probe.WaitFor("cam/availability", "offline"), "offline");
}

TEST(MqttLink, ABrokerThatComesLaterGetsWhatWaitedAndTheQueueStaysBounded) {
    CTempDir dir;
    CMosquittoBroker broker(dir.Path(), false);
    CMqttLink link(LocalConfig(broker.Port()));
    // Nothing listens: the calls only queue, whatever the worker is doing.
    size_t kept = 0;
    for (size_t i = 0; i < CMqttLink::kQueueMax + 5; ++i)
        kept += link.Publish("cam/event", "event " + std::to_string(i), true);
    EXPECT_EQ(kept, CMqttLink::kQueueMax);
    link.SetState("cam/armed", "ON");
    for (int i = 0; i < 500 && link.StateText().find("cannot reach") != 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(link.StateText().find("cannot reach 127.0.0.1:"), 0u) << link.StateText();
    EXPECT_FALSE(link.Connected());

    ASSERT_TRUE(broker.Start());
    CMqttProbe probe(broker.Port());
    EXPECT_EQ(probe.WaitFor("cam/armed", "ON", 60000), "ON");
    EXPECT_EQ(probe.WaitFor("cam/availability", "online"), "online");
    // The oldest went when the queue was full; the newest came through.
    const std::string last = "event " + std::to_string(CMqttLink::kQueueMax + 4);
    EXPECT_EQ(probe.WaitFor("cam/event", last), last);
}

} // namespace

namespace {

// The password goes to a broker over TLS and never over a plain connection.
TEST(MqttLink, ThePasswordTravelsOnlyOverTls) {
    CTempDir dir;
    const std::string cert = dir.File("broker.pem");
    const std::string key = dir.File("broker.key");
    const std::string passwords = dir.File("passwords");
    ASSERT_EQ(std::system(("openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=broker "
                           "-addext subjectAltName=IP:127.0.0.1 -keyout '" +
                           key + "' -out '" + cert + "' 2>/dev/null")
                              .c_str()),
              0);
    ASSERT_EQ(std::system(("mosquitto_passwd -b -c '" + passwords + "' cam 'Pw-41 x'").c_str()), 0);
    const std::string login = "allow_anonymous false\npassword_file " + passwords + "\n";
    const int tlsPort = FreeLocalPort();
    CMosquittoBroker broker(dir.Path(), true, login,
                            "listener " + std::to_string(tlsPort) + " 127.0.0.1\ncertfile " + cert +
                                "\nkeyfile " + key + "\n" + login);
    ASSERT_TRUE(LocalPortAccepts(tlsPort));
    const struct {
        bool tls;
        int port;
        const char* state;
    } cases[] = {
        {true, tlsPort, "connected to 127.0.0.1:"},
        // Without TLS the login goes without its password, and the broker says no.
        {false, broker.Port(), "refused by 127.0.0.1:"},
    };
    for (const auto& c : cases) {
        CMqttConfig config = LocalConfig(c.port);
        config.user = "cam";
        config.password = "Pw-41 x";
        config.tls = c.tls;
        config.caFile = cert;
        CMqttLink link(config);
        for (int i = 0; i < 1000 && link.StateText().find(c.state) != 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        EXPECT_EQ(link.StateText().find(c.state), 0u) << link.StateText();
    }
}

} // namespace
