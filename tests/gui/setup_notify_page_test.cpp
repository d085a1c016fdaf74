// The Home & Push page: its values reach the settings on OK only, and the MQTT
// password goes to the password store, never to oculon.ini.
#include "setup_fixture.h"

#include "TempDir.h"
#include "mail/MailPassword.h"
#include "setup/PageNotify.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

namespace {

TEST_F(SetupDialogTest, NotifyPageSavesOnOkAndKeepsThePasswordOutOfTheFile) {
    ::unsetenv("DBUS_SESSION_BUS_ADDRESS"); // the password file, not a desktop keyring
    for (const bool ok : {false, true}) {
        auto dialog = MakeDialog();
        CPageNotify* page = dialog->NotifyPage();
        ASSERT_NE(page, nullptr);
        auto edit = [&](int id, const char* text) {
            auto* box = page->ControlAs<QLineEdit>(id);
            ASSERT_NE(box, nullptr) << id;
            box->setText(QString::fromUtf8(text));
        };
        edit(CPageNotify::kIdHost, " broker.lan ");
        edit(CPageNotify::kIdPort, "99999"); // out of range: the standard port
        edit(CPageNotify::kIdUser, "cam");
        edit(CPageNotify::kIdPassword, "Secret-on-page-7");
        edit(CPageNotify::kIdBase, "home/yard");
        edit(CPageNotify::kIdPushUrl, "https://ntfy.example/yard");
        edit(CPageNotify::kIdCooldown, "5000"); // pulled to the largest, a day
        edit(CPageNotify::kIdSchedule, " Mon-Fri 22:00-06:30; Sat,Sun 00:00-24:00 ");
        page->ControlAs<QCheckBox>(CPageNotify::kIdTls)->click();
        page->ControlAs<QCheckBox>(CPageNotify::kIdDiscovery)->click();
        page->ControlAs<QComboBox>(CPageNotify::kIdPushMode)->setCurrentIndex(2);
        (ok ? dialog->OkButton() : dialog->CancelButton())->click();

        EXPECT_EQ(settings->MQTT_HOST, ok ? "broker.lan" : "");
        EXPECT_EQ(settings->MQTT_PORT, 1883);
        EXPECT_EQ(settings->MQTT_USER, ok ? "cam" : "");
        EXPECT_EQ(settings->MQTT_TLS, ok ? 1 : 0);
        EXPECT_EQ(settings->MQTT_BASE, ok ? "home/yard" : "");
        EXPECT_EQ(settings->MQTT_DISCOVERY, ok ? 1 : 0);
        EXPECT_EQ(settings->PUSH_MODE, ok ? 2 : 0);
        EXPECT_EQ(settings->PUSH_URL, ok ? "https://ntfy.example/yard" : "");
        EXPECT_EQ(settings->PUSH_COOLDOWN_MIN, ok ? 1440 : 0);
        EXPECT_EQ(settings->ARM_SCHEDULE, ok ? "Mon-Fri 22:00-06:30; Sat,Sun 00:00-24:00" : "");
        EXPECT_EQ(mail_password::Load(home.Folder(), "mqtt://broker.lan:1883", "cam"),
                  ok ? "Secret-on-page-7" : "");
    }
    std::ifstream file(SettingsPath(), std::ios::binary);
    const std::string text{std::istreambuf_iterator<char>(file), {}};
    EXPECT_NE(text.find("<MQTT_HOST>broker.lan</MQTT_HOST>"), std::string::npos);
    EXPECT_EQ(text.find("Secret-on-page-7"), std::string::npos);
}

TEST_F(SetupDialogTest, NotifyPageSaysWhatIsWrongWithTheScheduleAsItIsTypedAndKeepsTheOld) {
    settings->ARM_SCHEDULE = "Sat 00:00-24:00";
    auto dialog = MakeDialog();
    CPageNotify* page = dialog->NotifyPage();
    auto* box = page->ControlAs<QLineEdit>(CPageNotify::kIdSchedule);
    auto* check = page->ControlAs<QLabel>(CPageNotify::kIdScheduleCheck);
    ASSERT_NE(box, nullptr);
    ASSERT_NE(check, nullptr);
    EXPECT_EQ(box->text(), "Sat 00:00-24:00");
    const std::pair<const char*, const char*> typed[] = {
        {"M", "no times after \"M\""},
        {"Mx 2", "unknown day \"Mx\""},
        {"Mon", "no times after \"Mon\""},
        {"Mon 22:00-06:3", "bad time \"22:00-06:3\""},
        {"Mon 22:00-06:30", ""},
        {"", ""},
        {"Mon 22:00-26:30", "bad time \"22:00-26:30\""},
    };
    for (const auto& [text, says] : typed) {
        box->setText(QString::fromUtf8(text));
        const std::string shown = check->text().toStdString();
        EXPECT_EQ(shown.substr(0, std::strlen(says)), says) << text << " -> " << shown;
        EXPECT_EQ(check->text().isEmpty(), *says == 0) << text;
    }
    dialog->OkButton()->click();
    EXPECT_EQ(settings->ARM_SCHEDULE, "Sat 00:00-24:00")
        << "a schedule with a mistake is not taken";
}

} // namespace
