#pragma once
#include <QString>
#include <string>

class QFileDialog;
class QUrl;
class QWidget;

// Asks for a folder with the desktop's folder browser, opened on an initial
// folder when that exists.
class DLG_FolderSelect {
public:
    // Only folders of the file system can be chosen.
    static constexpr unsigned kReturnOnlyFsDirs = 0x0001;

    enum Result { kChosen = 1, kNoFileSystemPath = 2, kCancelled = -1 };

    // initialFolder may be null.
    DLG_FolderSelect(const QString& title, const char* initialFolder, QWidget* parent,
                     unsigned flags);
    virtual ~DLG_FolderSelect() = default;

    // 1 with the folder in ChosenPath(), 2 when the chosen item is not a file
    // system folder, -1 when the user cancelled.
    virtual int DoModal();

    const std::string& ChosenPath() const { return m_path; }
    const std::string& InitialFolder() const { return m_initialFolder; }
    const QString& Title() const { return m_title; }
    // The browser while it is open, else null.
    QFileDialog* Browser() const { return m_browser; }

    // What an accepted choice gives: the result and, for 1, the path.
    static int ResultFor(const QUrl& chosen, std::string& path);

protected:
    // Puts the initial folder in front of the user.
    virtual void OnBrowseInitialized(QFileDialog& browser);
    virtual void OnBrowseSelChanged(const QString&) {}

private:
    QString m_title;
    std::string m_path;
    std::string m_initialFolder;
    QWidget* m_parent;
    unsigned m_flags;
    QFileDialog* m_browser = nullptr;
};
