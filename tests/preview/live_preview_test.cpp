// The live preview: unsaved changes reach the page (menu script file from memory), the page
// keeps its scroll position, a missing page says so in the preview, double-click and "Auswahl
// folgen" show an entry's page, and a project that was never saved has a preview too.
#include "live_preview.h"
#include "main_window.h"
#include "preview_scheme_handler.h"
#include "preview_test_support.h"
#include "preview_window.h"
#include "project_document.h"
#include "publish.h"
#include "site_page.h"
#include "site_tree_model.h"
#include "ui_seams.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>
#include <QWebEngineView>

using quilso::SiteNode;

namespace {

const QString kMainMenuTexts =
    QStringLiteral("[...document.querySelectorAll('ul.quilso_m > li > a')].map(a => a.textContent)");
const QString kSelectedText = QStringLiteral("document.getElementById('m_selected').textContent");
const QString kSelectedBackground =
    QStringLiteral("getComputedStyle(document.getElementById('m_selected')).backgroundColor");
const QString kMessage = QStringLiteral("document.body.innerText.trim()");

} // namespace

class LivePreviewTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void unsavedChangesReachThePage();
    void reloadKeepsTheScrollPosition();
    void doubleClickAndFollowSelectionShowEntries();
    void neverSavedProjectWithoutFolderShowsBuiltInPage();
    void newProjectAfterAnOpenedOneShowsTheBuiltInPage();
    void publishedMenusGiveWayToLiveOnes();
    void pagesOutsideTheFolderAreNotServed();

private:
    std::unique_ptr<MainWindow> makeForm() {
        StartupOptions options;
        options.dataDir = kDataDir;
        auto form = std::make_unique<MainWindow>(options);
        UiTestAccess::skipFirstActivation(*form);
        return form;
    }
    // The demo site copied, its project loaded and previewed.
    std::unique_ptr<MainWindow> previewDemo() {
        site_ = dir_->filePath(QStringLiteral("site"));
        if (!copyDemo(site_)) return nullptr;
        auto form = makeForm();
        if (!form->document()->load(site_ + QStringLiteral("/menu.js"))) return nullptr;
        form->show();
        form->showPreview();
        if (!waitReady(form.get())) return nullptr;
        return form;
    }
    static bool waitReady(MainWindow* form) {
        QSignalSpy ready(form->previewWindow(), &PreviewWindow::sitePageReady);
        return ready.wait(20000) && ready.last().at(0).toBool();
    }
    // As the mouse does it: the view only takes a double-click on the row the press was on.
    static void doubleClick(QTreeView* tree, const QModelIndex& index) {
        QSignalSpy clicked(tree, &QAbstractItemView::doubleClicked);
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualRect(index).center());
        QTest::mouseDClick(tree->viewport(), Qt::LeftButton, {}, tree->visualRect(index).center());
        QCOMPARE(clicked.count(), 1);
    }
    static QWebEngineView* view(MainWindow* form) { return form->previewWindow()->webBrowser(); }
    static SiteNode* topLevel(MainWindow* form, int row) {
        return form->document()->treeModel()->tree()->root()->child(row);
    }

    std::unique_ptr<QTemporaryDir> dir_;
    QString site_;
};

void LivePreviewTest::init() {
    MessageBoxes::setTestMode(true);
    FileDialogs::setTestMode(true);
    dir_ = std::make_unique<QTemporaryDir>();
}

void LivePreviewTest::cleanup() {
    dir_.reset();
    FileDialogs::setTestMode(false);
    MessageBoxes::setTestMode(false);
}

void LivePreviewTest::unsavedChangesReachThePage() {
    auto form = previewDemo();
    QVERIFY(form);
    ProjectDocument* doc = form->document();
    const QByteArray onDisk = readFile(site_ + QStringLiteral("/menu.js"));
    QCOMPARE(evalJs(view(form.get()), kSelectedBackground).toString(), QStringLiteral("rgb(0, 0, 255)"));

    const quilso::MenuStyle before = doc->style(quilso::MenuMain);
    doc->editStyle(quilso::MenuMain, "Farbe",
                   [](quilso::MenuStyle& s) { s.backgroundColorSelected = "FF0000"; });
    doc->setEntryText(topLevel(form.get(), 0), "Start");
    QVERIFY(waitReady(form.get()));
    QCOMPARE(evalJs(view(form.get()), kSelectedBackground).toString(), QStringLiteral("rgb(255, 0, 0)"));
    QCOMPARE(evalJs(view(form.get()), kSelectedText).toString(), QStringLiteral("Start"));
    QCOMPARE(jsStrings(view(form.get()), kMainMenuTexts), (QStringList{"Start", "Produkte", "Filialen"}));
    // Nothing was saved for it.
    QVERIFY(doc->isModified());
    QCOMPARE(readFile(site_ + QStringLiteral("/menu.js")), onDisk);

    // A whole record put back (what undo does) shows as well; so does a moved entry.
    doc->restoreStyle(quilso::MenuMain, before);
    QVERIFY(doc->moveEntriesDown({topLevel(form.get(), 0)}));
    QVERIFY(waitReady(form.get()));
    QCOMPARE(evalJs(view(form.get()), kSelectedBackground).toString(), QStringLiteral("rgb(0, 0, 255)"));
    QCOMPARE(jsStrings(view(form.get()), kMainMenuTexts), (QStringList{"Produkte", "Start", "Filialen"}));

    // A change while the preview is hidden does not load anything; showing it again does.
    form->previewWindow()->closePreview();
    QSignalSpy loads(view(form.get()), &QWebEngineView::loadStarted);
    doc->setEntryText(topLevel(form.get(), 0), "Waren");
    QTest::qWait(LivePreview::RefreshDelayMs * 3);
    QCOMPARE(loads.count(), 0);
    form->showPreview();
    QVERIFY(waitReady(form.get()));
    QCOMPARE(jsStrings(view(form.get()), kMainMenuTexts), (QStringList{"Waren", "Start", "Filialen"}));
}

void LivePreviewTest::reloadKeepsTheScrollPosition() {
    auto form = previewDemo();
    QVERIFY(form);
    QWebEngineView* browser = view(form.get());
    evalJs(browser, "document.body.appendChild(Object.assign(document.createElement('div'),"
                    " {style: 'height: 5000px'})); window.scrollTo(0, 1234); 0");
    // The page's own tall block is gone after a reload: give the page a tall file instead.
    QFile page(site_ + QStringLiteral("/index.htm"));
    QVERIFY(page.open(QIODevice::Append));
    page.write("<div style=\"height: 5000px\"></div>\n");
    page.close();
    form->document()->setEntryText(topLevel(form.get(), 1), "Waren");
    QVERIFY(waitReady(form.get()));
    QCOMPARE(evalJs(browser, "window.scrollY").toInt(), 1234);
    QVERIFY(jsStrings(browser, kMainMenuTexts).contains(QStringLiteral("Waren")));

    // Two changes close together: still one position, and the last change shows.
    // Checked once per finished load: a page asked again and again while it is being replaced
    // holds the replacement back in the engine.
    QSignalSpy ready(form->previewWindow(), &PreviewWindow::sitePageReady);
    form->document()->setEntryText(topLevel(form.get(), 1), "Artikel");
    QTest::qWait(LivePreview::RefreshDelayMs + 10);
    form->document()->setEntryText(topLevel(form.get(), 2), "Orte");
    const QStringList expected{"Home", "Artikel", "Orte"};
    QStringList shown;
    for (int load = 0; load < 3 && shown != expected; ++load) {
        if (ready.isEmpty() && !ready.wait(20000)) break;
        ready.clear();
        QTest::qWait(LivePreview::RefreshDelayMs * 2); // a refresh still due starts now
        if (ready.isEmpty()) shown = jsStrings(browser, kMainMenuTexts);
    }
    QCOMPARE(shown, expected);
    QCOMPARE(evalJs(browser, "window.scrollY").toInt(), 1234);
}

void LivePreviewTest::doubleClickAndFollowSelectionShowEntries() {
    auto form = previewDemo();
    QVERIFY(form);
    PreviewWindow* preview = form->previewWindow();
    QTreeView* tree = form->sitePage()->siteView();
    SiteTreeModel* model = form->document()->treeModel();
    const QModelIndex products = model->indexOf(topLevel(form.get(), 1));

    doubleClick(tree, products);
    QVERIFY(waitReady(form.get()));
    QCOMPARE(preview->windowTitle(), QStringLiteral("Vorschau: ") + site_ + QStringLiteral("/produkte.htm"));
    QCOMPARE(evalJs(view(form.get()), kSelectedText).toString(), QStringLiteral("Produkte"));

    // Without the box a selection does not move the preview.
    tree->setCurrentIndex(model->indexOf(topLevel(form.get(), 0)));
    QTest::qWait(LivePreview::RefreshDelayMs * 3);
    QVERIFY(preview->currentPath().endsWith(QStringLiteral("/produkte.htm")));

    auto* follow = preview->findChild<QCheckBox*>(QStringLiteral("cbFollowSelection"));
    QVERIFY(follow && follow->isVisible());
    QCOMPARE(follow->text(), QStringLiteral("Auswahl folgen"));
    follow->setChecked(true);
    QVERIFY(waitReady(form.get()));
    QCOMPARE(preview->windowTitle(), QStringLiteral("Vorschau: ") + site_ + QStringLiteral("/index.htm"));
    tree->setCurrentIndex(model->indexOf(topLevel(form.get(), 2)));
    QVERIFY(waitReady(form.get()));
    QCOMPARE(evalJs(view(form.get()), kSelectedText).toString(), QStringLiteral("Filialen"));

    // The followed entry's file renamed to one that is not there: the preview says so.
    form->document()->setEntryFile(topLevel(form.get(), 2), "fehlt.htm");
    QVERIFY(waitReady(form.get()));
    const QString missing = site_ + QStringLiteral("/fehlt.htm");
    QCOMPARE(preview->windowTitle(), QStringLiteral("Vorschau: ") + missing);
    QCOMPARE(evalJs(view(form.get()), kMessage).toString(),
             QStringLiteral("Kann Datei ") + missing + QStringLiteral(" nicht öffnen"));
    QVERIFY(MessageBoxes::takeShown().isEmpty());

    // On the help page a double-click leaves the help alone.
    form->showHelp();
    QSignalSpy loads(view(form.get()), &QWebEngineView::loadFinished);
    QVERIFY(loads.wait(20000));
    doubleClick(tree, products);
    QTest::qWait(LivePreview::RefreshDelayMs * 3);
    QCOMPARE(preview->windowTitle(), QStringLiteral("Hilfe - Inhalt"));
    QVERIFY(!form->previewWindow()->findChild<QCheckBox*>(QStringLiteral("cbFollowSelection"))->isVisible());
}

void LivePreviewTest::neverSavedProjectWithoutFolderShowsBuiltInPage() {
    auto form = makeForm();
    QVERIFY(form->document()->loadTemplate());
    form->sitePage()->addSampleSite();
    MessageBoxes::takeShown();
    form->showPreview();
    QVERIFY(waitReady(form.get()));
    QVERIFY(MessageBoxes::takeShown().isEmpty());
    PreviewWindow* preview = form->previewWindow();
    QCOMPARE(preview->windowTitle(), QStringLiteral("Vorschau: [neues Projekt]"));
    QWebEngineView* browser = view(form.get());
    QCOMPARE(jsStrings(browser, kMainMenuTexts), (QStringList{"Home", "Produkte", "Filialen"}));
    QCOMPARE(jsStrings(browser, "[...document.querySelectorAll('ul.quilso_bc a')].map(a => a.textContent)"),
             QStringList{"Home"});

    // Following the selection makes the selected entry the current page: its sub menu shows.
    preview->findChild<QCheckBox*>(QStringLiteral("cbFollowSelection"))->setChecked(true);
    form->sitePage()->siteView()->setCurrentIndex(
        form->document()->treeModel()->indexOf(topLevel(form.get(), 1)));
    form->document()->setEntryText(topLevel(form.get(), 1)->child(0), "Fenster");
    QTRY_COMPARE_WITH_TIMEOUT(
        jsStrings(browser, "[...document.querySelectorAll('ul.quilso_um a')].map(a => a.textContent)")
            .value(0),
        QStringLiteral("Fenster"), 15000);
    QCOMPARE(evalJs(browser, kSelectedText).toString(), QStringLiteral("Produkte"));

    // An empty tree still has nothing to show.
    auto empty = makeForm();
    QVERIFY(empty->document()->loadTemplate());
    empty->showPreview();
    QCOMPARE(MessageBoxes::takeShown(),
             QStringList{QStringLiteral("info:Keine Seite zum Anzeigen vorhanden")});
}

void LivePreviewTest::newProjectAfterAnOpenedOneShowsTheBuiltInPage() {
    site_ = dir_->filePath(QStringLiteral("site"));
    QVERIFY(copyDemo(site_));
    auto form = makeForm();
    form->show();
    QVERIFY(QTest::qWaitForWindowActive(form.get()));
    // Opened through the dialog, then "Neu": the opened project's folder is not the new one's.
    FileDialogs::queueFileName(site_ + QStringLiteral("/menu.js"));
    form->document()->open();
    QCOMPARE(form->document()->fileName(), site_ + QStringLiteral("/menu.js"));
    QTest::keyClick(form.get(), Qt::Key_N, Qt::ControlModifier);
    QVERIFY(form->document()->fileName().isEmpty());
    form->sitePage()->addSampleSite();
    form->document()->setEntryText(topLevel(form.get(), 0), "Neu");
    MessageBoxes::takeShown();

    QTest::keyClick(form.get(), Qt::Key_F5);
    QVERIFY(waitReady(form.get()));
    QCOMPARE(MessageBoxes::takeShown(), QStringList());
    QCOMPARE(form->previewWindow()->windowTitle(), QStringLiteral("Vorschau: [neues Projekt]"));
    QCOMPARE(evalJs(view(form.get()), kSelectedText).toString(), QStringLiteral("Neu"));

    // Made from a folder, it has that folder before it is ever saved: the folder's page includes
    // the folder's menu.js and gets the new project's.
    form->document()->setSaveDialogFileName(site_ + QStringLiteral("/menu.js"));
    form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(form.get()));
    QTest::keyClick(form.get(), Qt::Key_F5);
    QVERIFY(waitReady(form.get()));
    QCOMPARE(form->previewWindow()->windowTitle(),
             QStringLiteral("Vorschau: ") + site_ + QStringLiteral("/index.htm"));
    QCOMPARE(evalJs(view(form.get()), kSelectedText).toString(), QStringLiteral("Neu"));
    QCOMPARE(evalJs(view(form.get()), "document.querySelector('p.logo').textContent").toString(),
             QStringLiteral("Muster GmbH"));
}

// A page with menus written into it by "Veröffentlichen" shows the live menus of the project in
// the preview; the file on disk keeps what was published.
void LivePreviewTest::publishedMenusGiveWayToLiveOnes() {
    site_ = dir_->filePath(QStringLiteral("site"));
    QVERIFY(copyDemo(site_));
    const QString index = site_ + QStringLiteral("/index.htm");
    QByteArray page = readFile(index);
    page.replace("<script>quilso_write(\"m\");</script>", "<!-- quilso:m --><!-- /quilso:m -->");
    page.replace("<script>quilso_write(\"bc\");</script>", "<!-- quilso:bc --><!-- /quilso:bc -->");
    QFile file(index);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(page);
    file.close();
    auto form = makeForm();
    QVERIFY(form->document()->load(site_ + QStringLiteral("/menu.js")));
    quilso::PublishSite(form->document()->project(),
                        QFile::encodeName(site_ + QStringLiteral("/menu.js")).toStdString());
    const QByteArray published = readFile(index);
    QVERIFY(published.contains("data-quilso-published=\"m\""));

    form->show();
    form->showPreview();
    QVERIFY(waitReady(form.get()));
    QCOMPARE(jsStrings(view(form.get()), kMainMenuTexts), (QStringList{"Home", "Produkte", "Filialen"}));
    form->document()->setEntryText(topLevel(form.get(), 0), "Start");
    QVERIFY(waitReady(form.get()));
    QCOMPARE(jsStrings(view(form.get()), kMainMenuTexts), (QStringList{"Start", "Produkte", "Filialen"}));
    QCOMPARE(jsStrings(view(form.get()),
                       "[...document.querySelectorAll('ul.quilso_bc a')].map(a => a.textContent)"),
             QStringList{"Start"});
    QCOMPARE(evalJs(view(form.get()), "document.querySelectorAll('ul.quilso_m').length").toInt(), 1);
    QCOMPARE(readFile(index), published);
}

void LivePreviewTest::pagesOutsideTheFolderAreNotServed() {
    auto form = previewDemo();
    QVERIFY(form);
    const QString outside = dir_->filePath(QStringLiteral("outside"));
    QVERIFY(QDir().mkpath(outside));
    QFile secret(outside + QStringLiteral("/geheim.htm"));
    QVERIFY(secret.open(QIODevice::WriteOnly));
    secret.write("<html><body>Geheim</body></html>");
    secret.close();
    QVERIFY(QFile::link(outside + QStringLiteral("/geheim.htm"), site_ + QStringLiteral("/link_out.htm")));
    QVERIFY(QFile::link(outside, site_ + QStringLiteral("/outdir")));
    QVERIFY(QDir(site_).mkdir(QStringLiteral("shop")));
    QFile shop(site_ + QStringLiteral("/shop/index.php"));
    QVERIFY(shop.open(QIODevice::WriteOnly));
    shop.write("<html><body>Laden</body></html>");
    shop.close();
    form->document()->setEntryFile(topLevel(form.get(), 1), "shop/");
    QVERIFY(waitReady(form.get()));
    PreviewWindow* preview = form->previewWindow();
    PreviewSchemeHandler* server = preview->siteServer();

    // Asked for directly, as a page's link would: nothing of what lies outside comes back.
    for (const QString& path :
         {site_ + QStringLiteral("/link_out.htm"), site_ + QStringLiteral("/outdir/geheim.htm"),
          outside + QStringLiteral("/geheim.htm")}) {
        preview->showSitePage(server->siteUrl(path), path);
        QVERIFY(waitReady(form.get()));
        const QString shown = evalJs(view(form.get()), kMessage).toString();
        QVERIFY2(!shown.contains(QStringLiteral("Geheim")), qPrintable(path));
        QVERIFY2(shown.startsWith(QStringLiteral("Datei liegt außerhalb des Ordners: ")), qPrintable(shown));
    }
    // A folder entry shows the page the check and publish take for it, whatever its index name.
    form->livePreview()->showEntry(topLevel(form.get(), 1), true);
    QTRY_COMPARE_WITH_TIMEOUT(evalJs(view(form.get()), kMessage).toString(), QStringLiteral("Laden"), 20000);
    QCOMPARE(preview->windowTitle(),
             QStringLiteral("Vorschau: ") + site_ + QStringLiteral("/shop/index.php"));
}

int main(int argc, char* argv[]) {
    PrepareWebEngineEnvironment();
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    // What the window remembers between runs stays with this run.
    const QTemporaryDir settings;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
    LivePreviewTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "live_preview_test.moc"
