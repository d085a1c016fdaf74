#include "setup/PageMailServer.h"

#include "app/AppSettings.h"
#include "app/MessageSink.h"
#include "mail/MailPassword.h"
#include "mail/ReportMailer.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <algorithm>
#include <optional>
#include <system_error>
#include <thread>

CPageMailServer::CPageMailServer(const CSetupServices& services, const CDialogUnits& units,
                                 QWidget* parent,
                                 std::function<void(test_mail::CTestMailSettings&)> emailFields)
    : CSetupPage(services, units, parent), m_emailFields(std::move(emailFields)) {
    const CAppSettings& s = *services.settings;
    m_storedHost = ServerHost(s.EMAIL_SMTP);
    m_storedUser = s.SMTP_USER;
    if (!m_storedUser.empty())
        m_storedPassword = mail_password::Load(s.m_programFolder, m_storedHost, m_storedUser);
    m_held = {s.SMTP_SECURITY, s.SMTP_USER, m_storedPassword, s.SMTP_LOOPBACK_LOGIN,
              s.SMTP_SIZE_MB};

    AddGroup(tr("Connection and Login"), Dlu(6, 3, 271, 92));
    AddLabel(tr("Security:"), Dlu(12, 17, 90, 8));
    m_securityBox = new QComboBox(this);
    Place(m_securityBox, Dlu(106, 15, 165, 12), kIdSecurity);
    m_securityBox->addItems(
        {tr("None (port 25)"), tr("STARTTLS (port 587)"), tr("TLS (port 465)")});
    AddLabel(tr("User name:"), Dlu(12, 33, 90, 8));
    m_userEdit = AddEdit(Dlu(106, 31, 165, 12), kIdUser);
    m_userEdit->setPlaceholderText(tr("empty: no login"));
    AddLabel(tr("Password:"), Dlu(12, 49, 90, 8));
    m_passwordEdit = AddEdit(Dlu(106, 47, 165, 12), kIdPassword);
    m_passwordEdit->setEchoMode(QLineEdit::Password);
    m_loopbackBox = AddCheck(tr("Allow login without TLS to a server on this machine"),
                             Dlu(12, 63, 259, 10), kIdLoopbackLogin);
    AddLabel(WithLimits(tr("Largest mail in MB (MIN ... MAX):"), kSizeMin, kSizeMax),
             Dlu(12, 79, 150, 8));
    m_sizeEdit = AddEdit(Dlu(231, 77, 40, 12), kIdSizeMb);
    m_sizeEdit->setToolTip(tr("A report that would be larger goes without its movie and says "
                              "that the movie is in the archive."));

    AddGroup(tr("Test"), Dlu(6, 99, 271, 111));
    m_testButton = AddButton(tr("Send test mail"), Dlu(12, 110, 70, 14), kIdSendTest);
    m_testState = AddLabel(QString(), Dlu(88, 113, 183, 8), kIdTestState);
    m_transcript = new QPlainTextEdit(this);
    Place(m_transcript, Dlu(12, 128, 259, 76), kIdTranscript);
    m_transcript->setReadOnly(true);
    m_transcript->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    m_transcript->setTabChangesFocus(true);

    connect(m_loopbackBox, &QCheckBox::clicked, this, [this] { ReadControls(); });
    connect(m_securityBox, &QComboBox::activated, this, [this] { ReadControls(); });
    connect(m_testButton, &QPushButton::clicked, this, &CPageMailServer::SendTestMail);
    UpdateControls();
}

std::string CPageMailServer::ServerHost(const std::string& server) {
    ReportMailJob job;
    CReportMailer::SetServer(job, server, 0);
    return job.smtpHost;
}

void CPageMailServer::UpdateControls() {
    m_securityBox->setCurrentIndex(std::clamp(m_held.security, 0, 2));
    m_userEdit->setText(QString::fromStdString(m_held.user));
    m_passwordEdit->setText(QString::fromStdString(m_held.password));
    SetTicked(m_loopbackBox, m_held.loopbackLogin);
    WriteNumber(m_sizeEdit, m_held.sizeMb);
}

void CPageMailServer::ReadControls() {
    m_held.security = m_securityBox->currentIndex();
    m_held.user = m_userEdit->text().trimmed().toStdString();
    m_held.password = m_passwordEdit->text().toStdString();
    m_held.loopbackLogin = Ticked(m_loopbackBox);
    // A typed size outside the limits is pulled to the nearest one.
    m_held.sizeMb = std::clamp(ReadNumber(m_sizeEdit), kSizeMin, kSizeMax);
}

void CPageMailServer::Save(CAppSettings& settings) {
    ReadControls();
    settings.SMTP_SECURITY = m_held.security;
    settings.SMTP_USER = m_held.user;
    settings.SMTP_LOOPBACK_LOGIN = m_held.loopbackLogin;
    settings.SMTP_SIZE_MB = m_held.sizeMb;
    // The Email Setup page saved before this one: EMAIL_SMTP is the new server.
    const std::string host = ServerHost(settings.EMAIL_SMTP);
    if (m_held.user.empty() || (host == m_storedHost && m_held.user == m_storedUser &&
                                m_held.password == m_storedPassword))
        return;
    if (!mail_password::Store(settings.m_programFolder, host, m_held.user, m_held.password)) {
        AppMessageBox("Unable to keep the mail password for " + m_held.user + " at " + host + "!");
        return;
    }
    m_storedHost = host;
    m_storedUser = m_held.user;
    m_storedPassword = m_held.password;
}

void CPageMailServer::SendTestMail() {
    if (m_testRunning)
        return;
    ReadControls();
    const CAppSettings& s = *m_services.settings;
    test_mail::CTestMailSettings values = test_mail::SettingsOf(s);
    if (m_emailFields)
        m_emailFields(values);
    values.security = m_held.security;
    values.user = m_held.user;
    values.loginWithoutTlsOnLoopback = m_held.loopbackLogin != 0;
    const ReportMailJob job = test_mail::Compose(values);
    const std::string password = m_held.password;

    m_testRunning = true;
    m_testButton->setEnabled(false);
    m_testState->setText(
        tr("Sending to %1:%2 ...").arg(QString::fromStdString(job.smtpHost)).arg(job.smtpPort));
    m_transcript->clear();
    // The conversation may take a minute; the dialog stays usable meanwhile
    // and a page closed before the end just drops the result.
    QPointer<CPageMailServer> page(this);
    try {
        std::thread([page, job, password] {
            const CTestMailResult result = test_mail::Send(job, password);
            QMetaObject::invokeMethod(
                qApp,
                [page, result] {
                    if (page)
                        page->ShowTestResult(result);
                },
                Qt::QueuedConnection);
        }).detach();
    } catch (const std::system_error& e) {
        CTestMailResult failed;
        failed.verdict = std::string("no thread for the test mail: ") + e.what();
        ShowTestResult(failed);
    }
}

void CPageMailServer::ShowTestResult(const CTestMailResult& result) {
    m_testRunning = false;
    m_testButton->setEnabled(true);
    m_testState->setText(result.accepted ? tr("The server accepted the test mail.")
                                         : tr("The test mail was not sent."));
    QString text;
    for (const std::string& line : result.transcript)
        text += QString::fromStdString(line) + '\n';
    text += '\n' + QString::fromStdString(result.verdict);
    m_transcript->setPlainText(text);
}
