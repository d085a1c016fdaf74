#pragma once
#include <QDialog>

class QCheckBox;
class QSpinBox;

// The [DETECTION] filters as the Motion Detect page holds them until OK.
struct CFalseAlarmFilters {
    int lightPct = 0;
    int brightComp = 0;
    int minPasses = 1;
    int minBlocks = 1;
    int blocksTouch = 0;
    bool operator==(const CFalseAlarmFilters&) const = default;
    // The values the user guide recommends for a room with windows.
    static CFalseAlarmFilters Recommended() { return {40, 1, 2, 8, 1}; }
};

// "False Alarms": the filters that keep light, noise, leaves and pets from
// starting a capture. Opened from the Motion Detect page; OK hands the edited
// values back to the page, Cancel leaves them as they were.
class CDlgFalseAlarms : public QDialog {
    Q_OBJECT
public:
    CDlgFalseAlarms(const CFalseAlarmFilters& filters, QWidget* parent);
    CFalseAlarmFilters Filters() const;

    QCheckBox* LightBox() const { return m_light; }
    QSpinBox* LightPercent() const { return m_lightPct; }
    QCheckBox* CompensateBox() const { return m_compensate; }
    QSpinBox* Passes() const { return m_passes; }
    QSpinBox* Blocks() const { return m_blocks; }
    QCheckBox* TouchBox() const { return m_touch; }

private:
    void Show(const CFalseAlarmFilters& filters);

    QCheckBox* m_light;
    QSpinBox* m_lightPct;
    QCheckBox* m_compensate;
    QSpinBox* m_passes;
    QSpinBox* m_blocks;
    QCheckBox* m_touch;
};
