#pragma once
#include <QRect>
#include <QWidget>
#include <functional>

struct CFrameImage;

// The detection rectangle over the last video picture on the "Motion Detect"
// page: the user drags its top-left and bottom-right grips, or the whole
// rectangle by pressing inside it. It converts
// between its own pixels and the 320 x 240 frame coordinates of the settings.
class CRegionSelectWnd : public QWidget {
    Q_OBJECT
public:
    using RunningFn = std::function<bool()>;
    using ImageFn = std::function<const CFrameImage*()>;

    // Covers `area` of `parent`; `running` and `image` give the last picture
    // (either may be empty: nothing is drawn then).
    CRegionSelectWnd(QWidget* parent, const QRect& area, RunningFn running, ImageFn image,
                     bool enabled);

    // With `scale`, the values are frame coordinates and are converted to
    // window pixels; without, they are window pixels.
    void SetRegion(int left, int top, int right, int bottom, bool scale);
    void SetEnabled(bool enabled);
    // The region in frame coordinates.
    QRect GetRegion() const; // left, top, right, bottom as x1, y1, x2, y2 of the QRect

    // The region as shown, in window pixels (x2/y2 are the right/bottom edges).
    const QRect& Region() const { return m_region; }
    QRect TopLeftGrip() const { return m_gripTL; }
    QRect BottomRightGrip() const { return m_gripBR; }
    bool IsRegionEnabled() const { return m_enabled; }
    float ScaleX() const { return m_sx; }
    float ScaleY() const { return m_sy; }

    static constexpr int kGrip = 8;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    // Right and bottom edges lie outside, as for any window rectangle.
    static bool Inside(const QRect& r, int x, int y);

    // Rectangles keep (left, top, right, bottom) as given: x1/y1/x2/y2.
    QRect m_region;
    QRect m_gripTL;
    QRect m_gripBR;
    bool m_enabled = false;
    bool m_dragTL = false;
    bool m_dragBR = false;
    bool m_dragAll = false;
    QPoint m_dragOffset;
    float m_sx = 1.0f;
    float m_sy = 1.0f;
    QRect m_client; // x1/y1/x2/y2 with x2/y2 one past the last pixel
    RunningFn m_running;
    ImageFn m_image;
};
