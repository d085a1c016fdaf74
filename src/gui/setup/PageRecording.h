#pragma once
#include "setup/SetupPage.h"

// "Recording" page, after the four described ones: the movie format, the
// pre-roll and the archive's limits ([RECORDING] of the settings file).
class CPageRecording : public CSetupPage {
    Q_OBJECT
public:
    enum Id {
        kIdMp4 = 1201,
        kIdPreRollLabel = 1202,
        kIdPreRoll = 1203,
        kIdPreRollArrows = 1204,
        kIdMaxDays = 1206,
        kIdMaxGb = 1208,
        kIdMinFreeGb = 1210,
    };
    static constexpr int kPreRollMin = 0, kPreRollMax = 10;
    static constexpr int kDaysMax = 36500, kGbMax = 1000000;

    struct CHeld {
        int mp4 = 0, preRoll = 0, maxDays = 0, maxGb = 0, minFreeGb = 1;
    };

    CPageRecording(const CSetupServices& services, const CDialogUnits& units, QWidget* parent);

    void UpdateControls() override;
    void ReadControls() override;
    void Save(CAppSettings& settings) override;

    const CHeld& HeldValues() const { return m_held; }

private:
    CHeld m_held;
    QCheckBox* m_mp4Box;
    QLineEdit* m_preRollBox;
    QLineEdit* m_daysEdit;
    QLineEdit* m_gbEdit;
    QLineEdit* m_freeEdit;
};
