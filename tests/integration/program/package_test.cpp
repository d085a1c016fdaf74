// The Debian package as a user meets it: made by CPack, judged by lintian,
// installed by apt, run from /usr, its systemd units checked, and removed
// again, whatever happened in between.
#include "RunCommand.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

const std::string kApt = "DEBIAN_FRONTEND=noninteractive apt-get -y -q -o DPkg::Lock::Timeout=60 ";

bool PackageInstalled() {
    return RunCommand("dpkg-query -W -f='${Status}' oculon 2>/dev/null").output ==
           "install ok installed";
}

bool Have(const std::string& tool) {
    return std::system(("command -v " + tool + " >/dev/null 2>&1").c_str()) == 0;
}

// Lines of `text` that start with `prefix`.
std::string LinesStartingWith(const std::string& text, const std::string& prefix) {
    std::istringstream in(text);
    std::string found;
    for (std::string line; std::getline(in, line);)
        if (line.rfind(prefix, 0) == 0)
            found += line + "\n";
    return found;
}

// A test that fails half-way must not leave the package on the machine.
struct CRemoveAtEnd {
    ~CRemoveAtEnd() {
        if (PackageInstalled())
            (void)std::system((kApt + "remove oculon >/dev/null 2>&1").c_str());
    }
};

TEST(DebianPackage, InstallsRunsFromUsrAndLeavesCleanly) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "installing a package needs root: not tried";
    if (!Have("apt-get") || ::access("/var/lib/dpkg", W_OK) != 0)
        GTEST_SKIP() << "no usable apt here: not tried";
    if (PackageInstalled())
        GTEST_SKIP() << "oculon is installed on this machine already: left alone";
    ASSERT_TRUE(Have("dpkg-shlibdeps") && Have("lintian"))
        << "dpkg-dev and lintian are needed (scripts/setup.sh installs them)";

    CTempDir out;
    const CommandResult pack = RunCommand(
        "cd '" OCULON_BUILD_DIR "' && '" OCULON_CPACK "' -G DEB -B '" + out.Path() + "' 2>&1");
    ASSERT_EQ(pack.exitCode, 0) << pack.output;
    std::string deb;
    for (const auto& e : fs::directory_iterator(out.Path()))
        if (e.path().extension() == ".deb")
            deb = e.path().filename().string();
    ASSERT_EQ(deb.rfind("oculon_", 0), 0u) << pack.output;

    const CommandResult lint =
        RunCommand("lintian --tag-display-limit 0 " + out.File(deb) + " 2>&1");
    EXPECT_EQ(LinesStartingWith(lint.output, "E: "), "") << lint.output;
    std::printf("lintian:\n%s", lint.output.c_str());

    CRemoveAtEnd removeAtEnd;
    const CommandResult install =
        RunCommand("cd " + out.Path() + " && " + kApt + "install ./" + deb + " 2>&1");
    if (install.exitCode != 0 && install.output.find("lock") != std::string::npos)
        GTEST_SKIP() << "apt is busy: " << install.output;
    ASSERT_EQ(install.exitCode, 0) << install.output;
    ASSERT_TRUE(PackageInstalled());
    // The libraries the programs link came as dependencies, found from the binaries,
    // and those they open when a feature first needs them.
    const std::string depends = RunCommand("dpkg-query -W -f='${Depends}' oculon").output;
    for (const char* library : {"libc6", "libavformat", "libavdevice", "libturbojpeg", "libcurl4",
                                "libmosquitto1", "libsecret-1-0"})
        EXPECT_NE(depends.find(library), std::string::npos) << depends;

    const char* files[] = {
        "/usr/bin/oculon-headless",
        "/usr/share/oculon/oculon.png",
        "/usr/share/oculon/userguide.md",
        "/usr/share/applications/io.github.oculon.Oculon.desktop",
        "/usr/share/metainfo/io.github.oculon.Oculon.metainfo.xml",
        "/usr/share/icons/hicolor/64x64/apps/oculon.png",
        "/usr/share/man/man1/oculon-headless.1.gz",
        "/usr/share/doc/oculon/copyright",
        "/usr/share/doc/oculon/changelog.gz",
        "/usr/lib/systemd/user/oculon-headless.service",
        "/usr/lib/systemd/system/oculon-headless@.service",
#ifdef OCULON_GUI_EXE
        "/usr/bin/oculon",
        "/usr/share/man/man1/oculon.1.gz",
#endif
    };
    for (const char* file : files)
        EXPECT_TRUE(fs::is_regular_file(file)) << file;

    // The installed program on a virtual camera, in a home folder of its own
    // (root may write to /usr/bin, where it would otherwise settle).
    WriteFileBytes(out.File("devices.txt"), "Grey|lavfi:color=c=0x606060:size=320x240:rate=10\n");
    const std::string env =
        "cd / && OCULON_DEVICES=" + out.File("devices.txt") + " SDL_AUDIODRIVER=dummy ";
    const CommandResult list = RunCommand(env + "/usr/bin/oculon-headless --list-devices 2>&1");
    EXPECT_EQ(list.exitCode, 0) << list.output;
    EXPECT_NE(("\n" + list.output).find("\nGrey\n"), std::string::npos) << list.output;
    const CommandResult run = RunCommand(env + "/usr/bin/oculon-headless --home " +
                                         out.File("home") + " --run-for 2 2>&1");
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_NE(run.output.find("status: motion detection active in"), std::string::npos)
        << run.output;
    EXPECT_EQ(LinesStartingWith(run.output, "message: "), "") << run.output;
    EXPECT_NE(ReadFileBytes(out.File("home/oculon.ini")).find("<VIDEO_SRC>Grey</VIDEO_SRC>"),
              std::string::npos);

    if (Have("systemd-analyze")) {
        // The template is checked as an instance of it, as systemctl would
        // start it; the user unit in a runtime folder such as a login has.
        fs::copy_file("/usr/lib/systemd/system/oculon-headless@.service",
                      out.File("oculon-headless@camera.service"));
        fs::create_directories(out.File("run"));
        fs::permissions(out.File("run"), fs::perms(0700));
        for (const std::string& unit :
             {"XDG_RUNTIME_DIR=" + out.File("run") +
                  " systemd-analyze --user verify /usr/lib/systemd/user/oculon-headless.service",
              "systemd-analyze --system verify " + out.File("oculon-headless@camera.service")}) {
            const CommandResult verify = RunCommand(unit + " 2>&1");
            EXPECT_EQ(verify.exitCode, 0) << unit << "\n" << verify.output;
            EXPECT_EQ(verify.output, "") << unit;
        }
    } else {
        std::printf("systemd-analyze is not here: the units are not verified\n");
    }

    const CommandResult remove = RunCommand(kApt + "remove oculon 2>&1");
    EXPECT_EQ(remove.exitCode, 0) << remove.output;
    EXPECT_FALSE(PackageInstalled());
    for (const char* file : files)
        EXPECT_FALSE(fs::exists(file)) << file;
    EXPECT_FALSE(fs::exists("/usr/share/oculon"));
}

} // namespace
