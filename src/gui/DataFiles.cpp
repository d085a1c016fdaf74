#include "DataFiles.h"

#include "app/HomeFolder.h"

#include <QFileInfo>

namespace data_files {

namespace {

QStringList& Override() {
    static QStringList folders;
    return folders;
}

} // namespace

QStringList SearchFolders() {
    if (!Override().isEmpty())
        return Override();
    QStringList folders;
    const QString exe = QString::fromStdString(ExecutablePath());
    if (!exe.isEmpty())
        folders << QFileInfo(exe).absolutePath();
    folders << QStringLiteral(OCULON_DATA_DIR);
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

} // namespace data_files
