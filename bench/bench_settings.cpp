// Settings file round trip: the file is written on every move of the main window.
#include "app/AppSettings.h"
#include "app/TagParser.h"

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

std::string MakeHome() {
    std::string pattern = (std::filesystem::temp_directory_path() / "oculon-bench-XXXXXX").string();
    return std::string(::mkdtemp(pattern.data())) + "/";
}

void BM_SettingsLoad(benchmark::State& state) {
    const std::string home = MakeHome();
    const CTagParser parser(false);
    {
        // The settings write their file when they end, so they go before the folder.
        CAppSettings settings(parser, home, "/usr/bin/oculon");
        for (auto _ : state)
            settings.Load();
    }
    std::filesystem::remove_all(home);
}
BENCHMARK(BM_SettingsLoad);

void BM_SettingsSave(benchmark::State& state) {
    const std::string home = MakeHome();
    const CTagParser parser(false);
    {
        CAppSettings settings(parser, home, "/usr/bin/oculon");
        for (auto _ : state)
            benchmark::DoNotOptimize(settings.Save());
    }
    std::filesystem::remove_all(home);
}
BENCHMARK(BM_SettingsSave);

} // namespace
