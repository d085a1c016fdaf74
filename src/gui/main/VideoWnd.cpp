#include "main/VideoWnd.h"

#include "main/MainLayout.h"
#include "widgets/GuiFonts.h"
#include "widgets/OffscreenDC.h"

#include "app/AppSettings.h"
#include "video/ArmCountdown.h"
#include "video/SurveillanceController.h"
#include "video/capture/IFrameSource.h"

#include <QApplication>
#include <QImage>
#include <QKeyEvent>
#include <QPaintEvent>

#include <algorithm>
#include <cstring>

namespace {

const QColor kOverlayGreen(0, 255, 0, 200); // ARGB C800FF00

} // namespace

CVideoWnd::CVideoWnd(QWidget* parent, int placeholderId, CSurveillanceController& controller,
                     CAppSettings& settings, IFrameSource* source, ICloseRequests& closeRequests)
    : QWidget(parent), m_controller(controller), m_settings(settings), m_source(source),
      m_closeRequests(closeRequests) {
    QPoint at;
    if (QWidget* place = parent->findChild<QWidget*>(QString::number(placeholderId),
                                                     Qt::FindDirectChildrenOnly)) {
        at = place->pos();
        delete place;
    }
    setObjectName(QString::number(placeholderId));
    setAutoFillBackground(false);
    setAttribute(Qt::WA_OpaquePaintEvent);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::black);
    setPalette(pal);
    setGeometry(at.x(), at.y(), kFrameWidth, kFrameHeight);
    m_leftMargin = at.x();
    m_rightMargin = parent->width() - (at.x() + kFrameWidth);
    m_bottomMargin = parent->height() - (at.y() + kFrameHeight);
    setFocusPolicy(Qt::ClickFocus); // a click, then H switches the heat map
    show();
    // Each step repaints at once, so that what is recorded is what is seen.
    m_controller.SetRepaintHook([this] { repaint(); });
}

CVideoWnd::~CVideoWnd() {
    m_controller.SetRepaintHook(nullptr);
}

void CVideoWnd::FitToParent() {
    QWidget* parent = parentWidget();
    if (!parent)
        return;
    const int top =
        main_layout::VideoTopRolledUp() + (m_settings.APP_BUTS != 0 ? m_settings.m_shadeHeight : 0);
    setGeometry(m_leftMargin, top, parent->width() - m_rightMargin - m_leftMargin,
                parent->height() - m_bottomMargin - top);
    show();
}

QString CVideoWnd::CountdownLine1(int countdown, int warmUp) {
    if (countdown == 0)
        return {};
    return arm_countdown::IsOff(countdown, warmUp) ? QStringLiteral("detection is")
                                                   : QStringLiteral("armed in");
}

QString CVideoWnd::CountdownLine2(int countdown, int warmUp) {
    if (countdown == 0)
        return {};
    return arm_countdown::IsOff(countdown, warmUp) ? QStringLiteral("OFF")
                                                   : QString::number(countdown);
}

void CVideoWnd::WatchDepth(int displayDepth) {
    const CDepthWatch::CVerdict v = m_depthWatch.Observe(displayDepth);
    m_depth = v.depth;
    if (v.unsupported) {
        QApplication::beep();
        m_closeRequests.RequestClose(false);
    }
    if (v.restart)
        m_closeRequests.RequestClose(true);
}

void CVideoWnd::paintEvent(QPaintEvent* event) {
    COffscreenDC dc(this, event->rect());
    QPainter& p = dc.Painter();
    if (!m_source || !m_source->IsRunning())
        return;
    WatchDepth(dc.Depth());

    const CFrameImage& image = m_controller.GetCurrentImage();
    if (!image.Empty() && image.bgrx.size() >= size_t(image.Stride()) * size_t(image.height)) {
        // The frame image is already laid over opaque black, which is what
        // Format_RGB32 wants: painted from its own bytes, no copy.
        const QImage frame(image.bgrx.data(), image.width, image.height, image.Stride(),
                           QImage::Format_RGB32);
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        p.drawImage(rect(), frame);
        p.setRenderHint(QPainter::SmoothPixmapTransform, false);
    }

    if (m_controller.ArmCountdown() != 0) {
        PaintCountdown(p);
        return;
    }
    if (m_settings.m_heatMap)
        PaintHeatMap(p);
    if (m_settings.MOTION_SHO != 0)
        PaintMarkers(p);
}

void CVideoWnd::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_H && event->modifiers() == Qt::NoModifier)
        SetHeatMap(!m_settings.m_heatMap);
    else
        QWidget::keyPressEvent(event);
}

void CVideoWnd::SetHeatMap(bool on) {
    m_settings.m_heatMap = on;
    update();
}

bool CVideoWnd::HeatMap() const {
    return m_settings.m_heatMap;
}

void CVideoWnd::PaintHeatMap(QPainter& p) {
    const int16_t* changes = m_controller.Detector().Changes();
    const int threshold = std::max(1, m_settings.MOTION_THR);
    const float cw = float(width()) / CMotionDetector::kColumns;
    const float ch = float(height()) / CMotionDetector::kRows;
    for (int col = 0; col < CMotionDetector::kColumns; ++col) {
        for (int row = 0; row < CMotionDetector::kRows; ++row) {
            const int change = changes[CMotionDetector::CellIndex(col, row)];
            if (change <= 0)
                continue;
            // Below the threshold a yellow that deepens as the change nears it.
            const QColor tint = change > threshold
                                    ? QColor(255, 0, 0, 150)
                                    : QColor(255, 210, 0, 20 + 110 * change / threshold);
            p.fillRect(QRectF(float(col) * cw, float(row) * ch, cw, ch), tint);
        }
    }
}

void CVideoWnd::PaintCountdown(QPainter& p) {
    const int n = m_controller.ArmCountdown();
    const int warmUp = m_settings.MOTION_WRM;
    const QString line1 = CountdownLine1(n, warmUp).left(16);
    const QString line2 = CountdownLine2(n, warmUp).left(16);
    p.save();
    p.setRenderHint(QPainter::TextAntialiasing);
    p.setPen(kOverlayGreen);
    // Window pixels: the text keeps its size whatever the window's size.
    const QRect box1(0, 0, 320, 80), box2(0, 80, 320, 160);
    const int flags = Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap;
    p.setClipRect(box1);
    p.setFont(NarrowedToFit(PointFont("Tahoma", 50), {line1}, box1.width()));
    p.drawText(box1, flags, line1);
    p.setClipRect(box2);
    p.setFont(NarrowedToFit(PointFont("Tahoma", 100), {line2}, box2.width()));
    p.drawText(box2, flags, line2);
    p.restore();
}

void CVideoWnd::PaintMarkers(QPainter& p) {
    const float sx = float(width()) * 0.003125f;
    const float sy = float(height()) * 0.004166667f;
    const float cw = 8 * sx, ch = 8 * sy;
    const int hw = int(cw * 0.5f), hh = int(ch * 0.5f);
    p.save();
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(QPen(kOverlayGreen, 2.0));
    p.setBrush(Qt::NoBrush);
    const auto& cells = m_controller.Cells();
    for (int i = 0; i < CMotionDetector::kRows; ++i) {
        for (int j = 0; j < CMotionDetector::kColumns; ++j) {
            const uint8_t v = cells[size_t(CMotionDetector::CellIndex(j, i))];
            // A fresh mark (8) has no size yet; it then shrinks from a whole cell.
            const int side = v == 0 || v >= 8 ? 0 : int(cw / float(8 - v));
            if (side > 0)
                p.drawRect(int(float(j) * cw) - hw, int(float(i) * ch) + hh, side, side);
        }
    }
    m_controller.AgeMarkers();
    if (m_settings.MOTION_R_ENA != 0) {
        p.drawRect(int(float(m_settings.MOTION_R_LEF) * sx),
                   int(float(m_settings.MOTION_R_TOP) * sy),
                   int(float(m_settings.MOTION_R_RIG - m_settings.MOTION_R_LEF) * sx),
                   int(float(m_settings.MOTION_R_BOT - m_settings.MOTION_R_TOP) * sy));
    }
    p.restore();
}
