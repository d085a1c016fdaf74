#include "main/DlgMain.h"

#include "main/MainLayout.h"
#include "main/StartSignal.h"
#include "main/StatusWnd.h"
#include "main/TrayIcon.h"
#include "main/VideoWnd.h"
#include "setup/DlgSetup.h"
#include "setup/SetupDialogHost.h"
#include "widgets/ArtworkNames.h"
#include "widgets/DataFiles.h"
#include "widgets/GuiFonts.h"
#include "widgets/HelpWindow.h"
#include "widgets/SkinButton.h"

#include "app/AppSettings.h"
#include "app/Clock.h"
#include "app/CommandLine.h"
#include "app/ProgramVersion.h"
#include "program/AppObjects.h"
#include "video/SurveillanceController.h"
#include "video/capture/VideoSourceWnd.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QEventLoop>
#include <QFrame>
#include <QKeyEvent>
#include <QPainter>
#include <QScreen>
#include <algorithm>

using namespace main_layout;

namespace {

QFrame* Placeholder(QWidget* parent, int id, const QRect& at, QFrame::Shape shape) {
    auto* frame = new QFrame(parent);
    frame->setObjectName(QString::number(id));
    frame->setFrameShape(shape);
    frame->setGeometry(at);
    return frame;
}

} // namespace

DLG_Main::DLG_Main(CAppObjects& app, const IClock& clock, QWidget* parent)
    : QDialog(parent), m_app(app), m_clock(clock), m_settings(*app.m_pSettings),
      m_openSetup([this](int page) { RunSetupDialog(m_app, this, page); }),
      m_openUrl([](const QUrl& url) { QDesktopServices::openUrl(url); }) {
    CreateControls();
    Initialise();
}

DLG_Main::~DLG_Main() = default;

void DLG_Main::SetSetupOpener(setup_dialog::OpenFn open) {
    m_openSetup = std::move(open);
    if (m_statusWnd)
        m_statusWnd->SetSetupOpener(m_openSetup);
}

void DLG_Main::SetFailureWatch(CFailureWatch* watch) {
    if (m_statusWnd)
        m_statusWnd->SetFailureWatch(watch);
}

void DLG_Main::CreateControls() {
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setFont(PointFont("Tahoma", 8));
    FixSize(ClientSize().height());

    auto button = [this](const char* text, const QRect& at, int id) {
        auto* b = new CSkinButton(QString::fromUtf8(text), this);
        b->setObjectName(QString::number(id));
        b->setGeometry(at);
        connect(b, &QPushButton::clicked, this, [this, id] { OnCommand(id); });
        return b;
    };
    m_help = button("help and\ninformation\nonline", HelpRect(), kIdHelp);
    m_setup = button("application\nsetup", SetupRect(), kIdSetup);
    m_motion = button("motion\ndetection\non/off", MotionRect(), kIdMotion);
    m_browse = button("browse\ncaptured\nvideo", BrowseRect(), kIdBrowse);
    Placeholder(this, kIdStatus, StatusRect(), QFrame::Box);
    m_shade = button("^", ShadeRect(), kIdShade);
    Placeholder(this, kIdVideo, VideoRect(), QFrame::NoFrame)->hide();
    // The capture host's place lies outside the dialog: it is never seen, not
    // even in a maximized window.
    Placeholder(this, kIdCaptureHost, CaptureHostRect(), QFrame::Box)->hide();
}

void DLG_Main::Initialise() {
    // Tray mode: no minimise box, and the window starts hidden behind the icon.
    const bool trayMode = m_app.m_pCommandLine && m_app.m_pCommandLine->m_bTrayMode;
    if (trayMode) {
        // A tool window has no taskbar button.
        setWindowFlag(Qt::WindowMinimizeButtonHint, false);
        setWindowFlag(Qt::Tool, true);
        // Listening first: a second start must find this program even while the
        // tray's message box (no notification area) is still up.
        m_startSignal =
            new CStartSignal(CStartSignal::ServerName(m_settings.m_programFolder), this);
        connect(m_startSignal, &CStartSignal::StartRequested, this, [this] {
            if (m_tray)
                m_tray->RestoreFromTray();
        });
        m_tray = new CTrayIcon(this, true);
        connect(m_tray, &CTrayIcon::CommandChosen, this, &DLG_Main::OnCommand);
    }

    const QImage icon = data_files::LoadImage(artwork_names::kWindowIcon);
    if (!icon.isNull()) {
        setWindowIcon(QIcon(QPixmap::fromImage(icon)));
        QApplication::setWindowIcon(windowIcon());
    }
    setWindowTitle(
        QString::asprintf("Oculon V%0.02f - webcam surveillance", double(kProgramVersion)));

    // The capture source first: the controller and the windows read its frames.
    const int depth =
        QGuiApplication::primaryScreen() && QGuiApplication::primaryScreen()->depth() == 16 ? 16
                                                                                            : 32;
    m_app.CreateSurveillance(m_clock, depth);
    m_videoWnd = new CVideoWnd(this, kIdVideo, *m_app.m_pController, m_settings,
                               m_app.m_pVideoSource.get(), m_app);
    m_statusWnd = new CStatusWnd(this, kIdStatus, m_settings, m_app.m_pController.get(),
                                 m_app.Services(), m_app);
    // A click on the status panel opens the setup dialog over this window.
    m_statusWnd->SetSetupOpener(m_openSetup);
    connect(m_statusWnd, &CStatusWnd::FailureBegan, this,
            [this](const QString& title, const QString& text) {
                if (m_tray)
                    m_tray->Notify(title, text);
            });

    AttachSkins();
    PlaceWindow(QPoint(m_settings.APP_POSX, m_settings.APP_POSY), size());
    m_settings.m_shadeHeight = m_help->height();
    if (m_settings.APP_BUTS == 0)
        ApplyShade(false);

    m_initialised = true;
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &DLG_Main::Tick);
    m_timer.start(kTickMs);
}

bool DLG_Main::AttachSkin(CSkinButton* button, const char* stem) {
    const QString name = QString::fromUtf8(stem);
    if (!button->LoadImages(name + "_u.jpg", name + "_d.jpg"))
        return false;
    button->SetOwnerDraw(true);
    return true;
}

void DLG_Main::AttachSkins() {
    namespace n = artwork_names;
    AttachSkin(m_help, n::kSkinHelp);
    AttachSkin(m_browse, n::kSkinBrowse);
    AttachSkin(m_setup, n::kSkinSetup);
    AttachSkin(m_motion, n::kSkinMotion);
    AttachSkin(m_shade, n::kSkinShade);
    m_skinsApplied = true;
    update();
}

CSkinButton* DLG_Main::Button(int id) const {
    switch (id) {
    case kIdHelp:
        return m_help;
    case kIdSetup:
        return m_setup;
    case kIdMotion:
        return m_motion;
    case kIdBrowse:
        return m_browse;
    case kIdShade:
        return m_shade;
    default:
        return nullptr;
    }
}

QPoint DLG_Main::PlacePosition(int x, int y, QSize client, const QRect& work) {
    // Work-area edges as the desktop reports them: right and bottom exclusive.
    const int left = work.left(), top = work.top();
    const int right = work.left() + work.width(), bottom = work.top() + work.height();
    if (y < top - 8)
        return QPoint(left + (work.width() - client.width()) / 2,
                      top + (work.height() - client.height()) / 2);
    // Each test looks at the saved values, not at a value already corrected.
    const int savedX = x, savedY = y;
    if (savedX < left)
        x = left;
    if (savedX + client.width() > right)
        x = right - client.width();
    if (savedY < top)
        y = top;
    if (savedY + client.height() > bottom)
        y = bottom - client.height();
    return QPoint(x, y);
}

void DLG_Main::PlaceWindow(QPoint saved, QSize outer) {
    // The screen under the saved corner keeps a window on a second monitor
    // where it was; a first start centres on the primary screen.
    QScreen* screen = QGuiApplication::screenAt(saved);
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    const QRect work = screen ? screen->availableGeometry() : QRect(0, 0, 800, 600);
    const QPoint at = PlacePosition(saved.x(), saved.y(), outer, work);
    move(at);
    raise();
    m_settings.APP_POSX = at.x();
    m_settings.APP_POSY = at.y();
}

void DLG_Main::ApplyShade(bool toggle) {
    if (toggle)
        m_settings.APP_BUTS = m_settings.APP_BUTS == 0 ? 1 : 0;
    // A hand-edited value other than 0 or 1 still means shown.
    const bool shown = m_settings.APP_BUTS != 0;
    for (CSkinButton* b : {m_help, m_browse, m_setup, m_motion})
        b->setVisible(shown);
    const int d = shown ? m_settings.m_shadeHeight : -m_settings.m_shadeHeight;
    for (QWidget* w : {static_cast<QWidget*>(m_statusWnd), static_cast<QWidget*>(m_shade)}) {
        w->move(w->pos() + QPoint(0, d));
        w->show();
        w->raise();
    }
    FixSize(ClientSize().height() - (shown ? 0 : m_settings.m_shadeHeight));
    if (m_videoWnd)
        m_videoWnd->FitToParent();
    // The arrow points the way the next press rolls.
    m_shade->setText(shown ? "^" : "v");
    m_shade->SetUpsideDown(!shown);
    // Rolled down near the bottom of the screen, the taller window would push
    // the picture off it: placed again as at start, frame included.
    if (toggle && shown)
        PlaceWindow(pos(), frameGeometry().size().expandedTo(size()));
}

void DLG_Main::Tick() {
    if (m_ended)
        return;
    if (m_tray) {
        m_tray->OnTimerTick();
        m_tray->SetDetectionOn(m_app.m_bMotionOn);
    }
    if (m_stopFlag && m_stopFlag->load())
        m_app.m_bCloseRequested = true;
    // A program on its way out must not answer a new start (it may be its own restart).
    if (m_app.m_bCloseRequested && m_startSignal)
        m_startSignal->Stop();
    if (m_app.MainTick(m_clock)) {
        EndDialog();
        return;
    }
    // Wake only for work: the next step, or the described fast tick while the
    // tray's bring-to-front pulse runs; at most 100 ms, so a stop signal is
    // seen soon.
    int interval = kTickMs;
    if (!m_tray || m_tray->RaiseCount() <= 0)
        interval = static_cast<int>(
            std::clamp<int64_t>(m_app.NextTickDueMs(m_clock) - m_clock.SteadyMs(), 1, 100));
    if (interval != m_timer.interval())
        m_timer.start(interval);
}

void DLG_Main::EndDialog() {
    m_ended = true;
    m_timer.stop();
    if (m_tray)
        m_tray->RemoveIcon();
    done(QDialog::Rejected);
    if (m_loop)
        m_loop->quit();
}

int DLG_Main::Run() {
    if (m_ended)
        return result();
    if (!(m_tray && m_tray->IsHidden()))
        show();
    QEventLoop loop;
    m_loop = &loop;
    loop.exec();
    m_loop = nullptr;
    return result();
}

void DLG_Main::OnCommand(int id) {
    switch (id) {
    case kIdHelp:
    case CTrayIcon::kCmdUserGuide:
        OpenUserGuide();
        break;
    case CTrayIcon::kCmdWebsite:
        if (m_openUrl)
            m_openUrl(data_files::WebsiteAddress());
        break;
    case kIdSetup:
        RunSetup();
        break;
    case kIdMotion:
    case CTrayIcon::kCmdArm:
        if (m_app.m_pController)
            m_app.m_pController->ToggleDetection();
        break;
    case kIdBrowse:
    case CTrayIcon::kCmdBrowse:
        OpenArchive();
        break;
    case kIdShade:
        if (m_initialised)
            ApplyShade(true);
        break;
    case CTrayIcon::kCmdShowWindow:
        if (m_tray)
            m_tray->RestoreFromTray();
        break;
    case CTrayIcon::kCmdClose:
        m_app.m_bCloseRequested = true;
        break;
    default:
        break;
    }
}

void DLG_Main::RunSetup() {
    auto open = [this] {
        if (m_openSetup)
            m_openSetup(setup_dialog::kVideoDevice);
    };
    if (m_app.m_pController)
        m_app.m_pController->RunSetup(open);
    else
        open();
}

QUrl DLG_Main::ArchiveUrl() const {
    if (m_settings.CAPTURE_PTH.empty())
        return {};
    return QUrl::fromLocalFile(QString::fromStdString(m_settings.CAPTURE_PTH));
}

void DLG_Main::OpenUserGuide() {
    // Failures of the desktop's handler are not reported.
    CHelpWindow::ShowUserGuide(this, m_openUrl);
}

void DLG_Main::OpenArchive() {
    if (const QUrl url = ArchiveUrl(); url.isValid() && m_openUrl)
        m_openUrl(url);
}

void DLG_Main::accept() {}

void DLG_Main::reject() {
    if (m_tray && m_tray->HasIcon()) {
        m_tray->HideToTray();
        return;
    }
    setWindowTitle("Oculon Closing...");
    m_app.m_bCloseRequested = true;
}

void DLG_Main::setVisible(bool visible) {
    // Nothing shows the window while it sits in the tray.
    if (visible && m_tray && m_tray->IsHidden())
        return;
    QDialog::setVisible(visible);
}

void DLG_Main::closeEvent(QCloseEvent* event) {
    event->ignore();
    if (!m_ended)
        reject();
}

void DLG_Main::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return;
    case Qt::Key_F1:
        OpenUserGuide();
        return;
    default:
        QDialog::keyPressEvent(event);
    }
}

void DLG_Main::moveEvent(QMoveEvent* event) {
    QDialog::moveEvent(event);
    if (!m_initialised)
        return;
    if (isMaximized()) {
        m_shade->hide();
        return;
    }
    // pos() is the frame's corner, the same point that PlaceWindow moves.
    const QPoint at = pos();
    const QSize outer = frameGeometry().size();
    // A minimised window may lie far in the negative: not a position to keep.
    if (at.x() + outer.width() > 0 && at.y() + outer.height() > 0) {
        m_settings.APP_POSX = at.x();
        m_settings.APP_POSY = at.y();
        if (m_lastSaved != at) {
            m_lastSaved = at;
            m_settings.Save();
        }
    }
    m_shade->show();
}

void DLG_Main::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    if (m_initialised && m_videoWnd)
        m_videoWnd->FitToParent();
}

void DLG_Main::FixSize(int clientHeight) {
    m_fixedHeight = clientHeight;
    // Dragging a frame edge never resizes the window; maximizing still may.
    if (isMaximized()) {
        setMinimumSize(ClientSize().width(), clientHeight);
        setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    } else {
        setFixedSize(ClientSize().width(), clientHeight);
    }
}

void DLG_Main::changeEvent(QEvent* event) {
    QDialog::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange)
        FixSize(m_fixedHeight);
    // Restoring from maximized may not move the window; the shade button must come back.
    if (event->type() == QEvent::WindowStateChange && m_initialised)
        m_shade->setVisible(!isMaximized());
}

void DLG_Main::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), Qt::white);
}
