#include "setup_fixture.h"

#include "setup/DlgCheckVersion.h"
#include "setup/PageMotionDetect.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPainter>
#include <QTabWidget>
#include <cstring>

namespace {

// A scene of our own for the region selector: sky, floor, a doorway.
CFrameImage DrawScene() {
    QImage scene(320, 240, QImage::Format_RGB32);
    QPainter p(&scene);
    QLinearGradient sky(0, 0, 0, 150);
    sky.setColorAt(0, QColor(70, 90, 120));
    sky.setColorAt(1, QColor(150, 160, 170));
    p.fillRect(0, 0, 320, 150, sky);
    p.fillRect(0, 150, 320, 90, QColor(95, 85, 70));
    p.fillRect(130, 70, 60, 110, QColor(60, 45, 35));
    p.fillRect(140, 80, 40, 100, QColor(30, 25, 20));
    p.setBrush(QColor(200, 190, 120));
    p.drawEllipse(QPoint(270, 40), 18, 18);
    p.end();
    CFrameImage image;
    image.bgrx.resize(320 * 240 * 4);
    for (int y = 0; y < 240; ++y)
        std::memcpy(image.bgrx.data() + y * 320 * 4, scene.constScanLine(y), 320 * 4);
    return image;
}

// Texts that do not fit their control, as "page: text".
std::vector<std::string> ClippedTexts(QWidget* page, const std::string& name) {
    std::vector<std::string> clipped;
    for (QWidget* w : page->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        QString text;
        bool fits = true;
        if (auto* label = qobject_cast<QLabel*>(w)) {
            text = label->text();
            fits = label->wordWrap() ? label->heightForWidth(label->width()) <= label->height() + 2
                                     : label->sizeHint().width() <= label->width();
        } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
            text = button->text();
            // Check boxes need their box beside the text; push buttons a margin.
            fits = qobject_cast<QCheckBox*>(w)
                       ? button->sizeHint().width() <= button->width()
                       : button->fontMetrics().horizontalAdvance(text) + 6 <= button->width();
        } else if (auto* group = qobject_cast<QGroupBox*>(w)) {
            text = group->title();
            fits = group->fontMetrics().horizontalAdvance(text) + 8 <= group->width();
        }
        if (!fits)
            clipped.push_back(name + ": " + text.toStdString());
    }
    return clipped;
}

// Controls that overlap one another (group boxes frame others and do not count).
std::vector<std::string> Overlaps(QWidget* page, const std::string& name) {
    std::vector<QWidget*> controls;
    for (QWidget* w : page->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (!qobject_cast<QGroupBox*>(w))
            controls.push_back(w);
    std::vector<std::string> overlaps;
    for (size_t i = 0; i < controls.size(); ++i)
        for (size_t j = i + 1; j < controls.size(); ++j)
            if (controls[i]->geometry().intersects(controls[j]->geometry()))
                overlaps.push_back(name + ": " + controls[i]->objectName().toStdString() + "/" +
                                   controls[j]->objectName().toStdString());
    return overlaps;
}

using SetupLayout = SetupDialogTest;

TEST_F(SetupLayout, EveryTextFitsItsControlAndNoneOverlapWithTheSystemFont) {
    devices = {"Integrated Camera", "USB Video Device"};
    settings->VIDEO_SRC = "USB Video Device";
    settings->VIDEO_OVE = " FRONT DOOR ";
    settings->MOTION_R_ENA = 1;
    settings->EMAIL_ENA = 1;
    settings->EMAIL_SMTP = "mail.example.net";
    settings->EMAIL_TO = "me@example.net";
    settings->EMAIL_FROM = "camera@example.net";
    settings->EMAIL_CUS = "Someone is at the front door.";
    settings->CAPTURE_PTH = "/home/user/oculon/captured";
    // The longest kind of line under the schedule's edit.
    settings->ARM_SCHEDULE = "Mon-Fri 22:00-06:30; Saturday and Sunday 00:00-24:00";
    picture = DrawScene();
    auto dialog = MakeDialog();
    std::vector<std::string> clipped;
    for (int i = 0; i < dialog->TabControl()->count(); ++i) {
        dialog->TabControl()->setCurrentIndex(i);
        QWidget* page = dialog->TabControl()->currentWidget();
        const QString name =
            dialog->TabControl()->tabText(i).toLower().remove('&').simplified().replace(' ', '-');
        for (const std::string& c : ClippedTexts(page, name.toStdString()))
            clipped.push_back(c);
        for (const std::string& c : Overlaps(page, name.toStdString()))
            clipped.push_back(c);
        MaybeSaveScreenshot(dialog.get(), QStringLiteral("setup-%1.png").arg(name));
    }
    EXPECT_TRUE(clipped.empty()) << ::testing::PrintToString(clipped);
}

TEST_F(SetupLayout, VersionCheckTextFits) {
    DLG_CheckVersion check(nullptr, [](const QUrl&) {});
    check.show();
    check.StatusText()->SetStatusText("There's a newer version available: V2.10\r\r"
                                      "Pressing the 'Get new version...' button below\r"
                                      "will cause the application to shut down\r"
                                      "before directing you to the download page.");
    check.GetNewButton()->setEnabled(true);
    CStatusLabel* label = check.StatusText();
    EXPECT_LE(label->heightForWidth(label->width()), label->height());
    MaybeSaveScreenshot(&check, QStringLiteral("version-check.png"));
}

} // namespace
