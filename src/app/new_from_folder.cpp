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
#include <QFile>
#include <QFileDialog>
#include <QFontMetrics>
#include <QProgressDialog>
#include <QStatusBar>

#include <algorithm>
#include <filesystem>

namespace {
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

    // The pages are read before anything changes, so a cancel or an error keeps the project.
    const std::filesystem::path dir(QFile::encodeName(folder).toStdString());
    quilso::ImportSummary summary;
    quilso::ImportedFolder root;
    try {
        root = quilso::ScanSiteFolder(dir, dir, summary);
    } catch (const quilso::FileError& e) {
        MessageBoxes::error(&window, QStringLiteral("Der Ordner „%1“ kann nicht gelesen werden:\n%2")
                                         .arg(folder, QString::fromLocal8Bit(e.reason().c_str())));
        return false;
    }
    if (summary.pages == 0) {
        MessageBoxes::information(&window, QStringLiteral("Im Ordner „%1“ gibt es keine Seiten (.htm, .html, "
                                                          ".shtml, .shtm, .php).")
                                               .arg(folder));
        return false;
    }

    bool read = true;
    if (summary.pages >= static_cast<std::size_t>(ProgressDialogPages)) {
        QProgressDialog progress(QStringLiteral("Seitentitel werden gelesen..."), QStringLiteral("Abbrechen"),
                                 0, static_cast<int>(summary.pages), &window);
        progress.setObjectName(QStringLiteral("ProgressNewFromFolder"));
        progress.setWindowTitle(QStringLiteral("Neu aus Ordner"));
        // Wide enough for the whole caption beside the title bar's icon and buttons, which the
        // short text inside would not make room for.
        QFont captionFont = progress.font();
        captionFont.setBold(true);
        progress.setMinimumWidth(
            std::max(progress.sizeHint().width(),
                     QFontMetrics(captionFont).horizontalAdvance(progress.windowTitle()) + 240));
        progress.setWindowModality(Qt::WindowModal);
        progress.setMinimumDuration(0);
        read = quilso::ReadPageTitles(root, [&](std::size_t done, std::size_t) {
            progress.setValue(static_cast<int>(done));
            QCoreApplication::processEvents();
            return !progress.wasCanceled();
        });
    } else {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        quilso::ReadPageTitles(root);
        QApplication::restoreOverrideCursor();
    }
    if (!read) return false;
    quilso::RemoveSharedTitleSuffix(root);

    // The styles of a new project, then the folder's tree in place of the default one.
    if (!window.document()->loadTemplate()) return false;
    quilso::SiteTree built;
    quilso::BuildImportedTree(root, built);
    window.document()->replaceTree(built);
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
