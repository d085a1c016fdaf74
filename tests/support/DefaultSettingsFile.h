#pragma once
#include <string>

// The settings file a first start leaves behind, byte for byte, for a home
// folder `home` that ends in "/".
inline std::string DefaultSettingsFile(const std::string& home) {
    return "[OCULON INI FILE]\n"
           "\n"
           "[APPLICATION]\n"
           "APP_POSX=-4096\n"
           "APP_POSY=-4096\n"
           "APP_BUTS=1\n"
           "\n"
           "[VIDEO]\n"
           "VIDEO_OPA=50\n"
           "<VIDEO_OVE> PRESS SETUP TO EDIT THIS TITLE </VIDEO_OVE>\n"
           "<VIDEO_SRC></VIDEO_SRC>\n"
           "\n"
           "[MOTION]\n"
           "MOTION_FPS=10\n"
           "MOTION_WRM=10\n"
           "MOTION_THR=100\n"
           "MOTION_SHO=1\n"
           "MOTION_VOL=50\n"
           "MOTION_R_ENA=0\n"
           "MOTION_R_LEF=80\n"
           "MOTION_R_RIG=240\n"
           "MOTION_R_TOP=60\n"
           "MOTION_R_BOT=180\n"
           "\n"
           "[CAPTURE]\n"
           "<CAPTURE_PTH>" +
           home +
           "captured</CAPTURE_PTH>\n"
           "CAPTURE_WMV=0\n"
           "CAPTURE_MIN_S=2\n"
           "CAPTURE_MAX_S=60\n"
           "CAPTURE_FPS=20\n"
           "CAPTURE_JPG=0\n"
           "CAPTURE_JPQ=50\n"
           "\n"
           "[EMAIL]\n"
           "EMAIL_ENA=0\n"
           "EMAIL_WMV=1\n"
           "EMAIL_JPG=1\n"
           "<EMAIL_SMTP>enter smtp server here</EMAIL_SMTP>\n"
           "<EMAIL_FROM>enter email address here</EMAIL_FROM>\n"
           "<EMAIL_TO>enter email address here</EMAIL_TO>\n"
           "<EMAIL_CUS></EMAIL_CUS>\n"
           // the mail server settings beyond the described lines
           "\n"
           "[MAIL SERVER]\n"
           "SMTP_SECURITY=0\n"
           "<SMTP_USER></SMTP_USER>\n"
           "SMTP_LOOPBACK_LOGIN=0\n"
           "SMTP_SIZE_MB=20\n";
}
