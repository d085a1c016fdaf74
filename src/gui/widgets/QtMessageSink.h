#pragma once
#include "app/MessageSink.h"

#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QString>

#include <deque>

// Shows the program's message boxes with an OK button without ever holding up
// the caller: the surveillance step, and the threads that raise messages, go on
// while a box is open. One box at a time; the next waits its turn, and a text
// that comes again while its box is open or waiting only counts up
// ("(3 times)"), its latest detail shown. Messages from other threads are
// handed to the user-interface thread. Two kinds of box stay modal: those
// raised on the user-interface thread while a dialog of the user's is open
// (the answer to what was just done there; nothing is watched meanwhile), and
// all of them once the main window has ended (SetModal), so that a message of
// the teardown is read before the program ends.
class CQtMessageSink : public QObject, public IMessageSink {
    Q_OBJECT
public:
    explicit CQtMessageSink(QObject* parent = nullptr);
    ~CQtMessageSink() override;

    void ShowMessage(const std::string& caption, const std::string& text,
                     MessageIcon icon) override;
    void ShowMessageWithDetail(const std::string& caption, const std::string& text,
                               MessageIcon icon, const std::string& detail) override;

    // Application boxes stay above this window (the main window); the movie
    // writer's boxes have no owner.
    void SetOwner(QWidget* owner);
    // From now on every box is modal; those not yet shown are dropped.
    void SetModal(bool modal);

    // The box on screen, null when none; the messages waiting behind it.
    QMessageBox* OpenBox() const { return m_box; }
    int Waiting() const { return static_cast<int>(m_queue.size()); }
    // The text of a box: the text, the detail on a line of its own, the count.
    static QString BoxText(const QString& text, const QString& detail, int count);

private:
    struct CPending {
        QString caption, text, detail;
        MessageIcon icon = MessageIcon::Warning;
        int count = 1;
        bool Same(const CPending& other) const {
            return caption == other.caption && text == other.text && icon == other.icon;
        }
    };
    void Raise(CPending message);
    void Post(CPending message); // user-interface thread
    void ShowNext();
    void ShowModal(const CPending& message, QWidget* owner);
    QMessageBox* MakeBox(const CPending& message, QWidget* owner) const;
    QWidget* OwnerFor(MessageIcon icon) const;

    std::deque<CPending> m_queue;
    CPending m_shown;
    QPointer<QMessageBox> m_box;
    QPointer<QWidget> m_owner;
    bool m_modal = false;
};
