// The Mail Server page (its settings, the password kept outside oculon.ini,
// the test mail on a worker) and the address check of the Email Setup page.
#include "setup_fixture.h"

#include "ScriptedSmtpPeer.h"
#include "mail/MailPassword.h"
#include "mail/MailText.h"
#include "setup/PageEmailSetup.h"
#include "setup/PageMailServer.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <chrono>
#include <cstdlib>
#include <thread>

namespace {

using MailServerPage = SetupDialogTest;

TEST_F(MailServerPage, SettingsRoundTripAndThePasswordStaysOutOfTheSettingsFile) {
    ::unsetenv("DBUS_SESSION_BUS_ADDRESS"); // the password file, not a desktop keyring
    settings->EMAIL_SMTP = "mail.example.net";
    const std::string password = "pw<One> 1";
    for (const bool ok : {false, true}) {
        auto dialog = MakeDialog();
        CPageMailServer* page = dialog->MailServerPage();
        ASSERT_EQ(dialog->TabControl()->indexOf(page), 6);
        EXPECT_EQ(dialog->TabControl()->tabText(6), "Mail Server");
        page->ControlAs<QComboBox>(CPageMailServer::kIdSecurity)->setCurrentIndex(1);
        page->ControlAs<QLineEdit>(CPageMailServer::kIdUser)->setText(" me ");
        auto* secret = page->ControlAs<QLineEdit>(CPageMailServer::kIdPassword);
        EXPECT_EQ(secret->echoMode(), QLineEdit::Password);
        secret->setText(QString::fromStdString(password));
        page->ControlAs<QCheckBox>(CPageMailServer::kIdLoopbackLogin)->click();
        page->ControlAs<QLineEdit>(CPageMailServer::kIdSizeMb)->setText("5000");
        (ok ? dialog->OkButton() : dialog->CancelButton())->click();
        EXPECT_EQ(settings->SMTP_SECURITY, ok ? 1 : 0);
        EXPECT_EQ(settings->SMTP_USER, ok ? "me" : "");
        EXPECT_EQ(settings->SMTP_LOOPBACK_LOGIN, ok ? 1 : 0);
        EXPECT_EQ(settings->SMTP_SIZE_MB, ok ? 2000 : 20);
        EXPECT_EQ(mail_password::Load(home.Folder(), "mail.example.net", "me"), ok ? password : "");
    }
    const std::string file = ReadFileBytes(SettingsPath());
    EXPECT_NE(file.find("<SMTP_USER>me</SMTP_USER>"), std::string::npos);
    EXPECT_EQ(file.find("pw"), std::string::npos);
    EXPECT_EQ(file.find(mail_text::Base64(password)), std::string::npos);
    // Opened again, the page shows what was kept, the password hidden.
    auto again = MakeDialog();
    auto* secret = again->MailServerPage()->ControlAs<QLineEdit>(CPageMailServer::kIdPassword);
    EXPECT_EQ(secret->text().toStdString(), password);
}

TEST_F(MailServerPage, TestMailRunsBesideTheDialogWithTheServerBeingEdited) {
    uint16_t deadPort;
    {
        CScriptedSmtpPeer gone([](CPeerSession&) {});
        deadPort = gone.Port();
    }
    settings->EMAIL_TO = "me@example.net";
    auto dialog = MakeDialog();
    // Not saved yet: the test mail takes what the Email Setup page holds.
    dialog->EmailPage()
        ->ControlAs<QLineEdit>(DLG_SetupEmail::kIdServer)
        ->setText(QString("127.0.0.1:%1").arg(deadPort));
    CPageMailServer* page = dialog->MailServerPage();
    auto* button = page->ControlAs<QPushButton>(CPageMailServer::kIdSendTest);
    auto* transcript = page->ControlAs<QPlainTextEdit>(CPageMailServer::kIdTranscript);
    ASSERT_TRUE(transcript->isReadOnly());
    button->click();
    EXPECT_FALSE(button->isEnabled());
    for (int i = 0; i < 1000 && page->TestRunning(); ++i) {
        QApplication::processEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_TRUE(button->isEnabled());
    EXPECT_EQ(transcript->toPlainText().trimmed().toStdString(),
              "connection refused by 127.0.0.1:" + std::to_string(deadPort));
    EXPECT_EQ(page->ControlAs<QLabel>(CPageMailServer::kIdTestState)->text(),
              "The test mail was not sent.");
}

TEST_F(SetupDialogTest, EmailSetupPageSaysWhatIsWrongWithTheAddressesAsTyped) {
    settings->EMAIL_ENA = 1;
    auto dialog = MakeDialog(3);
    DLG_SetupEmail* page = dialog->EmailPage();
    auto* to = page->ControlAs<QLineEdit>(DLG_SetupEmail::kIdTo);
    auto* from = page->ControlAs<QLineEdit>(DLG_SetupEmail::kIdFrom);
    auto* toProblem = page->ControlAs<QLabel>(DLG_SetupEmail::kIdToProblem);
    auto* fromProblem = page->ControlAs<QLabel>(DLG_SetupEmail::kIdFromProblem);
    ASSERT_TRUE(toProblem && fromProblem);
    // The first start's placeholder text is no address.
    EXPECT_TRUE(toProblem->toolTip().endsWith("not allowed in an address"));
    const struct {
        const char* to;
        const char* from;
        const char* toProblem;
        const char* fromProblem;
    } cases[] = {
        {"me@example.net, Boss <boss@example.net>", "cam@example.net", "", ""},
        {"me.example.net", "cam@", "\"me.example.net\" has no @",
         "\"cam@\" has no domain after the @"},
        {" ; ", "@example.net", "no address is given", "\"@example.net\" has nothing before the @"},
    };
    for (const auto& c : cases) {
        to->clear();
        from->clear();
        TypeText(to, c.to);
        TypeText(from, c.from);
        EXPECT_EQ(toProblem->toolTip().toStdString(), c.toProblem) << c.to;
        EXPECT_EQ(fromProblem->toolTip().toStdString(), c.fromProblem) << c.from;
        EXPECT_EQ(toProblem->text().isEmpty(), *c.toProblem == '\0') << c.to;
    }
    dialog->OkButton()->click();
    EXPECT_EQ(settings->EMAIL_FROM, "@example.net"); // checked, not refused
}

} // namespace
