#pragma once
#include <QApplication>
#include <QByteArray>
#include <QDir>
#include <QWidget>

// The one QApplication of a GUI test program, made on first use. Without a
// platform chosen by the caller the tests run offscreen.
inline QApplication& GuiTestApp() {
    if (auto* existing = qobject_cast<QApplication*>(QCoreApplication::instance()))
        return *existing;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "gui_tests";
    static char* argv[] = {name, nullptr};
    // Never destroyed: at exit the platform plugin may already be gone, and
    // tearing down the application then crashes a program that passed.
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

// Saves the widget as the documentation's picture `file` when asked for
// (OCULON_SCREENSHOT_DIR, set by scripts/screenshots.sh).
inline void MaybeSaveScreenshot(QWidget* w, const QString& file) {
    const QString dir = qEnvironmentVariable("OCULON_SCREENSHOT_DIR");
    if (!dir.isEmpty())
        w->grab().save(QDir(dir).filePath(file));
}
