#include "widgets/SkinButton.h"

#include "widgets/DataFiles.h"

#include <QFocusEvent>
#include <QPainter>

CSkinButton::CSkinButton(const QString& text, QWidget* parent) : QPushButton(text, parent) {
    // Enter must never press a main-window button.
    setAutoDefault(false);
    setDefault(false);
}

bool CSkinButton::LoadSlot(Slot slot, const QString& file) {
    const QImage image = data_files::LoadImage(file);
    if (image.isNull())
        return false;
    m_slots[slot] = QPixmap::fromImage(image);
    return true;
}

bool CSkinButton::LoadImages(const QString& normalFile, const QString& pressedFile) {
    if (!LoadSlot(kNormal, normalFile))
        return false;
    return LoadSlot(kPressed, pressedFile);
}

void CSkinButton::SetUpsideDown(bool on) {
    m_upsideDown = on;
    update();
}

void CSkinButton::SetOwnerDraw(bool on) {
    m_ownerDraw = on;
    update();
}

const QPixmap* CSkinButton::ChooseImage() const {
    if (isDown() && !m_slots[kPressed].isNull())
        return &m_slots[kPressed];
    if (hasFocus() && !m_slots[kFocused].isNull())
        return &m_slots[kFocused];
    if (!isEnabled() && !m_slots[kDisabled].isNull())
        return &m_slots[kDisabled];
    return &m_slots[kNormal];
}

void CSkinButton::focusInEvent(QFocusEvent* event) {
    // The ring answers the keyboard, as desktops draw focus: a click or the
    // window's first focus shows none; coming back to the window keeps it.
    switch (event->reason()) {
    case Qt::TabFocusReason:
    case Qt::BacktabFocusReason:
    case Qt::ShortcutFocusReason:
        m_keyboardFocus = true;
        break;
    case Qt::ActiveWindowFocusReason:
    case Qt::PopupFocusReason:
        break;
    default:
        m_keyboardFocus = false;
    }
    QPushButton::focusInEvent(event);
}

void CSkinButton::paintEvent(QPaintEvent* event) {
    if (!m_ownerDraw) {
        QPushButton::paintEvent(event);
        return;
    }
    QPainter p(this);
    // Beyond a picture smaller than the button the window colour shows.
    p.fillRect(rect(), palette().color(QPalette::Window));
    // Unscaled from the top-left corner; a larger picture is cut at the edges.
    if (const QPixmap* image = ChooseImage()) {
        p.save();
        if (m_upsideDown)
            p.setTransform(QTransform(1, 0, 0, -1, 0, height()));
        p.drawPixmap(0, 0, *image);
        p.restore();
    }
    // The pictures carry no focus state of their own; without a ring the
    // keyboard user cannot tell which button Space would press. Dots in both
    // black and white show on any picture.
    if (hasFocus() && m_keyboardFocus) {
        p.setPen(QPen(Qt::black, 1));
        p.drawRect(FocusRing());
        p.setPen(QPen(Qt::white, 1, Qt::DotLine));
        p.drawRect(FocusRing());
    }
}
