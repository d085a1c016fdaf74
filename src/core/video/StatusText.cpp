#include "video/StatusText.h"

#include "video/ArmCountdown.h"

#include <cstdio>
#include <string>

void CStatusText::Set(const char* text) {
    m_text = text;
    m_watchingText = false;
}

bool CStatusText::Update(const CStatusInputs& in) {
    bool busy = in.recording || in.mailSending || in.movieRecording || in.sounding || in.motion;
    if (in.closeRequested) {
        Set("closing down...");
        return true;
    }
    if (m_lastCountdown == -1)
        m_lastCountdown = in.warmUp;
    if (!in.sourceRunning) {
        Set("No video input device!");
        return true;
    }
    const int n = in.armCountdown;
    if (arm_countdown::IsOff(n, in.warmUp)) {
        // At most "disarmed by schedule until Sat 22:00": fits the panel's 64
        // characters after "system status:\r\n".
        Set(in.scheduleOffUntil.empty()
                ? "motion detection is off"
                : ("disarmed by schedule until " + in.scheduleOffUntil).c_str());
        busy = true;
    } else if (n > 0) {
        char text[48];
        std::snprintf(text, sizeof text, "motion detection active in %02d", n);
        Set(text);
        busy = true;
    } else if (n == 0 && (in.recording != m_lastRecording || in.archivePaused != m_lastPaused ||
                          m_lastCountdown > 0 || !m_watchingText)) {
        // Also when another text (a lost device) is showing, so that the armed
        // state is never hidden behind a stale message.
        std::string text = in.recording ? "motion has been detected" : "motion detection is active";
        // Short enough for the panel's 64 characters after "system status:\r\n".
        if (in.archivePaused)
            text += " (archive full)";
        Set(text.c_str());
        m_watchingText = true;
        busy = true;
        m_lastRecording = in.recording;
        m_lastPaused = in.archivePaused;
    }
    m_lastCountdown = n;
    return busy;
}
