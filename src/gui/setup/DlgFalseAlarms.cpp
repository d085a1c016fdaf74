#include "setup/DlgFalseAlarms.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

QSpinBox* NumberBox(int minimum, int maximum, QWidget* parent) {
    auto* box = new QSpinBox(parent);
    box->setRange(minimum, maximum);
    return box;
}

} // namespace

CDlgFalseAlarms::CDlgFalseAlarms(const CFalseAlarmFilters& filters, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(tr("False Alarms"));
    auto* layout = new QVBoxLayout(this);
    auto* note = new QLabel(tr("Off, each changed block starts a capture. These filters keep "
                               "light, noise, leaves and pets out."),
                            this);
    note->setWordWrap(true);
    layout->addWidget(note);
    auto* form = new QFormLayout;
    layout->addLayout(form);

    m_light = new QCheckBox(tr("Ignore a lighting change over"), this);
    m_lightPct = NumberBox(1, 100, this);
    m_lightPct->setSuffix(tr(" % of the blocks"));
    form->addRow(m_light, m_lightPct);
    m_compensate = new QCheckBox(tr("Compensate drifts of the whole picture's brightness"), this);
    form->addRow(m_compensate);
    m_passes = NumberBox(1, 100, this);
    form->addRow(tr("Checks in a row with motion before a capture"), m_passes);
    m_blocks = NumberBox(1, 1200, this);
    form->addRow(tr("Changed blocks a motion needs (8 x 8 pixels each)"), m_blocks);
    m_touch = new QCheckBox(tr("... touching each other, as one moving shape"), this);
    form->addRow(m_touch);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    QPushButton* recommended = buttons->addButton(tr("Recommended"), QDialogButtonBox::ResetRole);
    recommended->setObjectName(QStringLiteral("recommended"));
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(recommended, &QPushButton::clicked, this,
            [this] { Show(CFalseAlarmFilters::Recommended()); });
    connect(m_light, &QCheckBox::toggled, m_lightPct, &QWidget::setEnabled);
    Show(filters);
}

void CDlgFalseAlarms::Show(const CFalseAlarmFilters& f) {
    m_light->setChecked(f.lightPct > 0);
    // Off keeps a sensible share ready for when it is ticked.
    m_lightPct->setValue(f.lightPct > 0 ? f.lightPct : CFalseAlarmFilters::Recommended().lightPct);
    m_lightPct->setEnabled(f.lightPct > 0);
    m_compensate->setChecked(f.brightComp != 0);
    m_passes->setValue(f.minPasses);
    m_blocks->setValue(f.minBlocks);
    m_touch->setChecked(f.blocksTouch != 0);
}

CFalseAlarmFilters CDlgFalseAlarms::Filters() const {
    CFalseAlarmFilters f;
    f.lightPct = m_light->isChecked() ? m_lightPct->value() : 0;
    f.brightComp = m_compensate->isChecked() ? 1 : 0;
    f.minPasses = m_passes->value();
    f.minBlocks = m_blocks->value();
    f.blocksTouch = m_touch->isChecked() ? 1 : 0;
    return f;
}
