#include "widgets/DataFiles.h"

#include "app/DataFolders.h"
#include "app/HomeFolder.h"
#include "update/SiteUrls.h"
#include "widgets/ArtworkNames.h"

#include <QFileInfo>

namespace data_files {

namespace {

// Process-wide for now: every window that loads artwork reads it; tests set it.
QStringList& Override() {
    static QStringList folders;
    return folders;
}

} // namespace

QStringList SearchFolders() {
    if (!Override().isEmpty())
        return Override();
    QStringList folders;
    for (const std::string& folder :
         DataSearchFolders(ExecutablePath(), OCULON_DATA_FROM_BIN, OCULON_DATA_DIR))
        folders << QString::fromStdString(folder);
    return folders;
}

void SetSearchFolders(const QStringList& folders) {
    Override() = folders;
}

QString Find(const QString& name) {
    for (const QString& folder : SearchFolders()) {
        const QFileInfo file(folder + "/" + name);
        if (file.isFile())
            return file.absoluteFilePath();
    }
    return {};
}

QImage LoadImage(const QString& name) {
    const QString path = Find(name);
    return path.isEmpty() ? QImage() : QImage(path);
}

QUrl UserGuideAddress() {
    const QString local = Find(artwork_names::kUserGuide);
    if (!local.isEmpty())
        return QUrl::fromLocalFile(local);
    return QUrl(QString::fromStdString(UserGuideUrl()));
}

QUrl WebsiteAddress() {
    return QUrl(QString::fromStdString(ProductPageUrl()));
}

} // namespace data_files
