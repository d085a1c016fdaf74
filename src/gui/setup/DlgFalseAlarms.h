#pragma once
#include <QDialog>

#include <string>

class CReplayTimeline;
class CReplayWorker;
class QCheckBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QSlider;
class QSpinBox;
struct CReplayResult;

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

// What the window takes from the Motion Detect page besides the filters: its
// held values as they are now (saved or not) and the settings a clip test
// replays with.
struct CFalseAlarmContext {
    int sensitivity = 100; // MOTION_THR
    bool heatMap = false;
    int motionFps = 10;
    int rEna = 0, rLef = 0, rRig = 0, rTop = 0, rBot = 0;
    int captureFps = 20, captureMinS = 2, captureMaxS = 60;
    std::string homeFolder;    // the replay's record starts from its oculon.ini
    std::string archiveFolder; // where the clip is looked for first
};

// "False Alarms": the filters that keep light, noise, leaves and pets from
// starting a capture, the heat map, and a test of them and of the sensitivity
// on a clip. Opened from the Motion Detect page; OK hands the edited values
// back to the page, Cancel leaves them as they were.
class CDlgFalseAlarms : public QDialog {
    Q_OBJECT
public:
    CDlgFalseAlarms(const CFalseAlarmFilters& filters, const CFalseAlarmContext& context,
                    QWidget* parent);
    ~CDlgFalseAlarms() override;

    CFalseAlarmFilters Filters() const;
    int Sensitivity() const;
    bool HeatMap() const;

    // Replays `path` with the values shown now, in the background; the result
    // goes to the timeline and the text below it.
    void TestClip(const QString& path);

    QCheckBox* LightBox() const { return m_light; }
    QSpinBox* LightPercent() const { return m_lightPct; }
    QCheckBox* CompensateBox() const { return m_compensate; }
    QSpinBox* Passes() const { return m_passes; }
    QSpinBox* Blocks() const { return m_blocks; }
    QCheckBox* TouchBox() const { return m_touch; }
    QCheckBox* HeatMapBox() const { return m_heatMap; }
    QPushButton* TestButton() const { return m_test; }
    QSlider* SensitivitySlider() const { return m_sensitivity; }
    CReplayTimeline* Timeline() const { return m_timeline; }
    QPlainTextEdit* ResultText() const { return m_result; }
    CReplayWorker* Worker() const { return m_worker; }

    void done(int result) override;

private:
    void Show(const CFalseAlarmFilters& filters);
    void ChooseClip();
    void Retest();
    void ShowResult(const CReplayResult& result, double seconds);

    CFalseAlarmContext m_context;
    QString m_clip; // the clip of the last test; empty before one
    QCheckBox* m_light;
    QSpinBox* m_lightPct;
    QCheckBox* m_compensate;
    QSpinBox* m_passes;
    QSpinBox* m_blocks;
    QCheckBox* m_touch;
    QCheckBox* m_heatMap;
    QPushButton* m_test;
    QSlider* m_sensitivity;
    QLabel* m_sensitivityValue;
    QLabel* m_status;
    CReplayTimeline* m_timeline;
    QPlainTextEdit* m_result;
    CReplayWorker* m_worker;
};
