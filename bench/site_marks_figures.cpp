// Missing-page marks on a 100,000-entry project: the time from opening it until the marks are
// shown, and the longest the GUI thread was busy in between (a timer that should fire every
// 5 ms records its largest gap). Half the entries' pages exist. Median of five runs.
// Run offscreen: QT_QPA_PLATFORM=offscreen ./site_marks_figures
#include "link_checker.h"
#include "main_window.h"
#include "preview_window.h"
#include "project_document.h"
#include "site_page.h"
#include "site_tree_model.h"
#include "ui_seams.h"
#include "writer.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeView>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {
constexpr int Entries = 100000;

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}
} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    PrepareWebEngineEnvironment();
    QApplication app(argc, argv);
    MessageBoxes::setTestMode(true);
    FileDialogs::setTestMode(true);

    QTemporaryDir dir;
    quilso::Project project;
    for (int i = 0; i < Entries; ++i) {
        const std::string file = "seite" + std::to_string(i) + ".htm";
        project.tree.insert(project.tree.root(), -1, {"Seite " + std::to_string(i), file});
        if (i % 2 == 0) QFile(dir.filePath(QString::fromStdString(file))).open(QIODevice::WriteOnly);
    }
    quilso::ProgramInfo program;
    program.functionsLines = {"function quilso_library() {}"};
    quilso::WriteMenuScript(QFile::encodeName(dir.filePath(QStringLiteral("default.js"))).toStdString(),
                            quilso::Project{}, program);
    QFile(dir.filePath(QStringLiteral("quilso_functions.js"))).open(QIODevice::WriteOnly);
    const QString projectFile = dir.filePath(QStringLiteral("menu.js"));
    quilso::WriteMenuScript(QFile::encodeName(projectFile).toStdString(), project, program);

    std::vector<double> untilMarks, longestStall;
    std::size_t marks = 0;
    for (int run = 0; run < 5; ++run) {
        MainWindow form(StartupOptions{dir.path(), {}});
        form.show();
        UiTestAccess::activate(form);
        QCoreApplication::processEvents();
        LinkChecker& checker = *form.linkChecker();
        checker.setDelay(0);

        QElapsedTimer clock, sinceTick;
        qint64 stall = 0;
        QTimer ticker;
        ticker.setInterval(5);
        QObject::connect(&ticker, &QTimer::timeout, [&] {
            stall = std::max(stall, sinceTick.nsecsElapsed());
            sinceTick.restart();
        });
        bool done = false;
        auto connection = QObject::connect(&checker, &LinkChecker::checked, [&] { done = true; });
        clock.start();
        form.document()->load(projectFile);
        sinceTick.start();
        ticker.start();
        while (!done)
            QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 50);
        untilMarks.push_back(clock.nsecsElapsed() / 1e6);
        // The ticker's next tick measures the stall the marks themselves caused.
        QElapsedTimer settle;
        settle.start();
        while (settle.elapsed() < 30)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        longestStall.push_back(stall / 1e6);
        marks = checker.markCount();
        QObject::disconnect(connection);
    }
    std::printf("open %d entries until %zu marks shown: %.0f ms; longest GUI-thread stall after the "
                "load: %.0f ms\n",
                Entries, marks, median(untilMarks), median(longestStall));
    return 0;
}
