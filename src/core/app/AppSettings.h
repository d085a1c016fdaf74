#pragma once
#include <string>

class CTagParser;

// The one settings record. Members are named after their keys in oculon.ini
// and are read and written directly by the rest of the program.
class CAppSettings {
public:
    // Loads <homeFolder>/oculon.ini; homeFolder ends in "/". A read-only
    // record (a replay's) creates no archive folder and writes no file at its end.
    CAppSettings(const CTagParser& parser, std::string homeFolder, std::string programPath,
                 bool readOnly = false);
    // Writes the file.
    virtual ~CAppSettings();

    CAppSettings(const CAppSettings&) = delete;
    CAppSettings& operator=(const CAppSettings&) = delete;

    void Load();
    // Writes the whole file; false (and the export error message) on failure.
    // A file that could not be read at Load is never written over: false, with
    // the export message naming the read error.
    bool Save();
    // The exact bytes Save writes.
    std::string FileText() const;
    std::string SettingsPath() const { return m_programFolder + "oculon.ini"; }

    int m_shadeHeight = 0;  // button-row height, set by the main window
    bool m_heatMap = false; // the video window's heat map; for this run only, never saved
    int APP_POSX = -4096;
    int APP_POSY = -4096;
    int APP_BUTS = 1;
    std::string m_programFolder; // ends in "/"
    std::string m_programPath;
    int VIDEO_OPA = 50;
    std::string VIDEO_OVE;
    std::string VIDEO_SRC;
    int MOTION_WRM = 10;
    int MOTION_FPS = 10;
    int MOTION_THR = 100;
    int MOTION_R_ENA = 0;
    int MOTION_R_LEF = 80;
    int MOTION_R_RIG = 240;
    int MOTION_R_TOP = 60;
    int MOTION_R_BOT = 180;
    int MOTION_SHO = 1;
    int MOTION_VOL = 50;
    int CAPTURE_WMV = 0;
    int CAPTURE_JPG = 0;
    int CAPTURE_JPQ = 50;
    int CAPTURE_MIN_S = 2;
    int CAPTURE_MAX_S = 60;
    int CAPTURE_FPS = 20;
    std::string CAPTURE_PTH;
    int EMAIL_ENA = 0;
    int EMAIL_WMV = 1;
    int EMAIL_JPG = 1;
    std::string EMAIL_SMTP;
    std::string EMAIL_FROM;
    std::string EMAIL_TO;
    std::string EMAIL_CUS;
    // [RECORDING]: movie format, pre-roll and the archive's limits.
    int MOVIE_FORMAT = 0;        // 0 = WMV, 1 = MP4 (H.264)
    int PRE_ROLL_S = 0;          // seconds before the motion that a movie begins with
    int ARCHIVE_MAX_DAYS = 0;    // captures older than this are deleted; 0 = kept forever
    int ARCHIVE_MAX_GB = 0;      // archive size limit; 0 = none
    int ARCHIVE_MIN_FREE_GB = 1; // free space kept on the archive's disk

    static constexpr const char* kDefaultTitle = " PRESS SETUP TO EDIT THIS TITLE ";
    static constexpr const char* kDefaultSmtp = "enter smtp server here";
    static constexpr const char* kDefaultAddress = "enter email address here";

    // [MAIL SERVER], after the described lines; the defaults keep the
    // described delivery. The password is never here (see mail/MailPassword.h).
    int SMTP_SECURITY = 0;       // 0 none, 1 STARTTLS, 2 TLS
    std::string SMTP_USER;       // empty: no login
    int SMTP_LOOPBACK_LOGIN = 0; // login without TLS to a server on this machine
    int SMTP_SIZE_MB = 20;       // a mail with the movie beyond this goes without it
    void LoadMailServer(const std::string& text);
    std::string MailServerText() const;

    // [DETECTION], after [MAIL SERVER]: false-alarm filters; the defaults keep
    // the plain detector (any changed block is motion).
    int DETECT_LIGHT_PCT = 0; // share of the region's blocks that makes a lighting change; 0 = off
    int DETECT_BRIGHT_COMP = 0;  // compare blocks after removing the region's common change
    int DETECT_MIN_PASSES = 1;   // consecutive motion passes before a capture starts
    int DETECT_MIN_BLOCKS = 1;   // changed blocks a motion needs
    int DETECT_BLOCKS_TOUCH = 0; // ... forming one group of touching blocks
    // [HOME AND PUSH], after the mail server: MQTT (empty host = off), Home
    // Assistant discovery and phone push. The MQTT password is never here.
    std::string MQTT_HOST;
    int MQTT_PORT = 1883;
    std::string MQTT_USER;
    int MQTT_TLS = 0;
    std::string MQTT_CA;   // TLS: the broker's CA file; empty = the system's CAs
    std::string MQTT_BASE; // empty: oculon/<camera>
    int MQTT_DISCOVERY = 0;
    int PUSH_MODE = 0; // 0 off, 1 webhook, 2 ntfy
    std::string PUSH_URL;
    int PUSH_COOLDOWN_MIN =
        0; // at most one push alert and one report mail per so many minutes; 0 = every capture
    // [ARMING], after it: weekly windows in which detection is armed
    // ("Mon-Fri 22:00-06:30; Sat,Sun 00:00-24:00"); empty = the switch alone decides.
    std::string ARM_SCHEDULE;
    void LoadNotify(const std::string& text);
    std::string NotifyText() const;

private:
    const CTagParser& m_parser;
    bool m_readOnly = false;
    int m_readError = 0; // of the last Load; the file is then left alone
};
