#include "DefaultSettingsFile.h"
#include "HeadlessProcess.h"
#include "RunCommand.h"
#include "TempDir.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <string>

namespace {

TEST(HeadlessFirstRun, LeavesTheDefaultSettingsFileAndArchiveFolder) {
    CTempDir home;
    // No cameras at all: an empty virtual device list and no V4L2 device is
    // the usual state of a build machine.
    WriteFileBytes(home.File("devices.txt"), "# none\n");
    const CommandResult run =
        RunCommand("OCULON_DEVICES=" + home.File("devices.txt") +
                   " " OCULON_HEADLESS_EXE " --home " + home.Path() + "/home --run-for 1");
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(ReadFileBytes(home.File("home/oculon.ini")), DefaultSettingsFile(home.File("home/")));
    EXPECT_TRUE(std::filesystem::is_directory(home.File("home/captured")));
}

TEST(HeadlessFirstRun, RejectsUnknownArguments) {
    EXPECT_NE(std::system(OCULON_HEADLESS_EXE " --bogus 2>/dev/null"), 0);
    EXPECT_NE(std::system(OCULON_HEADLESS_EXE " --run-for abc 2>/dev/null"), 0);
}

// libhwy, which FFmpeg's codec library loads, would calibrate a benchmark
// timer before main at every start; only the loader can say whether the
// program's own definition took the call (it prints its bindings on request).
TEST(HeadlessFirstRun, TakesLibhwysTimerCalibrationOver) {
    const CommandResult run = RunCommand("LD_DEBUG=bindings " OCULON_HEADLESS_EXE " --bogus 2>&1");
    if (run.output.find("libhwy") == std::string::npos)
        GTEST_SKIP() << "this FFmpeg does not load libhwy";
    const size_t at = run.output.find("_ZN3hwy8platform15TimerResolutionEv'");
    ASSERT_NE(at, std::string::npos) << "libhwy is loaded but its timer call is bound nowhere";
    const size_t lineStart = run.output.rfind('\n', at) + 1;
    const std::string line = run.output.substr(lineStart, at - lineStart);
    EXPECT_NE(line.find("to " OCULON_HEADLESS_EXE " [0]"), std::string::npos) << line;
}

// The libraries behind the web requests, the MQTT link and the keyring are
// opened when those are first used; a run that uses none of them never loads them.
TEST(HeadlessFirstRun, LoadsNoLibraryOfAnUnusedFeature) {
    CTempDir home;
    WriteFileBytes(home.File("devices.txt"), "# none\n");
    CHeadlessProcess run({home.Path(), home.File("devices.txt"), {}, {}});
    ASSERT_FALSE(run.WaitForLine("status: ", 30000).empty()) << run.Transcript();
    const std::string maps = ReadFileBytes("/proc/" + std::to_string(run.Pid()) + "/maps");
    ASSERT_NE(maps.find("libavformat"), std::string::npos) << "not the program's own map";
    for (const char* library : {"libcurl", "libmosquitto", "libsecret"})
        EXPECT_EQ(maps.find(library), std::string::npos) << library;
}

TEST(HeadlessFirstRun, SigtermEndsTheRunAndWritesTheSettings) {
    CTempDir home;
    WriteFileBytes(home.File("devices.txt"), "# none\n");
    // Runs without a time limit; only the signal can end it. The signal is sent
    // once the loop runs (its first status line), not after a guessed delay.
    CHeadlessProcess run({home.Path(), home.File("devices.txt"), {}, {}});
    ASSERT_FALSE(run.WaitForLine("status: ", 30000).empty()) << run.Transcript();
    run.Signal(SIGTERM);
    EXPECT_EQ(run.WaitForExit(30000), 0) << run.Transcript();
    EXPECT_EQ(ReadFileBytes(home.File("oculon.ini")), DefaultSettingsFile(home.Folder()));
}

} // namespace
