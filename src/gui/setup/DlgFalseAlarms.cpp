#include "setup/DlgFalseAlarms.h"

#include "setup/ReplayTimeline.h"
#include "setup/ReplayWorker.h"

#include "app/AppSettings.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

QSpinBox* NumberBox(int minimum, int maximum, QWidget* parent) {
    auto* box = new QSpinBox(parent);
    box->setRange(minimum, maximum);
    return box;
}

// The Motion Detect page's sensitivity range: 5 is "High", 500 "Low".
constexpr int kSensitivityHigh = 5, kSensitivityLow = 500;

} // namespace

CDlgFalseAlarms::CDlgFalseAlarms(const CFalseAlarmFilters& filters,
                                 const CFalseAlarmContext& context, QWidget* parent)
    : QDialog(parent), m_context(context), m_worker(new CReplayWorker(this)) {
    setWindowTitle(tr("False Alarms"));
    auto* layout = new QVBoxLayout(this);
    auto* note = new QLabel(tr("Off, each changed block starts a capture. These filters keep "
                               "light, noise, leaves and pets out."),
                            this);
    note->setWordWrap(true);
    layout->addWidget(note);
    auto* form = new QFormLayout;
    layout->addLayout(form);

    m_light = new QCheckBox(tr("Ignore a lighting change over"), this);
    m_lightPct = NumberBox(1, 100, this);
    m_lightPct->setSuffix(tr(" % of the blocks"));
    form->addRow(m_light, m_lightPct);
    m_compensate = new QCheckBox(tr("Compensate drifts of the whole picture's brightness"), this);
    form->addRow(m_compensate);
    m_passes = NumberBox(1, 100, this);
    form->addRow(tr("Checks in a row with motion before a capture"), m_passes);
    m_blocks = NumberBox(1, 1200, this);
    form->addRow(tr("Changed blocks a motion needs (8 x 8 pixels each)"), m_blocks);
    m_touch = new QCheckBox(tr("... touching each other, as one moving shape"), this);
    form->addRow(m_touch);
    m_heatMap = new QCheckBox(tr("Show the detector's heat map in the main window"), this);
    m_heatMap->setObjectName(QStringLiteral("heatMap"));
    m_heatMap->setChecked(context.heatMap);
    form->addRow(m_heatMap);

    auto* trial = new QGroupBox(tr("Try the settings on a clip"), this);
    layout->addWidget(trial);
    auto* trialLayout = new QVBoxLayout(trial);
    auto* row = new QHBoxLayout;
    trialLayout->addLayout(row);
    m_test = new QPushButton(tr("Test on a clip..."), trial);
    row->addWidget(m_test);
    m_status = new QLabel(trial);
    row->addWidget(m_status, 1);
    auto* sensitivityRow = new QHBoxLayout;
    trialLayout->addLayout(sensitivityRow);
    sensitivityRow->addWidget(new QLabel(tr("Sensitivity: High"), trial));
    // The page's knob in another direction: High on the left, Low on the right.
    m_sensitivity = new QSlider(Qt::Horizontal, trial);
    m_sensitivity->setRange(kSensitivityHigh, kSensitivityLow);
    m_sensitivity->setPageStep(25);
    m_sensitivity->setValue(context.sensitivity);
    m_sensitivity->setAccessibleName(tr("Sensitivity"));
    sensitivityRow->addWidget(m_sensitivity, 1);
    sensitivityRow->addWidget(new QLabel(tr("Low"), trial));
    m_sensitivityValue = new QLabel(QString::number(m_sensitivity->value()), trial);
    m_sensitivityValue->setMinimumWidth(
        m_sensitivityValue->fontMetrics().horizontalAdvance("500 "));
    sensitivityRow->addWidget(m_sensitivityValue);
    m_timeline = new CReplayTimeline(trial);
    trialLayout->addWidget(m_timeline);
    m_result = new QPlainTextEdit(trial);
    m_result->setReadOnly(true);
    m_result->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    m_result->setFixedHeight(m_result->fontMetrics().height() * 5 + 8);
    trialLayout->addWidget(m_result);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    QPushButton* recommended = buttons->addButton(tr("Recommended"), QDialogButtonBox::ResetRole);
    recommended->setObjectName(QStringLiteral("recommended"));
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(recommended, &QPushButton::clicked, this,
            [this] { Show(CFalseAlarmFilters::Recommended()); });
    connect(m_light, &QCheckBox::toggled, m_lightPct, &QWidget::setEnabled);
    connect(m_test, &QPushButton::clicked, this, &CDlgFalseAlarms::ChooseClip);
    connect(m_worker, &CReplayWorker::finished, this, &CDlgFalseAlarms::ShowResult);
    connect(m_sensitivity, &QSlider::valueChanged, this, [this](int value) {
        m_sensitivityValue->setNum(value);
        // A drag replays once, when the knob is let go.
        if (!m_sensitivity->isSliderDown())
            Retest();
    });
    connect(m_sensitivity, &QSlider::sliderReleased, this, &CDlgFalseAlarms::Retest);
    Show(filters);
    // Connected after the first showing: the filters replay a chosen clip as they change.
    for (QCheckBox* box : {m_light, m_compensate, m_touch})
        connect(box, &QCheckBox::toggled, this, &CDlgFalseAlarms::Retest);
    for (QSpinBox* box : {m_lightPct, m_passes, m_blocks})
        connect(box, &QSpinBox::valueChanged, this, &CDlgFalseAlarms::Retest);
}

CDlgFalseAlarms::~CDlgFalseAlarms() {
    m_worker->Stop();
}

void CDlgFalseAlarms::done(int result) {
    m_worker->Stop();
    QDialog::done(result);
}

void CDlgFalseAlarms::Show(const CFalseAlarmFilters& f) {
    m_light->setChecked(f.lightPct > 0);
    // Off keeps a sensible share ready for when it is ticked.
    m_lightPct->setValue(f.lightPct > 0 ? f.lightPct : CFalseAlarmFilters::Recommended().lightPct);
    m_lightPct->setEnabled(f.lightPct > 0);
    m_compensate->setChecked(f.brightComp != 0);
    m_passes->setValue(f.minPasses);
    m_blocks->setValue(f.minBlocks);
    m_touch->setChecked(f.blocksTouch != 0);
}

CFalseAlarmFilters CDlgFalseAlarms::Filters() const {
    CFalseAlarmFilters f;
    f.lightPct = m_light->isChecked() ? m_lightPct->value() : 0;
    f.brightComp = m_compensate->isChecked() ? 1 : 0;
    f.minPasses = m_passes->value();
    f.minBlocks = m_blocks->value();
    f.blocksTouch = m_touch->isChecked() ? 1 : 0;
    return f;
}

int CDlgFalseAlarms::Sensitivity() const {
    return m_sensitivity->value();
}

bool CDlgFalseAlarms::HeatMap() const {
    return m_heatMap->isChecked();
}

void CDlgFalseAlarms::ChooseClip() {
    QFileDialog dialog(this, tr("Test on a clip"), QString::fromStdString(m_context.archiveFolder),
                       tr("Movies (*.wmv *.mp4 *.avi *.mkv *.mov);;All files (*)"));
    dialog.setFileMode(QFileDialog::ExistingFile);
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
        TestClip(dialog.selectedFiles().constFirst());
}

void CDlgFalseAlarms::TestClip(const QString& path) {
    m_clip = path;
    Retest();
}

void CDlgFalseAlarms::Retest() {
    if (m_clip.isEmpty())
        return;
    // Copies only: the worker must not read the controls.
    const CFalseAlarmContext c = m_context;
    const CFalseAlarmFilters f = Filters();
    const int threshold = m_sensitivity->value();
    m_worker->Start(m_clip.toStdString(), c.homeFolder, [c, f, threshold](CAppSettings& s) {
        s.MOTION_THR = threshold;
        s.MOTION_FPS = c.motionFps;
        s.MOTION_R_ENA = c.rEna;
        s.MOTION_R_LEF = c.rLef;
        s.MOTION_R_RIG = c.rRig;
        s.MOTION_R_TOP = c.rTop;
        s.MOTION_R_BOT = c.rBot;
        s.CAPTURE_FPS = c.captureFps;
        s.CAPTURE_MIN_S = c.captureMinS;
        s.CAPTURE_MAX_S = c.captureMaxS;
        s.DETECT_LIGHT_PCT = f.lightPct;
        s.DETECT_BRIGHT_COMP = f.brightComp;
        s.DETECT_MIN_PASSES = f.minPasses;
        s.DETECT_MIN_BLOCKS = f.minBlocks;
        s.DETECT_BLOCKS_TOUCH = f.blocksTouch;
    });
    m_status->setText(tr("Replaying %1 ...").arg(QFileInfo(m_clip).fileName()));
}

void CDlgFalseAlarms::ShowResult(const CReplayResult& result, double seconds) {
    if (!result.opened) {
        m_timeline->Clear();
        m_status->setText(tr("The clip cannot be read."));
        m_result->setPlainText(
            QString::fromStdString("replay: cannot read " + m_clip.toStdString()));
        return;
    }
    m_timeline->SetResult(result.clipSeconds, result.captures);
    QStringList lines;
    for (const CReplayCapture& c : result.captures)
        lines << QString::fromStdString(ReplayCaptureLine(c));
    lines << QString::fromStdString(ReplaySummaryLine(result, seconds));
    m_result->setPlainText(lines.join('\n'));
    const int n = static_cast<int>(result.captures.size());
    m_status->setText(QFileInfo(m_clip).fileName() + ": " +
                      (n == 1 ? tr("1 capture") : tr("%1 captures").arg(n)));
}
