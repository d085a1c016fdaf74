#pragma once
#include <QImage>
#include <QString>
#include <QStringList>
#include <QUrl>

// The program's artwork and user guide are read beside the executable first,
// then from the installed data folder.
namespace data_files {

QStringList SearchFolders();
// Replaces the folders searched (tests point them at a folder of their own);
// an empty list restores the default.
void SetSearchFolders(const QStringList& folders);

// Full path of the first existing file of that name; empty when there is none.
QString Find(const QString& name);
// The decoded image; a null image when the file is missing or undecodable.
QImage LoadImage(const QString& name);
// The user guide as every help command opens it: our copy beside the program
// (or installed), else the product site's page.
QUrl UserGuideAddress();
// The product's page on its web site.
QUrl WebsiteAddress();

} // namespace data_files
