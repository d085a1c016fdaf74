#pragma once
#include <string>

// What the status panel's 100 ms timer looks at.
struct CStatusInputs {
    bool closeRequested = false;
    bool sourceRunning = false;
    int armCountdown = 0;
    int warmUp = 10;        // MOTION_WRM
    bool recording = false; // the controller's m_recording
    bool motion = false;
    bool mailSending = false;
    bool movieRecording = false;
    bool sounding = false;
    bool archivePaused = false;   // the archive's disk is full: no movie or still is written
    std::string scheduleOffUntil; // the arming schedule holds detection off until then
};

// Composes the controller's state text the way the status panel shows it, so
// the window and the headless runner agree. One object per panel.
class CStatusText {
public:
    // One timer tick: updates Text() and returns whether anything is busy (the
    // panel then repaints).
    bool Update(const CStatusInputs& in);
    // The state text ("IDLE" until the first tick).
    const std::string& Text() const { return m_text; }

private:
    void Set(const char* text);

    std::string m_text = "IDLE";
    int m_lastCountdown = -1;
    bool m_lastRecording = false;
    bool m_lastPaused = false;
    bool m_watchingText = false; // the text shown is one of the armed-state texts
};
