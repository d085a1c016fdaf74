#include "DlgMain.h"

#include "app/AppFlags.h"
#include "app/AppObjects.h"

#include <QCloseEvent>
#include <QKeyEvent>

DLG_Main::DLG_Main(const IClock& clock, QWidget* parent) : QDialog(parent), m_clock(clock) {
    setWindowTitle(QString::asprintf("Oculon V%0.02f - webcam watch", double(kProgramVersion)));
    resize(372, 400);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &DLG_Main::OnTimer);
    m_timer.start(kTickMs);
}

void DLG_Main::reject() {
    setWindowTitle("Oculon Closing...");
    g_bCloseRequested = true;
}

void DLG_Main::closeEvent(QCloseEvent* event) {
    event->ignore();
    reject();
}

void DLG_Main::keyPressEvent(QKeyEvent* event) {
    // Enter must not end the dialog.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
        return;
    QDialog::keyPressEvent(event);
}

void DLG_Main::OnTimer() {
    if (g_appObjects.MainTick(m_clock)) {
        m_timer.stop();
        done(QDialog::Rejected);
    }
}
