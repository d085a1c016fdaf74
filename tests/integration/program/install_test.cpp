// The installed program: the tree `cmake --install` lays out, the desktop entry
// and AppStream data as the desktop's own tools judge them, and runs from the
// install location with the home folder under the user's home.
#include "DefaultSettingsFile.h"
#include "RunCommand.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr const char* kAppId = "io.github.oculon.Oculon";
// The account the programs run as when the tests run as root, for whom no
// permission bit stops a write.
constexpr const char* kAsNobody = "setpriv --reuid=65534 --regid=65534 --clear-groups ";

std::string Quoted(const std::string& text) {
    return "'" + text + "'";
}

// Width and height from a PNG's header chunk; 0 x 0 when it is no PNG.
std::pair<int, int> PngSize(const std::string& bytes) {
    if (bytes.size() < 24 || bytes.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0 ||
        bytes.compare(12, 4, "IHDR") != 0)
        return {0, 0};
    auto be32 = [&bytes](size_t at) {
        int v = 0;
        for (size_t i = 0; i < 4; ++i)
            v = (v << 8) | static_cast<unsigned char>(bytes[at + i]);
        return v;
    };
    return {be32(16), be32(20)};
}

// "KEY=value" of a desktop entry; "" when the key is missing.
std::string DesktopValue(const std::string& entry, const std::string& key) {
    std::istringstream in(entry);
    for (std::string line; std::getline(in, line);) {
        if (line.rfind(key + "=", 0) == 0)
            return line.substr(key.size() + 1);
    }
    return {};
}

class Installed : public ::testing::Test {
protected:
    void SetUp() override {
        // Another account may have to enter it (see kAsNobody).
        fs::permissions(m_root.Path(), fs::perms(0755));
        m_prefix = m_root.File("prefix");
        m_install = RunCommand("cmake --install " + Quoted(OCULON_BUILD_DIR) + " --prefix " +
                               Quoted(m_prefix) + " 2>&1");
        ASSERT_EQ(m_install.exitCode, 0) << m_install.output;
    }
    void TearDown() override {
        std::error_code ec;
        fs::permissions(Bin(), fs::perms(0755), ec);
    }

    std::string Bin() const { return m_prefix + "/bin/"; }
    std::string Share(const std::string& name) const { return m_prefix + "/share/" + name; }

    // Makes the program folder unwritable for the programs about to run and
    // returns what to put before a command so that it runs as such a user.
    std::string UnwritableProgramFolder(const std::string& userHome) {
        fs::create_directories(userHome + "/run");
        fs::permissions(userHome + "/run", fs::perms(0700));
        if (::geteuid() != 0) {
            fs::permissions(Bin(), fs::perms(0555));
            return "";
        }
        // When root cannot be dropped here, or the temp folder lies where the
        // other account may not go, the rule is still checked for what root may do.
        const std::string probe = std::string(kAsNobody) + "sh -c " +
                                  Quoted("test -x " + Bin() + "oculon-headless -a -w " + userHome) +
                                  " 2>/dev/null";
        if (::chown(userHome.c_str(), 65534, 65534) != 0 ||
            ::chown((userHome + "/run").c_str(), 65534, 65534) != 0 ||
            std::system(probe.c_str()) != 0)
            return "";
        return kAsNobody;
    }

    // Where the home folder must land, by the rule, for the user `asUser`
    // given the program folder's actual writability for that user.
    std::string ExpectedHome(const std::string& asUser, const std::string& userHome) const {
        const bool writable =
            RunCommand("cd / && " + asUser + "test -w " + Quoted(Bin()) + " && echo yes").output ==
            "yes\n";
        return writable ? Bin() : userHome + "/.local/share/oculon/";
    }

    // The environment of a user who set nothing for the program.
    std::string UserEnv(const std::string& userHome) const {
        return "cd / && env -u OCULON_HOME -u XDG_DATA_HOME HOME=" + Quoted(userHome) +
               " OCULON_DEVICES=" + Quoted(m_root.File("devices.txt")) +
               " SDL_AUDIODRIVER=dummy XDG_RUNTIME_DIR=" + Quoted(userHome + "/run") + " ";
    }

    CTempDir m_root;
    std::string m_prefix;
    CommandResult m_install;
};

TEST_F(Installed, PutsEachFileWhereDesktopsLookAndNothingOutsideThePrefix) {
    // Every file cmake reports lands below the prefix, whatever the configured one.
    std::istringstream report(m_install.output);
    int files = 0;
    for (std::string line; std::getline(report, line);) {
        for (const std::string tag : {"-- Installing: ", "-- Up-to-date: "}) {
            if (line.rfind(tag, 0) == 0) {
                ++files;
                EXPECT_EQ(line.compare(tag.size(), m_prefix.size() + 1, m_prefix + "/"), 0) << line;
            }
        }
    }
    EXPECT_GT(files, 0) << m_install.output;

    const fs::perms exec = fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec;
    EXPECT_EQ(fs::status(Bin() + "oculon-headless").permissions() & exec, exec);
#ifdef OCULON_GUI_EXE
    EXPECT_EQ(fs::status(Bin() + "oculon").permissions() & exec, exec);
#endif

    // The artwork and the user guide, byte for byte, in the program's data folder.
    int artwork = 0;
    for (const auto& source : fs::directory_iterator(OCULON_SOURCE_DIR "/data")) {
        const std::string name = source.path().filename().string();
        EXPECT_EQ(ReadFileBytes(Share("oculon/" + name)), ReadFileBytes(source.path().string()))
            << name;
        ++artwork;
    }
    EXPECT_GE(artwork, 20);
    EXPECT_EQ(ReadFileBytes(Share("oculon/userguide.md")),
              ReadFileBytes(OCULON_SOURCE_DIR "/docs/userguide.md"));

    // The desktop entry starts an installed program and names an icon that the
    // icon theme holds at the size its folder claims.
    const std::string entry = ReadFileBytes(Share("applications/") + kAppId + ".desktop");
    ASSERT_FALSE(entry.empty());
#ifdef OCULON_GUI_EXE
    const std::string exe = DesktopValue(entry, "Exec");
    EXPECT_TRUE(fs::exists(Bin() + exe.substr(0, exe.find(' ')))) << exe;
#endif
    const std::string icon = DesktopValue(entry, "Icon");
    const std::string iconFile = Share("icons/hicolor/64x64/apps/") + icon + ".png";
    EXPECT_EQ(PngSize(ReadFileBytes(iconFile)), std::make_pair(64, 64)) << iconFile;

    // The AppStream data is named after its id and launches that entry.
    const std::string metainfo = ReadFileBytes(Share("metainfo/") + kAppId + ".metainfo.xml");
    EXPECT_NE(metainfo.find(std::string("<id>") + kAppId + "</id>"), std::string::npos);
    EXPECT_NE(metainfo.find(std::string(">") + kAppId + ".desktop</launchable>"),
              std::string::npos);
}

TEST_F(Installed, DesktopEntryAndMetainfoPassTheirValidators) {
    const CommandResult desktop = RunCommand(
        "desktop-file-validate " + Quoted(Share("applications/") + kAppId + ".desktop") + " 2>&1");
    EXPECT_EQ(desktop.exitCode, 0) << desktop.output;
    // Warnings and hints count too: a clean entry prints nothing.
    EXPECT_EQ(desktop.output, "");
    const CommandResult appstream =
        RunCommand("appstreamcli validate --no-net " +
                   Quoted(Share("metainfo/") + kAppId + ".metainfo.xml") + " 2>&1");
    EXPECT_EQ(appstream.exitCode, 0) << appstream.output;
}

TEST_F(Installed, HeadlessRunsFromThereWithItsHomeUnderTheUserHome) {
    const std::string userHome = m_root.File("user");
    const std::string asUser = UnwritableProgramFolder(userHome);
    WriteFileBytes(m_root.File("devices.txt"), "# none\n");
    const std::string home = ExpectedHome(asUser, userHome);

    const CommandResult run =
        RunCommand(UserEnv(userHome) + asUser + Quoted(Bin()) + "oculon-headless --run-for 1 2>&1");
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_NE(run.output.find("status: "), std::string::npos) << run.output;
    EXPECT_EQ(ReadFileBytes(home + "oculon.ini"), DefaultSettingsFile(home)) << "home " << home;
    EXPECT_TRUE(fs::is_directory(home + "captured"));
    // Nothing beside the program when the home folder went elsewhere.
    if (home != Bin()) {
        EXPECT_FALSE(fs::exists(Bin() + "oculon.ini"));
    }
}

#ifdef OCULON_GUI_EXE
TEST_F(Installed, DesktopProgramRunsFromThereAndReadsItsInstalledArtwork) {
    const std::string userHome = m_root.File("user");
    const std::string asUser = UnwritableProgramFolder(userHome);
    WriteFileBytes(m_root.File("devices.txt"),
                   "Grey Scene|lavfi:color=c=0x606060:size=320x240:rate=10\n");
    const std::string home = ExpectedHome(asUser, userHome);
    // The files it opens tell where it found its artwork, when strace may watch.
    const bool traced = std::system("strace -o /dev/null true 2>/dev/null") == 0;
    const std::string trace = m_root.File("trace");
    // A sanitizer's leak check cannot stop a traced process's threads: leave it out then.
    const std::string tracer = traced ? "ASAN_OPTIONS=${ASAN_OPTIONS}:detect_leaks=0 strace -f -qq "
                                        "-e trace=openat -o " +
                                            Quoted(trace) + " "
                                      : "";

    // Placing the window saves the settings; then the session asks it to end.
    const std::string script =
        UserEnv(userHome) + "QT_QPA_PLATFORM=offscreen " + tracer + asUser + Quoted(Bin()) +
        "oculon & p=$!; "
        "for i in $(seq 600); do [ -e " +
        Quoted(home + "oculon.ini") +
        " ] && break; sleep 0.1; done; "
        "sleep 1; " +
        // Under strace the program is the tracer's child.
        (traced ? "kill -TERM $(pgrep -P $p); " : "kill -TERM $p; ") + "wait $p";
    const CommandResult run = RunCommand(script + " 2>&1");
    EXPECT_EQ(run.exitCode, 0) << run.output;
    const std::string ini = ReadFileBytes(home + "oculon.ini");
    EXPECT_NE(ini.find("<VIDEO_SRC>Grey Scene</VIDEO_SRC>"), std::string::npos) << home << "\n"
                                                                                << ini;
    EXPECT_NE(ini.find("<CAPTURE_PTH>" + home + "captured</CAPTURE_PTH>"), std::string::npos);

    if (!traced) {
        std::printf("strace cannot watch here: where the artwork came from is not checked\n");
        return;
    }
    const std::string opened = ReadFileBytes(trace);
    for (const char* name : {"oculon.png", "button_setup_u.jpg", "status_detect.png"}) {
        EXPECT_NE(opened.find("\"" + Share("oculon/") + name + "\", O_RDONLY|O_CLOEXEC) = "),
                  std::string::npos)
            << name;
    }
}
#endif

} // namespace
