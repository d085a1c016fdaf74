#include "widgets/OffscreenDC.h"

#include <QBackingStore>
#include <QWidget>

namespace {

// The pixel format of the surface the widget is painted into, so that the
// final copy is a plain block transfer: converting formats on the way costs
// ten times the copy (and Qt spreads the conversion over its thread pool).
// X11 windows are premultiplied ARGB, the offscreen platform plain RGB32.
QImage::Format SurfaceFormat(const QWidget* target) {
    if (QBackingStore* store = target->backingStore()) {
        // Valid inside a paint event, which is where this object lives.
        const QPaintDevice* device = store->paintDevice();
        if (device && device->devType() == QInternal::Image) {
            const QImage::Format format = static_cast<const QImage*>(device)->format();
            if (format == QImage::Format_RGB32 || format == QImage::Format_ARGB32_Premultiplied ||
                format == QImage::Format_RGB16)
                return format;
        }
    }
    return target->depth() == 16 ? QImage::Format_RGB16 : QImage::Format_ARGB32_Premultiplied;
}

} // namespace

COffscreenDC::COffscreenDC(QWidget* target, const QRect& rect)
    : m_target(target), m_rect(rect.isEmpty() ? target->rect() : rect & target->rect()) {
    const qreal ratio = target->devicePixelRatioF();
    const QImage::Format format = SurfaceFormat(target);
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
