// Start at login through the XDG autostart entry, and who can see a folder.
#include "RunCommand.h"
#include "TempDir.h"
#include "app/Autostart.h"
#include "app/PrivateFiles.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <sys/stat.h>

namespace {

namespace fs = std::filesystem;

TEST(AutostartEntry, LivesInTheUsersConfigFolder) {
    const struct {
        const char* xdgConfigHome;
        const char* expected;
    } cases[] = {
        {"/cfg/ann", "/cfg/ann/autostart/oculon.desktop"},
        {"/cfg/ann/", "/cfg/ann/autostart/oculon.desktop"},
        {"", "/home/ann/.config/autostart/oculon.desktop"},
        // Relative: invalid by the base directory rules.
        {"cfg", "/home/ann/.config/autostart/oculon.desktop"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CAutostartEntry::PathFor(c.xdgConfigHome, "/home/ann"), c.expected)
            << c.xdgConfigHome;
}

TEST(AutostartEntry, StartsTheProgramInTheTrayWhateverItsPath) {
    const struct {
        const char* program;
        const char* exec;
    } cases[] = {
        {"/usr/bin/oculon", "Exec=/usr/bin/oculon CMDARG_STRAY CMDARG_DELAY\n"},
        {"/opt/My Apps/oculon", "Exec=\"/opt/My Apps/oculon\" CMDARG_STRAY CMDARG_DELAY\n"},
        {"/opt/a$b\\c/100%/oculon",
         "Exec=\"/opt/a\\\\$b\\\\\\\\c/100%%/oculon\" CMDARG_STRAY CMDARG_DELAY\n"},
    };
    CTempDir dir;
    const CAutostartEntry entry(dir.File("config/autostart/oculon.desktop"));
    for (const auto& c : cases) {
        ASSERT_TRUE(entry.Set(true, c.program));
        EXPECT_TRUE(entry.IsOn());
        const std::string text = ReadFileBytes(entry.Path());
        EXPECT_NE(text.find(c.exec), std::string::npos) << text;
        // The desktop's own checker reads it as a valid entry.
        const CommandResult check = RunCommand("desktop-file-validate " + entry.Path() + " 2>&1");
        EXPECT_EQ(check.exitCode, 0) << check.output;
        EXPECT_EQ(check.output.find("error"), std::string::npos) << check.output;
    }
    ASSERT_TRUE(entry.Set(false, ""));
    EXPECT_FALSE(fs::exists(entry.Path()));
    EXPECT_FALSE(entry.IsOn());
    EXPECT_TRUE(entry.Set(false, "")); // nothing to remove is no failure

    // Switched off by the desktop's own settings.
    for (const char* off : {"Hidden=true\n", "X-GNOME-Autostart-enabled=false\n"}) {
        WriteFileBytes(entry.Path(), "[Desktop Entry]\nType=Application\n" + std::string(off));
        EXPECT_FALSE(entry.IsOn()) << off;
    }
    // A folder in its place: the entry cannot be written, and says so.
    fs::remove(entry.Path());
    fs::create_directories(entry.Path());
    EXPECT_FALSE(entry.Set(true, "/usr/bin/oculon"));
}

TEST(FolderAccess, FollowsTheModesOfTheFolderAndThoseAbove) {
    const struct {
        fs::perms above;
        fs::perms folder;
        CFolderAccess::EWho who;
    } cases[] = {
        {fs::perms(0755), fs::perms(0700), CFolderAccess::kOwnerOnly},
        {fs::perms(0755), fs::perms(0750), CFolderAccess::kGroup},
        {fs::perms(0755), fs::perms(0755), CFolderAccess::kEveryone},
        {fs::perms(0755), fs::perms(0701), CFolderAccess::kEveryone},
        {fs::perms(0700), fs::perms(0755), CFolderAccess::kOwnerOnly},
        {fs::perms(0710), fs::perms(0755), CFolderAccess::kGroup},
    };
    CTempDir dir;
    fs::permissions(dir.Path(), fs::perms(0755));
    const std::string above = dir.File("above");
    const std::string folder = above + "/captured";
    fs::create_directories(folder);
    for (const auto& c : cases) {
        fs::permissions(above, c.above);
        fs::permissions(folder, c.folder);
        const CFolderAccess access = FolderAccess(folder);
        EXPECT_EQ(access.who, c.who) << std::oct << int(c.above) << " " << int(c.folder);
    }
    struct stat st {};
    ASSERT_EQ(::stat(folder.c_str(), &st), 0);
    EXPECT_EQ(FolderAccess(folder).group, st.st_gid);
    EXPECT_EQ(FolderAccess(above + "/missing").who, CFolderAccess::kMissing);
}

} // namespace
