#pragma once
// Stand-ins for the services the video window and the status panel look at,
// and a settings record with a controller, so that a window can be built and
// painted without a camera, a sound card or a mail server.
#include "ControllerTestAccess.h"
#include "GuiTestApp.h"
#include "ManualClock.h"
#include "RecordingSinks.h"
#include "TempDir.h"

#include "widgets/DataFiles.h"

#include "app/AppSettings.h"
#include "app/TagParser.h"
#include "frame/FrameFormat.h"
#include "mail/IReportMailer.h"
#include "program/AppObjects.h"
#include "record/IAlertSound.h"
#include "record/IMovieRecorder.h"
#include "video/SurveillanceController.h"
#include "video/capture/IFrameSource.h"

#include <QFrame>
#include <QImage>
#include <QWidget>
#include <gtest/gtest.h>

#include <memory>
#include <vector>

struct FakeSource : IFrameSource {
    bool IsRunning() const override { return running; }
    int GetFrame(uint8_t*& pixels, bool) override {
        pixels = buffer.data() + kFrameHeaderSize;
        return static_cast<int>(buffer.size());
    }
    int Depth() const override { return 32; }
    uint64_t FrameSequence() const override { return 1; }
    bool running = true;
    std::vector<uint8_t> buffer = std::vector<uint8_t>(kFrameBufferSize, 0);
};

struct FakeRecorder : IMovieRecorder {
    void Start(const std::string&, int) override { recording = true; }
    void AddFrame(const CFrameImage&, int64_t) override {}
    void Stop() override { recording = false; }
    bool IsRecording() const override { return recording; }
    bool recording = false;
};

struct FakeSound : IAlertSound {
    void SetVolume(int) override {}
    void SetSiren(bool on) override { sounding = on; }
    void PlayChirp() override {}
    bool IsSounding() const override { return sounding; }
    bool sounding = false;
};

struct FakeMailer : IReportMailer {
    void SendCaptureReport(const CCaptureReport&) override { ++reports; }
    bool IsSending() const override { return sending; }
    int PendingCount() const override { return sending ? 1 : 0; }
    bool sending = false;
    int reports = 0;
};

// A frame image of one colour (B, G, R).
inline CFrameImage SolidImage(uint8_t b, uint8_t g, uint8_t r) {
    CFrameImage image;
    image.bgrx.resize(size_t(image.width) * size_t(image.height) * 4);
    for (size_t i = 0; i < image.bgrx.size(); i += 4) {
        image.bgrx[i] = b;
        image.bgrx[i + 1] = g;
        image.bgrx[i + 2] = r;
        image.bgrx[i + 3] = 0; // not coverage: the window must still paint it opaque
    }
    return image;
}

// A parent window with a placeholder child, a settings record, fake services
// and a controller; the window under test is built by the derived fixture.
class WindowTest : public ::testing::Test {
protected:
    WindowTest() {
        data_files::SetSearchFolders({QStringLiteral(OCULON_SOURCE_DIR "/data")});
        settings = std::make_unique<CAppSettings>(parser, home.Folder(), home.File("oculon"));
        services.source = &source;
        services.recorder = &recorder;
        services.sound = &sound;
        services.mailer = &mailer;
        controller =
            std::make_unique<CSurveillanceController>(*settings, clock, motionOn, services);
        parent.resize(372, 400);
    }
    ~WindowTest() override { data_files::SetSearchFolders({}); }

    void AddPlaceholder(int id, const QRect& at) {
        auto* place = new QFrame(&parent);
        place->setObjectName(QString::number(id));
        place->setGeometry(at);
    }

    // First: the application must exist before any widget member.
    struct AppFirst {
        AppFirst() { GuiTestApp(); }
    } appFirst;
    CTempDir home;
    CTagParser parser{false};
    std::unique_ptr<CAppSettings> settings;
    CManualClock clock;
    bool motionOn = true;
    FakeSource source;
    FakeRecorder recorder;
    FakeSound sound;
    FakeMailer mailer;
    CSurveillanceServices services;
    std::unique_ptr<CSurveillanceController> controller;
    CAppObjects app; // the close requests the windows make
    QWidget parent;
    CRecordingMessageSink messages;
};

// Colour tests on painted pixels.
inline bool IsGreenish(QRgb c) {
    return qGreen(c) > 120 && qRed(c) < 80 && qBlue(c) < 80;
}
inline bool IsReddish(QRgb c) {
    return qRed(c) - qGreen(c) > 60 && qRed(c) - qBlue(c) > 60;
}

// Bounding box of the pixels that pass `test`; empty when none do.
template <typename Test> QRect BoundingBox(const QImage& image, Test test) {
    QRect box;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (test(image.pixel(x, y)))
                box |= QRect(x, y, 1, 1);
    return box;
}
