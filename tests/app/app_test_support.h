// Shared by the application tests: a data directory with a template project and a script
// library, and a main window built on it.
#pragma once

#include "edit_state.h"
#include "main_window.h"
#include "project.h"
#include "project_document.h"
#include "site_page.h"
#include "site_tree.h"
#include "site_tree_model.h"
#include "style_pages.h"
#include "ui_seams.h"

#include <QTemporaryDir>

#include <memory>
#include <string>

// Writes `project` as a menu script file (with a one-line library) to `path`.
void WriteProjectFile(const QString& path, const quilso::Project& project);
// A tree of "A", "B", "C", "D" on the top level, each with file "<letter>.htm".
void FillTopLevel(quilso::SiteTree& tree, const char* letters);
// The menu texts in display order, children in brackets: "A B[B1 B2] C".
std::string TreeShape(const quilso::SiteTree& tree);
// A saved file with the value of its "lastsave=" line left out: the time of the save is the one
// line that may differ between two saves of one project.
QByteArray WithoutSaveTime(const QByteArray& bytes);

class AppFixture {
public:
    // `topLevel` are the entries default.js holds.
    explicit AppFixture(const char* topLevel = "ABCD");
    ~AppFixture();
    // A main window on the fixture's data directory, its start-up project loaded.
    std::unique_ptr<MainWindow> makeForm(const QStringList& arguments = {}, bool load = true);
    QString path(const QString& name) const { return dir_.filePath(name); }

private:
    QTemporaryDir dir_;
};
