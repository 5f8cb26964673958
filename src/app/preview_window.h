// The preview window: a top-level window with an embedded browser that shows the site's start
// page, the help page or the manual. Hidden until a command shows it; keeps its last page.
#pragma once

#include <QElapsedTimer>
#include <QMainWindow>
#include <QPointF>
#include <QPointer>
#include <QUrl>

#include <optional>

class PreviewSchemeHandler;
class QAction;
class QCheckBox;
class QLabel;
class QToolBar;
class QWebEngineProfile;
class QWebEngineView;

// Switches off the browser engine's sandbox when the program runs as root, where the engine
// refuses to start with it; a normal user keeps the sandbox. Also registers the preview's own
// scheme. Call before QApplication exists.
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
    // window (beside the main window the first time). The browser is created on first use.
    void showPage(const QString& path, const QString& caption);
    // The file last navigated to; empty before the first page.
    QString currentPath() const;

    // Shows a page of the site (or the built-in page) served by siteServer(), with the "Auswahl
    // folgen" box; `activate` false leaves the focus where it is (the preview follows the tree).
    void showSitePage(const QUrl& url, const QString& caption, bool activate = true);
    // Whether the window is open on a page of the site (not on the help or the manual).
    bool showsSite() const;
    // Loads `url` (the shown page under a new address, see PreviewSchemeHandler::renewed) and
    // scrolls it to where the shown page was; a call while a load is under way loads once more
    // after it.
    void reloadKeepingScroll(const QUrl& url);
    // What the site's pages and the menu script file come from.
    PreviewSchemeHandler* siteServer() const { return siteServer_; }
    // "Auswahl folgen": the preview shows the page of the entry selected in the site tree.
    bool followsSelection() const;

    // The embedded browser, or nullptr while no page was shown yet.
    QWebEngineView* webBrowser() const { return browser_; }
    // Creates the browser if it does not exist yet and returns it.
    QWebEngineView* ensureWebBrowser();

signals:
    // A page of the site finished loading (and is back at its scroll position after a reload).
    void sitePageReady(bool ok);
    void followSelectionToggled(bool on);

public slots:
    // "&Datei" / "&Beenden": hides the window; the page stays for the next time.
    void closePreview();

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void releaseWebBrowser();
    void placeBesideMainWindow();
    // A reload shows a blank page until the new one paints: the last picture of the page stands
    // over the browser meanwhile.
    void coverBrowser();
    void uncoverBrowser();
    void showWindow(bool activate);
    void finishLoad(bool ok);

    QPointer<QWidget> mainWindow_;
    PreviewSchemeHandler* siteServer_ = nullptr;
    QWebEngineProfile* profile_ = nullptr;
    QWebEngineView* browser_ = nullptr;
    QToolBar* siteBar_ = nullptr;
    QCheckBox* followSelection_ = nullptr;
    QLabel* cover_ = nullptr;
    bool showingSite_ = false;
    bool loading_ = false;
    QElapsedTimer loadingSince_;
    static constexpr int kLoadPatienceMs = 3000;
    QUrl queuedUrl_;
    std::optional<QPointF> pendingScroll_;
    QAction* closeAction_ = nullptr;
    QString currentPath_;
    bool shownBefore_ = false;
};
