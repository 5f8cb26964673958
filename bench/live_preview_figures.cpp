// Figures for the live preview, printed as text:
//  - start-up of the main window (fresh process, until the window is shown), and that no
//    browser exists before the first preview;
//  - from a change (a colour, a menu text) to the refreshed page, with 100 and 10,000 entries.
// Run offscreen: QT_QPA_PLATFORM=offscreen ./live_preview_figures
#include "live_preview.h"
#include "main_window.h"
#include "preview_window.h"
#include "project_document.h"
#include "site_tree_model.h"
#include "ui_seams.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QWebEngineView>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

const char* const kPage =
    "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>Start</title>\n"
    "<script src=\"menu.js\"></script><script>quilso_css();</script></head>\n"
    "<body><script>quilso_write(\"bc\");</script><script>quilso_write(\"m\");</script>\n"
    "<script>quilso_write(\"um\");</script><div style=\"height: 3000px\"></div></body></html>\n";

// One start-up in a fresh process; prints "shown <browsers>" once the window is on screen.
int startupChild(const QString& dataDir) {
    MessageBoxes::setTestMode(true);
    auto form = std::make_unique<MainWindow>(StartupOptions{dataDir, {}});
    form->show();
    UiTestAccess::activate(*form);
    (void)QTest::qWaitForWindowExposed(form.get());
    QCoreApplication::processEvents();
    const auto browsers =
        qApp->findChildren<QWebEngineView*>().size() + form->findChildren<QWebEngineView*>().size();
    int previews = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
        previews += qobject_cast<PreviewWindow*>(w) != nullptr;
    std::printf("shown %lld %d\n", static_cast<long long>(browsers), previews);
    std::fflush(stdout);
    std::_Exit(0); // the figure ends here; tearing down is not start-up
}

struct Figures {
    std::vector<double> colour, text;
};

// A site of `topLevel` pages with `childrenEach` sub-entries each, previewed; then changes
// timed until the page is loaded again and back at its scroll position.
Figures measureRefresh(const QString& dataDir, const QString& folder, int topLevel, int childrenEach,
                       int rounds) {
    Figures figures;
    MainWindow form(StartupOptions{dataDir, {}});
    UiTestAccess::skipFirstActivation(form);
    ProjectDocument* doc = form.document();
    if (!doc->loadTemplate()) return figures;
    quilso::SiteTree tree;
    for (int i = 0; i < topLevel; ++i) {
        quilso::SiteNode* n =
            tree.insert(tree.root(), -1, {"Seite " + std::to_string(i), i == 0 ? "index.htm" : "s.htm"});
        for (int c = 0; c < childrenEach; ++c)
            tree.insert(n, -1, {"Unterseite " + std::to_string(c), "u.htm"});
    }
    doc->replaceTree(tree);
    QFile page(folder + QStringLiteral("/index.htm"));
    if (!page.open(QIODevice::WriteOnly) || page.write(kPage) < 0) return figures;
    page.close();
    FileDialogs::queueFileName(folder + QStringLiteral("/menu.js"));
    if (!doc->saveAs()) return figures;

    form.show();
    PreviewWindow* preview = form.previewWindow();
    QSignalSpy ready(preview, &PreviewWindow::sitePageReady);
    form.showPreview();
    if (!ready.wait(30000)) return figures;
    QWebEngineView* view = preview->webBrowser();
    view->page()->runJavaScript(QStringLiteral("window.scrollTo(0, 500)"));
    QTest::qWait(100);

    quilso::SiteNode* first = doc->project().tree.root()->child(0);
    for (int round = 0; round < rounds; ++round) {
        auto timed = [&](const std::function<void()>& change) {
            ready.clear();
            QElapsedTimer clock;
            clock.start();
            change();
            if (!ready.wait(30000)) return -1.0;
            return double(clock.nsecsElapsed()) / 1e6;
        };
        const std::string colour = round % 2 ? "FF0000" : "00FF00";
        figures.colour.push_back(timed([&] {
            doc->editStyle(quilso::MenuMain, "Farbe",
                           [&](quilso::MenuStyle& s) { s.backgroundColorSelected = colour; });
        }));
        figures.text.push_back(timed([&] { doc->setEntryText(first, "Start " + std::to_string(round)); }));
    }
    return figures;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    PrepareWebEngineEnvironment();
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    const QString dataDir = FindDataDirectory(QCoreApplication::applicationDirPath() + QStringLiteral("/.."));
    if (argc == 2 && std::strcmp(argv[1], "--child") == 0) return startupChild(dataDir);
    MessageBoxes::setTestMode(true);
    FileDialogs::setTestMode(true);
    std::printf("data directory: %s\n", qPrintable(dataDir));

    std::vector<double> startup;
    QByteArray lastOut;
    for (int round = 0; round < 7; ++round) {
        QProcess child;
        QElapsedTimer timer;
        timer.start();
        child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--child")});
        child.waitForFinished(30000);
        startup.push_back(double(timer.nsecsElapsed()) / 1e6);
        lastOut = child.readAllStandardOutput().trimmed();
    }
    std::printf("start-up (process start to main window shown): median %.1f ms; after start-up: "
                "browsers, preview windows = %s\n",
                median(startup), lastOut.mid(6).constData());

    for (const auto& [top, each] : {std::pair{10, 9}, std::pair{100, 99}}) {
        QTemporaryDir dir;
        const Figures f = measureRefresh(dataDir, dir.path(), top, each, 9);
        if (f.colour.empty()) {
            std::printf("%d entries: preview did not load\n", top * (each + 1));
            continue;
        }
        std::printf("%5d entries: change to refreshed page (refresh delay %d ms included): colour median "
                    "%.1f ms, max %.1f ms; menu text median %.1f ms, max %.1f ms\n",
                    top * (each + 1), LivePreview::RefreshDelayMs, median(f.colour),
                    *std::max_element(f.colour.begin(), f.colour.end()), median(f.text),
                    *std::max_element(f.text.begin(), f.text.end()));
    }
    return 0;
}
