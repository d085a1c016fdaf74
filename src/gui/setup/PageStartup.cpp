#include "setup/PageStartup.h"

#include "app/AppSettings.h"
#include "app/HomeFolder.h"
#include "app/MessageSink.h"
#include "app/PrivateFiles.h"

#include <QCheckBox>
#include <QLabel>
#include <grp.h>

CPageStartup::CPageStartup(const CSetupServices& services, const CDialogUnits& units,
                           QWidget* parent, std::function<std::string()> archiveFolder,
                           CAutostartEntry entry)
    : CSetupPage(services, units, parent), m_archiveFolder(std::move(archiveFolder)),
      m_entry(std::move(entry)), m_wasOn(m_entry.IsOn()), m_on(m_wasOn) {
    AddGroup(tr("Start"), Dlu(6, 3, 271, 46));
    m_autostartBox = AddCheck(tr("Start Oculon when I log in"), Dlu(12, 14, 160, 12), kIdAutostart);
    AddLabel(tr("Oculon then starts hidden in the notification area and arms motion detection as "
                "at every start."),
             Dlu(12, 28, 259, 16));
    AddGroup(tr("Who can see the archive"), Dlu(6, 56, 271, 64));
    m_accessLabel = AddLabel(QString(), Dlu(12, 68, 259, 46), kIdArchiveAccess);
    connect(m_autostartBox, &QCheckBox::clicked, this, [this] { ReadControls(); });
    UpdateControls();
}

void CPageStartup::UpdateControls() {
    m_autostartBox->setChecked(m_on);
    const std::string folder =
        m_archiveFolder ? m_archiveFolder() : m_services.settings->CAPTURE_PTH;
    m_accessLabel->setText(AccessText(folder));
}

void CPageStartup::ReadControls() {
    m_on = m_autostartBox->isChecked();
}

void CPageStartup::Save(CAppSettings&) {
    ReadControls();
    if (m_on == m_wasOn)
        return;
    if (!m_entry.Set(m_on, ExecutablePath())) {
        AppMessageBox((m_on ? "Unable to write " : "Unable to remove ") + m_entry.Path() + "!");
        return;
    }
    m_wasOn = m_on;
}

QString CPageStartup::AccessText(const std::string& folder) {
    const QString name = QString::fromStdString(folder);
    const CFolderAccess access = FolderAccess(folder);
    switch (access.who) {
    case CFolderAccess::kMissing:
        return tr("The archive folder %1 does not exist yet. Oculon will make it so that only "
                  "you can open it.")
            .arg(name);
    case CFolderAccess::kOwnerOnly:
        return tr("Only you (and the computer's administrator) can open the archive folder %1 "
                  "and see the movies and stills in it.")
            .arg(name);
    case CFolderAccess::kGroup: {
        const group* g = ::getgrgid(access.group);
        const QString groupName =
            g ? QString::fromLocal8Bit(g->gr_name) : QString::number(access.group);
        return tr("Members of the group %1 can see which captures are in the archive folder %2. "
                  "The movies and stills Oculon makes open for you alone.")
            .arg(groupName, name);
    }
    case CFolderAccess::kEveryone:
        break;
    }
    return tr("Every account on this computer can see which captures are in the archive folder "
              "%1. The movies and stills Oculon makes open for you alone.")
        .arg(name);
}

void CPageStartup::showEvent(QShowEvent* event) {
    // The Video Capture page may have picked another folder meanwhile.
    UpdateControls();
    CSetupPage::showEvent(event);
}
