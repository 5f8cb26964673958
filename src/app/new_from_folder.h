// "Datei › Neu aus Ordner...": a new, unsaved project whose site tree mirrors the pages of a
// folder, with the styles of the default project.
#pragma once

#include <QString>

#include <functional>

class LinkChecker;
class MainWindow;
class QWidget;

// Asks to save the current project first (as "Neu" does), lets the user choose the folder and
// builds the project; a folder of many pages shows its progress and can be cancelled. True when
// a new project was made.
bool NewProjectFromFolder(MainWindow& window, LinkChecker& checker);

// From this many pages on, the import shows a progress dialog with a cancel button.
constexpr int ProgressDialogPages = 300;

// The folder dialog; tests replace it. Returns the chosen folder, or empty when cancelled.
using FolderChooser = std::function<QString(QWidget* parent)>;
void SetFolderChooser(FolderChooser chooser);
