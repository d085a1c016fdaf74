#include "setup/PageNotify.h"

#include "app/AppSettings.h"
#include "mail/MailPassword.h"
#include "notify/HomeNotifier.h"

#include <QComboBox>
#include <QLineEdit>
#include <algorithm>

CPageNotify::CPageNotify(const CSetupServices& services, const CDialogUnits& units, QWidget* parent)
    : CSetupPage(services, units, parent) {
    const CAppSettings& s = *services.settings;
    m_held = {s.MQTT_HOST, s.MQTT_USER,         s.MQTT_CA,  s.MQTT_BASE,
              s.PUSH_URL,  s.MQTT_PORT,         s.MQTT_TLS, s.MQTT_DISCOVERY,
              s.PUSH_MODE, s.PUSH_COOLDOWN_MIN, {}};

    AddGroup(tr("MQTT Broker (no host: off)"), Dlu(6, 3, 271, 114));
    AddLabel(tr("Host"), Dlu(12, 18, 45, 8));
    m_host = AddEdit(Dlu(60, 16, 120, 12), kIdHost);
    AddLabel(tr("Port"), Dlu(188, 18, 25, 8));
    m_port = AddEdit(Dlu(215, 16, 40, 12), kIdPort);
    AddLabel(tr("User"), Dlu(12, 34, 45, 8));
    m_user = AddEdit(Dlu(60, 32, 80, 12), kIdUser);
    AddLabel(tr("Password"), Dlu(146, 34, 40, 8));
    m_password = AddEdit(Dlu(188, 32, 67, 12), kIdPassword);
    m_password->setEchoMode(QLineEdit::Password);
    m_password->setPlaceholderText(tr("unchanged"));
    m_tls = AddCheck(tr("TLS"), Dlu(12, 50, 40, 10), kIdTls);
    AddLabel(tr("CA file"), Dlu(60, 51, 35, 8));
    m_caFile = AddEdit(Dlu(98, 48, 157, 12), kIdCaFile);
    AddLabel(tr("Base topic"), Dlu(12, 66, 45, 8));
    m_base = AddEdit(Dlu(60, 64, 195, 12), kIdBase);
    m_base->setPlaceholderText(
        QString::fromStdString("oculon/" + CHomeNotifier::Slug(s.VIDEO_SRC)));
    m_discovery = AddCheck(tr("Announce the camera to Home Assistant (MQTT discovery)"),
                           Dlu(12, 82, 250, 10), kIdDiscovery);
    AddLabel(tr("Without TLS the password is not sent. The switch \"armed\" turns motion "
                "detection on and off."),
             Dlu(12, 96, 255, 18));

    AddGroup(tr("Phone Push"), Dlu(6, 122, 271, 50));
    AddLabel(tr("Kind"), Dlu(12, 137, 45, 8));
    m_pushMode = new QComboBox(this);
    m_pushMode->addItems({tr("Off"), tr("Webhook"), tr("ntfy")});
    Place(m_pushMode, Dlu(60, 135, 80, 12), kIdPushMode);
    AddLabel(tr("URL"), Dlu(12, 153, 45, 8));
    m_pushUrl = AddEdit(Dlu(60, 151, 195, 12), kIdPushUrl);
    AddLabel(tr("Sent at the first still of a capture, and again when it ends."),
             Dlu(12, 178, 260, 10));
    AddLabel(tr("At most one alert per so many minutes (0: every capture)"), Dlu(12, 194, 215, 8));
    m_cooldown = AddEdit(Dlu(230, 192, 25, 12), kIdCooldown);
    UpdateControls();
}

void CPageNotify::UpdateControls() {
    m_host->setText(QString::fromStdString(m_held.host));
    WriteNumber(m_port, m_held.port);
    m_user->setText(QString::fromStdString(m_held.user));
    m_password->setText(QString::fromStdString(m_held.password));
    SetTicked(m_tls, m_held.tls);
    m_caFile->setText(QString::fromStdString(m_held.caFile));
    m_base->setText(QString::fromStdString(m_held.base));
    SetTicked(m_discovery, m_held.discovery);
    m_pushMode->setCurrentIndex(std::clamp(m_held.pushMode, 0, 2));
    m_pushUrl->setText(QString::fromStdString(m_held.pushUrl));
    WriteNumber(m_cooldown, m_held.cooldown);
}

void CPageNotify::ReadControls() {
    auto text = [](const QLineEdit* edit) { return edit->text().trimmed().toStdString(); };
    m_held.host = text(m_host);
    const int port = ReadNumber(m_port);
    m_held.port = port >= 1 && port <= 65535 ? port : 1883;
    m_held.user = text(m_user);
    m_held.password = m_password->text().toStdString();
    m_held.tls = Ticked(m_tls);
    m_held.caFile = text(m_caFile);
    m_held.base = text(m_base);
    m_held.discovery = Ticked(m_discovery);
    m_held.pushMode = std::clamp(m_pushMode->currentIndex(), 0, 2);
    m_held.pushUrl = text(m_pushUrl);
    m_held.cooldown = std::clamp(ReadNumber(m_cooldown), 0, 1440);
}

void CPageNotify::Save(CAppSettings& settings) {
    ReadControls();
    settings.MQTT_HOST = m_held.host;
    settings.MQTT_PORT = m_held.port;
    settings.MQTT_USER = m_held.user;
    settings.MQTT_TLS = m_held.tls;
    settings.MQTT_CA = m_held.caFile;
    settings.MQTT_BASE = m_held.base;
    settings.MQTT_DISCOVERY = m_held.discovery;
    settings.PUSH_MODE = m_held.pushMode;
    settings.PUSH_URL = m_held.pushUrl;
    settings.PUSH_COOLDOWN_MIN = m_held.cooldown;
    if (!m_held.password.empty() && !m_held.user.empty() && !m_held.host.empty()) {
        mail_password::Store(settings.m_programFolder,
                             CHomeNotifier::PasswordServer(m_held.host, m_held.port), m_held.user,
                             m_held.password);
        CHomeNotifier::LoginChanged();
    }
}
