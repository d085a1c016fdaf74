#include "setup/PageVideoDevice.h"

#include "widgets/ArrowPair.h"

#include "app/AppSettings.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <algorithm>

DLG_SetupVideoDevice::DLG_SetupVideoDevice(const CSetupServices& services,
                                           const CDialogUnits& units, QWidget* parent)
    : CSetupPage(services, units, parent) {
    const CAppSettings& s = *services.settings;
    m_opacity = s.VIDEO_OPA;
    m_title = s.VIDEO_OVE;
    m_device = s.VIDEO_SRC;

    AddGroup(tr("Select the video device to use:"), Dlu(7, 7, 269, 32));
    m_combo = new QComboBox(this);
    Place(m_combo, Dlu(15, 18, 253, 12), kIdDevice);
    m_combo->setFixedHeight(std::max(m_combo->sizeHint().height(), m_units.Y(12)));
    AddGroup(tr("Overlay title text (max 32 characters):"), Dlu(7, 43, 269, 32));
    m_titleEdit = AddEdit(Dlu(16, 55, 251, 12), kIdTitle);
    QGroupBox* opacityGroup =
        AddGroup(WithLimits(tr("Overlay opacity (MIN ... MAX):"), kOpacityMin, kOpacityMax),
                 Dlu(7, 78, 269, 32), kIdOpacityGroup);
    CArrowPair* arrows = new CArrowPair(this);
    Place(arrows, Dlu(15, 90, 31, 13), kIdOpacityArrows);
    m_opacityBox = AddNumberBox(Dlu(47, 90, 40, 13), kIdOpacity);
    arrows->SetBuddy(m_opacityBox);
    QLabel* note = AddLabel(tr("The higher the number the more visible the overlay text. Lower "
                               "numbers cause more transparency."),
                            Dlu(96, 88, 172, 16), kIdOpacityNote);

    // The list sorts its entries, without regard to case.
    std::vector<std::string> names;
    if (services.buildDeviceNames)
        names = services.buildDeviceNames();
    QStringList entries;
    for (const std::string& name : names)
        entries << QString::fromStdString(name);
    std::stable_sort(entries.begin(), entries.end(), [](const QString& a, const QString& b) {
        return QString::compare(a, b, Qt::CaseInsensitive) < 0;
    });
    m_combo->addItems(entries);

    if (services.videoDepth != 32) {
        for (QWidget* w : {static_cast<QWidget*>(opacityGroup), static_cast<QWidget*>(m_opacityBox),
                           static_cast<QWidget*>(arrows), static_cast<QWidget*>(note)})
            w->setEnabled(false);
        note->setText(tr("Your windows desktop must be in 32bpp mode to enable overlay opacity. "
                         "See online help for more info."));
    }

    connect(arrows, &CArrowPair::deltaPos, this, &DLG_SetupVideoDevice::OnArrow);
    // Typing in the title takes every control over, the device choice with it.
    connect(m_titleEdit, &QLineEdit::textEdited, this, [this] {
        if (m_initialised)
            ReadControls();
    });
    UpdateControls();
    m_initialised = true;
}

void DLG_SetupVideoDevice::UpdateControls() {
    WriteNumber(m_opacityBox, m_opacity);
    m_titleEdit->setText(QString::fromStdString(m_title));
    if (m_combo->count() == 0)
        return;
    const QString held = QString::fromStdString(m_device);
    int index = 0;
    for (int i = 0; i < m_combo->count(); ++i) {
        if (m_combo->itemText(i).startsWith(held, Qt::CaseInsensitive)) {
            index = i;
            break;
        }
    }
    m_combo->setCurrentIndex(index);
}

void DLG_SetupVideoDevice::ReadControls() {
    m_title = m_titleEdit->text().toStdString();
    m_opacity = ReadNumber(m_opacityBox);
    if (m_combo->count() > 0)
        m_device = m_combo->currentText().toStdString();
}

void DLG_SetupVideoDevice::OnArrow(int step) {
    StepValue(m_opacity, step, kOpacityMin, kOpacityMax);
    UpdateControls();
}

void DLG_SetupVideoDevice::Save(CAppSettings& settings) {
    ReadControls();
    settings.VIDEO_OPA = m_opacity;
    settings.VIDEO_OVE = m_title;
    settings.VIDEO_SRC = m_device;
    // Cut by characters: a cut inside a multi-byte character would leave a
    // title that no longer is valid text.
    settings.VIDEO_OVE = CutToCharacters(settings.VIDEO_OVE, kTitleCharacters);
}
