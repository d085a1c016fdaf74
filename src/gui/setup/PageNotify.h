#pragma once
#include "setup/SetupPage.h"

class QComboBox;

// "Home & Push" page, after the other added pages: the MQTT broker with Home
// Assistant discovery, the phone push ([HOME AND PUSH] of the settings file)
// and the arming schedule ([ARMING]). The MQTT password goes to the password
// store, never to the file.
class CPageNotify : public CSetupPage {
    Q_OBJECT
public:
    enum Id {
        kIdHost = 1301,
        kIdPort = 1302,
        kIdUser = 1303,
        kIdPassword = 1304,
        kIdTls = 1305,
        kIdCaFile = 1306,
        kIdBase = 1307,
        kIdDiscovery = 1308,
        kIdPushMode = 1309,
        kIdPushUrl = 1310,
        kIdCooldown = 1311,
        kIdSchedule = 1312,
        kIdScheduleCheck = 1313, // says what is wrong with the schedule as it is typed
    };

    struct CHeld {
        std::string host, user, caFile, base, pushUrl, schedule;
        int port = 1883, tls = 0, discovery = 0, pushMode = 0, cooldown = 0;
        std::string password; // typed on this page; empty keeps the stored one
    };

    CPageNotify(const CSetupServices& services, const CDialogUnits& units, QWidget* parent);

    void UpdateControls() override;
    void ReadControls() override;
    void Save(CAppSettings& settings) override;

    const CHeld& HeldValues() const { return m_held; }

private:
    void CheckSchedule();

    CHeld m_held;
    QLineEdit* m_host;
    QLineEdit* m_port;
    QLineEdit* m_user;
    QLineEdit* m_password;
    QCheckBox* m_tls;
    QLineEdit* m_caFile;
    QLineEdit* m_base;
    QCheckBox* m_discovery;
    QComboBox* m_pushMode;
    QLineEdit* m_pushUrl;
    QLineEdit* m_cooldown;
    QLineEdit* m_schedule;
    QLabel* m_scheduleCheck;
};
