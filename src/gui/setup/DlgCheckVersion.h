#pragma once
#include "update/StatusWindow.h"

#include <QDialog>
#include <QLabel>
#include <QTimer>
#include <functional>

class QPushButton;
class QUrl;

// A static text that shows the progress of a blocking fetch: it keeps the
// exact text and redraws at once, since the message loop is not running.
class CStatusLabel : public QLabel, public IStatusWindow {
    Q_OBJECT
public:
    explicit CStatusLabel(QWidget* parent);
    void SetStatusText(const std::string& text) override;
    const std::string& StatusText() const { return m_text; }

private:
    std::string m_text;
};

// "Get latest version": fetches the version file, says whether a newer
// version exists and, when one does, offers to leave for the download page.
class DLG_CheckVersion : public QDialog {
    Q_OBJECT
public:
    enum Id { kIdStatus = 1071, kIdGetNew = 1069 };
    static constexpr int kTimerMs = 100;

    using UrlOpener = std::function<void(const QUrl&)>;

    // openUrl empty: the desktop's browser. versionUrl empty: the product site's file.
    explicit DLG_CheckVersion(QWidget* parent = nullptr, UrlOpener openUrl = {},
                              std::string versionUrl = {});

    // The first tick of the start timer: the blocking fetch and its verdict.
    void RunCheck();
    bool CheckDone() const { return m_done; }
    bool CheckPending() const { return m_timer.isActive(); }

    CStatusLabel* StatusText() const { return m_status; }
    QPushButton* GetNewButton() const { return m_getNew; }
    QPushButton* CancelButton() const { return m_cancel; }

private:
    void OnGetNewVersion();

    UrlOpener m_openUrl;
    std::string m_versionUrl;
    CStatusLabel* m_status;
    QPushButton* m_getNew;
    QPushButton* m_cancel;
    QTimer m_timer;
    bool m_done = false;
};
