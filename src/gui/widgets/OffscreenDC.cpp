#include "widgets/OffscreenDC.h"

#include <QWidget>

COffscreenDC::COffscreenDC(QWidget* target, const QRect& rect)
    : m_target(target), m_rect(rect.isEmpty() ? target->rect() : rect & target->rect()) {
    const qreal ratio = target->devicePixelRatioF();
    // The display's own pixel format, so that the final copy is a plain block transfer.
    const QImage::Format format =
        target->depth() == 16 ? QImage::Format_RGB16 : QImage::Format_ARGB32_Premultiplied;
    // A window of no size still gets a painter, so handlers need no special case.
    m_picture = QImage((m_rect.size() * ratio).expandedTo(QSize(1, 1)), format);
    m_picture.setDevicePixelRatio(ratio);
    m_picture.fill(target->palette().color(target->backgroundRole()));
    m_painter.begin(&m_picture);
    m_painter.translate(-m_rect.topLeft());
}

COffscreenDC::~COffscreenDC() {
    m_painter.end();
    if (m_rect.isEmpty())
        return;
    QPainter screen(m_target);
    screen.setCompositionMode(QPainter::CompositionMode_Source);
    screen.drawImage(m_rect.topLeft(), m_picture);
}
