#include "main/TrayIcon.h"

#include "widgets/ArtworkNames.h"
#include "widgets/DataFiles.h"

#include "app/MessageSink.h"

#include <QCursor>
#include <QIcon>
#include <QPixmap>
#include <QWidget>

CTrayIcon::CTrayIcon(QWidget* window, bool startHidden)
    : QObject(window), m_hidden(startHidden), m_window(window) {
    auto add = [this](const char* text, int command) {
        QAction* action = m_menu.addAction(QString::fromUtf8(text));
        connect(action, &QAction::triggered, this,
                [this, command] { emit CommandChosen(command); });
        return action;
    };
    add("Show Window", kCmdShowWindow);
    add("Browse captured", kCmdBrowse);
    add("Website", kCmdWebsite);
    add("User Guide", kCmdUserGuide);
    // Close stays last, behind its separator.
    m_arm = add("Disarm", kCmdArm);
    m_menu.addSeparator();
    add("Close", kCmdClose);

    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        AppMessageBox("Unable to register tray icon!");
        m_hidden = false;
        return;
    }
    QIcon icon;
    const QImage image = data_files::LoadImage(artwork_names::kTrayIcon);
    if (!image.isNull())
        icon = QIcon(QPixmap::fromImage(image));
    m_icon = std::make_unique<QSystemTrayIcon>(icon);
    m_icon->setToolTip(TipText());
    m_icon->setContextMenu(&m_menu);
    connect(m_icon.get(), &QSystemTrayIcon::activated, this, &CTrayIcon::OnActivated);
    m_icon->show();
}

QString CTrayIcon::TipText() {
    return QStringLiteral("Oculon\nleft click to show\nright click for menu");
}

void CTrayIcon::OnActivated(QSystemTrayIcon::ActivationReason reason) {
    if (reason == QSystemTrayIcon::Trigger)
        RestoreFromTray();
    // The context menu is the icon's own (setContextMenu): desktops open it themselves.
}

void CTrayIcon::HideToTray() {
    m_hidden = true;
    m_window->hide();
}

void CTrayIcon::RestoreFromTray() {
    m_hidden = false;
    if (m_window->isMinimized())
        m_window->showNormal();
    else
        m_window->show();
    m_raiseCount = kRaisePulses;
}

void CTrayIcon::ShowMenu() {
    m_window->activateWindow();
    m_menu.popup(QCursor::pos());
}

void CTrayIcon::OnTimerTick() {
    if (m_raiseCount <= 0)
        return;
    --m_raiseCount;
    m_window->raise();
    m_window->activateWindow();
}

void CTrayIcon::SetDetectionOn(bool on) {
    const QString text = on ? QStringLiteral("Disarm") : QStringLiteral("Arm");
    if (m_arm->text() != text)
        m_arm->setText(text);
}

void CTrayIcon::RemoveIcon() {
    if (m_icon)
        m_icon->hide();
}

void CTrayIcon::Notify(const QString& title, const QString& text) {
    if (m_icon && m_icon->isVisible())
        m_icon->showMessage(title, text, QSystemTrayIcon::Warning);
}
