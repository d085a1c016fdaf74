#pragma once
#include <QApplication>
#include <QByteArray>

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
