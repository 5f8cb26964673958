// The preview window on its own: lazy browser, hiding instead of closing, HTML pages with their
// scripts, PDF files in the same window.
#include "preview_window.h"

#include <QApplication>
#include <QImage>
#include <QMenuBar>
#include <QPainter>
#include <QPdfWriter>
#include <QScreen>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <unistd.h>

namespace {

// Runs a script in the page and waits for its result.
QVariant evalJs(QWebEngineView* view, const QString& script) {
    QVariant result;
    bool done = false;
    view->page()->runJavaScript(script, [&](const QVariant& v) {
        result = v;
        done = true;
    });
    if (!QTest::qWaitFor([&] { return done; }, 10000)) return QVariant(QStringLiteral("<timeout>"));
    return result;
}

bool waitForLoad(QSignalSpy& spy) {
    if (spy.isEmpty() && !spy.wait(20000)) return false;
    return spy.takeFirst().at(0).toBool();
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// A two-page PDF with large black text, so a rendered page is visibly not blank.
void writePdf(const QString& path) {
    QPdfWriter writer(path);
    writer.setResolution(72);
    QPainter p(&writer);
    QFont font = p.font();
    font.setPointSize(48);
    p.setFont(font);
    p.fillRect(QRect(40, 40, 400, 200), Qt::black);
    p.drawText(QPoint(60, 320), QStringLiteral("Seite 1"));
    writer.newPage();
    p.drawText(QPoint(60, 320), QStringLiteral("Seite 2"));
}

// Counts the distinct colours of a grabbed widget; a blank view has one.
int distinctColours(QWidget* w) {
    const QImage img = w->grab().toImage();
    QSet<QRgb> colours;
    for (int y = 0; y < img.height(); y += 4)
        for (int x = 0; x < img.width(); x += 4)
            colours.insert(img.pixel(x, y));
    return colours.size();
}

} // namespace

class PreviewWindowTest : public QObject {
    Q_OBJECT
private slots:
    void startsHiddenWithoutBrowser();
    void showsHtmlPageWithScriptsBesideTheMainWindow();
    void reloadKeepsTheOldPictureUntilTheNewPageIsReady();
    void hidingKeepsThePage();
    void showsPdfInTheSameWindow();
    void closingTheMainWindowEndsTheProgram();
    void sandboxOffOnlyForRoot();

private:
    QTemporaryDir dir_;
};

void PreviewWindowTest::startsHiddenWithoutBrowser() {
    QWidget main;
    PreviewWindow form(&main);
    QVERIFY(!form.isVisible());
    QCOMPARE(form.windowTitle(), QStringLiteral("Hilfe - Inhalt"));
    QCOMPARE(form.size(), QSize(760, 570));
    QVERIFY(form.parent() == nullptr);
    QVERIFY(form.webBrowser() == nullptr);
    QVERIFY(form.currentPath().isEmpty());

    const QList<QAction*> menus = form.menuBar()->actions();
    QCOMPARE(menus.size(), 1);
    QCOMPARE(menus.first()->text(), QStringLiteral("&Datei"));
    QCOMPARE(menus.first()->menu()->actions().size(), 1);
    QCOMPARE(menus.first()->menu()->actions().first()->text(), QStringLiteral("&Beenden"));
}

void PreviewWindowTest::showsHtmlPageWithScriptsBesideTheMainWindow() {
    // The page's inline script, its external script and its style sheet must all take effect.
    writeFile(dir_.filePath("style.css"), "#m { color: rgb(1, 2, 3); }\n");
    writeFile(dir_.filePath("lib.js"),
              "function build() { var d = document.createElement('div');"
              " d.id = 'm'; d.textContent = 'Start'; document.body.appendChild(d); }\n");
    writeFile(dir_.filePath("index.htm"),
              "<html><head><link rel=stylesheet href=style.css><script src=lib.js></script></head>"
              "<body><script>build();</script></body></html>\n");

    // Where the screen leaves room beside the main window, the preview opens there, not over it.
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    QWidget main;
    main.setGeometry(screen.left(), screen.top(), std::max(100, screen.width() - 700), 300);
    main.show();
    QVERIFY(QTest::qWaitForWindowExposed(&main));
    PreviewWindow form(&main);
    form.showPage(dir_.filePath("index.htm"), QStringLiteral("Vorschau: x"));
    QVERIFY(form.webBrowser() != nullptr);
    QSignalSpy loaded(form.webBrowser(), &QWebEngineView::loadFinished);
    QVERIFY(waitForLoad(loaded));

    QVERIFY(form.isVisible());
    QCOMPARE(form.windowTitle(), QStringLiteral("Vorschau: x"));
    QCOMPARE(form.currentPath(), dir_.filePath("index.htm"));
    QCOMPARE(evalJs(form.webBrowser(), "document.getElementById('m').textContent").toString(),
             QStringLiteral("Start"));
    QCOMPARE(evalJs(form.webBrowser(), "getComputedStyle(document.getElementById('m')).color").toString(),
             QStringLiteral("rgb(1, 2, 3)"));
    QVERIFY(!form.frameGeometry().intersects(main.frameGeometry()));
    QVERIFY(screen.contains(form.frameGeometry()));
    QCOMPARE(form.frameGeometry().top(), main.frameGeometry().top());

    // Later pages reuse the window where the user left it.
    form.move(5, 5);
    const QPoint moved = form.pos();
    form.showPage(dir_.filePath("index.htm"), QStringLiteral("Hilfe - Inhalt"));
    QVERIFY(waitForLoad(loaded));
    QCOMPARE(form.pos(), moved);
    QCOMPARE(form.windowTitle(), QStringLiteral("Hilfe - Inhalt"));
}

// A reload of the shown page (every live edit) shows the last picture of the page until the new
// one is loaded and back at its scroll position, so the window does not flash white.
void PreviewWindowTest::reloadKeepsTheOldPictureUntilTheNewPageIsReady() {
    writeFile(dir_.filePath("bunt.htm"), "<html><body style='background: rgb(0, 128, 0); margin: 0'>"
                                         "<div style='height: 3000px'></div></body></html>\n");
    QWidget main;
    PreviewWindow form(&main);
    const QUrl url = QUrl::fromLocalFile(dir_.filePath("bunt.htm"));
    QSignalSpy ready(&form, &PreviewWindow::sitePageReady);
    form.showSitePage(url, QStringLiteral("Vorschau: bunt"));
    QVERIFY(ready.wait(20000));
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    evalJs(form.webBrowser(), "window.scrollTo(0, 500); 0");

    bool coveredWhileLoading = false;
    QImage picture;
    connect(form.webBrowser(), &QWebEngineView::loadStarted, &form, [&] {
        auto* cover = form.findChild<QWidget*>(QStringLiteral("lPreviewCover"));
        if (!cover || !cover->isVisible()) return;
        coveredWhileLoading = cover->geometry() == form.webBrowser()->geometry();
        picture = cover->grab().toImage();
    });
    form.reloadKeepingScroll(url);
    QVERIFY(ready.wait(20000));
    QVERIFY(coveredWhileLoading);
    // The picture is the page as it was: green, not blank.
    QCOMPARE(QColor(picture.pixel(picture.width() / 2, picture.height() / 2)), QColor(0, 128, 0));
    QVERIFY(!form.findChild<QWidget*>(QStringLiteral("lPreviewCover"))->isVisible());
    QCOMPARE(evalJs(form.webBrowser(), "window.scrollY").toInt(), 500);
}

void PreviewWindowTest::hidingKeepsThePage() {
    writeFile(dir_.filePath("a.htm"), "<html><body><p id=p>A</p></body></html>\n");
    QWidget main;
    PreviewWindow form(&main);
    form.showPage(dir_.filePath("a.htm"), QStringLiteral("Vorschau: a"));
    QSignalSpy loaded(form.webBrowser(), &QWebEngineView::loadFinished);
    QVERIFY(waitForLoad(loaded));
    QWebEngineView* browser = form.webBrowser();

    form.findChild<QAction*>(QStringLiteral("Beenden1"))->trigger();
    QVERIFY(!form.isVisible());
    form.show();
    QVERIFY(form.close());
    QVERIFY(!form.isVisible());

    // Still the same browser with the same page and caption.
    QCOMPARE(form.webBrowser(), browser);
    QCOMPARE(browser->url(), QUrl::fromLocalFile(dir_.filePath("a.htm")));
    QCOMPARE(form.windowTitle(), QStringLiteral("Vorschau: a"));
    QCOMPARE(evalJs(browser, "document.getElementById('p').textContent").toString(), QStringLiteral("A"));
}

void PreviewWindowTest::showsPdfInTheSameWindow() {
    const QString pdf = dir_.filePath("doc.pdf");
    writePdf(pdf);
    QWidget main;
    PreviewWindow form(&main);
    form.showPage(dir_.filePath("a.htm"), QStringLiteral("Vorschau: a"));
    QWebEngineView* browser = form.webBrowser();
    QSignalSpy loaded(browser, &QWebEngineView::loadFinished);
    QVERIFY(waitForLoad(loaded));

    form.showPage(pdf, QStringLiteral("Handbuch (PDF-Format)"));
    QCOMPARE(form.webBrowser(), browser);
    QVERIFY(waitForLoad(loaded));
    QCOMPARE(browser->url(), QUrl::fromLocalFile(pdf));
    QCOMPARE(form.windowTitle(), QStringLiteral("Handbuch (PDF-Format)"));
    // The viewer renders asynchronously after the load; a view without the plugin stays blank.
    QTRY_VERIFY_WITH_TIMEOUT(distinctColours(browser) > 4, 10000);
}

void PreviewWindowTest::closingTheMainWindowEndsTheProgram() {
    // Runs the real event loop, which only ends by itself when the last window that counts is
    // closed; the safety timer ends it otherwise. Runs last, as the quit releases all browsers.
    QWidget main;
    main.show();
    PreviewWindow form(&main);
    form.showPage(dir_.filePath("a.htm"), QStringLiteral("Vorschau: a"));
    bool timedOut = false;
    QTimer::singleShot(0, &main, [&] { main.close(); });
    QTimer::singleShot(5000, qApp, [&] {
        timedOut = true;
        QApplication::quit();
    });
    QApplication::exec();
    QVERIFY(!timedOut);
    QVERIFY(form.webBrowser() == nullptr);
}

void PreviewWindowTest::sandboxOffOnlyForRoot() {
    const QByteArray saved = qgetenv("QTWEBENGINE_DISABLE_SANDBOX");
    qunsetenv("QTWEBENGINE_DISABLE_SANDBOX");
    PrepareWebEngineEnvironment();
    QCOMPARE(qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX"), geteuid() == 0);
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", saved);
}

int main(int argc, char* argv[]) {
    PrepareWebEngineEnvironment();
    QApplication app(argc, argv);
    // What the window remembers between runs stays with this run.
    const QTemporaryDir settings;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
    PreviewWindowTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "preview_window_test.moc"
