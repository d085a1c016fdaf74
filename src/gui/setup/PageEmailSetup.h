#pragma once
#include "setup/SetupPage.h"

class QPlainTextEdit;

// "Email Setup" page: the report mail after each capture, its attachments,
// server, addresses and custom text.
class DLG_SetupEmail : public CSetupPage {
    Q_OBJECT
public:
    enum Id {
        kIdEnable = 1026,
        kIdMovie = 1018,
        kIdPreview = 1027,
        kIdServerLabel = 1021,
        kIdServer = 1019,
        kIdToLabel = 1022,
        kIdTo = 1017,
        kIdFromLabel = 1025,
        kIdFrom = 1024,
        kIdCustomLabel = 1023,
        kIdCustom = 1020,
        // Beside the address labels: what is wrong with the address typed.
        kIdToProblem = 1028,
        kIdFromProblem = 1029,
    };

    DLG_SetupEmail(const CSetupServices& services, const CDialogUnits& units, QWidget* parent);

    void UpdateControls() override;
    void ReadControls() override;
    void Save(CAppSettings& settings) override;

    int HeldEnabled() const { return m_enabled; }
    // The server and addresses as they stand in the edits now.
    std::string Server() const;
    std::string From() const;
    std::string To() const;

private:
    // Everything but the main switch follows EMAIL_ENA.
    void ApplyEnabling();
    // Says beside each address label what is wrong with the address typed.
    void CheckAddresses();

    int m_enabled = 0;
    int m_movie = 0;
    int m_preview = 0;
    std::string m_server;
    std::string m_from;
    std::string m_to;
    std::string m_custom;
    QCheckBox* m_enableBox;
    QCheckBox* m_movieBox;
    QCheckBox* m_previewBox;
    QLineEdit* m_serverEdit;
    QLineEdit* m_toEdit;
    QLineEdit* m_fromEdit;
    QPlainTextEdit* m_customEdit;
    QLabel* m_toProblem;
    QLabel* m_fromProblem;
    std::vector<QWidget*> m_dependents;
};
