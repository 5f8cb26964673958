#include "new_from_folder.h"

#include "file_io.h"
#include "link_checker.h"
#include "main_window.h"
#include "project.h"
#include "project_document.h"
#include "site_import.h"
#include "site_tree_model.h"
#include "ui_seams.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileDialog>
#include <QFontMetrics>
#include <QFutureWatcher>
#include <QProgressDialog>
#include <QStatusBar>
#include <QTimer>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <memory>
#include <new>
#include <optional>

namespace {
// What the worker made of the folder: the tree (a tree of its own, never the project's), or why
// there is none.
struct FolderImport {
    quilso::SiteTree tree;
    std::optional<quilso::ImportSummary> summary; // none: cancelled or failed
    QString error;                                // the folder could not be read
};

FolderChooser& folderChooser() {
    static FolderChooser chooser = [](QWidget* parent) {
        return QFileDialog::getExistingDirectory(parent, QStringLiteral("Ordner der Website wählen"),
                                                 QDir::homePath());
    };
    return chooser;
}
} // namespace

void SetFolderChooser(FolderChooser chooser) {
    folderChooser() = std::move(chooser);
}

bool NewProjectFromFolder(MainWindow& window, LinkChecker& checker) {
    if (!window.commitPendingEdit()) return false;
    if (!window.document()->confirmDiscard()) return false;
    const QString folder = folderChooser()(&window);
    if (folder.isEmpty()) return false;

    // The folder is read and its tree built on a worker thread, so the window keeps drawing and
    // the progress dialog answers its cancel button; the project changes only afterwards, here,
    // so a cancel or an error keeps it.
    const std::filesystem::path dir(QFile::encodeName(folder).toStdString());
    FolderImport result;
    std::atomic<std::size_t> pagesDone{0};
    std::atomic<bool> cancelled{false};
    bool progressAsked = false; // worker only
    QObject guiThread;          // where the worker asks for the progress dialog
    std::unique_ptr<QProgressDialog> progress;
    const auto showProgress = [&](std::size_t pages) {
        QApplication::restoreOverrideCursor();
        progress = std::make_unique<QProgressDialog>(QStringLiteral("Seitentitel werden gelesen..."),
                                                     QStringLiteral("Abbrechen"), 0, static_cast<int>(pages),
                                                     &window);
        progress->setObjectName(QStringLiteral("ProgressNewFromFolder"));
        progress->setWindowTitle(QStringLiteral("Neu aus Ordner"));
        // Wide enough for the whole caption beside the title bar's icon and buttons, which the
        // short text inside would not make room for.
        QFont captionFont = progress->font();
        captionFont.setBold(true);
        progress->setMinimumWidth(
            std::max(progress->sizeHint().width(),
                     QFontMetrics(captionFont).horizontalAdvance(progress->windowTitle()) + 240));
        progress->setWindowModality(Qt::WindowModal);
        progress->setMinimumDuration(0);
        progress->show();
        if (progress->wasCanceled()) cancelled = true;
    };

    QApplication::setOverrideCursor(Qt::WaitCursor);
    QFutureWatcher<void> watcher; // its end wakes the loop below at once
    watcher.setFuture(QtConcurrent::run([&] {
        try {
            result.summary =
                quilso::ImportSite(dir, dir, result.tree, [&](std::size_t done, std::size_t total) {
                    pagesDone = done;
                    // The dialog is up before the first page is read: a cancel always comes in time.
                    if (!progressAsked && total >= static_cast<std::size_t>(ProgressDialogPages)) {
                        progressAsked = true;
                        QMetaObject::invokeMethod(
                            &guiThread, [&] { showProgress(total); }, Qt::BlockingQueuedConnection);
                    }
                    return !cancelled;
                });
        } catch (const quilso::FileError& e) {
            result.error = QString::fromLocal8Bit(e.reason().c_str());
        } catch (const std::bad_alloc&) {
            result.error = QStringLiteral("Nicht genügend Arbeitsspeicher.");
        }
    }));
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, &guiThread, [&] {
        if (!progress) return;
        progress->setValue(static_cast<int>(pagesDone.load()));
        if (progress->wasCanceled()) cancelled = true;
    });
    tick.start(50);
    QEventLoop loop;
    while (!watcher.isFinished()) {
        // Without the dialog the window takes no input, as while a file is read; the dialog is
        // window-modal and only its own buttons take any.
        loop.processEvents((progress ? QEventLoop::AllEvents : QEventLoop::ExcludeUserInputEvents) |
                           QEventLoop::WaitForMoreEvents);
    }
    tick.stop();
    progress.reset();
    if (!progressAsked) QApplication::restoreOverrideCursor();

    if (!result.error.isEmpty()) {
        MessageBoxes::error(
            &window,
            QStringLiteral("Der Ordner „%1“ kann nicht gelesen werden:\n%2").arg(folder, result.error));
        return false;
    }
    if (!result.summary) return false;
    const quilso::ImportSummary summary = *result.summary;
    if (summary.pages == 0) {
        MessageBoxes::information(&window, QStringLiteral("Im Ordner „%1“ gibt es keine Seiten (.htm, .html, "
                                                          ".shtml, .shtm, .php).")
                                               .arg(folder));
        return false;
    }

    // The styles of a new project, then the folder's tree in place of the default one.
    if (!window.document()->loadTemplate()) return false;
    window.document()->replaceTree(result.tree);
    checker.setUnsavedProjectFolder(folder);
    // The file names are relative to the folder: that is where the project belongs.
    window.document()->setSaveDialogFileName(QDir(folder).filePath(QStringLiteral("menu.js")));
    // Nothing of it is on disk yet: closing must ask first.
    window.document()->setModified(true);
    window.statusBar()->showMessage(QStringLiteral("%1 Seiten in %2 Ordnern übernommen, %3 übersprungen")
                                        .arg(summary.pages)
                                        .arg(summary.folders)
                                        .arg(summary.skipped),
                                    10000);
    return true;
}
