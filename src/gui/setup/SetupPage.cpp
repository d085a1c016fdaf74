#include "setup/SetupPage.h"

#include "widgets/ArrowPair.h"

#include <QCheckBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <algorithm>
#include <cmath>

namespace {

QString IdName(int id) {
    return QStringLiteral("id%1").arg(id);
}

} // namespace

CDialogUnits::CDialogUnits(const QFont& font) {
    const QFontMetrics metrics(font);
    const int width = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    m_baseX = std::max(kMinBaseX, width / 52.0);
    m_baseY = std::max(kMinBaseY, static_cast<double>(metrics.height()));
}

int CDialogUnits::X(int dlu) const {
    return static_cast<int>(std::lround(dlu * m_baseX / 4));
}
int CDialogUnits::Y(int dlu) const {
    return static_cast<int>(std::lround(dlu * m_baseY / 8));
}

CSetupPage::CSetupPage(const CSetupServices& services, const CDialogUnits& units, QWidget* parent)
    : QWidget(parent), m_services(services), m_units(units) {}

QWidget* CSetupPage::Control(int id) const {
    return findChild<QWidget*>(IdName(id), Qt::FindDirectChildrenOnly);
}

void CSetupPage::StepValue(int& value, int step, int minimum, int maximum) {
    if (step > 0)
        value = std::max(minimum, value - 1);
    else
        value = std::min(maximum, value + 1);
}

int CSetupPage::ReadNumber(const QLineEdit* box) {
    bool ok = false;
    const int value = box->text().trimmed().toInt(&ok, 10);
    return ok ? value : 0;
}

void CSetupPage::WriteNumber(QLineEdit* box, int value) {
    box->setText(QString::number(value));
}

void CSetupPage::SetTicked(QCheckBox* box, int held) {
    box->setChecked(held > 0);
}

int CSetupPage::Ticked(const QCheckBox* box) {
    return box->isChecked() ? 1 : 0;
}

QString CSetupPage::WithLimits(QString text, int minimum, int maximum) {
    text.replace(QStringLiteral("MIN"), QString::number(minimum));
    text.replace(QStringLiteral("MAX"), QString::number(maximum));
    return text;
}

void CSetupPage::keyPressEvent(QKeyEvent* event) {
    // A page's own OK and Cancel do nothing: Enter and Esc stop here instead
    // of reaching the dialog's default button or its Cancel.
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
        event->accept();
        return;
    default:
        QWidget::keyPressEvent(event);
    }
}

void CSetupPage::Place(QWidget* widget, QRect dlu, int id) {
    widget->setGeometry(m_units.Rect(dlu.x(), dlu.y(), dlu.width(), dlu.height()));
    if (id != 0)
        widget->setObjectName(IdName(id));
}

QGroupBox* CSetupPage::AddGroup(const QString& title, QRect dlu, int id) {
    auto* box = new QGroupBox(title, this);
    box->setFocusPolicy(Qt::NoFocus);
    Place(box, dlu, id);
    return box;
}

QLabel* CSetupPage::AddLabel(const QString& text, QRect dlu, int id, Qt::Alignment align) {
    auto* label = new QLabel(text, this);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setAlignment(align);
    Place(label, dlu, id);
    return label;
}

QCheckBox* CSetupPage::AddCheck(const QString& text, QRect dlu, int id) {
    auto* box = new QCheckBox(text, this);
    Place(box, dlu, id);
    // A wider font must not cut the text; every box has room to its right.
    box->resize(std::max(box->width(), box->sizeHint().width()), box->height());
    return box;
}

QLineEdit* CSetupPage::AddEdit(QRect dlu, int id) {
    auto* edit = new QLineEdit(this);
    Place(edit, dlu, id);
    return edit;
}

QLineEdit* CSetupPage::AddNumberBox(QRect dlu, int id) {
    QLineEdit* box = AddEdit(dlu, id);
    box->setReadOnly(true);
    box->setAlignment(Qt::AlignCenter);
    return box;
}

CArrowPair* CSetupPage::AddArrowPair(QRect dlu, int id, QLineEdit* numberBox) {
    auto* arrows = new CArrowPair(this);
    Place(arrows, dlu, id);
    arrows->SetBuddy(numberBox);
    return arrows;
}

QPushButton* CSetupPage::AddButton(const QString& text, QRect dlu, int id) {
    auto* button = new QPushButton(text, this);
    // A page button is never the dialog's default: Enter belongs to OK.
    button->setAutoDefault(false);
    Place(button, dlu, id);
    return button;
}

std::string CutToCharacters(const std::string& text, size_t count) {
    size_t characters = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        // A lead byte starts the next character; continuation bytes stay with theirs.
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80 && characters++ == count)
            return text.substr(0, i);
    }
    return text;
}
