#include "setup/PageNotify.h"

#include "app/AppSettings.h"
#include "mail/MailPassword.h"
#include "notify/HomeNotifier.h"
#include "video/ArmSchedule.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <algorithm>

CPageNotify::CPageNotify(const CSetupServices& services, const CDialogUnits& units, QWidget* parent)
    : CSetupPage(services, units, parent) {
    const CAppSettings& s = *services.settings;
    m_held = {s.MQTT_HOST,      s.MQTT_USER,    s.MQTT_CA,           s.MQTT_BASE,
              s.PUSH_URL,       s.ARM_SCHEDULE, s.MQTT_PORT,         s.MQTT_TLS,
              s.MQTT_DISCOVERY, s.PUSH_MODE,    s.PUSH_COOLDOWN_MIN, {}};

    AddGroup(tr("MQTT Broker (no host: off)"), Dlu(6, 3, 271, 110));
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
                           Dlu(12, 79, 250, 10), kIdDiscovery);
    AddLabel(tr("Without TLS the password is not sent. The switch \"armed\" turns motion "
                "detection on and off."),
             Dlu(12, 92, 255, 18));

    AddGroup(tr("Phone Push"), Dlu(6, 116, 271, 58));
    AddLabel(tr("Kind"), Dlu(12, 130, 20, 8));
    m_pushMode = new QComboBox(this);
    m_pushMode->addItems({tr("Off"), tr("Webhook"), tr("ntfy")});
    Place(m_pushMode, Dlu(34, 128, 56, 12), kIdPushMode);
    AddLabel(tr("URL"), Dlu(96, 130, 18, 8));
    m_pushUrl = AddEdit(Dlu(116, 128, 155, 12), kIdPushUrl);
    AddLabel(tr("Sent at the first still of a capture, and again when it ends."),
             Dlu(12, 144, 259, 8));
    AddLabel(tr("Push and mail: at most one per so many minutes (0: all)"), Dlu(12, 158, 215, 8));
    m_cooldown = AddEdit(Dlu(230, 156, 25, 12), kIdCooldown);

    AddLabel(tr("Armed only in"), Dlu(6, 180, 52, 8));
    m_schedule = AddEdit(Dlu(60, 178, 217, 12), kIdSchedule);
    m_schedule->setPlaceholderText(tr("always (the on/off button alone)"));
    AddLabel(tr("For example: Mon-Fri 22:00-06:30; Sat,Sun 00:00-24:00"), Dlu(60, 192, 217, 8));
    m_scheduleCheck = AddLabel(QString(), Dlu(60, 202, 217, 8), kIdScheduleCheck);
    connect(m_schedule, &QLineEdit::textChanged, this, &CPageNotify::CheckSchedule);
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
    m_schedule->setText(QString::fromStdString(m_held.schedule));
    CheckSchedule();
}

void CPageNotify::CheckSchedule() {
    CArmSchedule schedule;
    const bool good = schedule.Parse(m_schedule->text().toStdString());
    m_scheduleCheck->setText(good ? QString() : QString::fromStdString(schedule.Error()));
    m_scheduleCheck->setStyleSheet(good ? QString() : QStringLiteral("color: #c00000"));
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
    m_held.schedule = text(m_schedule);
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
    // A schedule with a mistake is not taken: the line under it says why.
    if (CArmSchedule().Parse(m_held.schedule))
        settings.ARM_SCHEDULE = m_held.schedule;
    if (!m_held.password.empty() && !m_held.user.empty() && !m_held.host.empty()) {
        mail_password::Store(settings.m_programFolder,
                             CHomeNotifier::PasswordServer(m_held.host, m_held.port), m_held.user,
                             m_held.password);
        CHomeNotifier::LoginChanged();
    }
}
