#pragma once
#include <QColor>
#include <QPainter>
#include <QRectF>
#include <QString>

// Drawing helpers of the artwork generator. Every picture the program shows
// (button skins, status icons, window and tray icons) is drawn here with
// QPainter, so the artwork can be regenerated and restyled in one place.
namespace artwork {

// Colours shared by all pictures.
inline const QColor kAccent(0x7c, 0xd9, 0x5b);    // the green of the video overlay, softened
inline const QColor kAccentHot(0xb6, 0xff, 0x8a); // pressed buttons glow brighter
inline const QColor kInk(0x1b, 0x2a, 0x3f);       // dark outlines of the status icons
inline const QColor kLabel(0xe6, 0xed, 0xf5);

// Five-pixel-high capitals for the 32 x 32 status icons, where even the
// smallest outline font turns to mush. Returns the caption's width.
int PixelTextWidth(const QString& text);
void DrawPixelText(QPainter& p, int x, int y, const QString& text, const QColor& colour);
// Centred on the icon's bottom rows.
void DrawIconCaption(QPainter& p, const QString& text);

// Button face of the skins: normal (raised) or pressed (sunken, lit).
void DrawButtonFace(QPainter& p, const QRectF& r, bool pressed);
// Two label lines under a pictogram.
void DrawButtonLabel(QPainter& p, const QRectF& r, const QString& line1, const QString& line2,
                     bool pressed);

// Pictograms of the four big buttons, drawn into a square around `c`.
void DrawHelpGlyph(QPainter& p, QPointF c, double size, const QColor& colour);
void DrawGearGlyph(QPainter& p, QPointF c, double size, const QColor& colour);
void DrawRadarGlyph(QPainter& p, QPointF c, double size, const QColor& colour, bool active);
void DrawFolderGlyph(QPainter& p, QPointF c, double size, const QColor& colour);
void DrawChevronGlyph(QPainter& p, QPointF c, double size, const QColor& colour);

// Status icon pictures (upper 25 rows of a 32 x 32 icon).
void DrawBinoculars(QPainter& p, bool glint);
void DrawLoudspeaker(QPainter& p, bool loud);
void DrawRecorder(QPainter& p, const QColor& lamp, bool lampGlow);
void DrawEnvelope(QPainter& p, bool open, bool moving);
void DrawRedCross(QPainter& p);

// The program's eye emblem for the window and tray icons.
void DrawEmblem(QPainter& p, int size);

} // namespace artwork
