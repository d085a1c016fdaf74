#include "ArtworkPainters.h"

#include <QConicalGradient>
#include <QFont>
#include <QLinearGradient>
#include <QPainterPath>
#include <QRadialGradient>
#include <QtMath>

#include <cstring>
#include <map>
#include <vector>

namespace artwork {

namespace {

// Rows of each capital, top to bottom; 'X' is a lit pixel.
const std::map<QChar, std::vector<const char*>>& PixelGlyphs() {
    static const std::map<QChar, std::vector<const char*>> glyphs = {
        {'A', {".X.", "X.X", "XXX", "X.X", "X.X"}},
        {'C', {".XX", "X..", "X..", "X..", ".XX"}},
        {'D', {"XX.", "X.X", "X.X", "X.X", "XX."}},
        {'E', {"XXX", "X..", "XX.", "X..", "XXX"}},
        {'I', {"XXX", ".X.", ".X.", ".X.", "XXX"}},
        {'L', {"X..", "X..", "X..", "X..", "XXX"}},
        {'M', {"X...X", "XX.XX", "X.X.X", "X...X", "X...X"}},
        {'O', {".X.", "X.X", "X.X", "X.X", ".X."}},
        {'R', {"XX.", "X.X", "XX.", "X.X", "X.X"}},
        {'T', {"XXX", ".X.", ".X.", ".X.", ".X."}},
    };
    return glyphs;
}

QFont LabelFont(int pixels) {
    QFont f("DejaVu Sans");
    f.setPixelSize(pixels);
    f.setBold(true);
    f.setLetterSpacing(QFont::AbsoluteSpacing, 0.3);
    f.setHintingPreference(QFont::PreferFullHinting);
    return f;
}

QPen RoundPen(const QColor& c, double width) {
    return QPen(c, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

} // namespace

int PixelTextWidth(const QString& text) {
    int width = 0;
    for (QChar ch : text) {
        const auto it = PixelGlyphs().find(ch);
        width += (it == PixelGlyphs().end() ? 3 : int(std::strlen(it->second[0]))) + 1;
    }
    return width > 0 ? width - 1 : 0;
}

void DrawPixelText(QPainter& p, int x, int y, const QString& text, const QColor& colour) {
    for (QChar ch : text) {
        const auto it = PixelGlyphs().find(ch);
        if (it == PixelGlyphs().end()) {
            x += 4;
            continue;
        }
        const auto& rows = it->second;
        const int w = int(std::strlen(rows[0]));
        for (int r = 0; r < int(rows.size()); ++r)
            for (int k = 0; k < w; ++k)
                if (rows[size_t(r)][k] == 'X')
                    p.fillRect(x + k, y + r, 1, 1, colour);
        x += w + 1;
    }
}

void DrawIconCaption(QPainter& p, const QString& text) {
    const int w = PixelTextWidth(text);
    const int x = (32 - w) / 2;
    // A light plate keeps the caption readable over any picture edge.
    p.save();
    p.setRenderHint(QPainter::Antialiasing, false);
    p.fillRect(x - 1, 25, w + 2, 7, QColor(255, 255, 255, 210));
    DrawPixelText(p, x, 26, text, kInk);
    p.restore();
}

void DrawButtonFace(QPainter& p, const QRectF& r, bool pressed) {
    p.fillRect(r, QColor(0x10, 0x14, 0x1a));
    const QRectF face = r.adjusted(2, 2, -2, -2);
    QLinearGradient g(face.topLeft(), face.bottomLeft());
    if (pressed) {
        g.setColorAt(0, QColor(0x16, 0x1c, 0x24));
        g.setColorAt(1, QColor(0x2b, 0x35, 0x42));
    } else {
        g.setColorAt(0, QColor(0x45, 0x51, 0x62));
        g.setColorAt(0.5, QColor(0x2f, 0x39, 0x46));
        g.setColorAt(1, QColor(0x22, 0x29, 0x33));
    }
    const double radius = std::min(face.width(), face.height()) > 40 ? 7 : 4;
    p.setPen(QPen(QColor(0x08, 0x0b, 0x0f), 1));
    p.setBrush(g);
    p.drawRoundedRect(face.adjusted(0.5, 0.5, -0.5, -0.5), radius, radius);
    // A one-pixel sheen along the top edge (raised) or an inner shadow (sunken).
    p.setBrush(Qt::NoBrush);
    if (pressed) {
        p.setPen(QPen(QColor(0, 0, 0, 150), 2));
        p.drawRoundedRect(face.adjusted(1.5, 1.5, -1.5, -1.5), radius - 1, radius - 1);
        p.setPen(QPen(QColor(kAccent.red(), kAccent.green(), kAccent.blue(), 90), 1));
        p.drawRoundedRect(face.adjusted(2.5, 2.5, -2.5, -2.5), radius - 2, radius - 2);
    } else {
        p.setPen(QPen(QColor(255, 255, 255, 60), 1));
        p.drawRoundedRect(face.adjusted(1.5, 1.5, -1.5, -1.5), radius - 1, radius - 1);
    }
}

void DrawButtonLabel(QPainter& p, const QRectF& r, const QString& line1, const QString& line2,
                     bool pressed) {
    p.save();
    p.setFont(LabelFont(9));
    const QRectF box = r.translated(pressed ? 1 : 0, pressed ? 1 : 0);
    const QString text = line1 + "\n" + line2;
    p.setPen(QColor(0, 0, 0, 160));
    p.drawText(box.translated(0, 1), Qt::AlignHCenter | Qt::AlignTop, text);
    p.setPen(pressed ? kAccentHot : kLabel);
    p.drawText(box, Qt::AlignHCenter | Qt::AlignTop, text);
    p.restore();
}

void DrawHelpGlyph(QPainter& p, QPointF c, double size, const QColor& colour) {
    p.save();
    const double r = size / 2;
    p.setPen(RoundPen(colour, size * 0.08));
    p.setBrush(QColor(colour.red(), colour.green(), colour.blue(), 40));
    p.drawEllipse(c, r - 2, r - 2);
    QFont f("DejaVu Sans");
    f.setBold(true);
    f.setPixelSize(int(size * 0.62));
    p.setFont(f);
    p.setPen(colour);
    p.drawText(QRectF(c.x() - r, c.y() - r + 1, size, size), Qt::AlignCenter, "?");
    p.restore();
}

void DrawGearGlyph(QPainter& p, QPointF c, double size, const QColor& colour) {
    p.save();
    const int teeth = 8;
    const double outer = size * 0.48, inner = size * 0.36, hole = size * 0.15;
    QPainterPath gear;
    for (int i = 0; i < teeth * 4; ++i) {
        // Each tooth: rise, top, fall, gap, in quarter steps round the circle.
        const double a = (i - 0.5) * M_PI * 2 / (teeth * 4);
        const double rad = (i % 4 == 1 || i % 4 == 2) ? outer : inner;
        const QPointF pt(c.x() + rad * std::cos(a), c.y() + rad * std::sin(a));
        if (i == 0)
            gear.moveTo(pt);
        else
            gear.lineTo(pt);
    }
    gear.closeSubpath();
    gear.addEllipse(c, hole, hole);
    gear.setFillRule(Qt::OddEvenFill);
    p.setPen(QPen(colour.darker(160), 1));
    QRadialGradient g(c - QPointF(size * 0.15, size * 0.15), size * 0.6);
    g.setColorAt(0, colour.lighter(130));
    g.setColorAt(1, colour.darker(115));
    p.setBrush(g);
    p.drawPath(gear);
    p.restore();
}

void DrawRadarGlyph(QPainter& p, QPointF c, double size, const QColor& colour, bool active) {
    p.save();
    const double r = size / 2 - 1;
    // Sweep sector fading behind the beam.
    QConicalGradient sweep(c, 45);
    sweep.setColorAt(0, QColor(colour.red(), colour.green(), colour.blue(), active ? 170 : 110));
    sweep.setColorAt(0.25, QColor(colour.red(), colour.green(), colour.blue(), 0));
    sweep.setColorAt(1, QColor(colour.red(), colour.green(), colour.blue(), 0));
    p.setPen(Qt::NoPen);
    p.setBrush(sweep);
    p.drawEllipse(c, r, r);
    p.setBrush(Qt::NoBrush);
    p.setPen(RoundPen(colour, 2));
    p.drawEllipse(c, r, r);
    p.setPen(RoundPen(QColor(colour.red(), colour.green(), colour.blue(), 140), 1.2));
    p.drawEllipse(c, r * 0.62, r * 0.62);
    p.drawLine(QPointF(c.x() - r, c.y()), QPointF(c.x() + r, c.y()));
    p.drawLine(QPointF(c.x(), c.y() - r), QPointF(c.x(), c.y() + r));
    p.setPen(RoundPen(colour, 2));
    p.drawLine(c, QPointF(c.x() + r * 0.707, c.y() - r * 0.707));
    // The blip: something moved.
    p.setPen(Qt::NoPen);
    p.setBrush(active ? QColor(0xff, 0x5a, 0x4e) : QColor(0xff, 0x8a, 0x70));
    p.drawEllipse(QPointF(c.x() + r * 0.45, c.y() + r * 0.2), size * 0.07, size * 0.07);
    p.restore();
}

void DrawFolderGlyph(QPainter& p, QPointF c, double size, const QColor& colour) {
    p.save();
    const double w = size, h = size * 0.74;
    const QRectF body(c.x() - w / 2, c.y() - h / 2 + 3, w, h - 3);
    QPainterPath tab;
    tab.addRoundedRect(QRectF(body.left(), body.top() - 5, w * 0.42, 9), 2.5, 2.5);
    p.setPen(QPen(colour.darker(170), 1));
    p.setBrush(colour.darker(125));
    p.drawPath(tab);
    QLinearGradient g(body.topLeft(), body.bottomLeft());
    g.setColorAt(0, colour.lighter(120));
    g.setColorAt(1, colour.darker(110));
    p.setBrush(g);
    p.drawRoundedRect(body, 3, 3);
    // A film frame with a play mark: the folder holds captured video.
    const QRectF film(c.x() - w * 0.26, body.top() + h * 0.16, w * 0.52, h * 0.5);
    p.setBrush(QColor(0x18, 0x1e, 0x26));
    p.setPen(Qt::NoPen);
    p.drawRoundedRect(film, 2, 2);
    p.setBrush(QColor(0xe6, 0xed, 0xf5));
    for (int i = 0; i < 4; ++i) {
        const double x = film.left() + 2 + i * (film.width() - 6) / 3;
        p.drawRect(QRectF(x, film.top() + 1.5, 2, 2));
        p.drawRect(QRectF(x, film.bottom() - 3.5, 2, 2));
    }
    QPolygonF play;
    const QPointF m = film.center();
    play << QPointF(m.x() - 3, m.y() - 4.5) << QPointF(m.x() + 4.5, m.y())
         << QPointF(m.x() - 3, m.y() + 4.5);
    p.setBrush(colour.lighter(140));
    p.drawPolygon(play);
    p.restore();
}

void DrawChevronGlyph(QPainter& p, QPointF c, double size, const QColor& colour) {
    p.save();
    p.setPen(RoundPen(colour, 2.4));
    const double h = size / 2;
    p.drawPolyline(QPolygonF() << QPointF(c.x() - h, c.y() + h * 0.5)
                               << QPointF(c.x(), c.y() - h * 0.5)
                               << QPointF(c.x() + h, c.y() + h * 0.5));
    p.restore();
}

void DrawBinoculars(QPainter& p, bool glint) {
    p.save();
    const QColor body(0x2d, 0x3a, 0x4d);
    p.setPen(QPen(kInk, 1));
    p.setBrush(body);
    // Two barrels joined by a bridge.
    p.drawRoundedRect(QRectF(4.5, 5.5, 9, 12), 2, 2);
    p.drawRoundedRect(QRectF(18.5, 5.5, 9, 12), 2, 2);
    p.drawRect(QRectF(12.5, 8.5, 7, 4));
    p.setBrush(body.lighter(130));
    p.drawRoundedRect(QRectF(6.5, 1.5, 5, 5), 1, 1);
    p.drawRoundedRect(QRectF(20.5, 1.5, 5, 5), 1, 1);
    // Objective lenses.
    for (double x : {9.0, 23.0}) {
        QRadialGradient g(QPointF(x - 1, 18), 6);
        g.setColorAt(0, glint ? QColor(0xc8, 0xf0, 0xff) : QColor(0x7f, 0xc4, 0xe8));
        g.setColorAt(1, glint ? QColor(0x2f, 0x8f, 0xd0) : QColor(0x1d, 0x5b, 0x8c));
        p.setBrush(g);
        p.drawEllipse(QPointF(x, 19), 5, 5);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(255, 255, 255, glint ? 240 : 150));
        p.drawEllipse(QPointF(glint ? x + 1.5 : x - 1.8, glint ? 17.5 : 17.3), 1.4, 1.4);
        p.setPen(QPen(kInk, 1));
    }
    p.restore();
    DrawIconCaption(p, "DETECT");
}

void DrawLoudspeaker(QPainter& p, bool loud) {
    p.save();
    QPolygonF cone;
    cone << QPointF(4.5, 9.5) << QPointF(9.5, 9.5) << QPointF(16.5, 3.5) << QPointF(16.5, 21.5)
         << QPointF(9.5, 15.5) << QPointF(4.5, 15.5);
    QLinearGradient g(QPointF(4, 3), QPointF(16, 21));
    g.setColorAt(0, loud ? QColor(0xff, 0xd5, 0x4f) : QColor(0x8a, 0x99, 0xad));
    g.setColorAt(1, loud ? QColor(0xf0, 0x8c, 0x1a) : QColor(0x45, 0x54, 0x68));
    p.setPen(QPen(kInk, 1, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    p.setBrush(g);
    p.drawPolygon(cone);
    // Sound waves; the loud frame adds a third and brightens them.
    const QColor wave = loud ? QColor(0xe8, 0x5d, 0x04) : kInk;
    p.setBrush(Qt::NoBrush);
    const int waves = loud ? 3 : 2;
    for (int i = 0; i < waves; ++i) {
        const double r = 4.0 + i * 3.6;
        p.setPen(RoundPen(wave, 1.6));
        p.drawArc(QRectF(16.5 - r, 12.5 - r, 2 * r, 2 * r), -50 * 16, 100 * 16);
    }
    p.restore();
    DrawIconCaption(p, "ALARM");
}

void DrawRecorder(QPainter& p, const QColor& lamp, bool lampGlow) {
    p.save();
    // A camcorder body with its lens to the right and a lamp on top.
    QLinearGradient g(QPointF(0, 6), QPointF(0, 22));
    g.setColorAt(0, QColor(0x4a, 0x58, 0x6c));
    g.setColorAt(1, QColor(0x23, 0x2c, 0x38));
    p.setPen(QPen(kInk, 1));
    p.setBrush(g);
    p.drawRoundedRect(QRectF(2.5, 7.5, 20, 14), 2.5, 2.5);
    QPolygonF lens;
    lens << QPointF(22.5, 11.5) << QPointF(29.5, 8.5) << QPointF(29.5, 20.5) << QPointF(22.5, 17.5);
    p.setBrush(QColor(0x35, 0x41, 0x52));
    p.drawPolygon(lens);
    // Tape reels.
    p.setBrush(QColor(0xd9, 0xe2, 0xec));
    p.drawEllipse(QPointF(8, 14.5), 3.2, 3.2);
    p.drawEllipse(QPointF(17, 14.5), 3.2, 3.2);
    p.setBrush(kInk);
    p.drawEllipse(QPointF(8, 14.5), 0.9, 0.9);
    p.drawEllipse(QPointF(17, 14.5), 0.9, 0.9);
    // The lamp.
    if (lampGlow) {
        QRadialGradient halo(QPointF(7, 4), 6);
        halo.setColorAt(0, QColor(lamp.red(), lamp.green(), lamp.blue(), 170));
        halo.setColorAt(1, QColor(lamp.red(), lamp.green(), lamp.blue(), 0));
        p.setPen(Qt::NoPen);
        p.setBrush(halo);
        p.drawEllipse(QPointF(7, 4), 6, 6);
        p.setPen(QPen(kInk, 1));
    }
    QRadialGradient lg(QPointF(6, 3), 3.5);
    lg.setColorAt(0, lamp.lighter(lampGlow ? 170 : 130));
    lg.setColorAt(1, lampGlow ? lamp : lamp.darker(140));
    p.setBrush(lg);
    p.drawEllipse(QPointF(7, 4), 2.8, 2.8);
    p.restore();
    DrawIconCaption(p, "RECORD");
}

void DrawEnvelope(QPainter& p, bool open, bool moving) {
    p.save();
    const double dx = moving ? 2 : 0;
    const QRectF body(3.5 + dx, 9.5, 23, 14);
    p.setPen(QPen(kInk, 1, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    if (open) {
        // The flap stands up behind a letter.
        QPolygonF flap;
        flap << body.topLeft() << QPointF(body.center().x(), 1.5) << body.topRight();
        p.setBrush(QColor(0xc9, 0xd4, 0xe1));
        p.drawPolygon(flap);
        p.setBrush(Qt::white);
        p.drawRect(QRectF(7.5 + dx, 5.5, 15, 12));
        p.setPen(QPen(QColor(0x7a, 0x8a, 0x9e), 1));
        for (int i = 0; i < 3; ++i)
            p.drawLine(QPointF(10 + dx, 8.5 + i * 2.5), QPointF(20 + dx, 8.5 + i * 2.5));
        p.setPen(QPen(kInk, 1, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    }
    QLinearGradient g(body.topLeft(), body.bottomLeft());
    g.setColorAt(0, QColor(0xfd, 0xf6, 0xe3));
    g.setColorAt(1, QColor(0xe9, 0xdc, 0xbb));
    p.setBrush(g);
    if (open) {
        QPolygonF pocket;
        pocket << body.topLeft() << QPointF(body.center().x(), body.top() + 7) << body.topRight()
               << body.bottomRight() << body.bottomLeft();
        p.drawPolygon(pocket);
    } else {
        p.drawRect(body);
        p.setBrush(QColor(0xf4, 0xea, 0xcf));
        QPolygonF flap;
        flap << body.topLeft() << QPointF(body.center().x(), body.top() + 8) << body.topRight();
        p.drawPolygon(flap);
        if (moving) {
            // Speed lines: the mail is on its way.
            p.setPen(RoundPen(QColor(0x2f, 0x8f, 0xd0), 1.4));
            p.drawLine(QPointF(0.5, 13), QPointF(3.5, 13));
            p.drawLine(QPointF(1.5, 17), QPointF(3.5, 17));
            p.drawLine(QPointF(0.5, 21), QPointF(3.5, 21));
        }
    }
    p.restore();
    DrawIconCaption(p, "EMAIL");
}

void DrawRedCross(QPainter& p) {
    // Only the top-left corner: the panel places and scales the whole image.
    p.save();
    p.setPen(RoundPen(QColor(0x5a, 0x00, 0x00, 220), 5));
    p.drawLine(QPointF(2.5, 2.5), QPointF(12.5, 12.5));
    p.drawLine(QPointF(12.5, 2.5), QPointF(2.5, 12.5));
    p.setPen(RoundPen(QColor(0xe5, 0x17, 0x17), 3));
    p.drawLine(QPointF(2.5, 2.5), QPointF(12.5, 12.5));
    p.drawLine(QPointF(12.5, 2.5), QPointF(2.5, 12.5));
    p.restore();
}

void DrawEmblem(QPainter& p, int size) {
    p.save();
    const double s = size;
    const QRectF tile(s * 0.03, s * 0.03, s * 0.94, s * 0.94);
    QLinearGradient bg(tile.topLeft(), tile.bottomRight());
    bg.setColorAt(0, QColor(0x2b, 0x4a, 0x73));
    bg.setColorAt(1, QColor(0x0c, 0x18, 0x2a));
    p.setPen(QPen(QColor(0x06, 0x0d, 0x18), s / 48));
    p.setBrush(bg);
    p.drawRoundedRect(tile, s * 0.2, s * 0.2);
    // The eye: an almond of white with a green iris.
    const QPointF c(s / 2, s / 2);
    QPainterPath eye;
    eye.moveTo(s * 0.12, c.y());
    eye.quadTo(c.x(), s * 0.12, s * 0.88, c.y());
    eye.quadTo(c.x(), s * 0.88, s * 0.12, c.y());
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xf2, 0xf6, 0xfa));
    p.drawPath(eye);
    p.setClipPath(eye);
    QRadialGradient iris(c, s * 0.2);
    iris.setColorAt(0, QColor(0xb6, 0xff, 0x8a));
    iris.setColorAt(0.7, QColor(0x3f, 0xa8, 0x34));
    iris.setColorAt(1, QColor(0x1d, 0x5e, 0x1d));
    p.setBrush(iris);
    p.drawEllipse(c, s * 0.2, s * 0.2);
    p.setBrush(QColor(0x06, 0x0b, 0x12));
    p.drawEllipse(c, s * 0.085, s * 0.085);
    p.setBrush(QColor(255, 255, 255, 230));
    p.drawEllipse(QPointF(c.x() - s * 0.06, c.y() - s * 0.07), s * 0.045, s * 0.045);
    p.setClipping(false);
    // A recording dot in the corner.
    p.setBrush(QColor(0xff, 0x3b, 0x30));
    p.setPen(QPen(QColor(0x06, 0x0d, 0x18), s / 64));
    p.drawEllipse(QPointF(s * 0.8, s * 0.2), s * 0.085, s * 0.085);
    p.restore();
}

} // namespace artwork
