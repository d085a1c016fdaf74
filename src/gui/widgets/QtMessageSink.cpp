#include "widgets/QtMessageSink.h"

#include <QApplication>
#include <QThread>

CQtMessageSink::CQtMessageSink(QObject* parent) : QObject(parent) {}

CQtMessageSink::~CQtMessageSink() {
    if (m_box) {
        m_box->disconnect(this);
        delete m_box;
    }
}

void CQtMessageSink::ShowMessage(const std::string& caption, const std::string& text,
                                 MessageIcon icon) {
    Raise({QString::fromStdString(caption), QString::fromStdString(text), QString(), icon});
}

void CQtMessageSink::ShowMessageWithDetail(const std::string& caption, const std::string& text,
                                           MessageIcon icon, const std::string& detail) {
    Raise({QString::fromStdString(caption), QString::fromStdString(text),
           QString::fromStdString(detail), icon});
}

void CQtMessageSink::Raise(CPending message) {
    // Another thread only leaves the message for the user-interface thread.
    if (QThread::currentThread() != thread()) {
        QMetaObject::invokeMethod(
            this, [this, message] { Post(message); }, Qt::QueuedConnection);
        return;
    }
    if (m_modal) {
        ShowModal(message, OwnerFor(message.icon));
        return;
    }
    if (QWidget* dialog = QApplication::activeModalWidget()) {
        ShowModal(message, dialog);
        return;
    }
    Post(std::move(message));
}

void CQtMessageSink::Post(CPending message) {
    if (m_modal)
        return; // the main window has ended: nothing is shown without its modal box
    if (m_box && m_shown.Same(message)) {
        ++m_shown.count;
        m_shown.detail = message.detail;
        m_box->setText(BoxText(m_shown.text, m_shown.detail, m_shown.count));
        return;
    }
    for (CPending& waiting : m_queue) {
        if (waiting.Same(message)) {
            ++waiting.count;
            waiting.detail = message.detail;
            return;
        }
    }
    m_queue.push_back(std::move(message));
    ShowNext();
}

void CQtMessageSink::ShowNext() {
    if (m_box || m_queue.empty() || m_modal)
        return;
    m_shown = m_queue.front();
    m_queue.pop_front();
    QMessageBox* box = MakeBox(m_shown, OwnerFor(m_shown.icon));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::NonModal);
    // The next box comes once this one is answered (or gone with its owner),
    // from the event loop rather than from inside the box's own teardown.
    auto gone = [this, box] {
        // A box being deleted has already left m_box empty.
        if (m_box && m_box != box)
            return;
        m_box = nullptr;
        QMetaObject::invokeMethod(this, &CQtMessageSink::ShowNext, Qt::QueuedConnection);
    };
    connect(box, &QDialog::finished, this, gone);
    connect(box, &QObject::destroyed, this, gone);
    m_box = box;
    box->show();
}

void CQtMessageSink::ShowModal(const CPending& message, QWidget* owner) {
    // The owner may end while the box is up, and take the box with it.
    const QPointer<QMessageBox> box = MakeBox(message, owner);
    box->exec();
    delete box.data();
}

QMessageBox* CQtMessageSink::MakeBox(const CPending& message, QWidget* owner) const {
    return new QMessageBox(message.icon == MessageIcon::Error ? QMessageBox::Critical
                                                              : QMessageBox::Warning,
                           message.caption, BoxText(message.text, message.detail, message.count),
                           QMessageBox::Ok, owner);
}

QWidget* CQtMessageSink::OwnerFor(MessageIcon icon) const {
    return icon == MessageIcon::Error ? nullptr : m_owner.data();
}

void CQtMessageSink::SetOwner(QWidget* owner) {
    m_owner = owner;
    // A box raised before the main window existed comes up above it now.
    if (m_box && m_shown.icon != MessageIcon::Error && m_box->parentWidget() != owner) {
        m_box->setParent(owner, m_box->windowFlags());
        m_box->show();
    }
}

void CQtMessageSink::SetModal(bool modal) {
    m_modal = modal;
    if (modal)
        m_queue.clear();
}

QString CQtMessageSink::BoxText(const QString& text, const QString& detail, int count) {
    QString shown = text;
    if (!detail.isEmpty())
        shown += '\n' + detail;
    if (count > 1)
        shown += QStringLiteral("\n\n(%1 times)").arg(count);
    return shown;
}
