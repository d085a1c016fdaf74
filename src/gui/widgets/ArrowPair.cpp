#include "widgets/ArrowPair.h"

#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QToolButton>

CArrowPair::CArrowPair(QWidget* parent)
    : QWidget(parent), m_lower(new QToolButton(this)), m_higher(new QToolButton(this)) {
    m_lower->setArrowType(Qt::LeftArrow);
    m_higher->setArrowType(Qt::RightArrow);
    m_lower->setAccessibleName(tr("Lower"));
    m_higher->setAccessibleName(tr("Higher"));
    for (QToolButton* b : {m_lower, m_higher}) {
        b->setAutoRepeat(true);
        b->setFocusPolicy(Qt::NoFocus);
    }
    // The number box in front takes the keyboard; the pair is for the mouse.
    setFocusPolicy(Qt::NoFocus);
    connect(m_lower, &QToolButton::clicked, this, [this] { emit deltaPos(1); });
    connect(m_higher, &QToolButton::clicked, this, [this] { emit deltaPos(-1); });
}

void CArrowPair::SetBuddy(QLineEdit* box) {
    if (m_buddy)
        m_buddy->removeEventFilter(this);
    m_buddy = box;
    if (m_buddy) {
        m_buddy->installEventFilter(this);
        m_buddy->setToolTip(tr("Up and Down change the value"));
    }
}

void CArrowPair::resizeEvent(QResizeEvent*) {
    const int half = width() / 2;
    m_lower->setGeometry(0, 0, half, height());
    m_higher->setGeometry(half, 0, width() - half, height());
}

void CArrowPair::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Down:
        emit deltaPos(1);
        break;
    case Qt::Key_Right:
    case Qt::Key_Up:
        emit deltaPos(-1);
        break;
    default:
        QWidget::keyPressEvent(event);
    }
}

bool CArrowPair::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_buddy && event->type() == QEvent::KeyPress && isEnabled()) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Up || key == Qt::Key_Down) {
            emit deltaPos(key == Qt::Key_Down ? 1 : -1);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}
