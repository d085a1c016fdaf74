#include "widgets/QtMessageSink.h"

#include <QApplication>
#include <QMessageBox>

void CQtMessageSink::ShowMessage(const std::string& caption, const std::string& text,
                                 MessageIcon icon) {
    // Application boxes are modal to the main window; the movie writer's box has no owner.
    QWidget* owner = icon == MessageIcon::Error ? nullptr : QApplication::activeWindow();
    QMessageBox box(icon == MessageIcon::Error ? QMessageBox::Critical : QMessageBox::Warning,
                    QString::fromStdString(caption), QString::fromStdString(text), QMessageBox::Ok,
                    owner);
    box.exec();
}
