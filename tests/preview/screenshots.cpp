// Takes the screenshots the manual shows, from the real main window on the demo site:
//   quilso_screenshots DATA_DIR DEMO_DIR OUT_DIR [EXTRA_DIR]
// DATA_DIR holds the program's data files, DEMO_DIR the demo site with its menu.js. The demo is
// copied to a neutral place first, so captions show a plausible path. With EXTRA_DIR, also the
// help page and the manual inside the preview window are captured there, for looking at.
#include "edit_state.h"
#include "main_window.h"
#include "new_entry_dialog.h"
#include "preview_window.h"
#include "project_document.h"
#include "site_page.h"
#include "site_tree_model.h"
#include "style_gallery_dialog.h"
#include "ui_seams.h"

#include <QApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QRadioButton>
#include <QScreen>
#include <QSettings>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTranslator>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <cstdio>

namespace {

bool copyDirectory(const QString& from, const QString& to) {
    QDir().mkpath(to);
    for (const QFileInfo& f : QDir(from).entryInfoList(QDir::Files)) {
        QFile::remove(to + QLatin1Char('/') + f.fileName());
        if (!QFile::copy(f.filePath(), to + QLatin1Char('/') + f.fileName())) return false;
    }
    return true;
}

// Lets layouts, paints and (for web content) the compositor settle.
void settle(int ms) {
    QApplication::processEvents();
    QTest::qWait(ms);
}

// What the X server shows of the window: that includes the browser's composited content, which
// a widget grab may miss on some platforms.
bool save(QWidget* w, const QString& path) {
    w->raise();
    w->activateWindow();
    settle(300);
    QPixmap shot = w->screen()->grabWindow(w->winId());
    if (shot.isNull() || shot.size() != w->size() * shot.devicePixelRatio()) shot = w->grab();
    const bool ok = shot.save(path, "PNG");
    std::printf("%s %s\n", ok ? "wrote" : "FAILED", qPrintable(path));
    return ok;
}

bool waitForLoad(PreviewWindow* form, QSignalSpy& spy, int renderMs) {
    if (spy.isEmpty() && !spy.wait(30000)) return false;
    const bool ok = spy.takeFirst().at(0).toBool();
    settle(renderMs);
    return ok && form->isVisible();
}

} // namespace

int main(int argc, char* argv[]) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s DATA_DIR DEMO_DIR OUT_DIR [EXTRA_DIR]\n", argv[0]);
        return 2;
    }
    PrepareWebEngineEnvironment();
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    // The demo project stays out of the recent projects of whoever takes the pictures.
    const QTemporaryDir settings;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
    QTranslator qtGerman;
    if (qtGerman.load(QStringLiteral("qtbase_de"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtGerman);
    const QStringList args = QApplication::arguments();
    const QString outDir = args[3];
    const QString extraDir = args.size() > 4 ? args[4] : QString();
    QDir().mkpath(outDir);
    if (!extraDir.isEmpty()) QDir().mkpath(extraDir);

    const QString site = QDir::tempPath() + QStringLiteral("/muster-website");
    if (!copyDirectory(args[2], site)) return 1;
    MessageBoxes::setTestMode(true);

    StartupOptions options;
    options.dataDir = args[1];
    options.arguments = {site + QStringLiteral("/menu.js")};
    auto form = std::make_unique<MainWindow>(options);
    form->move(20, 20);
    form->show();
    form->activateWindow();
    if (!QTest::qWaitFor(
            [&] {
                return !UiTestAccess::awaitsFirstActivation(*form) &&
                       !form->document()->project().tree.empty();
            },
            10000)) {
        std::fprintf(stderr, "the demo project did not load: %s\n",
                     qPrintable(MessageBoxes::takeShown().join('\n')));
        return 1;
    }
    bool ok = true;

    // The site tree with "Produkte" selected, so the fields and arrows show.
    quilso::SiteNode* produkte = form->document()->treeModel()->nodeOf({})->child(1);
    form->sitePage()->selectNodes({produkte}, produkte);
    ok &= save(form.get(), outDir + QStringLiteral("/hauptfenster.png"));

    auto* pages = form->findChild<QTabWidget*>(QStringLiteral("PageControl1"));
    pages->setCurrentWidget(form->findChild<QWidget*>(QStringLiteral("tsFont")));
    ok &= save(form.get(), outDir + QStringLiteral("/schrift.png"));
    pages->setCurrentWidget(form->findChild<QWidget*>(QStringLiteral("tsBorder")));
    ok &= save(form.get(), outDir + QStringLiteral("/rahmen.png"));
    pages->setCurrentWidget(form->findChild<QWidget*>(QStringLiteral("tsExplorer")));

    // The new-entry dialog in its several-entries mode with two rows typed in.
    NewEntryDialog* dialog = form->sitePage()->newEntryDialog();
    dialog->findChild<QRadioButton*>(QStringLiteral("rbSome"))->setChecked(true);
    dialog->switchToSeveralEntries();
    dialog->grid()->setCell(0, 1, QStringLiteral("Kontakt"));
    dialog->grid()->setCell(1, 1, QStringLiteral("kontakt.htm"));
    dialog->grid()->setCell(0, 2, QStringLiteral("Impressum"));
    dialog->grid()->setCell(1, 2, QStringLiteral("impressum.htm"));
    dialog->updateOkButton();
    dialog->show();
    ok &= save(dialog, outDir + QStringLiteral("/neueintrag.png"));
    dialog->hide();

    // The gallery of looks with one of them tried on; the user's own looks stay out of the
    // picture.
    {
        QTemporaryDir noOwnLooks;
        StyleGalleryDialog gallery(form->document(), form->dataDirectory() + QStringLiteral("styles"),
                                   noOwnLooks.path(), {}, form.get());
        gallery.chooseLook(QStringLiteral("Karteireiter"));
        gallery.show();
        QTest::qWait(200);
        ok &= save(&gallery, outDir + QStringLiteral("/stilvorlagen.png"));
        gallery.reject();
    }

    // The preview of the start page, then a click on "Produkte" so the sub menu shows too.
    form->showPreview();
    PreviewWindow* preview = form->previewWindow();
    QSignalSpy loaded(preview->webBrowser(), &QWebEngineView::loadFinished);
    ok &= waitForLoad(preview, loaded, 800);
    preview->webBrowser()->page()->runJavaScript(
        QStringLiteral("document.querySelector('.quilso_m a[href$=\"produkte.htm\"]').click()"));
    ok &= waitForLoad(preview, loaded, 800);
    ok &= save(preview, outDir + QStringLiteral("/vorschau.png"));

    if (!extraDir.isEmpty()) {
        form->showHelp();
        ok &= waitForLoad(preview, loaded, 800);
        ok &= save(preview, extraDir + QStringLiteral("/hilfe.png"));
        form->showManual();
        ok &= waitForLoad(preview, loaded, 2500);
        ok &= save(preview, extraDir + QStringLiteral("/handbuch.png"));
    }
    form.reset();
    return ok ? 0 : 1;
}
