// Draws every picture in data/: the button skins, the status icons and the
// window and tray icons. Run it after a change of style and commit the output:
//   cmake --build BUILD --target oculon-artwork && BUILD/src/gui/oculon-artwork data
#include "ArtworkPainters.h"
#include "main/MainLayout.h"
#include "widgets/ArtworkNames.h"

#include <QDir>
#include <QGuiApplication>
#include <QImage>

#include <cstdio>
#include <cstdlib>
#include <functional>

namespace {

using namespace artwork;
namespace names = artwork_names;

QString g_outDir;

bool Save(const QImage& image, const QString& name) {
    const QString path = name.startsWith('/') ? name : g_outDir + "/" + name;
    const bool jpeg = name.endsWith(".jpg");
    const bool ok = image.save(path, jpeg ? "JPG" : "PNG", jpeg ? 94 : -1);
    std::printf("%s %s\n", ok ? "wrote" : "FAILED", qPrintable(path));
    return ok;
}

QImage Canvas(QSize size, bool transparent) {
    QImage image(size, transparent ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
    image.fill(transparent ? Qt::transparent : Qt::black);
    return image;
}

using GlyphFn = std::function<void(QPainter&, QPointF, double, const QColor&, bool pressed)>;

// One skin pair for a big button: pictogram in the upper part, two label lines below.
bool BigButton(const char* stem, const QString& line1, const QString& line2, const GlyphFn& glyph) {
    const QSize size = main_layout::HelpRect().size();
    bool ok = true;
    for (bool pressed : {false, true}) {
        QImage image = Canvas(size, false);
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        p.setRenderHint(QPainter::TextAntialiasing);
        const QRectF r(0, 0, size.width(), size.height());
        DrawButtonFace(p, r, pressed);
        const double off = pressed ? 1 : 0;
        glyph(p, QPointF(size.width() / 2.0 + off, 35 + off), 38, pressed ? kAccentHot : kAccent,
              pressed);
        DrawButtonLabel(p, QRectF(0, 64, size.width(), 30), line1, line2, pressed);
        p.end();
        ok &= Save(image, QString("%1_%2.jpg").arg(stem, pressed ? "d" : "u"));
    }
    return ok;
}

bool ShadeButton() {
    const QSize size = main_layout::ShadeRect().size();
    bool ok = true;
    for (bool pressed : {false, true}) {
        QImage image = Canvas(size, false);
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        DrawButtonFace(p, QRectF(0, 0, size.width(), size.height()), pressed);
        const double off = pressed ? 1 : 0;
        DrawChevronGlyph(p, QPointF(size.width() / 2.0 + off, size.height() / 2.0 + off), 11,
                         pressed ? kAccentHot : kAccent);
        p.end();
        ok &= Save(image, QString("%1_%2.jpg").arg(names::kSkinShade, pressed ? "d" : "u"));
    }
    return ok;
}

bool StatusIcon(const char* name, const std::function<void(QPainter&)>& draw) {
    QImage image = Canvas(QSize(32, 32), true);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    draw(p);
    p.end();
    return Save(image, name);
}

bool Emblem(const char* name, int size) {
    QImage image = Canvas(QSize(size, size), true);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    DrawEmblem(p, size);
    p.end();
    return Save(image, name);
}

// Everything drawn, magnified on the panel's white and on a dark ground, for review.
bool ContactSheet(const QString& path) {
    const QStringList files = QDir(g_outDir).entryList({"*.jpg", "*.png"}, QDir::Files, QDir::Name);
    const int zoom = 3, cell = 100 * zoom;
    QImage sheet(QSize(cell * 6, cell * int((files.size() + 5) / 6)), QImage::Format_RGB32);
    sheet.fill(QColor(0x80, 0x80, 0x80));
    QPainter p(&sheet);
    for (int i = 0; i < files.size(); ++i) {
        const QImage img(g_outDir + "/" + files[i]);
        const QRect at((i % 6) * cell, (i / 6) * cell, cell, cell);
        p.fillRect(at.adjusted(4, 4, -4 - cell / 2, -4), Qt::white);
        p.fillRect(at.adjusted(cell / 2, 4, -4, -4), QColor(0x20, 0x20, 0x20));
        p.drawImage(QRect(at.topLeft() + QPoint(8, 8), img.size() * zoom), img);
        p.drawText(at.adjusted(8, 0, 0, -8), Qt::AlignBottom, files[i]);
    }
    p.end();
    return Save(sheet, path);
}

} // namespace

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM"))
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QGuiApplication app(argc, argv);
    g_outDir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString(".");
    QDir().mkpath(g_outDir);

    bool ok = true;
    ok &= BigButton(names::kSkinHelp, "HELP &", "INFORMATION",
                    [](QPainter& p, QPointF c, double s, const QColor& col, bool) {
                        DrawHelpGlyph(p, c, s, col);
                    });
    ok &= BigButton(names::kSkinSetup, "APPLICATION", "SETUP",
                    [](QPainter& p, QPointF c, double s, const QColor& col, bool) {
                        DrawGearGlyph(p, c, s, col);
                    });
    ok &= BigButton(names::kSkinMotion, "MOTION", "ON / OFF",
                    [](QPainter& p, QPointF c, double s, const QColor& col, bool pressed) {
                        DrawRadarGlyph(p, c, s, col, pressed);
                    });
    ok &= BigButton(names::kSkinBrowse, "BROWSE", "CAPTURED",
                    [](QPainter& p, QPointF c, double s, const QColor& col, bool) {
                        DrawFolderGlyph(p, c, s, col);
                    });
    ok &= ShadeButton();

    ok &= StatusIcon(names::kDetect, [](QPainter& p) { DrawBinoculars(p, false); });
    ok &= StatusIcon(names::kDetectB, [](QPainter& p) { DrawBinoculars(p, true); });
    ok &= StatusIcon(names::kAlarm, [](QPainter& p) { DrawLoudspeaker(p, false); });
    ok &= StatusIcon(names::kAlarmB, [](QPainter& p) { DrawLoudspeaker(p, true); });
    ok &= StatusIcon(names::kRecordIdle,
                     [](QPainter& p) { DrawRecorder(p, QColor(0x2e, 0xc4, 0x40), false); });
    ok &= StatusIcon(names::kRecordA,
                     [](QPainter& p) { DrawRecorder(p, QColor(0xff, 0x2a, 0x1f), true); });
    ok &= StatusIcon(names::kRecordB,
                     [](QPainter& p) { DrawRecorder(p, QColor(0x9a, 0x14, 0x10), false); });
    ok &= StatusIcon(names::kEmailIdle, [](QPainter& p) { DrawEnvelope(p, true, false); });
    ok &= StatusIcon(names::kEmailA, [](QPainter& p) { DrawEnvelope(p, false, false); });
    ok &= StatusIcon(names::kEmailB, [](QPainter& p) { DrawEnvelope(p, false, true); });
    ok &= StatusIcon(names::kCross, [](QPainter& p) { DrawRedCross(p); });

    ok &= Emblem(names::kWindowIcon, 64);
    ok &= Emblem(names::kTrayIcon, 32);
    if (argc > 2)
        ok &= ContactSheet(QString::fromLocal8Bit(argv[2]));
    return ok ? 0 : 1;
}
