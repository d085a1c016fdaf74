#include "setup/DlgCheckVersion.h"

#include "setup/SetupPage.h"

#include "update/SiteUrls.h"
#include "update/VersionCheck.h"

#include <QApplication>
#include <QDesktopServices>
#include <QPushButton>
#include <QUrl>

CStatusLabel::CStatusLabel(QWidget* parent) : QLabel(parent) {
    setTextFormat(Qt::PlainText);
    setWordWrap(true);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
}

void CStatusLabel::SetStatusText(const std::string& text) {
    m_text = text;
    // The texts break lines with single carriage returns.
    QString shown = QString::fromStdString(text);
    shown.replace('\r', '\n');
    setText(shown);
    repaint();
}

DLG_CheckVersion::DLG_CheckVersion(QWidget* parent, UrlOpener openUrl, std::string versionUrl)
    : QDialog(parent), m_openUrl(std::move(openUrl)),
      m_versionUrl(versionUrl.empty() ? VersionFileUrl() : std::move(versionUrl)) {
    setWindowTitle(QStringLiteral("Dialog"));
    const CDialogUnits units(font());
    setFixedSize(units.X(186), units.Y(95));
    m_status = new CStatusLabel(this);
    m_status->setGeometry(units.Rect(7, 7, 172, 62));
    m_status->setObjectName(QStringLiteral("id%1").arg(kIdStatus));
    m_status->SetStatusText(kVersionCheckingText);
    m_getNew = new QPushButton(tr("Get new version..."), this);
    m_getNew->setGeometry(units.Rect(7, 74, 85, 14));
    m_getNew->setObjectName(QStringLiteral("id%1").arg(kIdGetNew));
    m_getNew->setDefault(true);
    m_getNew->setEnabled(false);
    m_cancel = new QPushButton(tr("Cancel"), this);
    m_cancel->setGeometry(units.Rect(129, 74, 50, 14));
    m_cancel->setAutoDefault(false);
    connect(m_getNew, &QPushButton::clicked, this, &DLG_CheckVersion::OnGetNewVersion);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);

    // The fetch blocks: let the dialog be drawn before it starts.
    m_timer.setSingleShot(true);
    m_timer.setInterval(kTimerMs);
    connect(&m_timer, &QTimer::timeout, this, &DLG_CheckVersion::RunCheck);
    m_timer.start();
}

void DLG_CheckVersion::RunCheck() {
    m_timer.stop();
    if (m_done)
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const CVersionCheckResult result = CheckLatestVersion(m_versionUrl, m_status);
    if (result.newer)
        m_getNew->setEnabled(true);
    m_status->SetStatusText(result.text);
    m_done = true;
    QApplication::restoreOverrideCursor();
}

void DLG_CheckVersion::OnGetNewVersion() {
    const QUrl page(QString::fromStdString(DownloadPageUrl()));
    if (m_openUrl)
        m_openUrl(page);
    else
        QDesktopServices::openUrl(page);
    accept(); // whoever runs the check closes the program for the download
}
