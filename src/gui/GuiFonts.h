#pragma once
#include <QFont>
#include <QString>

// A font of the named family, or the system's sans-serif when that family is
// not installed, sized in points at 96 dpi so that text keeps its pixel size
// (and its place in the fixed layouts) on any desktop.
QFont PointFont(const QString& family, double points);
