#pragma once
#include "setup/SetupPage.h"

// "Video Capture" page: the archive folder, movie and still archiving, the
// capture lengths, the movie frame rate and the still quality.
class DLG_SetupCapture : public CSetupPage {
    Q_OBJECT
public:
    enum Id {
        kIdFolder = 1026,
        kIdBrowse = 1027,
        kIdMinLabel = 1064,
        kIdMin = 1030,
        kIdMinArrows = 1031,
        kIdMaxLabel = 1065,
        kIdMax = 1028,
        kIdMaxArrows = 1029,
        kIdMovie = 1059,
        kIdFpsLabel = 1062,
        kIdFps = 1033,
        kIdFpsArrows = 1034,
        kIdStills = 1060,
        kIdQualityLabel = 1061,
        kIdQuality = 1032,
        kIdQualityArrows = 1035,
    };
    static constexpr int kMinLengthMin = 1, kMinLengthMax = 60;
    static constexpr int kMaxLengthMin = 10, kMaxLengthMax = 300;
    static constexpr int kFpsMin = 1, kFpsMax = 60;
    static constexpr int kQualityMin = 10, kQualityMax = 90;
    static constexpr const char* kBrowseTitle =
        "Folder to archive movies to:\r\nmovies are saved in .WMV format";

    // The held values, in the settings record's order, and the folder.
    struct CHeld {
        int wmv = 0, jpg = 0, jpq = 0, minS = 0, maxS = 0, fps = 0;
        std::string folder;
    };

    DLG_SetupCapture(const CSetupServices& services, const CDialogUnits& units, QWidget* parent);

    void UpdateControls() override;
    void ReadControls() override;
    void Save(CAppSettings& settings) override;

    const CHeld& HeldValues() const { return m_held; }
    // The "..." button: picks the folder with the folder browser.
    void BrowseFolder();

private:
    CHeld m_held;
    QLineEdit* m_folderEdit;
    QLineEdit* m_minBox;
    QLineEdit* m_maxBox;
    QLineEdit* m_fpsBox;
    QLineEdit* m_qualityBox;
    QCheckBox* m_movieBox;
    QCheckBox* m_stillsBox;
};
