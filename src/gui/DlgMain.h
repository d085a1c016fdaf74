#pragma once
#include <QDialog>
#include <QTimer>

class IClock;

// The program's main window; it drives everything through its 5 ms tick.
class DLG_Main : public QDialog {
    Q_OBJECT
public:
    explicit DLG_Main(const IClock& clock, QWidget* parent = nullptr);

    static constexpr int kTickMs = 5;

public slots:
    // Esc and the close box ask for the deferred close instead of ending at once.
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void OnTimer();

    const IClock& m_clock;
    QTimer m_timer;
};
