#pragma once
#include "setup/SetupPage.h"

class QComboBox;

// "Video Device" page: the capture device, the overlay title and its opacity.
class DLG_SetupVideoDevice : public CSetupPage {
    Q_OBJECT
public:
    enum Id {
        kIdDevice = 1032,
        kIdTitle = 1033,
        kIdOpacityGroup = 1036,
        kIdOpacityArrows = 1025,
        kIdOpacity = 1034,
        kIdOpacityNote = 1067,
    };
    static constexpr int kOpacityMin = 0;
    static constexpr int kOpacityMax = 100;
    static constexpr size_t kTitleCharacters = 32;

    DLG_SetupVideoDevice(const CSetupServices& services, const CDialogUnits& units,
                         QWidget* parent);

    void UpdateControls() override;
    void ReadControls() override;
    void Save(CAppSettings& settings) override;

    int HeldOpacity() const { return m_opacity; }
    const std::string& HeldTitle() const { return m_title; }
    const std::string& HeldDevice() const { return m_device; }

private:
    void OnArrow(int step);

    int m_opacity = 0;
    std::string m_title;
    std::string m_device;
    bool m_initialised = false;
    QComboBox* m_combo;
    QLineEdit* m_titleEdit;
    QLineEdit* m_opacityBox;
};
