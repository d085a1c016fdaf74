#include "widgets/HelpWindow.h"

#include "widgets/DataFiles.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QTextBrowser>
#include <QVBoxLayout>

CHelpWindow::CHelpWindow(QWidget* owner) : QWidget(owner, Qt::Window) {
    setWindowTitle(tr("Oculon User Guide"));
    if (owner)
        setWindowIcon(owner->window()->windowIcon());
    m_browser = new QTextBrowser(this);
    // Links to other pages of the guide stay here; web links go to the browser.
    m_browser->setOpenExternalLinks(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_browser);
    resize(640, 720);
}

void CHelpWindow::Load(const QString& guideFile) {
    const QFileInfo guide(guideFile);
    // The guide names its pictures relative to its own folder.
    m_browser->setSearchPaths({guide.absolutePath()});
    m_browser->setSource(QUrl::fromLocalFile(guide.absoluteFilePath()),
                         QTextDocument::MarkdownResource);
}

CHelpWindow* CHelpWindow::ShowUserGuide(QWidget* owner, const UrlOpener& openExternal) {
    const QUrl address = data_files::UserGuideAddress();
    if (!address.isLocalFile() || !owner) {
        if (openExternal)
            openExternal(address);
        else
            QDesktopServices::openUrl(address);
        return nullptr;
    }
    QWidget* top = owner->window();
    auto* help = top->findChild<CHelpWindow*>(QString(), Qt::FindDirectChildrenOnly);
    if (!help)
        help = new CHelpWindow(top);
    // Read afresh each time: the guide may have been replaced meanwhile.
    help->Load(address.toLocalFile());
    help->show();
    help->raise();
    help->activateWindow();
    return help;
}
