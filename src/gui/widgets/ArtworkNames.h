#pragma once

// File names of the pictures in the data folder, shared by the windows that
// show them and the generator that draws them.
namespace artwork_names {

// Status panel icons, 32 x 32 with transparency.
inline constexpr const char* kDetect = "status_detect.png";     // binoculars, DETECT
inline constexpr const char* kDetectB = "status_detect_b.png";  // binoculars, second frame
inline constexpr const char* kAlarm = "status_alarm.png";       // loudspeaker, ALARM
inline constexpr const char* kAlarmB = "status_alarm_b.png";    // loudspeaker, brighter
inline constexpr const char* kRecordIdle = "status_record.png"; // recorder, green lamp
inline constexpr const char* kRecordA = "status_record_a.png";  // red lamp
inline constexpr const char* kRecordB = "status_record_b.png";  // red lamp, second frame
inline constexpr const char* kEmailIdle = "status_email.png";   // open envelope, EMAIL
inline constexpr const char* kEmailA = "status_email_a.png";    // closed envelope
inline constexpr const char* kEmailB = "status_email_b.png";    // closed envelope, second frame
inline constexpr const char* kCross = "status_cross.png";       // red cross, top-left corner

inline constexpr const char* kWindowIcon = "oculon.png";
inline constexpr const char* kTrayIcon = "oculon_tray.png";

// Skin stems of the main window's buttons: STEM_u.jpg (up) and STEM_d.jpg (down).
inline constexpr const char* kSkinHelp = "button_oculon";
inline constexpr const char* kSkinSetup = "button_setup";
inline constexpr const char* kSkinMotion = "button_motion";
inline constexpr const char* kSkinBrowse = "button_browse";
inline constexpr const char* kSkinShade = "button_windowshade";

inline constexpr const char* kUserGuide = "userguide.md";

} // namespace artwork_names
