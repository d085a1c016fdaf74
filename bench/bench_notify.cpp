// What telling home automation and the phone costs the surveillance step when
// the broker and the push receiver are down: the calls only queue.
#include "app/AppSettings.h"
#include "app/TagParser.h"
#include "notify/HomeNotifier.h"

#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <cstdlib>
#include <filesystem>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// A port on 127.0.0.1 that nothing listens on.
int ClosedPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    ::close(fd);
    return ntohs(addr.sin_port);
}

void BM_CaptureNoticesWithPeersDown(benchmark::State& state) {
    std::string pattern = (std::filesystem::temp_directory_path() / "oculon-bench-XXXXXX").string();
    const std::string home = ::mkdtemp(pattern.data());
    CTagParser parser(false);
    {
        CAppSettings settings(parser, home + "/", home + "/oculon");
        settings.MQTT_HOST = "127.0.0.1";
        settings.MQTT_PORT = ClosedPort();
        settings.MQTT_DISCOVERY = 1;
        settings.PUSH_MODE = 1;
        settings.PUSH_URL = "http://127.0.0.1:" + std::to_string(ClosedPort()) + "/hook";
        CHomeNotifier notifier(settings, home + "/");
        const CCaptureNotice notice{home + "/a.wmv", home + "/a-jpg", home + "/a-jpg/1.jpg", 20, 1};
        for (auto _ : state) {
            notifier.OnCaptureStart(notice);
            notifier.OnCaptureEnd(notice);
            notifier.Tick(true, "motion detection is active");
        }
    }
    std::filesystem::remove_all(home);
}
BENCHMARK(BM_CaptureNoticesWithPeersDown)->Unit(benchmark::kMicrosecond);

} // namespace
