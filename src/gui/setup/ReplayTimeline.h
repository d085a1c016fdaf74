#pragma once
#include "video/Replay.h"

#include <QWidget>

#include <vector>

// A clip's length as a strip with a tick each second, and each capture a
// replay made from it as a bar from its start to its end. The strip spans the
// clip up to its last picture, or to the end of a capture closed after it.
class CReplayTimeline : public QWidget {
    Q_OBJECT
public:
    explicit CReplayTimeline(QWidget* parent);

    void SetResult(double clipSeconds, std::vector<CReplayCapture> captures);
    void Clear() { SetResult(0, {}); }

    double ClipSeconds() const { return m_clipSeconds; }
    // The seconds the strip spans.
    double Span() const;
    int Bars() const { return static_cast<int>(m_captures.size()); }
    // The bar of capture `index` in this widget's pixels.
    QRect Bar(int index) const;
    // The strip the clip's length spans.
    QRect Track() const;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int XAt(double seconds) const;

    double m_clipSeconds = 0;
    std::vector<CReplayCapture> m_captures;
};
