// Figures for the main window, printed as text (median of several runs each):
//  - start-up to the window shown with its start-up project, against a bare window with a tab
//    widget measured in the same process;
//  - opening a 100,000- and a 1,000,000-entry project until the tree is painted, against the
//    core's read alone;
//  - moving and deleting large selections in the tree, with the commands and by drag and drop.
// Run offscreen: QT_QPA_PLATFORM=offscreen ./shell_figures
#include "main_window.h"
#include "preview_window.h"
#include "project_document.h"
#include "reader.h"
#include "site_page.h"
#include "site_tree_model.h"
#include "ui_seams.h"
#include "writer.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QItemSelectionModel>
#include <QMimeData>
#include <QProcess>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>

namespace {
double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double timeMs(const std::function<void()>& f) {
    QElapsedTimer timer;
    timer.start();
    f();
    return double(timer.nsecsElapsed()) / 1e6;
}

void writeProject(const QString& path, int topLevel, int childrenEach) {
    quilso::Project project;
    auto& tree = project.tree;
    for (int i = 0; i < topLevel; ++i) {
        quilso::SiteNode* n =
            tree.insert(tree.root(), -1, {"Seite " + std::to_string(i), "s" + std::to_string(i) + ".htm"});
        for (int c = 0; c < childrenEach; ++c)
            tree.insert(n, -1, {"Unterseite " + std::to_string(c), "u.htm"});
    }
    quilso::ProgramInfo program;
    program.functionsLines = {"function quilso_library() {}"};
    quilso::WriteMenuScript(QFile::encodeName(path).toStdString(), project, program);
}

// The form's tree shown and painted.
void paintTree(MainWindow& form) {
    QCoreApplication::processEvents();
    form.sitePage()->siteView()->viewport()->repaint();
}

void selectRows(MainWindow& form, int first, int count, int step) {
    std::vector<quilso::SiteNode*> nodes;
    quilso::SiteNode* root = form.document()->treeModel()->nodeOf({});
    for (int i = 0; i < count; ++i)
        nodes.push_back(root->child(first + i * step));
    form.sitePage()->selectNodes(nodes, nodes.front());
}
} // namespace

// One start-up in a fresh process; prints "shown" once the window is on screen.
int startupChild(const char* mode, const QString& dataDir) {
    std::unique_ptr<QMainWindow> window;
    if (std::strcmp(mode, "--child-bare") == 0) {
        window = std::make_unique<QMainWindow>();
        auto* tabs = new QTabWidget;
        for (const char* t :
             {"Site-Struktur", "Schrift", "Text", "Position", "Rahmen", "Hintergrund", "Optionen"})
            tabs->addTab(new QWidget, QString::fromUtf8(t));
        window->setCentralWidget(tabs);
        window->resize(780, 580);
        window->show();
    } else {
        MessageBoxes::setTestMode(true);
        QElapsedTimer phase;
        phase.start();
        auto form = std::make_unique<MainWindow>(StartupOptions{dataDir, {}});
        const qint64 built = phase.nsecsElapsed();
        form->show();
        UiTestAccess::activate(*form);
        if (qEnvironmentVariableIsSet("QUILSO_PHASES"))
            std::fprintf(stderr, "built %.1f ms, loaded %.1f ms\n", built / 1e6,
                         (phase.nsecsElapsed() - built) / 1e6);
        if (form->caption() != QStringLiteral("quilso: [neues Projekt]")) {
            std::printf("start-up project not loaded: %s\n",
                        qPrintable(MessageBoxes::takeShown().join(u' ')));
            std::fflush(stdout);
            std::_Exit(1);
        }
        window = std::move(form);
    }
    (void)QTest::qWaitForWindowExposed(window.get());
    QCoreApplication::processEvents();
    std::printf("shown\n");
    std::fflush(stdout);
    std::_Exit(0); // the figure ends here; tearing down is not start-up
}

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    PrepareWebEngineEnvironment();
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    if (argc == 3 && std::strncmp(argv[1], "--child-", 8) == 0)
        return startupChild(argv[1], QString::fromLocal8Bit(argv[2]));
    MessageBoxes::setTestMode(true);
    FileDialogs::setTestMode(true);
    QTemporaryDir dir;
    const QString data = QCoreApplication::applicationDirPath() + QStringLiteral("/..");
    const QString dataDir = FindDataDirectory(data);
    std::printf("data directory: %s\n", qPrintable(dataDir));

    // Start-up: two fresh processes, a bare window with a tab widget and the main window with its
    // start-up project, from process start until the window is exposed; alternating runs.
    std::vector<double> bare, full;
    const bool profiling = qEnvironmentVariableIsSet("QUILSO_ONLY");
    for (int round = 0; round < (profiling ? 0 : 9); ++round) {
        for (const char* mode : {"--child-bare", "--child-full"}) {
            QProcess child;
            QElapsedTimer timer;
            timer.start();
            child.start(QCoreApplication::applicationFilePath(), {QString::fromLatin1(mode), dataDir});
            child.waitForFinished(30000);
            const double ms = double(timer.nsecsElapsed()) / 1e6;
            const QByteArray out = child.readAllStandardOutput();
            if (!out.startsWith("shown")) std::printf("child %s: %s\n", mode, out.constData());
            (mode[8] == 'b' ? bare : full).push_back(ms);
        }
    }
    if (!profiling) {
        const double bareMs = median(bare), fullMs = median(full);
        std::printf("start-up (process start to window shown): bare window with tabs %.1f ms, "
                    "main window with start-up project %.1f ms, ratio %.2f\n",
                    bareMs, fullMs, fullMs / bareMs);
    }

    // Opening large projects: the core's read against the window's open-and-paint.
    struct Shape {
        const char* name;
        int top, children;
    } shapes[] = {{"100,000 top-level entries", 100000, 0},
                  {"1,000 x 100 entries", 1000, 99},
                  {"1,000,000 entries (10,000 x 100)", 10000, 99}};
    for (const Shape& s : shapes) {
        if (profiling) break;
        const QString path = dir.filePath(QStringLiteral("big.js"));
        writeProject(path, s.top, s.children);
        std::vector<double> core, gui;
        MainWindow form(StartupOptions{dataDir, {}});
        form.show();
        (void)QTest::qWaitForWindowExposed(&form);
        UiTestAccess::activate(form);
        for (int round = 0; round < 5; ++round) {
            core.push_back(timeMs([&] {
                quilso::Project project;
                quilso::ReadObserver none;
                quilso::ReadProjectFile(QFile::encodeName(path).toStdString(), project, none);
            }));
            form.document()->loadTemplate();
            paintTree(form);
            gui.push_back(timeMs([&] {
                form.document()->load(path);
                paintTree(form);
            }));
        }
        std::printf("open %s: core read %.1f ms, window shows the tree %.1f ms, ratio %.2f\n", s.name,
                    median(core), median(gui), median(gui) / median(core));
    }

    // Moves and deletes of big selections among 100,000 siblings.
    {
        const QString path = dir.filePath(QStringLiteral("flat.js"));
        writeProject(path, 100000, 0);
        MainWindow form(StartupOptions{dataDir, {}});
        form.show();
        (void)QTest::qWaitForWindowExposed(&form);
        UiTestAccess::activate(form);
        auto run = [&](const char* label, int first, int count, int step, const char* action) {
            // QUILSO_ONLY=<text> runs only the cases whose label holds it (for profiling).
            const QByteArray only = qgetenv("QUILSO_ONLY");
            if (!only.isEmpty() && !QByteArray(label).contains(only)) return;
            form.document()->load(path);
            paintTree(form);
            const double select = timeMs([&] { selectRows(form, first, count, step); });
            QAction* a = form.findChild<QAction*>(QString::fromLatin1(action));
            const double ms = timeMs([&] {
                a->trigger();
                paintTree(form);
            });
            std::printf("%-44s select %7.1f ms, %s %7.1f ms\n", label, select, action, ms);
        };
        run("50,000 adjacent of 100,000: up", 1000, 50000, 1, "aNodeUp");
        run("50,000 adjacent of 100,000: down", 1000, 50000, 1, "aNodeDown");
        run("50,000 adjacent of 100,000: right", 1000, 50000, 1, "aNodeRight");
        run("50,000 adjacent of 100,000: delete", 1000, 50000, 1, "aNodeDelete");
        run("5,000 every other of 100,000: up", 1001, 5000, 2, "aNodeUp");
        run("10,000 every other of 100,000: up", 1001, 10000, 2, "aNodeUp");
        run("10,000 every other of 100,000: down", 1001, 10000, 2, "aNodeDown");
        run("10,000 every other of 100,000: right", 1001, 10000, 2, "aNodeRight");
        run("10,000 every other of 100,000: delete", 1001, 10000, 2, "aNodeDelete");
        run("20,000 every other of 100,000: delete", 1001, 20000, 2, "aNodeDelete");
        // Drag and drop of the selection onto (into) or above an entry just before it: one
        // step of the pointer over the tree, and the drop until the tree is painted.
        auto drop = [&](const char* label, int first, int count, int step, bool into) {
            const QByteArray only = qgetenv("QUILSO_ONLY");
            if (!only.isEmpty() && !QByteArray(label).contains(only)) return;
            form.document()->load(path);
            paintTree(form);
            selectRows(form, first, count, step);
            QTreeView* view = form.sitePage()->siteView();
            SiteTreeModel* model = form.document()->treeModel();
            const QModelIndex target = model->index(first - 1, 0);
            view->scrollTo(target);
            paintTree(form);
            const QRect rect = view->visualRect(target);
            const QPoint at(rect.center().x(), into ? rect.center().y() : rect.top() + 1);
            std::unique_ptr<QMimeData> data;
            const double start = timeMs([&] {
                data.reset(model->mimeData(view->selectionModel()->selectedIndexes()));
                QDragEnterEvent enter(at, Qt::MoveAction, data.get(), Qt::LeftButton, {});
                QCoreApplication::sendEvent(view->viewport(), &enter);
            });
            const double hover = timeMs([&] {
                QDragMoveEvent move(at, Qt::MoveAction, data.get(), Qt::LeftButton, {});
                QCoreApplication::sendEvent(view->viewport(), &move);
            });
            bool accepted = false;
            const double ms = timeMs([&] {
                QDropEvent dropped(QPointF(at), Qt::MoveAction, data.get(), Qt::LeftButton, {});
                QCoreApplication::sendEvent(view->viewport(), &dropped);
                accepted = dropped.isAccepted();
                paintTree(form);
            });
            std::printf("%-44s drag start %6.1f ms, pointer step %6.1f ms, drop %7.1f ms%s\n", label, start,
                        hover, ms, accepted ? "" : " (REFUSED)");
        };
        drop("50,000 adjacent of 100,000: drop into", 1000, 50000, 1, true);
        drop("50,000 adjacent of 100,000: drop above", 1000, 50000, 1, false);
        drop("10,000 every other of 100,000: drop into", 1001, 10000, 2, true);
        drop("10,000 every other of 100,000: drop above", 1001, 10000, 2, false);

        // Left needs a parent: indent a block first, then outdent it.
        form.document()->load(path);
        selectRows(form, 1000, 50000, 1);
        form.findChild<QAction*>(QStringLiteral("aNodeRight"))->trigger();
        const double left = timeMs([&] {
            form.findChild<QAction*>(QStringLiteral("aNodeLeft"))->trigger();
            paintTree(form);
        });
        std::printf("%-44s aNodeLeft %7.1f ms\n", "50,000 adjacent children: left", left);
    }
    return 0;
}
