#include "widgets/GuiFonts.h"

#include <QFontDatabase>
#include <QFontMetrics>

#include <algorithm>
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

QFont NarrowedToFit(QFont font, const QStringList& lines, int width) {
    const QFontMetrics metrics(font);
    int widest = 0;
    for (const QString& line : lines)
        widest = std::max(widest, metrics.horizontalAdvance(line));
    if (widest > width && widest > 0)
        font.setStretch(std::max(75, 100 * width / widest));
    return font;
}
