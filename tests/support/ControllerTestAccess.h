#pragma once
#include "video/SurveillanceController.h"

#include <utility>

// Puts a controller straight into a state that many steps would take to reach,
// for tests of what windows paint and compose from it.
struct CControllerTestAccess {
    static void SetArmCountdown(CSurveillanceController& c, int n) { c.m_armCountdown = n; }
    static void SetRecording(CSurveillanceController& c, bool on) { c.m_recording = on; }
    static void SetFirstPass(CSurveillanceController& c, bool on) { c.m_firstPass = on; }
    static void SetMarker(CSurveillanceController& c, int cell, uint8_t age) {
        c.m_cells[static_cast<size_t>(cell)] = age;
    }
    static CMotionDetector& Detector(CSurveillanceController& c) { return c.m_detector; }
    static void SetImage(CSurveillanceController& c, CFrameImage image) {
        c.m_image = std::move(image);
    }
};
