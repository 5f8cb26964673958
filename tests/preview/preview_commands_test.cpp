// The preview, help and manual commands of the main window, with the preview window's browser
// really loading the pages: the demo site with its menus, the help page and its examples, the
// manual PDF.
#include "edit_state.h"
#include "main_window.h"
#include "preview_test_support.h"
#include "preview_window.h"
#include "project_document.h"
#include "site_page.h"
#include "ui_seams.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineView>

namespace {

bool writeFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// The demo site's menu script with the first entry's file replaced, or with no entries at all.
QByteArray demoScriptWithFirstFile(const QByteArray& file) {
    QByteArray js = readFile(kDemoDir + QStringLiteral("/menu.js"));
    return js.replace("ca[0] = new cr(\"Home\", \"index.htm\"", "ca[0] = new cr(\"Home\", \"" + file + "\"");
}
QByteArray demoScriptWithoutEntries() {
    QString js = QString::fromLatin1(readFile(kDemoDir + QStringLiteral("/menu.js")));
    js.remove(QRegularExpression(QStringLiteral("ca\\[\\d+\\] = new cr\\([^\\n]*\\n")));
    js.replace(QRegularExpression(QStringLiteral("var cs = \\d+;")), QStringLiteral("var cs = 0;"));
    return js.toLatin1();
}

int distinctColours(QWidget* w) {
    const QImage img = w->grab().toImage();
    QSet<QRgb> colours;
    for (int y = 0; y < img.height(); y += 4)
        for (int x = 0; x < img.width(); x += 4)
            colours.insert(img.pixel(x, y));
    return colours.size();
}

} // namespace

class PreviewCommandsTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void noPageForEmptyTree();
    void missingStartPageNamesTheFullPath();
    void firstEntryInSubDirectoryIsLookedForBelowTheProject();
    void previewShowsStartPageWithItsMenus();
    void previewReplacesOpenHelpPage();
    void helpExamplesRenderTheMenus();
    void manualOpensInTheSameWindow();

private:
    std::unique_ptr<MainWindow> makeForm() {
        StartupOptions options;
        options.dataDir = kDataDir;
        auto form = std::make_unique<MainWindow>(options);
        UiTestAccess::skipFirstActivation(*form); // the tests load their projects themselves
        return form;
    }
    // Waits for the preview window's current load; true when it succeeded.
    bool waitForLoad(PreviewWindow* preview) {
        QSignalSpy loaded(preview->webBrowser(), &QWebEngineView::loadFinished);
        if (!loaded.wait(20000)) return false;
        return loaded.first().at(0).toBool();
    }
    std::unique_ptr<QTemporaryDir> dir_;
};

void PreviewCommandsTest::init() {
    MessageBoxes::setTestMode(true);
    MessageBoxes::takeShown();
    dir_ = std::make_unique<QTemporaryDir>();
}

void PreviewCommandsTest::cleanup() {
    dir_.reset();
    MessageBoxes::setTestMode(false);
}

void PreviewCommandsTest::noPageForEmptyTree() {
    // Saved, but the tree is empty.
    const QString project = dir_->filePath("leer.js");
    QVERIFY(writeFile(project, demoScriptWithoutEntries()));
    QVERIFY(writeFile(dir_->filePath("index.htm"), "<html></html>"));
    auto form = makeForm();
    QVERIFY(form->document()->load(project));
    QVERIFY(form->document()->project().tree.empty());
    form->showPreview();
    QCOMPARE(MessageBoxes::takeShown(),
             QStringList{QStringLiteral("info:Keine Seite zum Anzeigen vorhanden")});
    QCOMPARE(previewWindows(), 0);
}

void PreviewCommandsTest::missingStartPageNamesTheFullPath() {
    const QString project = dir_->filePath("menu.js");
    QVERIFY(QFile::copy(kDemoDir + QStringLiteral("/menu.js"), project));
    auto form = makeForm();
    QVERIFY(form->document()->load(project));
    MessageBoxes::takeShown();
    form->showPreview();
    QCOMPARE(MessageBoxes::takeShown(),
             QStringList{QStringLiteral("info:Kann Datei ") + dir_->filePath("index.htm") +
                         QStringLiteral(" nicht öffnen")});
    QCOMPARE(previewWindows(), 0);
}

void PreviewCommandsTest::firstEntryInSubDirectoryIsLookedForBelowTheProject() {
    const QString project = dir_->filePath("menu.js");
    QVERIFY(writeFile(project, demoScriptWithFirstFile("seiten/start.htm")));
    // A file of that name beside the project must not be taken for it.
    QVERIFY(writeFile(dir_->filePath("start.htm"), "<html><body>falsch</body></html>"));
    auto form = makeForm();
    QVERIFY(form->document()->load(project));
    MessageBoxes::takeShown();

    const QString page = dir_->filePath("seiten/start.htm");
    form->showPreview();
    QCOMPARE(MessageBoxes::takeShown(),
             QStringList{QStringLiteral("info:Kann Datei ") + page + QStringLiteral(" nicht öffnen")});

    QVERIFY(writeFile(page, "<html><body><p id=p>Unterseite</p></body></html>"));
    form->showPreview();
    QVERIFY(MessageBoxes::takeShown().isEmpty());
    PreviewWindow* preview = form->previewWindow();
    QVERIFY(preview->isVisible());
    QCOMPARE(preview->windowTitle(), QStringLiteral("Vorschau: ") + page);
    QVERIFY(waitForLoad(preview));
    QCOMPARE(evalJs(preview->webBrowser(), "document.getElementById('p').textContent").toString(),
             QStringLiteral("Unterseite"));
}

void PreviewCommandsTest::previewShowsStartPageWithItsMenus() {
    const QString site = dir_->filePath("site");
    QVERIFY(copyDemo(site));
    auto form = makeForm();
    QVERIFY(form->document()->load(site + QStringLiteral("/menu.js")));
    MessageBoxes::takeShown();
    form->showPreview();
    QVERIFY(MessageBoxes::takeShown().isEmpty());

    PreviewWindow* preview = form->previewWindow();
    const QString start = site + QStringLiteral("/index.htm");
    QCOMPARE(preview->windowTitle(), QStringLiteral("Vorschau: ") + start);
    QCOMPARE(preview->currentPath(), start);
    QVERIFY(preview->isVisible());
    QVERIFY(waitForLoad(preview));
    QWebEngineView* view = preview->webBrowser();

    // The menu script ran in the page: the main menu holds the top-level entries, the start page
    // is marked in it and in the trail, and the generated style sheet applies.
    QCOMPARE(
        jsStrings(view, "[...document.querySelectorAll('ul.quilso_m > li > a')].map(a => a.textContent)"),
        (QStringList{"Home", "Produkte", "Filialen"}));
    QCOMPARE(evalJs(view, "document.getElementById('m_selected').textContent").toString(),
             QStringLiteral("Home"));
    QCOMPARE(jsStrings(view, "[...document.querySelectorAll('ul.quilso_bc a')].map(a => a.textContent)"),
             QStringList{"Home"});
    QCOMPARE(
        evalJs(view, "getComputedStyle(document.getElementById('m_selected')).backgroundColor").toString(),
        QStringLiteral("rgb(0, 0, 255)"));
}

void PreviewCommandsTest::previewReplacesOpenHelpPage() {
    const QString site = dir_->filePath("site");
    QVERIFY(copyDemo(site));
    auto form = makeForm();
    QVERIFY(form->document()->load(site + QStringLiteral("/menu.js")));

    // F1 opens the help.
    form->show();
    QVERIFY(QTest::qWaitForWindowActive(form.get()));
    QTest::keyClick(form.get(), Qt::Key_F1);
    PreviewWindow* preview = form->previewWindow();
    QVERIFY(preview->isVisible());
    QCOMPARE(preview->windowTitle(), QStringLiteral("Hilfe - Inhalt"));
    QVERIFY(waitForLoad(preview));
    QCOMPARE(preview->webBrowser()->url(), QUrl::fromLocalFile(kDataDir + QStringLiteral("/hilfe.htm")));
    QCOMPARE(preview->webBrowser()->title(), QStringLiteral("quilso Hilfe"));

    form->showPreview();
    QCOMPARE(form->previewWindow(), preview);
    QCOMPARE(previewWindows(), 1);
    QCOMPARE(preview->windowTitle(), QStringLiteral("Vorschau: ") + site + QStringLiteral("/index.htm"));
    QVERIFY(waitForLoad(preview));
    QCOMPARE(preview->webBrowser()->url().scheme(), QStringLiteral("quilso-preview"));
    QCOMPARE(preview->currentPath(), site + QStringLiteral("/index.htm"));
    QVERIFY(MessageBoxes::takeShown().isEmpty());
}

void PreviewCommandsTest::helpExamplesRenderTheMenus() {
    // Each copyable page of the help, placed beside a menu script, must show the menus.
    auto form = makeForm();
    form->showHelp();
    PreviewWindow* preview = form->previewWindow();
    QVERIFY(waitForLoad(preview));
    const QStringList examples = jsStrings(
        preview->webBrowser(), "[...document.querySelectorAll('pre.beispiel')].map(p => p.textContent)");
    QCOMPARE(examples.size(), 2);

    for (int i = 0; i < examples.size(); ++i) {
        const QString site = dir_->filePath(QStringLiteral("beispiel%1").arg(i));
        QVERIFY(copyDemo(site));
        QVERIFY(examples[i].contains(QStringLiteral("menu.js")));
        QVERIFY(writeFile(site + QStringLiteral("/index.htm"), examples[i].toUtf8()));
        preview->showPage(site + QStringLiteral("/index.htm"), QStringLiteral("Beispiel"));
        QVERIFY(waitForLoad(preview));
        QWebEngineView* view = preview->webBrowser();
        // The placeholders fill once the document is ready, which can follow the load signal.
        QTRY_COMPARE_WITH_TIMEOUT(
            jsStrings(view, "[...document.querySelectorAll('ul.quilso_m > li > a')].map(a => a.textContent)"),
            (QStringList{"Home", "Produkte", "Filialen"}), 5000);
        QCOMPARE(jsStrings(view, "[...document.querySelectorAll('ul.quilso_bc a')].map(a => a.textContent)"),
                 QStringList{"Home"});
        QCOMPARE(evalJs(view, "getComputedStyle(document.getElementById('m_selected')).backgroundColor")
                     .toString(),
                 QStringLiteral("rgb(0, 0, 255)"));
    }
}

void PreviewCommandsTest::manualOpensInTheSameWindow() {
    const QString manual = kDataDir + QStringLiteral("/quilso_1_0_Handbuch.pdf");
    if (!QFileInfo::exists(manual)) QSKIP("the manual is not built (no Chromium)");
    auto form = makeForm();
    form->showHelp();
    PreviewWindow* preview = form->previewWindow();
    QVERIFY(waitForLoad(preview));

    form->showManual();
    QCOMPARE(form->previewWindow(), preview);
    QCOMPARE(preview->windowTitle(), QStringLiteral("Handbuch (PDF-Format)"));
    QVERIFY(waitForLoad(preview));
    QCOMPARE(preview->webBrowser()->url(), QUrl::fromLocalFile(manual));
    QTRY_VERIFY_WITH_TIMEOUT(distinctColours(preview->webBrowser()) > 4, 10000);
    QVERIFY(MessageBoxes::takeShown().isEmpty());
}

int main(int argc, char* argv[]) {
    PrepareWebEngineEnvironment();
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    // What the window remembers between runs stays with this run.
    const QTemporaryDir settings;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
    PreviewCommandsTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "preview_commands_test.moc"
