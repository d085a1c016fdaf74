// The Startup page: the login entry it writes and removes, and what it says
// about who can see the archive.
#include "setup_fixture.h"

#include "setup/PageStartup.h"

#include <QCheckBox>
#include <QLabel>
#include <QTabWidget>
#include <cstdlib>
#include <filesystem>

namespace {

namespace fs = std::filesystem;

TEST_F(SetupDialogTest, StartupPageWritesTheLoginEntryOnOkAndRemovesItWhenUnticked) {
    CTempDir config;
    ::setenv("XDG_CONFIG_HOME", config.Path().c_str(), 1);
    const std::string entry = config.File("autostart/oculon.desktop");
    const struct {
        bool tick;
        bool ok;
        bool entryAfter;
    } steps[] = {
        {true, false, false}, // Cancel writes nothing
        {true, true, true},
        {false, true, false},
    };
    for (const auto& step : steps) {
        auto dialog = MakeDialog(4);
        auto* box = dialog->StartupPage()->ControlAs<QCheckBox>(CPageStartup::kIdAutostart);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->isChecked(), fs::exists(entry));
        if (box->isChecked() != step.tick)
            box->click();
        (step.ok ? dialog->OkButton() : dialog->CancelButton())->click();
        EXPECT_EQ(fs::exists(entry), step.entryAfter) << step.tick << step.ok;
        if (step.entryAfter) {
            // This very program, in the notification area.
            EXPECT_NE(ReadFileBytes(entry).find(
                          "Exec=" + fs::read_symlink("/proc/self/exe").string() + " CMDARG_STRAY"),
                      std::string::npos)
                << ReadFileBytes(entry);
        }
    }
    ::unsetenv("XDG_CONFIG_HOME");
}

TEST_F(SetupDialogTest, StartupPageSaysWhoCanSeeTheArchive) {
    settings->CAPTURE_PTH = home.File("elsewhere/captured");
    auto dialog = MakeDialog(5);
    auto* text = dialog->StartupPage()->ControlAs<QLabel>(CPageStartup::kIdArchiveAccess);
    ASSERT_NE(text, nullptr);
    EXPECT_TRUE(text->text().contains("does not exist yet")) << text->text().toStdString();
    fs::create_directories(home.File("elsewhere/captured"));
    fs::permissions(home.File("elsewhere/captured"), fs::perms(0700));
    dialog->TabControl()->setCurrentIndex(0);
    dialog->TabControl()->setCurrentIndex(5);
    EXPECT_TRUE(text->text().startsWith("Only you")) << text->text().toStdString();
    EXPECT_TRUE(text->text().contains(QString::fromStdString(home.File("elsewhere/captured"))));
}

} // namespace
