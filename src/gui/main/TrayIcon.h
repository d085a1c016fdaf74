#pragma once
#include <QMenu>
#include <QObject>
#include <QSystemTrayIcon>

#include <memory>

// Tray mode: an icon in the desktop's notification area that shows the main
// window on a left click and offers a small menu on a right click. While the
// window is hidden in the tray nothing may show it but a restore.
class CTrayIcon : public QObject {
    Q_OBJECT
public:
    // Menu commands, handled by the main window.
    enum Command {
        kCmdClose = 32774,
        kCmdShowWindow = 32775,
        kCmdBrowse = 32776,
        kCmdUserGuide = 32778,
        kCmdWebsite = 32779,
        kCmdArm = 32780, // "Arm" / "Disarm": the detection on/off button
    };
    static constexpr int kRaisePulses = 3;

    // Installs the icon ("Unable to register tray icon!" when the desktop has
    // no notification area). Without an icon the window could never be reached,
    // so it is then not kept hidden. A child of `window`, which deletes it.
    CTrayIcon(QWidget* window, bool startHidden);

    void HideToTray();
    void RestoreFromTray();
    void ShowMenu();
    // Every main tick: brings a restored window to the front for three ticks.
    void OnTimerTick();
    // Names the arming entry after what it would do: "Disarm" while detection
    // is on, "Arm" while it is off.
    void SetDetectionOn(bool on);
    // Takes the icon out of the notification area at the final exit.
    void RemoveIcon();
    // A balloon from the icon, for a failure the user should hear of even
    // with the window hidden; nothing without an icon.
    void Notify(const QString& title, const QString& text);

    bool IsHidden() const { return m_hidden; }
    bool HasIcon() const { return m_icon != nullptr; }
    int RaiseCount() const { return m_raiseCount; }
    QMenu& Menu() { return m_menu; }

    static QString TipText();

signals:
    void CommandChosen(int command);

private:
    void OnActivated(QSystemTrayIcon::ActivationReason reason);

    int m_raiseCount = 0;
    QMenu m_menu;
    QAction* m_arm = nullptr;
    bool m_hidden;
    QWidget* m_window;
    std::unique_ptr<QSystemTrayIcon> m_icon;
};
