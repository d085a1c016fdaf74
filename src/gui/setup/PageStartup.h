#pragma once
#include "setup/SetupPage.h"

#include "app/Autostart.h"

// "Startup" page, after the four described ones: starting the program at
// login (the XDG autostart entry) and who can see the archive.
class CPageStartup : public CSetupPage {
    Q_OBJECT
public:
    enum Id { kIdAutostart = 1201, kIdArchiveAccess = 1202 };

    // `archiveFolder`: the folder the Video Capture page holds now; empty
    // means the saved CAPTURE_PTH. `entry`: where the autostart entry lives.
    CPageStartup(const CSetupServices& services, const CDialogUnits& units, QWidget* parent,
                 std::function<std::string()> archiveFolder = {},
                 CAutostartEntry entry = CAutostartEntry());

    void UpdateControls() override;
    void ReadControls() override;
    // Writes or removes the autostart entry when the tick changed; says so
    // when that failed. Nothing goes into the settings record.
    void Save(CAppSettings& settings) override;

    // The sentence about the archive folder's readers.
    static QString AccessText(const std::string& folder);

protected:
    void showEvent(QShowEvent* event) override;

private:
    std::function<std::string()> m_archiveFolder;
    CAutostartEntry m_entry;
    bool m_wasOn;
    bool m_on;
    QCheckBox* m_autostartBox;
    QLabel* m_accessLabel;
};
