#pragma once
#include "setup/DlgFalseAlarms.h"
#include "setup/SetupPage.h"

class CRegionSelectWnd;
class QLabel;
class QSlider;

// "Motion Detect" page: arming delay, check rate, sensitivity, the detection
// rectangle, the display of motion and the alert volume with its test button.
class DLG_SetupMotion : public CSetupPage {
    Q_OBJECT
public:
    enum Id {
        kIdDelay = 1052,
        kIdDelayArrows = 1053,
        kIdRate = 1032,
        kIdRateArrows = 1033,
        kIdSensitivity = 1048,
        kIdRectangle = 1050,
        kIdRegion = 1047,
        kIdShowMotion = 1051,
        kIdVolume = 1058,
        kIdTest = 1056,
        kIdFalseAlarms = 1240, // opens the false-alarm filters
    };
    static constexpr int kDelayMin = 1, kDelayMax = 600;
    static constexpr int kRateMin = 1, kRateMax = 60;
    static constexpr int kSensitivityHigh = 5, kSensitivityLow = 500;
    static constexpr int kVolumeMin = 0, kVolumeMax = 100;

    // The held values, in the settings record's order.
    struct CHeld {
        int wrm = 0, fps = 0, thr = 0, rEna = 0, rLef = 0, rRig = 0, rTop = 0, rBot = 0, sho = 0,
            vol = 0;
    };

    DLG_SetupMotion(const CSetupServices& services, const CDialogUnits& units, QWidget* parent);

    void UpdateControls() override;
    void ReadControls() override;
    void Save(CAppSettings& settings) override;

    const CHeld& HeldValues() const { return m_held; }
    const CFalseAlarmFilters& HeldFilters() const { return m_filters; }
    bool HeldHeatMap() const { return m_heatMap; }
    bool SirenTest() const { return m_test; }
    CRegionSelectWnd* RegionSelector() const { return m_region; }

private:
    void ShowRegion();
    void EditFalseAlarms();

    CHeld m_held;
    CFalseAlarmFilters m_filters; // [DETECTION], edited in their own dialog
    bool m_heatMap = false;       // ... with the video window's heat map
    bool m_test = false;
    bool m_initialised = false;
    CRegionSelectWnd* m_region = nullptr;
    QSlider* m_sensitivity;
    QLabel* m_sensitivityValue;
    QSlider* m_volume;
    QLineEdit* m_delayBox;
    QLineEdit* m_rateBox;
    QCheckBox* m_rectangleBox;
    QCheckBox* m_showBox;
};
