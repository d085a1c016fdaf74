#pragma once
#include "setup/SetupPage.h"

#include <QDialog>

class CAppObjects;
class DLG_SetupCapture;
class DLG_SetupEmail;
class DLG_SetupMotion;
class DLG_SetupVideoDevice;
class CPageStartup;
class CPageRecording;
class CPageMailServer;
class CPageNotify;
class QPushButton;
class QTabWidget;

// "Oculon Setup": the four setup pages on a tab control. Nothing reaches the
// settings before OK; OK stores every page, writes the settings file, re-arms
// detection and restarts the capture when another device was chosen.
class DLG_Setup : public QDialog {
    Q_OBJECT
public:
    enum Id { kIdTabs = 1013, kIdHelp = 1019, kIdLatestVersion = 1068 };
    enum Page { kVideoDevice = 0, kMotionDetect = 1, kVideoCapture = 2, kEmailSetup = 3 };

    // `initialTab`: the page shown first (0..3). `services.settings` must be set.
    DLG_Setup(const CSetupServices& services, int initialTab, QWidget* parent = nullptr);
    ~DLG_Setup() override;

    DLG_SetupVideoDevice* VideoDevicePage() const { return m_videoPage; }
    DLG_SetupMotion* MotionPage() const { return m_motionPage; }
    DLG_SetupCapture* CapturePage() const { return m_capturePage; }
    DLG_SetupEmail* EmailPage() const { return m_emailPage; }
    CPageStartup* StartupPage() const { return m_startupPage; }
    CPageRecording* RecordingPage() const { return m_recordingPage; }
    CPageMailServer* MailServerPage() const { return m_mailServerPage; }
    CPageNotify* NotifyPage() const { return m_notifyPage; }
    QTabWidget* TabControl() const { return m_tabs; }
    QPushButton* OkButton() const { return m_ok; }
    QPushButton* CancelButton() const { return m_cancel; }
    QPushButton* HelpButton() const { return m_help; }
    QPushButton* LatestVersionButton() const { return m_latest; }

    // OK: pages save in order, the file is written, detection re-armed, and
    // the capture restarted when VIDEO_SRC changed.
    void accept() override;

private:
    void OnHelp();
    void OnLatestVersion();

    CSetupServices m_services;
    DLG_SetupVideoDevice* m_videoPage = nullptr;
    DLG_SetupMotion* m_motionPage = nullptr;
    DLG_SetupCapture* m_capturePage = nullptr;
    DLG_SetupEmail* m_emailPage = nullptr;
    CPageStartup* m_startupPage = nullptr;
    CPageRecording* m_recordingPage = nullptr; // after the described pages
    CPageMailServer* m_mailServerPage = nullptr;
    CPageNotify* m_notifyPage = nullptr;
    int m_initialTab;
    QTabWidget* m_tabs;
    QPushButton* m_help;
    QPushButton* m_latest;
    QPushButton* m_ok;
    QPushButton* m_cancel;
};

// The setup dialog with the application objects' services (settings, device
// names and restart, re-arm, sound, last picture), run modally over `parent`
// on `page`. Callers wrap it in the controller's setup bracket. Returns the
// dialog's result.
int RunSetupDialog(CAppObjects& app, QWidget* parent, int page);
// The services RunSetupDialog uses; objects that do not exist are left out.
CSetupServices AppSetupServices(CAppObjects& app);
