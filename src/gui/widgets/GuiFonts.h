#pragma once
#include <QFont>
#include <QString>
#include <QStringList>

// A font of the named family, or the system's sans-serif when that family is
// not installed, sized in points at 96 dpi so that text keeps its pixel size
// (and its place in the fixed layouts) on any desktop.
QFont PointFont(const QString& family, double points);

// `font` narrowed (down to three quarters of its width at most) so that each
// of `lines` fits into `width` pixels. Fallback fonts run wider than the
// compact face the layouts were drawn for; narrowing keeps a status line from
// wrapping away its last word.
QFont NarrowedToFit(QFont font, const QStringList& lines, int width);
