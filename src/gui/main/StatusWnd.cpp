#include "main/StatusWnd.h"

#include "setup/SetupDialogHost.h"
#include "widgets/ArtworkNames.h"
#include "widgets/DataFiles.h"
#include "widgets/GuiFonts.h"
#include "widgets/OffscreenDC.h"

#include "app/AppSettings.h"
#include "app/MessageSink.h"
#include "app/TextLines.h"
#include "notify/HomeNotifier.h"
#include "video/ArmCountdown.h"

#include <QHelpEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QToolTip>

#include <algorithm>

namespace {

// The icon pictures, loaded once on first use and kept for the whole run.
struct CStatusIcons {
    QImage detect, detectB, alarm, alarmB, recordIdle, recordA, recordB, emailIdle, emailA, emailB,
        cross;
};

const CStatusIcons& Icons() {
    static const CStatusIcons icons = [] {
        namespace n = artwork_names;
        auto load = [](const char* name) { return data_files::LoadImage(name); };
        return CStatusIcons{load(n::kDetect),  load(n::kDetectB),    load(n::kAlarm),
                            load(n::kAlarmB),  load(n::kRecordIdle), load(n::kRecordA),
                            load(n::kRecordB), load(n::kEmailIdle),  load(n::kEmailA),
                            load(n::kEmailB),  load(n::kCross)};
    }();
    return icons;
}

// Missing pictures draw nothing in their place.
void Draw(QPainter& p, const QRect& at, const QImage& image) {
    if (!image.isNull())
        p.drawImage(at, image);
}

// A failure's mark: a red disc with a white "!" in the icon's top-right corner,
// clear of the switched-off cross at the bottom left.
void DrawFailureMark(QPainter& p, int iconX) {
    const QRect disc(iconX + 20, 0, 12, 12);
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(220, 0, 0));
    p.drawEllipse(disc);
    p.setPen(Qt::white);
    QFont bold = PointFont("Tahoma", 7);
    bold.setBold(true);
    p.setFont(bold);
    p.drawText(disc, Qt::AlignCenter, QStringLiteral("!"));
    p.restore();
}

QString FailureTitle(CFailureWatch::Kind kind) {
    switch (kind) {
    case CFailureWatch::kMail:
        return QStringLiteral("Oculon: report mail");
    case CFailureWatch::kCamera:
        return QStringLiteral("Oculon: camera");
    default:
        return QStringLiteral("Oculon: recording");
    }
}

} // namespace

CStatusWnd::CStatusWnd(QWidget* parent, int placeholderId, CAppSettings& settings,
                       CSurveillanceController* controller, const CSurveillanceServices& services,
                       const ICloseRequests& closeRequests)
    : QWidget(parent), m_settings(settings), m_controller(controller), m_services(services),
      m_closeRequests(closeRequests) {
    QRect area(0, 0, 320, 32);
    if (QWidget* place = parent->findChild<QWidget*>(QString::number(placeholderId),
                                                     Qt::FindDirectChildrenOnly)) {
        area = place->geometry();
        delete place;
    }
    setObjectName(QString::number(placeholderId));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setGeometry(area);
    show();
    m_timerId = startTimer(kTimerMs);
    if (m_timerId == 0)
        AppMessageBox("Unable to start table STI: Couldn't find Timer resource!");
    SetStatus("IDLE");
}

void CStatusWnd::SetStatus(const QString& text) {
    m_status = (QStringLiteral("system status:\r\n") + text).left(64);
}

int CStatusWnd::DetectCrossSide(int countdown, int warmUp) {
    // Full size (32) when switched off.
    return int(20.0 / double(arm_countdown::Off(warmUp)) * double(countdown)) + 12;
}

CStatusInputs CStatusWnd::Inputs() const {
    return ReadStatusInputs(m_controller, m_services, m_settings.MOTION_WRM,
                            m_closeRequests.CloseRequested());
}

void CStatusWnd::OnTimer() {
    const bool busy = m_composer.Update(Inputs());
    SetStatus(QString::fromStdString(m_composer.Text()));
    const bool failuresChanged = ReadFailures();
    if (busy || m_lastBusy || failuresChanged)
        repaint();
    m_lastBusy = busy;
}

void CStatusWnd::SetFailureWatch(CFailureWatch* watch) {
    m_failures = watch;
    m_failed = {};
    ReadFailures();
}

bool CStatusWnd::ReadFailures() {
    if (!m_failures)
        return false;
    for (const CFailureWatch::CNotice& notice : m_failures->TakeNewStretches())
        emit FailureBegan(FailureTitle(notice.kind), QString::fromStdString(notice.reason));
    bool changed = false;
    for (int k = 0; k < CFailureWatch::kKindCount; ++k) {
        const CFailureWatch::CState state = m_failures->State(CFailureWatch::Kind(k));
        changed = changed || state.failing != m_failed[k].failing;
        m_failed[k] = state;
    }
    return changed;
}

CStatusWnd::Icon CStatusWnd::FailureIcon(CFailureWatch::Kind kind) {
    switch (kind) {
    case CFailureWatch::kMail:
        return kEmail;
    case CFailureWatch::kCamera:
        return kDetect;
    default:
        return kRecord;
    }
}

QString CStatusWnd::ToolTipAt(QPoint pos) const {
    for (int k = 0; k < CFailureWatch::kKindCount; ++k) {
        const QRect icon(ContentLeft() + 172 + 40 * FailureIcon(CFailureWatch::Kind(k)), 0, 32, 32);
        if (m_failed[k].failing && icon.contains(pos))
            return QString::fromStdString(m_failed[k].reason);
    }
    // Elsewhere, the broker's connection, for whoever wonders why home automation is quiet.
    return QString::fromStdString(CHomeNotifier::LatestLinkState());
}

bool CStatusWnd::event(QEvent* event) {
    if (event->type() != QEvent::ToolTip)
        return QWidget::event(event);
    auto* help = static_cast<QHelpEvent*>(event);
    const QString tip = ToolTipAt(help->pos());
    if (tip.isEmpty()) {
        QToolTip::hideText();
        event->ignore();
    } else {
        QToolTip::showText(help->globalPos(), tip, this);
    }
    return true;
}

void CStatusWnd::timerEvent(QTimerEvent*) {
    // Stopped while working and started afresh, so that ticks never pile up.
    if (m_timerId)
        killTimer(m_timerId);
    OnTimer();
    m_timerId = startTimer(kTimerMs);
}

QRect CStatusWnd::IconRect(Icon icon) const {
    return QRect(ContentLeft() + 172 + 40 * icon, std::min(0, height() - 32), 32, 32);
}

void CStatusWnd::DrawIcon(QPainter& p, Icon icon, bool blinking, const QImage& frameA,
                          const QImage& frameB, const QImage& idle) {
    const QRect at = IconRect(icon);
    if (!blinking) {
        Draw(p, at, idle);
        return;
    }
    ++m_blink[icon];
    Draw(p, at, (m_blink[icon] & 1) ? frameA : frameB);
}

void CStatusWnd::paintEvent(QPaintEvent* event) {
    COffscreenDC dc(this, event->rect());
    QPainter& p = dc.Painter();
    const CStatusIcons& icons = Icons();
    const int f = ContentLeft();
    const int h = height();
    p.fillRect(rect(), Qt::white);

    p.setPen(Qt::black);
    const QString text = QString::fromStdString(JoinLines(m_status.toStdString(), "\n"));
    p.setFont(NarrowedToFit(PointFont("Tahoma", 8), text.split('\n'), 160));
    p.drawText(QRect(f, 0, 160, h), Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, text);

    p.setRenderHint(QPainter::SmoothPixmapTransform);
    const CStatusInputs in = Inputs();
    const bool sounding = in.sounding;
    const bool movie = in.movieRecording;
    const bool sending = in.mailSending;
    const int countdown = in.armCountdown;
    const bool motion = in.motion;
    const bool recording = in.recording;

    // Detection: blinks on motion once armed; while arming a cross shrinks
    // from 32 (off) towards 12 as the countdown runs out.
    DrawIcon(p, kDetect, countdown == 0 && motion, icons.detect, icons.detectB, icons.detect);
    // Crosses sit at the same place on their icon wherever the icon is.
    auto crossAt = [this](Icon icon, int side) {
        return QRect(IconRect(icon).topLeft() + QPoint(10, 17), QSize(side, side));
    };
    if (countdown != 0)
        Draw(p, crossAt(kDetect, DetectCrossSide(countdown, m_settings.MOTION_WRM)), icons.cross);

    const bool alarmBlinks = sounding && m_settings.MOTION_VOL > 0;
    DrawIcon(p, kAlarm, alarmBlinks, icons.alarm, icons.alarmB, icons.alarm);
    if (!alarmBlinks && m_settings.MOTION_VOL < 1)
        Draw(p, crossAt(kAlarm, 32), icons.cross);

    const bool recordBlinks =
        (movie && m_settings.CAPTURE_WMV != 0) || (recording && m_settings.CAPTURE_JPG != 0);
    DrawIcon(p, kRecord, recordBlinks, icons.recordA, icons.recordB, icons.recordIdle);
    if (!recordBlinks && m_settings.CAPTURE_WMV == 0 && m_settings.CAPTURE_JPG == 0)
        Draw(p, crossAt(kRecord, 32), icons.cross);

    DrawIcon(p, kEmail, sending, icons.emailA, icons.emailB, icons.emailIdle);
    if (!sending && m_settings.EMAIL_ENA == 0)
        Draw(p, crossAt(kEmail, 32), icons.cross);

    for (int k = 0; k < CFailureWatch::kKindCount; ++k)
        if (m_failed[k].failing)
            DrawFailureMark(p, f + 172 + 40 * FailureIcon(CFailureWatch::Kind(k)));

    if (!m_hitRectsSet) {
        m_hit[kDetect] = QRect(f + 172, 0, 32, 32);
        m_hit[kAlarm] = QRect(f + 212, 0, 32, 32);
        m_hit[kRecord] = QRect(f + 252, 0, 32, 32);
        m_hit[kEmail] = QRect(f + 292, 0, 32, 32);
        m_hitRectsSet = true;
    }
    // Half-white over the content pales everything drawn so far.
    p.fillRect(QRect(f, 0, 320, h), QColor(255, 255, 255, 0x80));
}

int CStatusWnd::PageAt(QPoint pos) const {
    if (m_hit[kDetect].contains(pos) || m_hit[kAlarm].contains(pos))
        return setup_dialog::kMotionDetect;
    if (m_hit[kRecord].contains(pos))
        return setup_dialog::kVideoCapture;
    if (m_hit[kEmail].contains(pos))
        return setup_dialog::kEmailSetup;
    return setup_dialog::kVideoDevice;
}

void CStatusWnd::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        m_pressed = true;
}

void CStatusWnd::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    // A press dragged off the panel and released elsewhere is taken back.
    const QPoint at = event->position().toPoint();
    if (m_pressed && rect().contains(at)) {
        m_pressed = false;
        const int page = PageAt(at);
        auto open = [this, page] {
            if (m_openSetup)
                m_openSetup(page);
        };
        if (m_controller)
            m_controller->RunSetup(open);
        else
            open();
    }
    m_pressed = false;
}
