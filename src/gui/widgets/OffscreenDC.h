#pragma once
#include <QImage>
#include <QPainter>
#include <QRect>

class QWidget;

// Flicker-free painting: a paint handler draws everything into an off-screen
// picture of the part being painted, and the picture reaches the window in
// one copy when this object ends. Painter coordinates are the widget's own.
class COffscreenDC {
public:
    // Use inside the widget's paintEvent. `rect` is the part being painted
    // (the event's rectangle); an empty one means the whole widget. The
    // picture starts filled with the widget's background colour.
    explicit COffscreenDC(QWidget* target, const QRect& rect = QRect());
    ~COffscreenDC();
    COffscreenDC(const COffscreenDC&) = delete;
    COffscreenDC& operator=(const COffscreenDC&) = delete;

    QPainter& Painter() { return m_painter; }
    const QRect& Rect() const { return m_rect; }
    // The off-screen picture's size in device pixels.
    QSize PictureSize() const { return m_picture.size(); }
    // The picture's pixel format: the one of the surface the widget is painted into.
    QImage::Format PictureFormat() const { return m_picture.format(); }
    // Bits per pixel of the picture, which matches the display's.
    int Depth() const { return m_picture.depth(); }

private:
    QWidget* m_target;
    QRect m_rect;
    QImage m_picture;
    QPainter m_painter;
};
