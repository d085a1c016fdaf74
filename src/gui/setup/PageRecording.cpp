#include "setup/PageRecording.h"

#include "widgets/ArrowPair.h"

#include "app/AppSettings.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <algorithm>

CPageRecording::CPageRecording(const CSetupServices& services, const CDialogUnits& units,
                               QWidget* parent)
    : CSetupPage(services, units, parent) {
    const CAppSettings& s = *services.settings;
    m_held = {s.MOVIE_FORMAT, s.PRE_ROLL_S, s.ARCHIVE_MAX_DAYS, s.ARCHIVE_MAX_GB,
              s.ARCHIVE_MIN_FREE_GB};

    AddGroup(tr("Movie Format"), Dlu(6, 3, 271, 64));
    m_mp4Box = AddCheck(tr("Record movies as MP4 (H.264), which phones and browsers play"),
                        Dlu(27, 17, 240, 10), kIdMp4);
    AddLabel(tr("Unticked: WMV movies, as before."), Dlu(39, 29, 200, 8));
    AddLabel(WithLimits(tr("Seconds before the motion (MIN ... MAX)"), kPreRollMin, kPreRollMax),
             Dlu(28, 47, 150, 8), kIdPreRollLabel);
    m_preRollBox = AddNumberBox(Dlu(182, 45, 39, 12), kIdPreRoll);
    CArrowPair* pair = AddArrowPair(Dlu(227, 45, 30, 13), kIdPreRollArrows, m_preRollBox);
    connect(pair, &CArrowPair::deltaPos, this, [this](int step) {
        ReadControls();
        StepValue(m_held.preRoll, step, kPreRollMin, kPreRollMax);
        UpdateControls();
    });

    AddGroup(tr("Archive Limits (0 = no limit)"), Dlu(6, 75, 271, 66));
    AddLabel(tr("Delete captures older than (days)"), Dlu(28, 90, 150, 8));
    m_daysEdit = AddEdit(Dlu(182, 88, 39, 12), kIdMaxDays);
    AddLabel(tr("Largest archive size (GB)"), Dlu(28, 107, 150, 8));
    m_gbEdit = AddEdit(Dlu(182, 105, 39, 12), kIdMaxGb);
    AddLabel(tr("Free space kept on the disk (GB)"), Dlu(28, 124, 150, 8));
    m_freeEdit = AddEdit(Dlu(182, 122, 39, 12), kIdMinFreeGb);
    AddLabel(tr("The oldest captures are deleted first; when none is left to delete and the "
                "disk is still short of space, recording pauses until there is room."),
             Dlu(12, 148, 260, 24));

    connect(m_mp4Box, &QCheckBox::clicked, this, [this] { ReadControls(); });
    UpdateControls();
}

void CPageRecording::UpdateControls() {
    SetTicked(m_mp4Box, m_held.mp4);
    WriteNumber(m_preRollBox, m_held.preRoll);
    WriteNumber(m_daysEdit, m_held.maxDays);
    WriteNumber(m_gbEdit, m_held.maxGb);
    WriteNumber(m_freeEdit, m_held.minFreeGb);
}

void CPageRecording::ReadControls() {
    // Typed numbers outside the limits are pulled to the nearest one.
    m_held.mp4 = Ticked(m_mp4Box) ? 1 : 0;
    m_held.preRoll = std::clamp(ReadNumber(m_preRollBox), kPreRollMin, kPreRollMax);
    m_held.maxDays = std::clamp(ReadNumber(m_daysEdit), 0, kDaysMax);
    m_held.maxGb = std::clamp(ReadNumber(m_gbEdit), 0, kGbMax);
    m_held.minFreeGb = std::clamp(ReadNumber(m_freeEdit), 0, kGbMax);
}

void CPageRecording::Save(CAppSettings& settings) {
    ReadControls();
    settings.MOVIE_FORMAT = m_held.mp4;
    settings.PRE_ROLL_S = m_held.preRoll;
    settings.ARCHIVE_MAX_DAYS = m_held.maxDays;
    settings.ARCHIVE_MAX_GB = m_held.maxGb;
    settings.ARCHIVE_MIN_FREE_GB = m_held.minFreeGb;
}
