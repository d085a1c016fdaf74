#include "setup/DlgFolderSelect.h"

#include "app/TextLines.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QUrl>

DLG_FolderSelect::DLG_FolderSelect(const QString& title, const char* initialFolder, QWidget* parent,
                                   unsigned flags)
    : m_title(title), m_initialFolder(initialFolder ? initialFolder : ""), m_parent(parent),
      m_flags(flags) {}

int DLG_FolderSelect::ResultFor(const QUrl& chosen, std::string& path) {
    if (!chosen.isValid() || !chosen.isLocalFile())
        return kNoFileSystemPath;
    path = QDir::toNativeSeparators(chosen.toLocalFile()).toStdString();
    return kChosen;
}

int DLG_FolderSelect::DoModal() {
    // A window title has one line: the two lines of the text meet at a blank.
    const QString caption = QString::fromStdString(JoinLines(m_title.toStdString(), " "));
    QFileDialog browser(m_parent ? m_parent->window() : nullptr, caption);
    browser.setFileMode(QFileDialog::Directory);
    browser.setOption(QFileDialog::ShowDirsOnly, true);
    browser.setAcceptMode(QFileDialog::AcceptOpen);
    if (m_flags & kReturnOnlyFsDirs)
        browser.setSupportedSchemes({QStringLiteral("file")});
    m_browser = &browser;
    OnBrowseInitialized(browser);
    QObject::connect(&browser, &QFileDialog::currentChanged,
                     [this](const QString& path) { OnBrowseSelChanged(path); });
    const int answer = browser.exec();
    int result = kCancelled;
    if (answer == QDialog::Accepted) {
        const QList<QUrl> urls = browser.selectedUrls();
        result = ResultFor(urls.isEmpty() ? QUrl() : urls.first(), m_path);
    }
    m_browser = nullptr;
    return result;
}

void DLG_FolderSelect::OnBrowseInitialized(QFileDialog& browser) {
    if (m_initialFolder.empty())
        return;
    const QFileInfo folder(QString::fromStdString(m_initialFolder));
    if (!folder.isDir())
        return;
    // Open its parent with the folder itself selected, as a tree would show it.
    const QString path = folder.absoluteFilePath();
    const QDir parent = folder.dir();
    if (parent.exists() && parent.absolutePath() != path) {
        browser.setDirectory(parent);
        browser.selectFile(path);
    } else {
        browser.setDirectory(path);
    }
}
