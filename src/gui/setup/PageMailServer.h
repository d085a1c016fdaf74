#pragma once
#include "setup/SetupPage.h"

#include "mail/TestMail.h"

class QComboBox;
class QPlainTextEdit;

// "Mail Server" page, after the described ones: how the report mail reaches
// its server ([MAIL SERVER] of the settings file), the login's password (kept
// by mail_password, never in the settings file) and a test mail that shows
// the whole conversation with the login hidden.
class CPageMailServer : public CSetupPage {
    Q_OBJECT
public:
    enum Id {
        kIdSecurity = 1401,
        kIdUser = 1402,
        kIdPassword = 1403,
        kIdLoopbackLogin = 1404,
        kIdSizeMb = 1405,
        kIdSendTest = 1406,
        kIdTestState = 1407,
        kIdTranscript = 1408,
    };
    static constexpr int kSizeMin = 1, kSizeMax = 2000;

    struct CHeld {
        int security = 0;
        std::string user;
        std::string password;
        int loopbackLogin = 0;
        int sizeMb = 20;
    };

    // `emailFields`: the server and addresses the Email Setup page holds now;
    // empty means the saved ones.
    CPageMailServer(const CSetupServices& services, const CDialogUnits& units, QWidget* parent,
                    std::function<void(test_mail::CTestMailSettings&)> emailFields = {});

    void UpdateControls() override;
    void ReadControls() override;
    // The settings into the record; the password, when it or its server or
    // user changed, into the password store (a failure is said).
    void Save(CAppSettings& settings) override;

    const CHeld& HeldValues() const { return m_held; }
    // A test mail runs on a worker thread of its own.
    bool TestRunning() const { return m_testRunning; }

private:
    void SendTestMail();
    void ShowTestResult(const CTestMailResult& result);
    // The server part of EMAIL_SMTP: passwords are kept per server and user.
    static std::string ServerHost(const std::string& server);

    std::function<void(test_mail::CTestMailSettings&)> m_emailFields;
    CHeld m_held;
    // What the store held when the page opened.
    std::string m_storedHost;
    std::string m_storedUser;
    std::string m_storedPassword;
    bool m_testRunning = false;
    QComboBox* m_securityBox;
    QLineEdit* m_userEdit;
    QLineEdit* m_passwordEdit;
    QCheckBox* m_loopbackBox;
    QLineEdit* m_sizeEdit;
    QPushButton* m_testButton;
    QLabel* m_testState;
    QPlainTextEdit* m_transcript;
};
