#include "setup_fixture.h"

#include "setup/DlgFolderSelect.h"
#include "setup/PageVideoCapture.h"

#include <QFileDialog>
#include <QLineEdit>
#include <QTimer>
#include <QUrl>
#include <filesystem>
#include <functional>

namespace {

// Runs `act` on the folder browser once it is the active modal window. The
// browser fills its folder view in the background and may swallow an early
// accept, so `act` runs again while the same browser stays up. The watch gives
// up (closing whatever is modal) after a generous number of looks, so a
// browser that never shows or never closes cannot hang the test.
class CBrowserWatch {
public:
    explicit CBrowserWatch(std::function<void(QFileDialog*)> act) : m_act(std::move(act)) {
        m_timer.setInterval(10);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { Look(); });
        m_timer.start();
    }
    bool Acted() const { return m_acted; }

private:
    void Look() {
        QWidget* modal = QApplication::activeModalWidget();
        if (++m_looks > 2000) {
            m_timer.stop();
            if (modal)
                modal->close();
        } else if (auto* browser = qobject_cast<QFileDialog*>(modal)) {
            if (!m_acted || m_looks - m_lastAct >= 50) {
                m_acted = true;
                m_lastAct = m_looks;
                m_act(browser);
            }
        } else if (m_acted && !modal) {
            m_timer.stop();
        }
    }
    std::function<void(QFileDialog*)> m_act;
    QTimer m_timer;
    int m_looks = 0;
    int m_lastAct = 0;
    bool m_acted = false;
};

using FolderBrowse = SetupDialogTest;

TEST_F(FolderBrowse, CancelKeepsTheFolderAndTheBrowserStartsOnIt) {
    CTempDir archive;
    settings->CAPTURE_PTH = archive.Path();
    auto dialog = MakeDialog(2);
    DLG_SetupCapture* page = dialog->CapturePage();
    QString title;
    QStringList selected;
    CBrowserWatch watch([&](QFileDialog* browser) {
        title = browser->windowTitle();
        selected = browser->selectedFiles();
        browser->reject();
    });
    page->BrowseFolder();
    ASSERT_TRUE(watch.Acted());
    EXPECT_EQ(title, "Folder to archive movies to: movies are saved in .WMV format");
    ASSERT_EQ(selected.size(), 1);
    EXPECT_EQ(std::filesystem::path(selected[0].toStdString()),
              std::filesystem::path(archive.Path()));
    EXPECT_EQ(page->HeldValues().folder, archive.Path());
    EXPECT_EQ(page->ControlAs<QLineEdit>(1026)->text().toStdString(), archive.Path());
}

TEST_F(FolderBrowse, ChosenFolderBecomesTheArchiveFolder) {
    CTempDir other;
    auto dialog = MakeDialog(2);
    DLG_SetupCapture* page = dialog->CapturePage();
    CBrowserWatch watch([&](QFileDialog* browser) {
        browser->setDirectory(QString::fromStdString(other.Path()));
        browser->selectFile(QString::fromStdString(other.Path()));
        QMetaObject::invokeMethod(browser, "accept");
    });
    page->BrowseFolder();
    ASSERT_TRUE(watch.Acted());
    EXPECT_EQ(page->ControlAs<QLineEdit>(1026)->text().toStdString(), other.Path());
    dialog->OkButton()->click();
    EXPECT_EQ(settings->CAPTURE_PTH, other.Path());
}

TEST_F(FolderBrowse, SelectorResults) {
    CTempDir folder;
    const std::string missing = folder.File("not-there");
    DLG_FolderSelect select("Pick", missing.c_str(), nullptr, DLG_FolderSelect::kReturnOnlyFsDirs);
    EXPECT_EQ(select.InitialFolder(), missing);
    CBrowserWatch watch([&](QFileDialog* browser) {
        // A folder that does not exist is not offered.
        EXPECT_NE(browser->directory().absolutePath().toStdString(), missing);
        EXPECT_EQ(browser->supportedSchemes(), QStringList{"file"});
        browser->reject();
    });
    EXPECT_EQ(select.DoModal(), -1);
    EXPECT_TRUE(select.ChosenPath().empty());
    EXPECT_EQ(DLG_FolderSelect(QString(), nullptr, nullptr, 0).InitialFolder(), "");

    std::string path;
    EXPECT_EQ(DLG_FolderSelect::ResultFor(QUrl("sftp://host/dir"), path), 2);
    EXPECT_TRUE(path.empty());
    EXPECT_EQ(DLG_FolderSelect::ResultFor(QUrl::fromLocalFile("/srv/archive"), path), 1);
    EXPECT_EQ(path, "/srv/archive");
}

} // namespace
