#include "setup/ReplayTimeline.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

CReplayTimeline::CReplayTimeline(QWidget* parent) : QWidget(parent) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void CReplayTimeline::SetResult(double clipSeconds, std::vector<CReplayCapture> captures) {
    m_clipSeconds = clipSeconds;
    m_captures = std::move(captures);
    update();
}

QSize CReplayTimeline::sizeHint() const {
    return {360, fontMetrics().height() * 3};
}

QSize CReplayTimeline::minimumSizeHint() const {
    return {120, sizeHint().height()};
}

QRect CReplayTimeline::Track() const {
    // Room below for the seconds at both ends.
    const int margin = 4;
    return {margin, margin, width() - 2 * margin, height() - fontMetrics().height() - 2 * margin};
}

double CReplayTimeline::Span() const {
    double span = m_clipSeconds;
    for (const CReplayCapture& c : m_captures)
        span = std::max(span, c.end);
    return span;
}

int CReplayTimeline::XAt(double seconds) const {
    const QRect track = Track();
    const double span = Span();
    const double share = span > 0 ? std::clamp(seconds / span, 0.0, 1.0) : 0;
    return track.left() + static_cast<int>(std::lround(share * track.width()));
}

QRect CReplayTimeline::Bar(int index) const {
    if (index < 0 || index >= Bars())
        return {};
    const CReplayCapture& c = m_captures[static_cast<size_t>(index)];
    const QRect track = Track();
    const int left = XAt(c.start);
    // A capture shorter than a pixel still shows.
    const int right = std::max(XAt(c.end), left + 2);
    return {left, track.top() + 3, right - left, track.height() - 6};
}

void CReplayTimeline::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QRect track = Track();
    p.fillRect(track, palette().base());
    p.setPen(palette().mid().color());
    p.drawRect(track.adjusted(0, 0, -1, -1));
    const double span = Span();
    if (span <= 0)
        return;
    for (int s = 1; s < span; ++s) {
        const int x = XAt(s);
        p.drawLine(x, track.bottom() - track.height() / 4, x, track.bottom());
    }
    for (int i = 0; i < Bars(); ++i)
        p.fillRect(Bar(i), QColor(200, 30, 30));
    p.setPen(palette().text().color());
    const QRect scale(track.left(), track.bottom() + 2, track.width(), fontMetrics().height());
    p.drawText(scale, Qt::AlignLeft | Qt::AlignTop, tr("0 s"));
    p.drawText(scale, Qt::AlignRight | Qt::AlignTop, tr("%1 s").arg(span, 0, 'f', 2));
}
