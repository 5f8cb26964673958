// The preview window: a top-level window with an embedded browser that shows the site's start
// page, the help page or the manual. Hidden until a command shows it; keeps its last page.
#pragma once

#include <QMainWindow>
#include <QPointer>

class QAction;
class QWebEngineView;

// Switches off the browser engine's sandbox when the program runs as root, where the engine
// refuses to start with it; a normal user keeps the sandbox. Call before QApplication exists.
void PrepareWebEngineEnvironment();

// A normal top-level window without a Qt parent, so the window manager treats it like any other
// window. Its owner (the main window) must delete it before QApplication ends; as a safety net
// the browser itself goes away when the application is about to quit.
class PreviewWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit PreviewWindow(QWidget* mainWindow);
    ~PreviewWindow() override;

    // Navigates to a local file (HTML with its scripts, or PDF), sets the caption and shows the
    // window (centred on the main window the first time). The browser is created on first use.
    void showPage(const QString& path, const QString& caption);
    // The file last navigated to; empty before the first page.
    QString currentPath() const;

    // The embedded browser, or nullptr while no page was shown yet.
    QWebEngineView* webBrowser() const { return WebBrowser1; }
    // Creates the browser if it does not exist yet and returns it.
    QWebEngineView* ensureWebBrowser();

public slots:
    // "&Datei" / "&Beenden": hides the window; the page stays for the next time.
    void closePreview();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void releaseWebBrowser();
    void centreOnMainWindow();

    QPointer<QWidget> mainWindow_;
    QWebEngineView* WebBrowser1 = nullptr;
    QAction* Beenden1 = nullptr;
    QString currentPath_;
    bool shownBefore_ = false;
};
