#include "preview_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QMenuBar>
#include <QScreen>
#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineSettings>
#include <QWebEngineView>

#include <unistd.h>

void PrepareWebEngineEnvironment() {
    // The engine's renderer sandbox cannot run as root; switching it off for everyone would
    // weaken every normal user's browser for no reason.
    if (geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
}

PreviewWindow::PreviewWindow(QWidget* mainWindow) : QMainWindow(nullptr), mainWindow_(mainWindow) {
    setObjectName(QStringLiteral("WebAnzeigeForm"));
    setWindowTitle(QStringLiteral("Hilfe - Inhalt"));
    resize(760, 570);
    // An open preview must not keep the program running once the main window is closed.
    setAttribute(Qt::WA_QuitOnClose, false);

    QMenu* datei = menuBar()->addMenu(QStringLiteral("&Datei"));
    datei->setObjectName(QStringLiteral("Datei1"));
    Beenden1 = datei->addAction(QStringLiteral("&Beenden"));
    Beenden1->setObjectName(QStringLiteral("Beenden1"));
    connect(Beenden1, &QAction::triggered, this, &PreviewWindow::closePreview);

    // Web views must be gone before QApplication, or the engine warns about a profile still in
    // use; an owner that forgets to delete this window must not leave one behind.
    connect(qApp, &QCoreApplication::aboutToQuit, this, &PreviewWindow::releaseWebBrowser);
}

PreviewWindow::~PreviewWindow() {
    releaseWebBrowser();
}

QWebEngineView* PreviewWindow::ensureWebBrowser() {
    if (WebBrowser1) return WebBrowser1;
    // Created on first use: the engine's page and profile cost noticeable start-up time that a
    // user who never opens the preview should not pay.
    WebBrowser1 = new QWebEngineView(this);
    WebBrowser1->setObjectName(QStringLiteral("WebBrowser1"));
    QWebEngineSettings* settings = WebBrowser1->settings();
    // The built-in PDF viewer is a plugin: without plugins the manual would stay blank.
    settings->setAttribute(QWebEngineSettings::PluginsEnabled, true);
    settings->setAttribute(QWebEngineSettings::PdfViewerEnabled, true);
    settings->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, true);
    setCentralWidget(WebBrowser1);
    return WebBrowser1;
}

void PreviewWindow::releaseWebBrowser() {
    if (!WebBrowser1) return;
    delete WebBrowser1; // takes the central widget slot with it
    WebBrowser1 = nullptr;
}

void PreviewWindow::showPage(const QString& path, const QString& caption) {
    QWebEngineView* browser = ensureWebBrowser();
    currentPath_ = path;
    browser->load(QUrl::fromLocalFile(path));
    setWindowTitle(caption);
    show();
    // Centred after showing, when the window frame is known.
    if (!shownBefore_) {
        centreOnMainWindow();
        shownBefore_ = true;
    }
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

void PreviewWindow::centreOnMainWindow() {
    QRect area;
    if (mainWindow_ && mainWindow_->isVisible())
        area = mainWindow_->frameGeometry();
    else if (QScreen* screen = mainWindow_ ? mainWindow_->screen() : QGuiApplication::primaryScreen())
        area = screen->availableGeometry();
    if (area.isEmpty()) return;
    QRect frame = frameGeometry();
    frame.moveCenter(area.center());
    move(frame.topLeft());
}
