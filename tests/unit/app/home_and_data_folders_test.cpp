// Where the program keeps its settings and archive, and where it looks for its
// artwork, for a build tree, a portable copy and an installed package.
#include "app/DataFolders.h"
#include "app/HomeFolder.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using Folders = std::vector<std::string>;

// Records the folders asked about; answers as told.
struct CWritableProbe {
    bool answer = false;
    Folders asked;
    std::function<bool(const std::string&)> Fn() {
        return [this](const std::string& folder) {
            asked.push_back(folder);
            return answer;
        };
    }
};

TEST(HomeFolder, ChoiceFollowsEnvironmentThenWritableProgramFolderThenUserData) {
    CWritableProbe probe;
    CHomeFolderInputs in{"", "", "/home/ann", "/opt/oculon/bin/oculon"};

    // Installed where the user may not write: the user's data folder.
    EXPECT_EQ(ChooseHomeFolder(in, probe.Fn()), "/home/ann/.local/share/oculon/");
    EXPECT_EQ(probe.asked, Folders{"/opt/oculon/bin/"});

    // A build tree or a portable copy: beside the program.
    probe.answer = true;
    EXPECT_EQ(ChooseHomeFolder(in, probe.Fn()), "/opt/oculon/bin/");

    // OCULON_HOME wins without asking, a slash is added.
    probe.asked.clear();
    in.oculonHome = "/srv/cam";
    EXPECT_EQ(ChooseHomeFolder(in, probe.Fn()), "/srv/cam/");
    EXPECT_TRUE(probe.asked.empty());
}

TEST(HomeFolder, UserDataFolderHonoursAnAbsoluteXdgDataHomeOnly) {
    CWritableProbe probe;
    CHomeFolderInputs in{"", "/data/ann/", "/home/ann", "/usr/bin/oculon"};
    EXPECT_EQ(ChooseHomeFolder(in, probe.Fn()), "/data/ann/oculon/");
    in.xdgDataHome = "relative/share";
    EXPECT_EQ(ChooseHomeFolder(in, probe.Fn()), "/home/ann/.local/share/oculon/");
    // No HOME at all (a service account): somewhere writable rather than "/".
    in.userHome.clear();
    EXPECT_EQ(ChooseHomeFolder(in, probe.Fn()), "/tmp/oculon/");
    // Unknown executable path: nothing to ask about.
    in.exePath.clear();
    in.userHome = "/home/ann/";
    EXPECT_EQ(ChooseHomeFolder(in, probe.Fn()), "/home/ann/.local/share/oculon/");
    EXPECT_EQ(probe.asked.size(), 3u);
}

TEST(DataFolders, ProgramFolderThenItsInstallationThenTheConfiguredOne) {
    // Installed under another prefix than the build was configured for.
    EXPECT_EQ(
        DataSearchFolders("/tmp/pkg/bin/oculon", "../share/oculon", "/usr/local/share/oculon"),
        (Folders{"/tmp/pkg/bin", "/tmp/pkg/share/oculon", "/usr/local/share/oculon"}));
    // Installed where it was configured for: that folder once.
    EXPECT_EQ(
        DataSearchFolders("/usr/local/bin/oculon", "../share/oculon", "/usr/local/share/oculon/"),
        (Folders{"/usr/local/bin", "/usr/local/share/oculon"}));
    // A deeper bin folder (CMAKE_INSTALL_BINDIR=lib/oculon/bin).
    EXPECT_EQ(DataSearchFolders("/usr/lib/oculon/bin/oculon", "../../../share/oculon", ""),
              (Folders{"/usr/lib/oculon/bin", "/usr/share/oculon"}));
    // No executable path known: the configured folder alone.
    EXPECT_EQ(DataSearchFolders("", "../share/oculon", "/usr/share/oculon"),
              Folders{"/usr/share/oculon"});
}

} // namespace
