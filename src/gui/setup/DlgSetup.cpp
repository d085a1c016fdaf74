#include "setup/DlgSetup.h"

#include "setup/DlgCheckVersion.h"
#include "setup/PageEmailSetup.h"
#include "setup/PageMailServer.h"
#include "setup/PageMotionDetect.h"
#include "setup/PageNotify.h"
#include "setup/PageRecording.h"
#include "setup/PageStartup.h"
#include "setup/PageVideoCapture.h"
#include "setup/PageVideoDevice.h"
#include "widgets/HelpWindow.h"

#include "app/AppSettings.h"
#include "program/AppObjects.h"
#include "record/WavePlayer.h"
#include "video/SurveillanceController.h"
#include "video/capture/VideoSourceWnd.h"

#include <QPushButton>
#include <QTabWidget>
#include <QUrl>
#include <algorithm>

DLG_Setup::DLG_Setup(const CSetupServices& services, int initialTab, QWidget* parent)
    : QDialog(parent), m_services(services), m_initialTab(std::clamp(initialTab, 0, 3)) {
    setWindowTitle(tr("Oculon Setup"));
    // The program's icon, as the main window shows it.
    if (parent)
        setWindowIcon(parent->window()->windowIcon());
    const CDialogUnits units(font());
    setFixedSize(units.X(303), units.Y(263));

    m_tabs = new QTabWidget(this);
    m_tabs->setObjectName(QStringLiteral("id%1").arg(kIdTabs));
    m_tabs->setGeometry(units.Rect(7, 7, 289, 228));
    // The added pages take the tab row beyond the dialog's described width:
    // arrows appear then, so that every tab can be reached.
    m_tabs->setUsesScrollButtons(true);
    m_videoPage = new DLG_SetupVideoDevice(m_services, units, m_tabs);
    m_motionPage = new DLG_SetupMotion(m_services, units, m_tabs);
    m_capturePage = new DLG_SetupCapture(m_services, units, m_tabs);
    m_emailPage = new DLG_SetupEmail(m_services, units, m_tabs);
    m_tabs->addTab(m_videoPage, tr("Video Device"));
    m_tabs->addTab(m_motionPage, tr("Motion Detect"));
    m_tabs->addTab(m_capturePage, tr("Video Capture"));
    m_tabs->addTab(m_emailPage, tr("Email Setup"));
    m_recordingPage = new CPageRecording(m_services, units, m_tabs);
    m_tabs->addTab(m_recordingPage, tr("Recording"));
    m_startupPage = new CPageStartup(m_services, units, m_tabs,
                                     [this] { return m_capturePage->HeldValues().folder; });
    m_tabs->addTab(m_startupPage, tr("Startup"));
    m_mailServerPage = new CPageMailServer(m_services, units, m_tabs,
                                           [this](test_mail::CTestMailSettings& values) {
                                               values.server = m_emailPage->Server();
                                               values.from = m_emailPage->From();
                                               values.to = m_emailPage->To();
                                           });
    m_tabs->addTab(m_mailServerPage, tr("Mail Server"));
    m_notifyPage = new CPageNotify(m_services, units, m_tabs);
    m_tabs->addTab(m_notifyPage, tr("Home && Push"));
    m_tabs->setCurrentIndex(m_initialTab);

    auto button = [this, &units](const QString& text, QRect dlu, int id) {
        auto* b = new QPushButton(text, this);
        b->setGeometry(units.Rect(dlu.x(), dlu.y(), dlu.width(), dlu.height()));
        if (id != 0)
            b->setObjectName(QStringLiteral("id%1").arg(id));
        b->setAutoDefault(false);
        return b;
    };
    m_help = button(tr("Help..."), QRect(7, 242, 40, 14), kIdHelp);
    m_latest = button(tr("Get latest version"), QRect(52, 242, 66, 14), kIdLatestVersion);
    m_ok = button(tr("OK"), QRect(211, 242, 40, 14), 0);
    m_cancel = button(tr("Cancel"), QRect(257, 242, 40, 14), 0);
    m_ok->setDefault(true);
    connect(m_help, &QPushButton::clicked, this, &DLG_Setup::OnHelp);
    connect(m_latest, &QPushButton::clicked, this, &DLG_Setup::OnLatestVersion);
    connect(m_ok, &QPushButton::clicked, this, &DLG_Setup::accept);
    connect(m_cancel, &QPushButton::clicked, this, &DLG_Setup::reject);
}

DLG_Setup::~DLG_Setup() = default;

void DLG_Setup::accept() {
    CAppSettings& settings = *m_services.settings;
    const std::string previousDevice = settings.VIDEO_SRC;
    m_videoPage->Save(settings);
    m_motionPage->Save(settings);
    m_capturePage->Save(settings);
    m_emailPage->Save(settings);
    m_recordingPage->Save(settings);
    m_startupPage->Save(settings);
    m_mailServerPage->Save(settings);
    m_notifyPage->Save(settings);
    // A failed write has shown its message; the new values are in force anyway.
    settings.Save();
    if (m_services.resetDetection)
        m_services.resetDetection();
    if (settings.VIDEO_SRC != previousDevice && m_services.chooseAndStartDevice)
        m_services.chooseAndStartDevice();
    QDialog::accept();
}

void DLG_Setup::OnHelp() {
    CHelpWindow::ShowUserGuide(this, m_services.openUrl);
}

void DLG_Setup::OnLatestVersion() {
    bool leaving = false;
    if (m_services.runVersionCheck) {
        leaving = m_services.runVersionCheck(this);
    } else {
        DLG_CheckVersion check(this, m_services.openUrl);
        leaving = check.exec() == QDialog::Accepted;
    }
    // The program is closing for the download: nothing of this dialog is kept.
    if (leaving) {
        if (m_services.requestClose)
            m_services.requestClose();
        reject();
    }
}

CSetupServices AppSetupServices(CAppObjects& app) {
    CSetupServices services;
    services.settings = app.m_pSettings.get();
    services.sound = app.m_pWavePlayer.get();
    if (CVideoSourceWnd* source = app.m_pVideoSource.get()) {
        services.buildDeviceNames = [source] { return source->BuildDeviceNames(); };
        services.chooseAndStartDevice = [source] { source->ChooseAndStartDevice(); };
        services.sourceRunning = [source] { return source->IsRunning(); };
        services.videoDepth = source->Depth();
    }
    if (CSurveillanceController* controller = app.m_pController.get()) {
        services.resetDetection = [controller] { controller->ResetDetection(); };
        services.currentImage = [controller]() -> const CFrameImage* {
            const CFrameImage& image = controller->GetCurrentImage();
            return image.Empty() ? nullptr : &image;
        };
    }
    services.requestClose = [&app] { app.m_bCloseRequested = true; };
    return services;
}

int RunSetupDialog(CAppObjects& app, QWidget* parent, int page) {
    const CSetupServices services = AppSetupServices(app);
    if (!services.settings)
        return QDialog::Rejected;
    DLG_Setup dialog(services, page, parent);
    return dialog.exec();
}
