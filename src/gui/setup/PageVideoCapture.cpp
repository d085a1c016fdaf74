#include "setup/PageVideoCapture.h"

#include "setup/DlgFolderSelect.h"
#include "widgets/ArrowPair.h"

#include "app/AppSettings.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

DLG_SetupCapture::DLG_SetupCapture(const CSetupServices& services, const CDialogUnits& units,
                                   QWidget* parent)
    : CSetupPage(services, units, parent) {
    const CAppSettings& s = *services.settings;
    m_held = {s.CAPTURE_WMV,   s.CAPTURE_JPG, s.CAPTURE_JPQ, s.CAPTURE_MIN_S,
              s.CAPTURE_MAX_S, s.CAPTURE_FPS, s.CAPTURE_PTH};

    AddGroup(tr("Folder to archive to (local or network path):"), Dlu(6, 3, 271, 29));
    m_folderEdit = AddEdit(Dlu(12, 14, 240, 12), kIdFolder);
    QPushButton* browse = AddButton(QStringLiteral("..."), Dlu(254, 14, 18, 12), kIdBrowse);
    browse->setAccessibleName(tr("Browse for the folder"));

    // One labelled number row: label, number box, arrow pair, value and limits.
    auto row = [this](const char* text, QRect label, int labelId, QRect box, int boxId,
                      QRect arrows, int arrowsId, int& value, int minimum, int maximum) {
        AddLabel(WithLimits(tr(text), minimum, maximum), label, labelId);
        QLineEdit* number = AddNumberBox(box, boxId);
        CArrowPair* pair = AddArrowPair(arrows, arrowsId, number);
        connect(pair, &CArrowPair::deltaPos, this, [this, &value, minimum, maximum](int step) {
            StepValue(value, step, minimum, maximum);
            UpdateControls();
        });
        return number;
    };

    AddGroup(tr("Configure Capture Length"), Dlu(6, 41, 271, 52));
    m_minBox = row("Minimum capture length (MIN ... MAX seconds)", Dlu(28, 56, 150, 8), kIdMinLabel,
                   Dlu(182, 55, 39, 12), kIdMin, Dlu(227, 55, 30, 13), kIdMinArrows, m_held.minS,
                   kMinLengthMin, kMinLengthMax);
    m_maxBox = row("Maximum capture length (MIN ... MAX seconds)", Dlu(28, 75, 149, 9), kIdMaxLabel,
                   Dlu(182, 73, 39, 12), kIdMax, Dlu(227, 73, 30, 13), kIdMaxArrows, m_held.maxS,
                   kMaxLengthMin, kMaxLengthMax);
    AddGroup(tr("WMV Movie Capture"), Dlu(6, 101, 271, 49));
    m_movieBox = AddCheck(tr("Enable WMV archiving"), Dlu(27, 115, 86, 10), kIdMovie);
    m_fpsBox = row("Movie Frames per second  (MIN ... MAX FPS)", Dlu(28, 130, 149, 9), kIdFpsLabel,
                   Dlu(182, 129, 39, 12), kIdFps, Dlu(227, 129, 30, 13), kIdFpsArrows, m_held.fps,
                   kFpsMin, kFpsMax);
    AddGroup(tr("JPEG Stills Capture"), Dlu(6, 158, 271, 48));
    m_stillsBox = AddCheck(tr("Enable JPEG archiving"), Dlu(27, 172, 86, 10), kIdStills);
    m_qualityBox = row("Compressed Image Quality (MIN ... MAX %)", Dlu(27, 187, 149, 9),
                       kIdQualityLabel, Dlu(181, 185, 39, 12), kIdQuality, Dlu(227, 185, 30, 13),
                       kIdQualityArrows, m_held.jpq, kQualityMin, kQualityMax);

    for (QCheckBox* box : {m_movieBox, m_stillsBox})
        connect(box, &QCheckBox::clicked, this, [this] { ReadControls(); });
    connect(browse, &QPushButton::clicked, this, &DLG_SetupCapture::BrowseFolder);
    UpdateControls();
}

void DLG_SetupCapture::UpdateControls() {
    m_folderEdit->setText(QString::fromStdString(m_held.folder));
    SetTicked(m_movieBox, m_held.wmv);
    SetTicked(m_stillsBox, m_held.jpg);
    WriteNumber(m_minBox, m_held.minS);
    WriteNumber(m_maxBox, m_held.maxS);
    WriteNumber(m_fpsBox, m_held.fps);
    WriteNumber(m_qualityBox, m_held.jpq);
}

void DLG_SetupCapture::ReadControls() {
    m_held.folder = m_folderEdit->text().toStdString();
    m_held.wmv = Ticked(m_movieBox);
    m_held.jpg = Ticked(m_stillsBox);
    m_held.minS = ReadNumber(m_minBox);
    m_held.maxS = ReadNumber(m_maxBox);
    m_held.fps = ReadNumber(m_fpsBox);
    m_held.jpq = ReadNumber(m_qualityBox);
}

void DLG_SetupCapture::BrowseFolder() {
    DLG_FolderSelect browser(QString::fromUtf8(kBrowseTitle), m_held.folder.c_str(), this,
                             DLG_FolderSelect::kReturnOnlyFsDirs);
    if (browser.DoModal() == DLG_FolderSelect::kChosen) {
        m_held.folder = browser.ChosenPath();
        UpdateControls();
    }
}

void DLG_SetupCapture::Save(CAppSettings& settings) {
    ReadControls();
    settings.CAPTURE_WMV = m_held.wmv;
    settings.CAPTURE_JPG = m_held.jpg;
    settings.CAPTURE_JPQ = m_held.jpq;
    settings.CAPTURE_MIN_S = m_held.minS;
    settings.CAPTURE_MAX_S = m_held.maxS;
    settings.CAPTURE_FPS = m_held.fps;
    settings.CAPTURE_PTH = m_held.folder;
}
