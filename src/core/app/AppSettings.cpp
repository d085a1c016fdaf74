#include "app/AppSettings.h"
#include "app/SettingsValue.h"

#include "app/MessageSink.h"
#include "app/TagParser.h"
#include "app/TextFile.h"

#include <climits>

namespace {

struct CIntKey {
    const char* key; // with its "="
    int CAppSettings::*member;
    int defaultValue;
    int min;
    int max;
};

constexpr int kAny = INT_MIN;

// In the order the program reads them; every lookup searches the whole text.
const CIntKey kIntKeys[] = {
    {"APP_POSX=", &CAppSettings::APP_POSX, -4096, kAny, kAny},
    {"APP_POSY=", &CAppSettings::APP_POSY, -4096, kAny, kAny},
    {"APP_BUTS=", &CAppSettings::APP_BUTS, 1, kAny, kAny},
    {"VIDEO_OPA=", &CAppSettings::VIDEO_OPA, 50, 0, 100},
    {"MOTION_FPS=", &CAppSettings::MOTION_FPS, 10, 1, 60},
    {"MOTION_WRM=", &CAppSettings::MOTION_WRM, 10, 1, 600},
    {"MOTION_THR=", &CAppSettings::MOTION_THR, 100, 5, 500},
    {"MOTION_VOL=", &CAppSettings::MOTION_VOL, 50, 0, 100},
    {"MOTION_SHO=", &CAppSettings::MOTION_SHO, 1, kAny, kAny},
    {"MOTION_R_ENA=", &CAppSettings::MOTION_R_ENA, 0, kAny, kAny},
    {"MOTION_R_LEF=", &CAppSettings::MOTION_R_LEF, 80, 0, 320},
    {"MOTION_R_RIG=", &CAppSettings::MOTION_R_RIG, 240, 0, 320},
    {"MOTION_R_TOP=", &CAppSettings::MOTION_R_TOP, 60, 0, 240},
    {"MOTION_R_BOT=", &CAppSettings::MOTION_R_BOT, 180, 0, 240},
    {"CAPTURE_WMV=", &CAppSettings::CAPTURE_WMV, 0, kAny, kAny},
    {"CAPTURE_JPG=", &CAppSettings::CAPTURE_JPG, 0, kAny, kAny},
    {"CAPTURE_MIN_S=", &CAppSettings::CAPTURE_MIN_S, 2, 1, 60},
    {"CAPTURE_MAX_S=", &CAppSettings::CAPTURE_MAX_S, 60, 10, 300},
    {"CAPTURE_FPS=", &CAppSettings::CAPTURE_FPS, 20, 1, 60},
    {"CAPTURE_JPQ=", &CAppSettings::CAPTURE_JPQ, 50, 10, 90},
    {"EMAIL_ENA=", &CAppSettings::EMAIL_ENA, 0, kAny, kAny},
    {"EMAIL_WMV=", &CAppSettings::EMAIL_WMV, 1, kAny, kAny},
    {"EMAIL_JPG=", &CAppSettings::EMAIL_JPG, 1, kAny, kAny},
    // [RECORDING]
    {"MOVIE_FORMAT=", &CAppSettings::MOVIE_FORMAT, 0, 0, 1},
    {"PRE_ROLL_S=", &CAppSettings::PRE_ROLL_S, 0, 0, 10},
    {"ARCHIVE_MAX_DAYS=", &CAppSettings::ARCHIVE_MAX_DAYS, 0, 0, 36500},
    {"ARCHIVE_MAX_GB=", &CAppSettings::ARCHIVE_MAX_GB, 0, 0, 1000000},
    {"ARCHIVE_MIN_FREE_GB=", &CAppSettings::ARCHIVE_MIN_FREE_GB, 1, 0, 1000000},
    // [DETECTION]
    {"DETECT_LIGHT_PCT=", &CAppSettings::DETECT_LIGHT_PCT, 0, 0, 100},
    {"DETECT_BRIGHT_COMP=", &CAppSettings::DETECT_BRIGHT_COMP, 0, 0, 1},
    {"DETECT_MIN_PASSES=", &CAppSettings::DETECT_MIN_PASSES, 1, 1, 100},
    {"DETECT_MIN_BLOCKS=", &CAppSettings::DETECT_MIN_BLOCKS, 1, 1, 1200},
    {"DETECT_BLOCKS_TOUCH=", &CAppSettings::DETECT_BLOCKS_TOUCH, 0, 0, 1},
};

struct CStringKey {
    const char* open;
    const char* close;
    std::string CAppSettings::*member;
    const char* defaultValue; // used when the value is missing or empty
};

const CStringKey kStringKeys[] = {
    {"<VIDEO_OVE>", "</VIDEO_OVE>", &CAppSettings::VIDEO_OVE, CAppSettings::kDefaultTitle},
    {"<VIDEO_SRC>", "</VIDEO_SRC>", &CAppSettings::VIDEO_SRC, ""},
    {"<CAPTURE_PTH>", "</CAPTURE_PTH>", &CAppSettings::CAPTURE_PTH, nullptr},
    {"<EMAIL_SMTP>", "</EMAIL_SMTP>", &CAppSettings::EMAIL_SMTP, CAppSettings::kDefaultSmtp},
    {"<EMAIL_FROM>", "</EMAIL_FROM>", &CAppSettings::EMAIL_FROM, CAppSettings::kDefaultAddress},
    {"<EMAIL_TO>", "</EMAIL_TO>", &CAppSettings::EMAIL_TO, CAppSettings::kDefaultAddress},
    {"<EMAIL_CUS>", "</EMAIL_CUS>", &CAppSettings::EMAIL_CUS, ""},
};

} // namespace

CAppSettings::CAppSettings(const CTagParser& parser, std::string homeFolder,
                           std::string programPath, bool readOnly)
    : m_programFolder(std::move(homeFolder)), m_programPath(std::move(programPath)),
      m_parser(parser), m_readOnly(readOnly) {
    if (m_programFolder.empty() || m_programFolder.back() != '/')
        m_programFolder += '/';
    Load();
}

CAppSettings::~CAppSettings() {
    if (!m_readOnly)
        Save();
}

void CAppSettings::Load() {
    const CTextFile file(SettingsPath(), true);
    std::string text;
    // A file that is there but cannot be read shows the read error and is never
    // written over: the settings it holds are not lost by running on defaults.
    m_readError = 0;
    if (file.IsPresent())
        text = file.ReadText(true, m_readError);

    for (const CIntKey& k : kIntKeys) {
        int value = k.defaultValue;
        m_parser.GetInt(text, k.key, value, k.defaultValue);
        if (k.min != kAny && (value < k.min || value > k.max))
            value = k.defaultValue;
        this->*k.member = value;
    }
    for (const CStringKey& k : kStringKeys) {
        std::string value = m_parser.GetTagged(text, k.open, k.close);
        if (value.empty())
            value = k.defaultValue ? k.defaultValue : m_programFolder + "captured";
        this->*k.member = std::move(value);
    }
    LoadMailServer(text);
    LoadNotify(text);
    if (!m_readOnly)
        CreateFolder(CAPTURE_PTH);
}

std::string CAppSettings::FileText() const {
    std::string t;
    auto line = [&t](const std::string& s) { t += s + "\n"; };
    auto num = [&](const char* key, int value) { line(key + std::to_string(value)); };
    auto tagged = [&](const char* key, const std::string& value) {
        line(std::string("<") + key + ">" + value + "</" + key + ">");
    };
    line("[OCULON INI FILE]");
    line("");
    line("[APPLICATION]");
    num("APP_POSX=", APP_POSX);
    num("APP_POSY=", APP_POSY);
    num("APP_BUTS=", APP_BUTS);
    line("");
    line("[VIDEO]");
    num("VIDEO_OPA=", VIDEO_OPA);
    tagged("VIDEO_OVE", VIDEO_OVE);
    tagged("VIDEO_SRC", VIDEO_SRC);
    line("");
    line("[MOTION]");
    num("MOTION_FPS=", MOTION_FPS);
    num("MOTION_WRM=", MOTION_WRM);
    num("MOTION_THR=", MOTION_THR);
    num("MOTION_SHO=", MOTION_SHO);
    num("MOTION_VOL=", MOTION_VOL);
    num("MOTION_R_ENA=", MOTION_R_ENA);
    num("MOTION_R_LEF=", MOTION_R_LEF);
    num("MOTION_R_RIG=", MOTION_R_RIG);
    num("MOTION_R_TOP=", MOTION_R_TOP);
    num("MOTION_R_BOT=", MOTION_R_BOT);
    line("");
    line("[CAPTURE]");
    tagged("CAPTURE_PTH", CAPTURE_PTH);
    num("CAPTURE_WMV=", CAPTURE_WMV);
    num("CAPTURE_MIN_S=", CAPTURE_MIN_S);
    num("CAPTURE_MAX_S=", CAPTURE_MAX_S);
    num("CAPTURE_FPS=", CAPTURE_FPS);
    num("CAPTURE_JPG=", CAPTURE_JPG);
    num("CAPTURE_JPQ=", CAPTURE_JPQ);
    line("");
    line("[EMAIL]");
    num("EMAIL_ENA=", EMAIL_ENA);
    num("EMAIL_WMV=", EMAIL_WMV);
    num("EMAIL_JPG=", EMAIL_JPG);
    tagged("EMAIL_SMTP", EMAIL_SMTP);
    tagged("EMAIL_FROM", EMAIL_FROM);
    tagged("EMAIL_TO", EMAIL_TO);
    tagged("EMAIL_CUS", EMAIL_CUS);
    line("");
    line("[RECORDING]");
    num("MOVIE_FORMAT=", MOVIE_FORMAT);
    num("PRE_ROLL_S=", PRE_ROLL_S);
    num("ARCHIVE_MAX_DAYS=", ARCHIVE_MAX_DAYS);
    num("ARCHIVE_MAX_GB=", ARCHIVE_MAX_GB);
    num("ARCHIVE_MIN_FREE_GB=", ARCHIVE_MIN_FREE_GB);
    t += MailServerText();
    line("");
    line("[DETECTION]");
    num("DETECT_LIGHT_PCT=", DETECT_LIGHT_PCT);
    num("DETECT_BRIGHT_COMP=", DETECT_BRIGHT_COMP);
    num("DETECT_MIN_PASSES=", DETECT_MIN_PASSES);
    num("DETECT_MIN_BLOCKS=", DETECT_MIN_BLOCKS);
    num("DETECT_BLOCKS_TOUCH=", DETECT_BLOCKS_TOUCH);
    t += NotifyText();
    return t;
}

bool CAppSettings::Save() {
    const CTextFile file(SettingsPath(), true);
    if (m_readError != 0) {
        AppMessageBox("Error exporting data to disk:\n" +
                      CTextFile::FileErrorText(m_readError, file.Path()));
        return false;
    }
    const std::string text = FileText();
    // An empty text cannot happen here, so 0 always means failure.
    return file.WriteText(text, true) == text.size();
}

void CAppSettings::LoadMailServer(const std::string& text) {
    using settings_value::Number;
    SMTP_SECURITY = Number(m_parser, text, "SMTP_SECURITY=", 0, 0, 2);
    SMTP_LOOPBACK_LOGIN = Number(m_parser, text, "SMTP_LOOPBACK_LOGIN=", 0, 0, 1);
    SMTP_SIZE_MB = Number(m_parser, text, "SMTP_SIZE_MB=", 20, 1, 2000);
    SMTP_USER = settings_value::Text(m_parser, text, "SMTP_USER");
}

std::string CAppSettings::MailServerText() const {
    return "\n[MAIL SERVER]\nSMTP_SECURITY=" + std::to_string(SMTP_SECURITY) + "\n<SMTP_USER>" +
           settings_value::Escaped(SMTP_USER) +
           "</SMTP_USER>\nSMTP_LOOPBACK_LOGIN=" + std::to_string(SMTP_LOOPBACK_LOGIN) +
           "\nSMTP_SIZE_MB=" + std::to_string(SMTP_SIZE_MB) + "\n";
}
