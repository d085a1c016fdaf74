#include "setup/PageMotionDetect.h"

#include "setup/RegionSelectWnd.h"
#include "widgets/ArrowPair.h"

#include "app/AppSettings.h"
#include "record/IAlertSound.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>

DLG_SetupMotion::DLG_SetupMotion(const CSetupServices& services, const CDialogUnits& units,
                                 QWidget* parent)
    : CSetupPage(services, units, parent) {
    AddGroup(tr("Delay Before Arming"), Dlu(7, 4, 99, 38));
    // Both notes may take a third line down to the frame: wider fonts need it.
    AddLabel(tr("Allows you to get out of sight"), Dlu(12, 16, 52, 24));
    m_delayBox = AddNumberBox(Dlu(67, 15, 33, 12), kIdDelay);
    CArrowPair* delayArrows = AddArrowPair(Dlu(67, 27, 33, 11), kIdDelayArrows, m_delayBox);
    AddGroup(tr("Motion Check FPS"), Dlu(112, 4, 103, 38));
    AddLabel(tr("FPS to use while looking for motion"), Dlu(116, 16, 57, 24));
    m_rateBox = AddNumberBox(Dlu(176, 15, 33, 12), kIdRate);
    CArrowPair* rateArrows = AddArrowPair(Dlu(176, 27, 33, 11), kIdRateArrows, m_rateBox);
    AddGroup(tr("Sensitivity"), Dlu(7, 44, 42, 163));
    AddLabel(tr("High"), Dlu(12, 56, 31, 8), 0, Qt::AlignHCenter | Qt::AlignTop);
    m_sensitivity = new QSlider(Qt::Vertical, this);
    Place(m_sensitivity, Dlu(18, 64, 20, 128), kIdSensitivity);
    m_sensitivity->setAccessibleName(tr("Sensitivity"));
    AddLabel(tr("Low"), Dlu(12, 193, 31, 8), 0, Qt::AlignHCenter | Qt::AlignTop);
    // The threshold in numbers, beside the knob's travel; it may cross the group's frame line.
    m_sensitivityValue = AddLabel(QString(), Dlu(38, 124, 16, 8), 0, Qt::AlignLeft | Qt::AlignTop);
    m_sensitivityValue->setWordWrap(false);
    m_sensitivityValue->setAutoFillBackground(true);
    m_sensitivityValue->setObjectName(QStringLiteral("sensitivityValue"));
    AddGroup(QString(), Dlu(55, 44, 221, 153));
    m_rectangleBox = AddCheck(tr("Limit detection to user defined rectangle"), Dlu(60, 44, 145, 10),
                              kIdRectangle);
    // It sits on the frame line of the group like a title.
    m_rectangleBox->setAutoFillBackground(true);
    m_rectangleBox->resize(m_rectangleBox->sizeHint().width(), m_rectangleBox->height());
    // The filters beyond the described page sit on the group's frame line at
    // its right end, the one free place on this page.
    QPushButton* falseAlarms =
        AddButton(tr("False alarms..."), Dlu(216, 43, 60, 11), kIdFalseAlarms);
    m_region = new CRegionSelectWnd(this, m_units.Rect(60, 55, 211, 137), services.sourceRunning,
                                    services.currentImage, services.settings->MOTION_R_ENA > 0);
    m_region->setObjectName(QStringLiteral("id%1").arg(kIdRegion));
    m_showBox = AddCheck(tr("Show detected motion in Oculons main window."), Dlu(60, 200, 211, 8),
                         kIdShowMotion);
    m_showBox->setFixedHeight(std::max(m_showBox->sizeHint().height(), m_units.Y(8)));
    AddGroup(tr("Audio Volume"), Dlu(220, 4, 57, 38));
    m_volume = new QSlider(Qt::Horizontal, this);
    Place(m_volume, Dlu(222, 13, 53, 13), kIdVolume);
    m_volume->setAccessibleName(tr("Audio Volume"));
    QPushButton* test = AddButton(QStringLiteral("TEST\u00BB"), Dlu(225, 27, 46, 11), kIdTest);

    const CAppSettings& s = *services.settings;
    m_held = {s.MOTION_WRM,   s.MOTION_FPS,   s.MOTION_THR,   s.MOTION_R_ENA, s.MOTION_R_LEF,
              s.MOTION_R_RIG, s.MOTION_R_TOP, s.MOTION_R_BOT, s.MOTION_SHO,   s.MOTION_VOL};
    m_filters = {s.DETECT_LIGHT_PCT, s.DETECT_BRIGHT_COMP, s.DETECT_MIN_PASSES, s.DETECT_MIN_BLOCKS,
                 s.DETECT_BLOCKS_TOUCH};
    m_heatMap = s.m_heatMap;
    // Top is "High" (5), bottom is "Low" (500); Up moves the knob up.
    m_sensitivity->setRange(kSensitivityHigh, kSensitivityLow);
    m_sensitivity->setInvertedAppearance(true);
    m_sensitivity->setInvertedControls(true);
    m_sensitivity->setPageStep(25);
    m_volume->setRange(kVolumeMin, kVolumeMax);
    m_volume->setPageStep(10);

    connect(delayArrows, &CArrowPair::deltaPos, this, [this](int step) {
        StepValue(m_held.wrm, step, kDelayMin, kDelayMax);
        UpdateControls();
    });
    connect(rateArrows, &CArrowPair::deltaPos, this, [this](int step) {
        StepValue(m_held.fps, step, kRateMin, kRateMax);
        UpdateControls();
    });
    for (QCheckBox* box : {m_rectangleBox, m_showBox})
        connect(box, &QCheckBox::clicked, this, [this] { ReadControls(); });
    connect(m_sensitivity, &QSlider::valueChanged, this,
            [this](int value) { m_sensitivityValue->setNum(value); });
    // The alert follows the knob while it is dragged.
    connect(m_volume, &QSlider::valueChanged, this, [this](int value) {
        if (!m_initialised)
            return;
        m_held.vol = value;
        if (m_services.sound)
            m_services.sound->SetVolume(value);
    });
    connect(falseAlarms, &QPushButton::clicked, this, &DLG_SetupMotion::EditFalseAlarms);
    connect(test, &QPushButton::clicked, this, [this] {
        m_test = !m_test;
        if (m_services.sound)
            m_services.sound->SetSiren(m_test);
    });

    UpdateControls();
    m_test = false;
    m_initialised = true;
}

void DLG_SetupMotion::UpdateControls() {
    WriteNumber(m_delayBox, m_held.wrm);
    WriteNumber(m_rateBox, m_held.fps);
    SetTicked(m_rectangleBox, m_held.rEna);
    SetTicked(m_showBox, m_held.sho);
    m_sensitivity->setValue(m_held.thr);
    m_sensitivityValue->setNum(m_sensitivity->value());
    m_volume->setValue(m_held.vol);
    m_region->SetRegion(m_held.rLef, m_held.rTop, m_held.rRig, m_held.rBot, true);
    m_region->SetEnabled(m_held.rEna > 0);
    ShowRegion();
}

void DLG_SetupMotion::ReadControls() {
    m_held.wrm = ReadNumber(m_delayBox);
    m_held.fps = ReadNumber(m_rateBox);
    m_held.rEna = Ticked(m_rectangleBox);
    m_held.sho = Ticked(m_showBox);
    m_held.thr = m_sensitivity->value();
    m_held.vol = m_volume->value();
    if (m_services.sound)
        m_services.sound->SetVolume(m_held.vol);
    m_region->SetEnabled(m_held.rEna > 0);
    const QRect frame = m_region->GetRegion();
    m_held.rLef = frame.left();
    m_held.rTop = frame.top();
    m_held.rRig = frame.right();
    m_held.rBot = frame.bottom();
    ShowRegion();
}

void DLG_SetupMotion::ShowRegion() {
    m_region->setVisible(m_held.rEna > 0);
}

void DLG_SetupMotion::EditFalseAlarms() {
    // The window tests with the page's values as they stand, saved or not.
    ReadControls();
    const CAppSettings& s = *m_services.settings;
    CFalseAlarmContext context;
    context.sensitivity = m_held.thr;
    context.heatMap = m_heatMap;
    context.motionFps = m_held.fps;
    context.rEna = m_held.rEna;
    context.rLef = m_held.rLef;
    context.rRig = m_held.rRig;
    context.rTop = m_held.rTop;
    context.rBot = m_held.rBot;
    context.captureFps = s.CAPTURE_FPS;
    context.captureMinS = s.CAPTURE_MIN_S;
    context.captureMaxS = s.CAPTURE_MAX_S;
    context.homeFolder = s.m_programFolder;
    context.archiveFolder = s.CAPTURE_PTH;
    CDlgFalseAlarms dialog(m_filters, context, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    m_filters = dialog.Filters();
    m_heatMap = dialog.HeatMap();
    // Its sensitivity knob edits the page's.
    m_held.thr = dialog.Sensitivity();
    UpdateControls();
}

void DLG_SetupMotion::Save(CAppSettings& settings) {
    ReadControls();
    settings.MOTION_WRM = m_held.wrm;
    settings.MOTION_FPS = m_held.fps;
    settings.MOTION_THR = m_held.thr;
    settings.MOTION_R_ENA = m_held.rEna;
    settings.MOTION_R_LEF = m_held.rLef;
    settings.MOTION_R_RIG = m_held.rRig;
    settings.MOTION_R_TOP = m_held.rTop;
    settings.MOTION_R_BOT = m_held.rBot;
    settings.MOTION_SHO = m_held.sho;
    settings.MOTION_VOL = m_held.vol;
    settings.DETECT_LIGHT_PCT = m_filters.lightPct;
    settings.DETECT_BRIGHT_COMP = m_filters.brightComp;
    settings.DETECT_MIN_PASSES = m_filters.minPasses;
    settings.DETECT_MIN_BLOCKS = m_filters.minBlocks;
    settings.DETECT_BLOCKS_TOUCH = m_filters.blocksTouch;
    settings.m_heatMap = m_heatMap;
}
