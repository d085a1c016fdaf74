#pragma once
#include "GuiTestApp.h"
#include "RecordingSinks.h"
#include "TempDir.h"

#include "app/AppSettings.h"
#include "app/TagParser.h"
#include "frame/FrameImage.h"
#include "record/IAlertSound.h"
#include "setup/DlgSetup.h"

#include <QAbstractButton>
#include <QKeyEvent>
#include <QPushButton>
#include <QWidget>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

// The alert sound as the motion page drives it.
struct CRecordingSound : IAlertSound {
    void SetVolume(int volume) override { volumes.push_back(volume); }
    void SetSiren(bool on) override { sirens.push_back(on); }
    void PlayChirp() override {}
    bool IsSounding() const override { return !sirens.empty() && sirens.back(); }
    std::vector<int> volumes;
    std::vector<bool> sirens;
};

// A settings record in a home folder of its own and services that count what
// the dialog asks of the rest of the program.
class SetupDialogTest : public ::testing::Test {
protected:
    SetupDialogTest() {
        GuiTestApp();
        settings = std::make_unique<CAppSettings>(parser, home.Folder(), home.File("oculon"));
        services.settings = settings.get();
        services.buildDeviceNames = [this] { return devices; };
        services.resetDetection = [this] { ++resets; };
        services.chooseAndStartDevice = [this] { ++deviceStarts; };
        services.sound = &sound;
        services.sourceRunning = [] { return true; };
        services.currentImage = [this] { return &picture; };
        services.openUrl = [this](const QUrl& url) { opened.push_back(url); };
        services.requestClose = [this] { closeRequested = true; };
        picture.bgrx.assign(static_cast<size_t>(picture.width * picture.height * 4), 0x40);
    }

    std::unique_ptr<DLG_Setup> MakeDialog(int page = 0) {
        auto dialog = std::make_unique<DLG_Setup>(services, page);
        dialog->show();
        return dialog;
    }
    std::string SettingsPath() const { return home.File("oculon.ini"); }

    CTempDir home;
    CTagParser parser{false};
    std::unique_ptr<CAppSettings> settings;
    CSetupServices services;
    std::vector<std::string> devices;
    int resets = 0;
    int deviceStarts = 0;
    CRecordingSound sound;
    CFrameImage picture;
    std::vector<QUrl> opened;
    bool closeRequested = false;
    CRecordingMessageSink messages;
};

inline void ClickTimes(QAbstractButton* button, int times) {
    for (int i = 0; i < times; ++i)
        button->click();
}

// Delivers a key press to a widget as the keyboard would, so that an ignored
// key travels on to the parents.
inline void PressKey(QWidget* target, int key, const QString& text = QString()) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QApplication::sendEvent(target, &release);
}

inline void TypeText(QWidget* target, const QString& text) {
    for (const QChar c : text)
        PressKey(target, c.unicode() < 128 ? int(c.toUpper().unicode()) : int(Qt::Key_unknown),
                 QString(c));
}
