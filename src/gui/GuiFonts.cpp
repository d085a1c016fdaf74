#include "GuiFonts.h"

#include <QFontDatabase>
#include <cmath>

QFont PointFont(const QString& family, double points) {
    QFont font = QFontDatabase::hasFamily(family)
                     ? QFont(family)
                     : QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setStyleHint(QFont::SansSerif);
    font.setBold(false);
    font.setItalic(false);
    font.setPixelSize(static_cast<int>(std::lround(points * 96.0 / 72.0)));
    return font;
}
