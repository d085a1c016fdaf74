#pragma once
#include "setup/SetupDialogHost.h"

#include "app/FailureWatch.h"
#include "program/AppObjects.h"
#include "video/StatusText.h"
#include "video/SurveillanceController.h"

#include <QImage>
#include <QString>
#include <QWidget>

#include <array>
#include <cstdint>

class CAppSettings;

// The status panel between the buttons and the video: two lines of status
// text and four state icons (detection, alarm, recording, e-mail) that blink
// while busy and carry a red cross when their function is off. Its own 100 ms
// timer composes the text; a click on it opens the setup dialog on the page
// of the icon under the mouse.
class CStatusWnd : public QWidget {
    Q_OBJECT
public:
    enum Icon { kDetect, kAlarm, kRecord, kEmail, kIconCount };
    static constexpr int kTimerMs = 100;

    // Takes the place and size of the placeholder child `placeholderId` of
    // `parent`, which is removed. `controller` may be null (no video window).
    // The text says "closing down..." once `closeRequests` has a close.
    CStatusWnd(QWidget* parent, int placeholderId, CAppSettings& settings,
               CSurveillanceController* controller, const CSurveillanceServices& services,
               const ICloseRequests& closeRequests);

    // What a click opens, on the page of the icon under the mouse; nothing
    // until one is set.
    void SetSetupOpener(setup_dialog::OpenFn open) { m_openSetup = std::move(open); }

    // "system status:\r\n" followed by `text`, cut to 64 characters.
    void SetStatus(const QString& text);
    const QString& Status() const { return m_status; }

    // One tick of the panel's timer: composes the text, repaints while busy.
    void OnTimer();
    // The setup page a click released at `pos` opens.
    int PageAt(QPoint pos) const;
    // Side of the red cross over the detection icon while arming.
    static int DetectCrossSide(int countdown, int warmUp);
    // Left edge of the centred 320-pixel content.
    int ContentLeft() const { return (width() - 320) / 2; }
    // Where `icon` is painted: at the top, or flush with the bottom when the
    // panel is less than an icon high, so that the caption at the icon's foot
    // is never cut.
    QRect IconRect(Icon icon) const;

    // Where failures are read from at each tick (none until set): a failing
    // e-mail, recording or camera marks its icon, whose tooltip gives the reason.
    void SetFailureWatch(CFailureWatch* watch);
    // The icon that shows failures of `kind`.
    static Icon FailureIcon(CFailureWatch::Kind kind);
    // The tooltip at `pos`: the reason of the failure its icon shows, else empty.
    QString ToolTipAt(QPoint pos) const;

signals:
    // A failing stretch began; said once per stretch, for a notification.
    void FailureBegan(const QString& title, const QString& text);

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    CStatusInputs Inputs() const;
    // Takes the failure states and the stretches begun since the last tick;
    // true when a state changed.
    bool ReadFailures();
    // Draws the icon, alternating its two frames while it blinks.
    void DrawIcon(QPainter& p, Icon icon, bool blinking, const QImage& frameA, const QImage& frameB,
                  const QImage& idle);

    CAppSettings& m_settings;
    CSurveillanceController* m_controller;
    CSurveillanceServices m_services;
    const ICloseRequests& m_closeRequests;
    setup_dialog::OpenFn m_openSetup;
    CStatusText m_composer;
    QString m_status;
    int m_timerId = 0;
    bool m_pressed = false;
    bool m_hitRectsSet = false;
    std::array<QRect, kIconCount> m_hit{};
    std::array<uint8_t, kIconCount> m_blink{};
    bool m_lastBusy = false;
    CFailureWatch* m_failures = nullptr;
    std::array<CFailureWatch::CState, CFailureWatch::kKindCount> m_failed{};
};
