#pragma once
#include <QDialog>
#include <QPoint>
#include <QRect>
#include <QTimer>
#include <QUrl>

#include "setup/SetupDialogHost.h"

#include <array>
#include <atomic>
#include <functional>

class CAppObjects;
class CAppSettings;
class CFailureWatch;
class CSkinButton;
class CStartSignal;
class CStatusWnd;
class CTrayIcon;
class CVideoWnd;
class IClock;
class QEventLoop;

// The program's main window: four skinned buttons, the status panel, the
// window-shade button and the live video. Its initialisation creates the
// window-bound objects; its tick drives the whole program and carries out the
// deferred close. The tick comes when a step is due (every 5 ms while a close,
// a dialog or the tray's pulse needs polling). The application objects must exist (CreateAll)
// first; the window-bound objects are its children and end with it.
class DLG_Main : public QDialog {
    Q_OBJECT
public:
    static constexpr int kTimerId = 102;
    static constexpr int kTickMs = 5;

    using UrlOpener = std::function<void(const QUrl&)>;

    DLG_Main(CAppObjects& app, const IClock& clock, QWidget* parent = nullptr);
    ~DLG_Main() override;

    // Shows the window (unless it starts hidden in the tray) and runs until the
    // deferred close ends it.
    int Run();
    // One tick of the main timer.
    void Tick();
    bool Ended() const { return m_ended; }

    // Where pages and folders are opened (the desktop's handler by default).
    void SetUrlOpener(UrlOpener opener) { m_openUrl = std::move(opener); }

    // The commands of the buttons and the tray menu, by their identifiers.
    void OnCommand(int id);

    // Position of the window for a saved (x, y): centred in `work` when y lies
    // more than 8 pixels above it, else pulled inside it.
    static QPoint PlacePosition(int x, int y, QSize client, const QRect& work);

    // The archive folder as the buttons open it.
    QUrl ArchiveUrl() const;

    // A close asked for from outside (SIGTERM, SIGINT): each tick asks for the
    // close once `*flag` is set (a signal handler sets it).
    void WatchStopFlag(const std::atomic<bool>* flag) { m_stopFlag = flag; }

    // What the setup button and the status panel's icons open (the modal setup
    // dialog by default), inside the controller's setup bracket.
    void SetSetupOpener(setup_dialog::OpenFn open);

    // Where the status panel reads failures from; each failing stretch that
    // begins also shows as a notification from the tray icon.
    void SetFailureWatch(CFailureWatch* watch);

    CSkinButton* Button(int id) const;
    CVideoWnd* VideoWnd() const { return m_videoWnd; }
    CStatusWnd* StatusWnd() const { return m_statusWnd; }
    CTrayIcon* TrayIcon() const { return m_tray; }
    bool SkinsApplied() const { return m_skinsApplied; }

public slots:
    // Enter does nothing.
    void accept() override;
    // Esc and the close box: hide to the tray in tray mode, else ask for the close.
    void reject() override;
    void setVisible(bool visible) override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    // Fixes the normal window at the dialog's width and this client height.
    void FixSize(int clientHeight);
    void paintEvent(QPaintEvent* event) override;

private:
    void CreateControls();
    void Initialise();
    void AttachSkins();
    bool AttachSkin(CSkinButton* button, const char* stem);
    // Moves the window of outer size `outer` from `saved` into the work area
    // (PlacePosition) and keeps the position in the settings.
    void PlaceWindow(QPoint saved, QSize outer);
    // The window-shade steps; `toggle` is false for the rolled-up layout at start.
    void ApplyShade(bool toggle);
    void OpenUserGuide();
    void OpenArchive();
    void RunSetup();
    void EndDialog();

    CAppObjects& m_app;
    const IClock& m_clock;
    CAppSettings& m_settings;
    const std::atomic<bool>* m_stopFlag = nullptr;
    setup_dialog::OpenFn m_openSetup;
    QTimer m_timer;
    UrlOpener m_openUrl;
    bool m_initialised = false;
    bool m_skinsApplied = false;
    int m_fixedHeight = 0;
    bool m_ended = false;
    QEventLoop* m_loop = nullptr;
    QPoint m_lastSaved{-1, -1};

    // Buttons 1001, 1005, 1006, 1007 and 1003, owned by the dialog.
    CSkinButton* m_help = nullptr;
    CSkinButton* m_setup = nullptr;
    CSkinButton* m_motion = nullptr;
    CSkinButton* m_browse = nullptr;
    CSkinButton* m_shade = nullptr;
    // Children of the dialog.
    CVideoWnd* m_videoWnd = nullptr;
    CStatusWnd* m_statusWnd = nullptr;
    CTrayIcon* m_tray = nullptr;
    CStartSignal* m_startSignal = nullptr;
};
