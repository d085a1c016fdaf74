#pragma once
#include "GuiTestApp.h"
#include "ManualClock.h"
#include "RecordingSinks.h"
#include "TempDir.h"

#include "main/DlgMain.h"
#include "widgets/DataFiles.h"

#include "app/AppSettings.h"
#include "app/HomeFolder.h"
#include "app/TagParser.h"
#include "program/AppObjects.h"

#include <QApplication>
#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QUrl>
#include <QWidget>
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

inline QString SourceData() {
    return QStringLiteral(OCULON_SOURCE_DIR "/data");
}
inline QString SourceDocs() {
    return QStringLiteral(OCULON_SOURCE_DIR "/docs");
}

inline void SendKey(QWidget* target, int key) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
    QApplication::sendEvent(target, &release);
}

inline void SendClick(QWidget* target, QPoint down, QPoint up) {
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(down), target->mapToGlobal(QPointF(down)),
                      Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(up), target->mapToGlobal(QPointF(up)),
                        Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(target, &release);
}

// Renders a widget the way its paint handler draws it.
inline QImage Grab(QWidget* widget) {
    return widget->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// The whole program's objects in a home folder of their own: settings written
// beforehand, the application objects, then the main window.
class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        GuiTestApp();
        QApplication::setQuitOnLastWindowClosed(false);
        // No sound card on a build machine: SDL's silent driver instead of a message.
        ::setenv("SDL_AUDIODRIVER", "dummy", 1);
        ::unsetenv("OCULON_DEVICES");
        data_files::SetSearchFolders({SourceData(), SourceDocs()});
    }

    void TearDown() override {
        Stop();
        data_files::SetSearchFolders({});
        ::unsetenv("OCULON_DEVICES");
    }

    // Writes the settings file before the program starts.
    void WriteSettings(const std::function<void(CAppSettings&)>& edit) {
        CTagParser parser(false);
        CAppSettings settings(parser, home.Folder(), ExecutablePath());
        edit(settings);
        settings.Save();
    }

    // A virtual camera that delivers a plain grey scene.
    void UseVirtualCamera() {
        WriteFileBytes(home.File("devices.txt"),
                       "Grey Scene|lavfi:color=c=0x606060:size=320x240:rate=25\n");
        ::setenv("OCULON_DEVICES", home.File("devices.txt").c_str(), 1);
    }

    void Start(const std::string& commandLine = "") {
        app.CreateAll(home.Folder(), ExecutablePath(), commandLine);
        dialog = std::make_unique<DLG_Main>(app, clock);
        dialog->SetUrlOpener([this](const QUrl& url) { opened.push_back(url); });
        setupPages.clear();
        dialog->SetSetupOpener([this](int page) {
            setupPages.push_back(page);
            modalDuringSetup = app.ModalOpen();
        });
    }

    // Ends the program as its main does: the window with its children, then
    // the application objects; the next start is a fresh run.
    void Stop() {
        if (!dialog)
            return;
        dialog.reset();
        app.DestroyAll();
        app.m_bCloseRequested = app.m_bRestartOnClose = false;
        app.m_bMotionOn = true;
    }

    CAppSettings& Settings() { return *app.m_pSettings; }
    std::string SettingsText() { return ReadFileBytes(home.File("oculon.ini")); }

    CTempDir home;
    CManualClock clock;
    CRecordingMessageSink messages;
    CAppObjects app;
    std::unique_ptr<DLG_Main> dialog;
    std::vector<QUrl> opened;
    std::vector<int> setupPages;
    bool modalDuringSetup = false;
};
