#include "preview_window.h"

#include "preview_scheme_handler.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QLabel>
#include <QMenuBar>
#include <QScreen>
#include <QToolBar>
#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineView>

#include <algorithm>
#include <utility>

#include <unistd.h>

void PrepareWebEngineEnvironment() {
    // The engine's renderer sandbox cannot run as root; switching it off for everyone would
    // weaken every normal user's browser for no reason.
    if (geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    RegisterPreviewScheme();
}

PreviewWindow::PreviewWindow(QWidget* mainWindow) : QMainWindow(nullptr), mainWindow_(mainWindow) {
    setObjectName(QStringLiteral("WebAnzeigeForm"));
    setWindowTitle(QStringLiteral("Hilfe - Inhalt"));
    resize(760, 570);
    // An open preview must not keep the program running once the main window is closed.
    setAttribute(Qt::WA_QuitOnClose, false);

    QMenu* datei = menuBar()->addMenu(QStringLiteral("&Datei"));
    datei->setObjectName(QStringLiteral("Datei1"));
    closeAction_ = datei->addAction(QStringLiteral("&Beenden"));
    closeAction_->setObjectName(QStringLiteral("Beenden1"));
    connect(closeAction_, &QAction::triggered, this, &PreviewWindow::closePreview);

    siteBar_ = addToolBar(QStringLiteral("Vorschau"));
    siteBar_->setObjectName(QStringLiteral("tbPreview"));
    siteBar_->setMovable(false);
    followSelection_ = new QCheckBox(QStringLiteral("Auswahl folgen"), siteBar_);
    followSelection_->setObjectName(QStringLiteral("cbFollowSelection"));
    followSelection_->setToolTip(QStringLiteral("Zeigt die Seite des im Baum gewählten Eintrags"));
    siteBar_->addWidget(followSelection_);
    siteBar_->hide(); // only the site's pages have an entry to follow
    connect(followSelection_, &QCheckBox::toggled, this, &PreviewWindow::followSelectionToggled);
    cover_ = new QLabel(this);
    cover_->setObjectName(QStringLiteral("lPreviewCover"));
    cover_->hide();

    // The handler is cheap; the engine behind it is made with the browser.
    siteServer_ = new PreviewSchemeHandler(this);

    // Web views must be gone before QApplication, or the engine warns about a profile still in
    // use; an owner that forgets to delete this window must not leave one behind.
    connect(qApp, &QCoreApplication::aboutToQuit, this, &PreviewWindow::releaseWebBrowser);
}

PreviewWindow::~PreviewWindow() {
    releaseWebBrowser();
}

QWebEngineView* PreviewWindow::ensureWebBrowser() {
    if (browser_) return browser_;
    // Created on first use: the engine's page and profile cost noticeable start-up time that a
    // user who never opens the preview should not pay.
    // A profile of its own, so that each window's pages come from its own project.
    if (!profile_) {
        profile_ = new QWebEngineProfile(this);
        // The menu script file changes with every edit under the same address: a cached copy
        // would show an old state.
        profile_->setHttpCacheType(QWebEngineProfile::NoCache);
        profile_->installUrlSchemeHandler(kPreviewScheme, siteServer_);
    }
    browser_ = new QWebEngineView(this);
    browser_->setObjectName(QStringLiteral("WebBrowser1"));
    browser_->setPage(new QWebEnginePage(profile_, browser_));
    connect(browser_, &QWebEngineView::loadStarted, this, [this] {
        loading_ = true;
        loadingSince_.start();
    });
    connect(browser_, &QWebEngineView::loadFinished, this, &PreviewWindow::finishLoad);
    QWebEngineSettings* settings = browser_->settings();
    // The built-in PDF viewer is a plugin: without plugins the manual would stay blank.
    settings->setAttribute(QWebEngineSettings::PluginsEnabled, true);
    settings->setAttribute(QWebEngineSettings::PdfViewerEnabled, true);
    settings->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, true);
    setCentralWidget(browser_);
    return browser_;
}

void PreviewWindow::releaseWebBrowser() {
    if (!browser_) return;
    delete browser_; // takes the central widget slot and the page with it
    browser_ = nullptr;
    // Only now: a profile deleted before its pages leaves the engine in trouble.
    delete profile_;
    profile_ = nullptr;
    loading_ = false;
    queuedUrl_.clear();
    pendingScroll_.reset();
    uncoverBrowser();
}

void PreviewWindow::showPage(const QString& path, const QString& caption) {
    QWebEngineView* browser = ensureWebBrowser();
    currentPath_ = path;
    showingSite_ = false;
    siteBar_->hide();
    pendingScroll_.reset();
    uncoverBrowser();
    browser->load(QUrl::fromLocalFile(path));
    setWindowTitle(caption);
    showWindow(true);
}

void PreviewWindow::showSitePage(const QUrl& url, const QString& caption, bool activate) {
    QWebEngineView* browser = ensureWebBrowser();
    currentPath_ = url.path(QUrl::FullyDecoded);
    showingSite_ = true;
    siteBar_->show();
    // Another page: its own scroll position, and no reload waiting for the last one.
    pendingScroll_.reset();
    queuedUrl_.clear();
    uncoverBrowser();
    browser->load(url);
    setWindowTitle(caption);
    showWindow(activate);
}

bool PreviewWindow::showsSite() const {
    return showingSite_ && browser_ && isVisible();
}

bool PreviewWindow::followsSelection() const {
    return followSelection_->isChecked();
}

void PreviewWindow::reloadKeepingScroll(const QUrl& url) {
    if (!browser_) return;
    // A load the engine never reports on must not hold every later change back.
    if (loading_ && loadingSince_.isValid() && loadingSince_.elapsed() > kLoadPatienceMs) loading_ = false;
    if (loading_) {
        // The page under way has no scroll position of its own yet; the one read before it
        // still holds.
        queuedUrl_ = url;
        return;
    }
    loading_ = true; // from now: a second call must not read the position half-way
    loadingSince_.start();
    QPointer<PreviewWindow> self(this);
    QWebEngineView* browser = browser_;
    browser->page()->runJavaScript(QStringLiteral("[window.scrollX, window.scrollY]"),
                                   [self, browser, url](const QVariant& result) {
                                       if (!self || self->browser_ != browser) return;
                                       const QVariantList xy = result.toList();
                                       if (xy.size() == 2)
                                           self->pendingScroll_ = QPointF(xy[0].toDouble(), xy[1].toDouble());
                                       self->coverBrowser();
                                       browser->load(url);
                                   });
}

void PreviewWindow::finishLoad(bool ok) {
    loading_ = false;
    if (!queuedUrl_.isEmpty()) {
        loading_ = true;
        loadingSince_.start();
        // Not from inside the engine's own load-finished report: a load started there can stall
        // with a blank page and never report.
        QMetaObject::invokeMethod(
            this,
            [this, browser = QPointer<QWebEngineView>(browser_), url = std::exchange(queuedUrl_, QUrl())] {
                if (browser && browser == browser_) browser->load(url);
            },
            Qt::QueuedConnection);
        return;
    }
    if (!showingSite_) {
        uncoverBrowser();
        return;
    }
    if (!pendingScroll_) {
        uncoverBrowser();
        emit sitePageReady(ok);
        return;
    }
    const QPointF at = *std::exchange(pendingScroll_, std::nullopt);
    QPointer<PreviewWindow> self(this);
    browser_->page()->runJavaScript(QStringLiteral("window.scrollTo(%1, %2)").arg(at.x()).arg(at.y()),
                                    [self, ok](const QVariant&) {
                                        if (!self) return;
                                        self->uncoverBrowser();
                                        emit self->sitePageReady(ok);
                                    });
}

void PreviewWindow::showWindow(bool activate) {
    show();
    // Placed after showing, when the window frame is known.
    if (!shownBefore_) {
        placeBesideMainWindow();
        shownBefore_ = true;
    }
    if (!activate) return;
    raise();
    activateWindow();
}

QString PreviewWindow::currentPath() const {
    return currentPath_;
}

void PreviewWindow::closePreview() {
    hide();
}

void PreviewWindow::closeEvent(QCloseEvent* event) {
    // The close box only hides: the window and its page live until the program ends.
    hide();
    event->accept();
}

void PreviewWindow::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    if (cover_->isVisible() && browser_) cover_->setGeometry(browser_->geometry());
}

void PreviewWindow::coverBrowser() {
    if (!browser_ || !browser_->isVisible()) return;
    cover_->setPixmap(browser_->grab());
    cover_->setGeometry(browser_->geometry());
    cover_->show();
    cover_->raise();
}

void PreviewWindow::uncoverBrowser() {
    cover_->hide();
    cover_->clear();
}

void PreviewWindow::placeBesideMainWindow() {
    QScreen* screen = mainWindow_ ? mainWindow_->screen() : QGuiApplication::primaryScreen();
    if (!screen) return;
    const QRect area = screen->availableGeometry();
    QRect frame = frameGeometry();
    if (!mainWindow_ || !mainWindow_->isVisible()) {
        frame.moveCenter(area.center());
        move(frame.topLeft());
        return;
    }
    // The user edits in the main window and watches the preview: side by side, on the side with
    // more room, narrower if need be, but not below the width where the menus take their
    // small-screen form (600 px and a scroll bar): the preview would not show what desktop
    // visitors see. Where that much room is missing it overlaps the main window least.
    constexpr int DesktopLayoutWidth = 640;
    const QRect main = mainWindow_->frameGeometry();
    const int roomRight = area.right() - main.right();
    const int roomLeft = main.left() - area.left();
    const bool right = roomRight >= roomLeft;
    const int width = std::min(frame.width(), std::max(right ? roomRight : roomLeft, DesktopLayoutWidth));
    const int height = std::min(frame.height(), area.height());
    resize(width - (frame.width() - this->width()), height - (frame.height() - this->height()));
    const int x = std::clamp(right ? main.right() + 1 : main.left() - width, area.left(),
                             std::max(area.left(), area.right() + 1 - width));
    const int y = std::clamp(main.top(), area.top(), std::max(area.top(), area.bottom() + 1 - height));
    move(x, y);
}
