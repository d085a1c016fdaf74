#pragma once
#include <QUrl>
#include <QWidget>

#include <functional>

class QTextBrowser;

// The program's own window for the user guide: the Markdown guide with its
// pictures, links inside the guide followed in place, web links handed to the
// desktop's browser.
class CHelpWindow : public QWidget {
    Q_OBJECT
public:
    using UrlOpener = std::function<void(const QUrl&)>;

    // A top-level window owned by `owner` (it ends with it).
    explicit CHelpWindow(QWidget* owner);

    // Shows the guide file; its pictures are looked up beside it.
    void Load(const QString& guideFile);
    QTextBrowser* Browser() const { return m_browser; }

    // What every help command does: the guide in the help window of `owner`'s
    // window (made on first use, brought to the front afterwards). Without a
    // guide beside the program, the guide's address on the product site goes to
    // `openExternal` (the desktop's browser when empty) and null is returned.
    static CHelpWindow* ShowUserGuide(QWidget* owner, const UrlOpener& openExternal);

private:
    QTextBrowser* m_browser;
};
