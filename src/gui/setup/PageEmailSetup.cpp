#include "setup/PageEmailSetup.h"

#include "app/AppSettings.h"
#include "mail/MailAddressList.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextDocument>
#include <algorithm>

DLG_SetupEmail::DLG_SetupEmail(const CSetupServices& services, const CDialogUnits& units,
                               QWidget* parent)
    : CSetupPage(services, units, parent) {
    const CAppSettings& s = *services.settings;
    m_enabled = s.EMAIL_ENA;
    m_movie = s.EMAIL_WMV;
    m_preview = s.EMAIL_JPG;
    m_server = s.EMAIL_SMTP;
    m_from = s.EMAIL_FROM;
    m_to = s.EMAIL_TO;
    m_custom = s.EMAIL_CUS;

    AddGroup(tr("Add Attachments"), Dlu(147, 3, 130, 27));
    m_enableBox = AddCheck(tr("Send EMail after every capture"), Dlu(12, 13, 128, 12), kIdEnable);
    m_movieBox = AddCheck(tr("WMV movie"), Dlu(155, 13, 50, 12), kIdMovie);
    m_previewBox = AddCheck(tr("JPEG preview"), Dlu(213, 13, 57, 12), kIdPreview);
    QLabel* serverLabel = AddLabel(tr("SMTP email server (for example mail.example.net):"),
                                   Dlu(6, 40, 148, 8), kIdServerLabel);
    m_serverEdit = AddEdit(Dlu(6, 50, 271, 12), kIdServer);
    QLabel* toLabel = AddLabel(tr("Send to email address (for example me@example.net):"),
                               Dlu(6, 70, 151, 8), kIdToLabel);
    m_toEdit = AddEdit(Dlu(6, 80, 271, 12), kIdTo);
    QLabel* fromLabel = AddLabel(tr("Return to email address (for example cam@example.net):"),
                                 Dlu(5, 100, 159, 8), kIdFromLabel);
    m_fromEdit = AddEdit(Dlu(5, 111, 271, 12), kIdFrom);
    QLabel* customLabel = AddLabel(tr("Custom body text (gets inserted into every email):"),
                                   Dlu(6, 131, 163, 8), kIdCustomLabel);
    m_customEdit = new QPlainTextEdit(this);
    Place(m_customEdit, Dlu(6, 141, 271, 65), kIdCustom);
    m_customEdit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_customEdit->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_customEdit->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    // Tab moves on to the next control; Enter makes a new line.
    m_customEdit->setTabChangesFocus(true);

    // The labels are as wide as the text they were drawn for: let a wider
    // font run on rather than wrap under the edit below.
    for (QLabel* label : {serverLabel, toLabel, fromLabel, customLabel}) {
        label->setWordWrap(false);
        label->resize(std::max(label->width(), label->sizeHint().width()), label->height());
    }
    // The problem labels take the rest of their address label's line.
    auto problemLabel = [this](QLabel* beside, int id) {
        const QRect at = beside->geometry();
        const int left = at.right() + m_units.X(4);
        QLabel* label = AddLabel(QString(), Dlu(0, 0, 0, 0), id, Qt::AlignRight | Qt::AlignTop);
        label->setWordWrap(false);
        label->setGeometry(left, at.top(), m_units.X(277) - left, at.height());
        QPalette palette = label->palette();
        palette.setColor(QPalette::WindowText, QColor(0xb0, 0x20, 0x20));
        label->setPalette(palette);
        return label;
    };
    m_toProblem = problemLabel(toLabel, kIdToProblem);
    m_fromProblem = problemLabel(fromLabel, kIdFromProblem);
    m_dependents = {m_movieBox, m_previewBox, serverLabel,  toLabel,
                    fromLabel,  customLabel,  m_serverEdit, m_toEdit,
                    m_fromEdit, m_customEdit, m_toProblem,  m_fromProblem};
    for (QLineEdit* edit : {m_toEdit, m_fromEdit})
        connect(edit, &QLineEdit::textChanged, this, [this] { CheckAddresses(); });
    for (QCheckBox* box : {m_enableBox, m_movieBox, m_previewBox})
        connect(box, &QCheckBox::clicked, this, [this] { ReadControls(); });
    UpdateControls();
}

void DLG_SetupEmail::UpdateControls() {
    SetTicked(m_enableBox, m_enabled);
    SetTicked(m_movieBox, m_movie);
    SetTicked(m_previewBox, m_preview);
    m_serverEdit->setText(QString::fromStdString(m_server));
    m_toEdit->setText(QString::fromStdString(m_to));
    m_fromEdit->setText(QString::fromStdString(m_from));
    m_customEdit->setPlainText(QString::fromStdString(m_custom));
    CheckAddresses();
    ApplyEnabling();
}

void DLG_SetupEmail::ReadControls() {
    m_enabled = Ticked(m_enableBox);
    m_movie = Ticked(m_movieBox);
    m_preview = Ticked(m_previewBox);
    m_server = m_serverEdit->text().toStdString();
    m_to = m_toEdit->text().toStdString();
    m_from = m_fromEdit->text().toStdString();
    // Untouched text keeps its bytes (line ends included) as loaded.
    if (m_customEdit->document()->isModified())
        m_custom = m_customEdit->toPlainText().toStdString();
    ApplyEnabling();
}

std::string DLG_SetupEmail::Server() const {
    return m_serverEdit->text().toStdString();
}

std::string DLG_SetupEmail::From() const {
    return m_fromEdit->text().toStdString();
}

std::string DLG_SetupEmail::To() const {
    return m_toEdit->text().toStdString();
}

void DLG_SetupEmail::CheckAddresses() {
    std::vector<std::string> problems;
    const bool none = mail_address::ParseList(To(), &problems).empty();
    const std::string to = !problems.empty() ? problems.front()
                           : none            ? "no address is given"
                                             : std::string();
    const std::string from = mail_address::Problem(From());
    // The whole sentence stays in the tooltip when the line is too short for it.
    for (auto [label, text] : {std::pair{m_toProblem, to}, std::pair{m_fromProblem, from}}) {
        const QString full = QString::fromStdString(text);
        label->setToolTip(full);
        label->setText(label->fontMetrics().elidedText(full, Qt::ElideRight, label->width()));
    }
}

void DLG_SetupEmail::ApplyEnabling() {
    for (QWidget* w : m_dependents)
        w->setEnabled(m_enabled > 0);
}

void DLG_SetupEmail::Save(CAppSettings& settings) {
    ReadControls();
    settings.EMAIL_ENA = m_enabled;
    settings.EMAIL_WMV = m_movie;
    settings.EMAIL_JPG = m_preview;
    settings.EMAIL_SMTP = m_server;
    settings.EMAIL_FROM = m_from;
    settings.EMAIL_TO = m_to;
    settings.EMAIL_CUS = m_custom;
}
