// The help entries of the main window: the user guide in the program's own
// help window with its pictures, the product site when no guide is found.
#include "main_window_fixture.h"

#include "main/MainLayout.h"
#include "main/TrayIcon.h"
#include "widgets/HelpWindow.h"
#include "widgets/SkinButton.h"

#include <QFileInfo>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextDocument>
#include <QTextImageFormat>

using namespace main_layout;

namespace {

struct CHelpEntry {
    const char* name;
    void (*use)(DLG_Main&);
};

const CHelpEntry kHelpEntries[] = {
    {"help button", [](DLG_Main& d) { d.Button(kIdHelp)->click(); }},
    {"F1", [](DLG_Main& d) { SendKey(&d, Qt::Key_F1); }},
    {"tray User Guide", [](DLG_Main& d) { d.OnCommand(CTrayIcon::kCmdUserGuide); }},
};

// The pictures the shown guide names that its window cannot load.
QStringList MissingPictures(QTextBrowser* browser, int* named) {
    QStringList missing;
    *named = 0;
    QTextDocument* doc = browser->document();
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next())
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat format = it.fragment().charFormat();
            if (!format.isImageFormat())
                continue;
            ++*named;
            const QString name = format.toImageFormat().name();
            const QVariant data = doc->resource(QTextDocument::ImageResource, QUrl(name));
            if (QImage::fromData(data.toByteArray()).isNull() && data.value<QImage>().isNull())
                missing << name;
        }
    return missing;
}

CHelpWindow* HelpWindowOf(QWidget* w) {
    return w->findChild<CHelpWindow*>(QString(), Qt::FindDirectChildrenOnly);
}

} // namespace

TEST_F(MainWindowTest, HelpEntriesShowTheGuideWithItsPicturesBesideTheSourcesAndTheBuiltProgram) {
    const QStringList besideSources{SourceData(), SourceDocs()};
    const QStringList besideProgram{QFileInfo(QStringLiteral(OCULON_GUI_EXE)).absolutePath()};
    for (const QStringList& folders : {besideSources, besideProgram})
        for (const CHelpEntry& entry : kHelpEntries) {
            SCOPED_TRACE(entry.name + (" in " + folders.join(',')).toStdString());
            data_files::SetSearchFolders(folders);
            Start();
            entry.use(*dialog);
            entry.use(*dialog); // the second use brings the same window up
            EXPECT_EQ(dialog->findChildren<CHelpWindow*>().size(), 1);
            CHelpWindow* help = HelpWindowOf(dialog.get());
            ASSERT_NE(help, nullptr);
            EXPECT_TRUE(help->isVisible());
            EXPECT_TRUE(help->isWindow());
            EXPECT_EQ(help->Browser()->source(), data_files::UserGuideAddress());
            EXPECT_TRUE(help->Browser()->toPlainText().startsWith("Oculon user guide"));
            int named = 0;
            EXPECT_EQ(MissingPictures(help->Browser(), &named), QStringList{});
            EXPECT_GE(named, 2);
            EXPECT_TRUE(opened.empty());
            if (folders == besideSources && &entry == &kHelpEntries[0])
                MaybeSaveScreenshot(help, QStringLiteral("help-window.png"));
            Stop();
            opened.clear();
        }
}

TEST_F(MainWindowTest, WithoutAGuideHelpOpensTheSitesGuideAndWebsiteAlwaysTheSite) {
    ::setenv("OCULON_SITE", "http://127.0.0.1:9/", 1);
    data_files::SetSearchFolders({SourceData()});
    Start();
    for (const CHelpEntry& entry : kHelpEntries)
        entry.use(*dialog);
    dialog->OnCommand(CTrayIcon::kCmdWebsite);
    data_files::SetSearchFolders({SourceData(), SourceDocs()});
    dialog->OnCommand(CTrayIcon::kCmdWebsite); // a guide beside the program changes nothing
    ::unsetenv("OCULON_SITE");
    EXPECT_EQ(HelpWindowOf(dialog.get()), nullptr);
    const QUrl guide("http://127.0.0.1:9/oculon/userguide/index.htm");
    const QUrl site("http://127.0.0.1:9/oculon/index.htm");
    EXPECT_EQ(opened, (std::vector<QUrl>{guide, guide, guide, site, site}));
}
