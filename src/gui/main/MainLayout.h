#pragma once
#include <QRect>
#include <QSize>

// The main window's layout, kept in dialog units and converted with the
// classic rule (x * baseX / 4, y * baseY / 8, each value on its own, rounded).
namespace main_layout {

// Base units of Tahoma 8 pt at 96 dpi. They are fixed rather than measured so
// that the layout, and with it the 320-pixel video area, does not depend on
// which fonts a desktop happens to have.
inline constexpr int kBaseX = 6;
inline constexpr int kBaseY = 13;

constexpr int MulDivRound(int value, int mul, int div) {
    const long long p = static_cast<long long>(value) * mul;
    return static_cast<int>(p >= 0 ? (p + div / 2) / div : -((-p + div / 2) / div));
}
constexpr int DluX(int dlu) {
    return MulDivRound(dlu, kBaseX, 4);
}
constexpr int DluY(int dlu) {
    return MulDivRound(dlu, kBaseY, 8);
}
inline QRect DluRect(int x, int y, int w, int h) {
    return QRect(DluX(x), DluY(y), DluX(w), DluY(h));
}

// Control identifiers of the main window.
enum ControlId {
    kIdVideo = 1000,
    kIdHelp = 1001,
    kIdCaptureHost = 1002,
    kIdShade = 1003,
    kIdSetup = 1005,
    kIdMotion = 1006,
    kIdBrowse = 1007,
    kIdStatus = 1016,
};

inline QSize ClientSize() {
    return QSize(DluX(248), DluY(246));
}
inline QRect HelpRect() {
    return DluRect(0, 2, 62, 59);
}
inline QRect SetupRect() {
    return DluRect(62, 2, 62, 59);
}
inline QRect MotionRect() {
    return DluRect(124, 2, 62, 59);
}
inline QRect BrowseRect() {
    return DluRect(186, 2, 62, 59);
}
inline QRect StatusRect() {
    return DluRect(17, 62, 213, 19);
}
inline QRect ShadeRect() {
    return DluRect(231, 64, 17, 19);
}
inline QRect VideoRect() {
    return DluRect(17, 81, 213, 147);
}
// The capture host's place lies outside the dialog: it is never seen.
inline QRect CaptureHostRect() {
    return DluRect(255, 1, 213, 147);
}

// The video window's top with the button row rolled up; the button row's
// height is added while it is shown. Taken from the layout itself (the video's
// place less the button row) rather than as a fixed pixel count, so that the
// video stays 320 x 240 right under the status panel at these base units.
inline int VideoTopRolledUp() {
    return VideoRect().y() - HelpRect().height();
}

} // namespace main_layout
