#pragma once
#include <QWidget>

class QLineEdit;
class QToolButton;

// A horizontal pair of arrow buttons beside a read-only number box. It keeps
// no value of its own: every press reports a step, +1 for the left (lower)
// arrow and -1 for the right (higher) one, and the page moves its held value.
// Holding a button repeats; Up/Down in the number box and the arrow keys on
// the pair step as well.
class CArrowPair : public QWidget {
    Q_OBJECT
public:
    explicit CArrowPair(QWidget* parent = nullptr);

    // The number box whose arrow keys step through this pair.
    void SetBuddy(QLineEdit* box);

    QToolButton* LowerButton() const { return m_lower; }
    QToolButton* HigherButton() const { return m_higher; }

signals:
    void deltaPos(int step);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QToolButton* m_lower;
    QToolButton* m_higher;
    QLineEdit* m_buddy = nullptr;
};
