#pragma once
#include <QRect>
#include <QWidget>
#include <functional>
#include <string>
#include <vector>

class CAppSettings;
class CArrowPair;
class IAlertSound;
class QCheckBox;
class QFont;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QUrl;
struct CFrameImage;

// What the setup dialog needs of the rest of the program. Each piece may be
// left empty; the dialog then simply goes without it, which is how tests run
// it without a camera, a sound device or a browser.
struct CSetupServices {
    CAppSettings* settings = nullptr;
    // The capture devices' display names, enumerated afresh.
    std::function<std::vector<std::string>()> buildDeviceNames;
    // Re-arms detection after OK.
    std::function<void()> resetDetection;
    // Opens the device now named in VIDEO_SRC.
    std::function<void()> chooseAndStartDevice;
    IAlertSound* sound = nullptr;
    // Bits per pixel the video window works at (the opacity needs 32).
    int videoDepth = 32;
    // The last picture for the region selector: shown only while the frame
    // source runs; a null image leaves just the outlines.
    std::function<bool()> sourceRunning;
    std::function<const CFrameImage*()> currentImage;
    // Opens a page in the browser (help, download page).
    std::function<void(const QUrl&)> openUrl;
    // Runs the version check modally; true when it ended with OK.
    std::function<bool(QWidget* parent)> runVersionCheck;
    // Asks the program to close (the user left for a new version's download).
    std::function<void()> requestClose;
};

// Dialog units to pixels with the classic rule: x * baseX / 4, y * baseY / 8,
// base units taken from the dialog's font (average letter width, line height)
// so that the layout grows with it.
class CDialogUnits {
public:
    explicit CDialogUnits(const QFont& font);
    CDialogUnits(double baseX, double baseY) : m_baseX(baseX), m_baseY(baseY) {}
    int X(int dlu) const;
    int Y(int dlu) const;
    QRect Rect(int x, int y, int w, int h) const { return QRect(X(x), Y(y), X(w), Y(h)); }
    double BaseX() const { return m_baseX; }
    double BaseY() const { return m_baseY; }

    // Never smaller than these, so that the region selector (211 x 137 units)
    // covers at least the 320 x 240 frame and the conversion of its corners
    // between window pixels and frame coordinates comes back unchanged.
    static constexpr double kMinBaseX = 7;
    static constexpr double kMinBaseY = 15;

private:
    // Kept unrounded: the texts were fitted to their controls, and a rounded
    // width unit would squeeze them with some fonts.
    double m_baseX;
    double m_baseY;
};

// A page of the setup dialog. It edits its own copy of its settings (its held
// values): update-controls writes every control from them, read-controls takes
// every control back, and Save stores them when the dialog ends with OK.
// Enter and Esc do nothing on a page. Controls carry their identifier as the
// object name "id<number>".
class CSetupPage : public QWidget {
    Q_OBJECT
public:
    CSetupPage(const CSetupServices& services, const CDialogUnits& units, QWidget* parent);

    virtual void UpdateControls() = 0;
    virtual void ReadControls() = 0;
    // Read-controls, then the held values into the settings record.
    virtual void Save(CAppSettings& settings) = 0;

    // The control with that identifier, or null.
    QWidget* Control(int id) const;
    template <typename T> T* ControlAs(int id) const { return qobject_cast<T*>(Control(id)); }

    // The arrow rule: a positive step lowers the value by one, any other raises
    // it by one, never beyond the limits.
    static void StepValue(int& value, int step, int minimum, int maximum);
    // Signed decimal text; anything else reads as 0.
    static int ReadNumber(const QLineEdit* box);
    static void WriteNumber(QLineEdit* box, int value);
    static void SetTicked(QCheckBox* box, int held);
    static int Ticked(const QCheckBox* box);
    // Every "MIN" and "MAX" in the text replaced by the limits.
    static QString WithLimits(QString text, int minimum, int maximum);

protected:
    void keyPressEvent(QKeyEvent* event) override;

    QGroupBox* AddGroup(const QString& title, QRect dlu, int id = 0);
    QLabel* AddLabel(const QString& text, QRect dlu, int id = 0,
                     Qt::Alignment align = Qt::AlignLeft | Qt::AlignTop);
    QCheckBox* AddCheck(const QString& text, QRect dlu, int id);
    QLineEdit* AddEdit(QRect dlu, int id);
    // Read-only and centred: its value changes only through its arrow pair.
    QLineEdit* AddNumberBox(QRect dlu, int id);
    CArrowPair* AddArrowPair(QRect dlu, int id, QLineEdit* numberBox);
    QPushButton* AddButton(const QString& text, QRect dlu, int id);
    void Place(QWidget* widget, QRect dlu, int id);

    const CSetupServices& m_services;
    const CDialogUnits m_units;
};

// Convenience for the tables: a rectangle in dialog units.
inline QRect Dlu(int x, int y, int w, int h) {
    return QRect(x, y, w, h);
}

// The first `count` characters of UTF-8 text (never a part of a character).
std::string CutToCharacters(const std::string& text, size_t count);
