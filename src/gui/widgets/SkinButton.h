#pragma once
#include <QPixmap>
#include <QPushButton>

#include <array>

// A push button drawn from two pictures, normal and pressed, that lie beside
// the program. Until the pictures are attached it is a plain push button with
// its text, and it stays one when they cannot be loaded.
class CSkinButton : public QPushButton {
    Q_OBJECT
public:
    enum Slot { kNormal, kPressed, kFocused, kDisabled, kSlotCount };

    CSkinButton(const QString& text, QWidget* parent);

    // Loads both pictures into the normal and pressed slots; true only when
    // both loaded. The pressed one is not tried when the normal one fails.
    bool LoadImages(const QString& normalFile, const QString& pressedFile);
    // Switches to drawing the pictures (the owner-drawn style).
    void SetOwnerDraw(bool on);
    bool IsOwnerDraw() const { return m_ownerDraw; }
    const QPixmap& Image(Slot slot) const { return m_slots[slot]; }
    // The picture a paint shows in the button's present state.
    const QPixmap* ChooseImage() const;
    // Shows the pictures upside down (an arrow that points the other way).
    void SetUpsideDown(bool on);
    // The dotted ring inside a skinned button that the keyboard moved the focus to.
    QRect FocusRing() const { return rect().adjusted(3, 3, -4, -4); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;

private:
    bool LoadSlot(Slot slot, const QString& file);

    std::array<QPixmap, kSlotCount> m_slots;
    bool m_ownerDraw = false;
    bool m_upsideDown = false;
    bool m_keyboardFocus = false;
};
