#include "HttpFolderServer.h"
#include "setup_fixture.h"

#include "setup/DlgCheckVersion.h"
#include "setup/PageMotionDetect.h"

#include <QCheckBox>
#include <QMessageBox>
#include <QTimer>
#include <QUrl>
#include <filesystem>
#include <functional>

namespace {

// Acts on the version-check dialog once it is modal and its check is done;
// gives up after a generous number of looks so that nothing can hang.
class CCheckWatch {
public:
    explicit CCheckWatch(std::function<void(DLG_CheckVersion*)> act) : m_act(std::move(act)) {
        m_timer.setInterval(10);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { Look(); });
        m_timer.start();
    }
    bool Acted() const { return m_acted; }

private:
    void Look() {
        auto* check = qobject_cast<DLG_CheckVersion*>(QApplication::activeModalWidget());
        if (check && check->CheckDone()) {
            m_timer.stop();
            m_acted = true;
            m_act(check);
        } else if (++m_looks > 2000) {
            m_timer.stop();
            if (QWidget* w = QApplication::activeModalWidget())
                w->close();
        }
    }
    std::function<void(DLG_CheckVersion*)> m_act;
    QTimer m_timer;
    int m_looks = 0;
    bool m_acted = false;
};

bool AnyMessageBox() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (qobject_cast<QMessageBox*>(w))
            return true;
    return false;
}

class VersionDialog : public SetupDialogTest {
protected:
    void SetUp() override {
        std::filesystem::create_directories(site.File("oculon/download"));
        server = std::make_unique<CHttpFolderServer>(site.Path());
        ASSERT_TRUE(server->Ready()) << "python3 -m http.server did not start";
        ::setenv("OCULON_SITE", server->BaseUrl().c_str(), 1);
    }
    void TearDown() override { ::unsetenv("OCULON_SITE"); }
    void PutVersionFile(const std::string& bytes) {
        WriteFileBytes(site.File("oculon/download/ver.txt"), bytes);
    }
    // Runs the check the way the start timer does and returns the dialog.
    std::unique_ptr<DLG_CheckVersion> Checked(std::string url = {}) {
        auto check = std::make_unique<DLG_CheckVersion>(
            nullptr, [this](const QUrl& u) { opened.push_back(u); }, std::move(url));
        check->show();
        check->RunCheck();
        return check;
    }
    std::string DownloadPage() const { return server->BaseUrl() + "oculon/download/index.htm"; }

    CTempDir site;
    std::unique_ptr<CHttpFolderServer> server;
};

TEST_F(VersionDialog, StartsCheckingWithTheButtonOff) {
    DLG_CheckVersion check(nullptr, [](const QUrl&) {});
    EXPECT_EQ(check.windowTitle(), "Dialog");
    EXPECT_EQ(check.StatusText()->StatusText(), "Checking online for new version...");
    EXPECT_FALSE(check.GetNewButton()->isEnabled());
    EXPECT_EQ(check.GetNewButton()->text(), "Get new version...");
    EXPECT_EQ(check.CancelButton()->text(), "Cancel");
    EXPECT_TRUE(check.CheckPending());
    EXPECT_FALSE(check.CheckDone());
}

TEST_F(VersionDialog, EachVerdictShowsOnlyItsTextAndOffersTheButtonWhenNewer) {
    const std::string own =
        "You already have the latest version: V2.07\r\rCheck this screen later...";
    const std::string nowhere =
        "http://127.0.0.1:" + std::to_string(FreeLocalPort()) + "/oculon/download/ver.txt";
    struct Case {
        const char* file; // null: no version file, the server's 404 page
        std::string url;  // empty: the site's version file
        std::string text; // the dialog's text, or its start for the long offer
        bool offered;
    };
    const Case cases[] = {
        {"<VER>2.07</VER>", "", own, false},
        {"<VER>2.075</VER>", "", own, false},
        {"<VER>2.08</VER>", "",
         "There's a newer version available: V2.08\r\r"
         "Pressing the 'Get new version...' button below\r"
         "will cause the application to shut down\r"
         "before directing you to the download page.",
         true},
        {"<VER> 3.1 beta</VER>", "", "There's a newer version available: V3.10\r\r", true},
        {nullptr, "", "Unable to read latest version from server!\r\rCheck this screen later...",
         false},
        {"<VER>9</VER>", nowhere, "Unable to contact server!\r\rCheck this screen later...", false},
    };
    for (const Case& c : cases) {
        std::filesystem::remove(site.File("oculon/download/ver.txt"));
        if (c.file)
            PutVersionFile(c.file);
        auto check = Checked(c.url);
        const std::string shown = check->StatusText()->StatusText();
        EXPECT_EQ(shown.substr(0, c.text.size()), c.text) << (c.file ? c.file : "404");
        EXPECT_EQ(check->GetNewButton()->isEnabled(), c.offered) << shown;
        // Shown with real line breaks.
        EXPECT_FALSE(check->StatusText()->text().contains('\r'));
        EXPECT_NE(check->result(), QDialog::Accepted) << "only the download leaves";
    }
    EXPECT_TRUE(messages.m_messages.empty());
    EXPECT_FALSE(AnyMessageBox());
}

TEST_F(VersionDialog, GetNewVersionOpensTheDownloadPageAndAsksToClose) {
    PutVersionFile("<VER>2.08</VER>");
    auto check = Checked();
    check->GetNewButton()->click();
    EXPECT_EQ(check->result(), QDialog::Accepted); // its caller closes the program
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0].toString().toStdString(), DownloadPage());
}

TEST_F(VersionDialog, TheStartTimerRunsTheCheck) {
    PutVersionFile("<VER>2.07</VER>");
    DLG_CheckVersion check(nullptr, [](const QUrl&) {});
    std::string seen;
    CCheckWatch watch([&](DLG_CheckVersion* dlg) {
        seen = dlg->StatusText()->StatusText();
        dlg->CancelButton()->click();
    });
    EXPECT_EQ(check.exec(), QDialog::Rejected);
    EXPECT_TRUE(watch.Acted());
    EXPECT_EQ(seen, "You already have the latest version: V2.07\r\rCheck this screen later...");
}

TEST_F(VersionDialog, DownloadFromSetupClosesSetupWithoutApplyingIt) {
    PutVersionFile("<VER>2.10</VER>");
    const std::string before = settings->FileText();
    auto dialog = MakeDialog(1);
    dialog->MotionPage()->ControlAs<QCheckBox>(1051)->click();
    CCheckWatch watch([](DLG_CheckVersion* check) { check->GetNewButton()->click(); });
    dialog->LatestVersionButton()->click();
    ASSERT_TRUE(watch.Acted());
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->result(), QDialog::Rejected);
    EXPECT_TRUE(closeRequested);
    EXPECT_EQ(settings->FileText(), before);
    EXPECT_FALSE(std::filesystem::exists(SettingsPath()));
    EXPECT_EQ(resets, 0);
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0].toString().toStdString(), DownloadPage());
}

} // namespace
