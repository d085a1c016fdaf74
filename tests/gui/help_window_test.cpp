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

#include <map>

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

// The pictures the shown guide names, each with whether its window loads it.
std::map<QString, bool> Pictures(QTextDocument* doc) {
    std::map<QString, bool> pictures;
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next())
        for (auto it = b.begin(); !it.atEnd(); ++it)
            if (const QTextCharFormat f = it.fragment().charFormat(); f.isImageFormat()) {
                const QString name = f.toImageFormat().name();
                const QVariant data = doc->resource(QTextDocument::ImageResource, QUrl(name));
                // Read from the file at first, decoded once laid out.
                pictures[name] = !QImage::fromData(data.toByteArray()).isNull() ||
                                 !data.value<QImage>().isNull();
            }
    return pictures;
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
            ASSERT_EQ(dialog->findChildren<CHelpWindow*>().size(), 1);
            CHelpWindow* help = dialog->findChild<CHelpWindow*>();
            EXPECT_TRUE(help->isVisible() && help->isWindow());
            EXPECT_EQ(help->Browser()->source(), data_files::UserGuideAddress());
            EXPECT_TRUE(help->Browser()->toPlainText().startsWith("Oculon user guide"));
            const std::map<QString, bool> pictures = Pictures(help->Browser()->document());
            EXPECT_EQ(pictures, (std::map<QString, bool>{{"screenshots/false-alarms.png", true},
                                                         {"screenshots/help-window.png", true},
                                                         {"screenshots/main-window.png", true}}));
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
    EXPECT_EQ(dialog->findChild<CHelpWindow*>(), nullptr);
    const QUrl guide("http://127.0.0.1:9/oculon/userguide/index.htm");
    const QUrl site("http://127.0.0.1:9/oculon/index.htm");
    EXPECT_EQ(opened, (std::vector<QUrl>{guide, guide, guide, site, site}));
}
