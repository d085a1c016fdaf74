#include "setup/RegionSelectWnd.h"

#include "frame/FrameImage.h"

#include <QImage>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <algorithm>

CRegionSelectWnd::CRegionSelectWnd(QWidget* parent, const QRect& area, RunningFn running,
                                   ImageFn image, bool enabled)
    : QWidget(parent), m_enabled(enabled), m_running(std::move(running)),
      m_image(std::move(image)) {
    setGeometry(area);
    m_client.setCoords(0, 0, area.width(), area.height());
    // One frame pixel in window pixels, in single precision as the region was
    // always converted.
    m_sx = static_cast<float>(area.width()) * 0.003125f;
    m_sy = static_cast<float>(area.height()) * 0.004166667f;
    setAttribute(Qt::WA_OpaquePaintEvent);
    setCursor(Qt::CrossCursor);
    show();
    update();
}

void CRegionSelectWnd::SetRegion(int left, int top, int right, int bottom, bool scale) {
    if (scale) {
        left = static_cast<int>(left * m_sx + 0.5);
        right = static_cast<int>(right * m_sx + 0.5);
        top = static_cast<int>(top * m_sy + 0.5);
        bottom = static_cast<int>(bottom * m_sy + 0.5);
    }
    m_region.setCoords(left, top, right, bottom);
    m_gripTL.setCoords(left, top, left + kGrip, top + kGrip);
    m_gripBR.setCoords(right - kGrip, bottom - kGrip, right, bottom);
    repaint();
}

void CRegionSelectWnd::SetEnabled(bool enabled) {
    m_enabled = enabled;
    repaint();
}

QRect CRegionSelectWnd::GetRegion() const {
    QRect frame;
    frame.setCoords(static_cast<int>((m_region.left() + 0.5) / m_sx),
                    static_cast<int>((m_region.top() + 0.5) / m_sy),
                    static_cast<int>((m_region.right() + 0.5) / m_sx),
                    static_cast<int>((m_region.bottom() + 0.5) / m_sy));
    return frame;
}

bool CRegionSelectWnd::Inside(const QRect& r, int x, int y) {
    return x >= r.left() && x < r.right() && y >= r.top() && y < r.bottom();
}

void CRegionSelectWnd::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    const int x = event->position().toPoint().x();
    const int y = event->position().toPoint().y();
    // The widget keeps the mouse while a button is down, so a drag goes on
    // outside the window.
    if (Inside(m_gripTL, x, y)) {
        m_dragTL = true;
        m_dragOffset = QPoint(m_gripTL.left() - x, m_gripTL.top() - y);
    } else if (Inside(m_gripBR, x, y)) {
        m_dragBR = true;
        m_dragOffset = QPoint(m_gripBR.right() - x, m_gripBR.bottom() - y);
    } else if (Inside(m_region, x, y)) {
        m_dragAll = true;
        m_dragOffset = QPoint(m_region.left() - x, m_region.top() - y);
        setCursor(Qt::SizeAllCursor);
    }
}

void CRegionSelectWnd::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    if (m_dragAll)
        setCursor(Qt::CrossCursor);
    m_dragTL = false;
    m_dragBR = false;
    m_dragAll = false;
}

void CRegionSelectWnd::mouseMoveEvent(QMouseEvent* event) {
    const int x = event->position().toPoint().x() + m_dragOffset.x();
    const int y = event->position().toPoint().y() + m_dragOffset.y();
    // The smallest rectangle, measured with the horizontal scale both ways.
    const int g = static_cast<int>(m_sx * 32);
    if (m_dragTL) {
        int newLeft = std::min(x, m_region.right() - g);
        int newTop = std::min(y, m_region.bottom() - g);
        newTop = std::max(newTop, m_client.top() + 1);
        newLeft = std::max(newLeft, m_client.left() + 1);
        SetRegion(newLeft, newTop, m_region.right(), m_region.bottom(), false);
    } else if (m_dragBR) {
        int newRight = std::max(x, m_region.left() + g);
        int newBottom = std::max(y, m_region.top() + g);
        newBottom = std::min(newBottom, m_client.bottom() - 1);
        newRight = std::min(newRight, m_client.right() - 1);
        SetRegion(m_region.left(), m_region.top(), newRight, newBottom, false);
    } else if (m_dragAll) {
        // The whole rectangle keeps its size and stays off the window's
        // outermost rows and columns, as the grips do.
        const int w = m_region.right() - m_region.left();
        const int h = m_region.bottom() - m_region.top();
        const int newLeft = std::max(std::min(x, m_client.right() - 1 - w), m_client.left() + 1);
        const int newTop = std::max(std::min(y, m_client.bottom() - 1 - h), m_client.top() + 1);
        SetRegion(newLeft, newTop, newLeft + w, newTop + h, false);
    }
}

void CRegionSelectWnd::paintEvent(QPaintEvent* event) {
    // The backing store already keeps this flicker-free: the background and
    // everything on it reach the screen in one copy.
    QPainter p(this);
    p.fillRect(event->rect(), palette().color(QPalette::Base));
    if (!m_running || !m_running())
        return;
    if (const CFrameImage* image = m_image ? m_image() : nullptr; image && !image->Empty()) {
        // Rows are top-down B, G, R, x: the byte order of RGB32 on this machine.
        const QImage picture(image->bgrx.data(), image->width, image->height, image->Stride(),
                             QImage::Format_RGB32);
        p.drawImage(QRect(0, 0, width(), height()), picture);
    }
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0x00, 0xFF, 0x00, m_enabled ? 0xC8 : 0x40), 2.0));
    p.setBrush(Qt::NoBrush);
    for (const QRect& r : {m_region, m_gripTL, m_gripBR})
        p.drawRect(QRectF(r.left(), r.top(), r.right() - r.left(), r.bottom() - r.top()));
}
