// The main window: tool bar and menus, the site-tree page, the five style pages with one panel
// per menu, the options page; the program-wide edit state and the project file commands.
#pragma once

#include "edit_state.h"
#include "project.h"

#include <QMainWindow>
#include <QPointer>

#include <functional>
#include <memory>
#include <vector>

class QAction;
class QCheckBox;
class QFrame;
class QLabel;
class QLineEdit;
class QMenu;
class QStatusBar;
class QTabWidget;
class QToolButton;
class QTreeView;
class SiteTreeModel;
class StylePanel;
class NewEntryDialog;
class PreviewWindow;
class BorderPanel;
class LinkChecker;

namespace quilso {
class SiteNode;
}

struct StartupOptions {
    // Directory holding default.js, quilso_functions.js, hilfe.htm and the manual; empty:
    // beside the program, or ../share/quilso/ for an installed program.
    QString dataDir;
    // The command-line arguments after the program name; the first names the start-up project.
    QStringList arguments;
};

// Where the data files are for a program in `programDir` (both with a trailing separator).
QString FindDataDirectory(const QString& programDir);

// The error box text for a save of `path` that failed for `coreReason`.
QString WriteFailureText(const QString& path, const std::string& coreReason);

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(const StartupOptions& options, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Program-wide state.
    EditState* editState() { return editState_; }
    quilso::Project& project() { return project_; }
    const quilso::ProgramInfo& programInfo() const { return program_; }
    SiteTreeModel* treeModel() const { return treeModel_; }
    // Marks the entries whose page is missing.
    LinkChecker* linkChecker() const { return linkChecker_; }
    QTreeView* siteView() const { return tvSite; }
    bool firstActivation = true;
    QString currentFileName;
    QString defaultProjectPath;
    QString functionsPath;
    QString dataDirectory;
    std::vector<quilso::SiteNode*> selectionList;
    // The caption without the modified marker.
    QString caption() const { return caption_; }
    // The file the save dialog holds (the current project's file; empty for a new project).
    QString saveDialogFileName() const { return saveDialogFileName_; }
    void setSaveDialogFileName(const QString& fileName) { saveDialogFileName_ = fileName; }
    StylePanel* panel(quilso::MenuKind kind, int tab) const { return panels_[kind][tab]; }

    // Edit commit protocol and hints.
    bool CommitPendingEdit();
    void ShowHint(const QString& hint);
    bool confirmTabSwitch();
    void focusTabs();
    void cbIsTagClick();

    // Site tree.
    void CollectSelection();
    void UpdateTreeControls();
    void tvSiteClick();
    void leTextChange();
    void leFileChange();
    void aNodeNewExecute();
    void aNodeNewChildExecute();
    void aNodeDeleteExecute();
    void aNodeUpExecute();
    void aNodeDownExecute();
    void aNodeRightExecute();
    void aNodeLeftExecute();
    // Selects `nodes` (siblings) with `focus` as the focused entry.
    void selectNodes(const std::vector<quilso::SiteNode*>& nodes, quilso::SiteNode* focus);
    quilso::SiteNode* focusedNode() const;

    // Project file commands; the bool results tell whether the command ran to its end.
    bool LoadProject(const QString& fileName);
    bool NewProject();
    // "Projekt vorher speichern?" when the project has unsaved changes; false when the user
    // cancelled or the save failed.
    bool saveFirst();
    void FileNew();
    void FileOpen();
    bool FileSave();
    bool FileSaveAs();
    // Saves, then writes the static menus into the site's pages and shows the report.
    void publishSite();
    void FileExit();
    void FormActivate();
    bool FormCloseQuery();

    // Preview, help, manual.
    void showPreview();
    void showHelp();
    void showManual();
    PreviewWindow* webAnzeigeForm(); // created on first use
    // Built when first asked for: nobody sees it before a new entry is made.
    NewEntryDialog* dlgTreeItem() const;
    // Shows the new-entry dialog modally; tests replace it to fill the dialog themselves.
    std::function<bool(NewEntryDialog&)> runTreeItemDialog;

signals:
    // The window closed for good (the program ends).
    void closed();

protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    class Observer;
    friend class Observer;

    void buildActions();
    void buildSitePage(QWidget* page);
    void buildStylePages();
    void setCaption(const QString& caption);
    bool readProject(const QString& fileName);
    bool writeProject(const QString& fileName);
    void enforceSiblingSelection();
    void setFieldState(QLineEdit* field, QLabel* hint, bool filled);
    void markTreeEdited();
    void releaseSelection();
    void prepareTreeItemDialog();

    quilso::Project project_;
    quilso::ProgramInfo program_;
    bool functionsLoaded_ = false;
    EditState* editState_;
    SiteTreeModel* treeModel_;
    LinkChecker* linkChecker_ = nullptr;
    std::unique_ptr<Observer> observer_;
    QString caption_;
    QString saveDialogFileName_;
    QString openDialogFileName_;
    QStringList arguments_;
    bool adjustingSelection_ = false;
    bool updatingFields_ = false;
    bool rebuilding_ = false;
    StylePanel* panels_[quilso::MenuKindCount][5] = {};
    BorderPanel* borderPanels_[quilso::MenuKindCount] = {};
    mutable NewEntryDialog* dlgTreeItem_ = nullptr;
    QPointer<PreviewWindow> webAnzeigeForm_;

    // Controls, named as the window description names them.
    QTabWidget* pageTabs_ = nullptr;
    QStatusBar* StatusLine = nullptr;
    QCheckBox* cbIsTag = nullptr;
    QTreeView* tvSite = nullptr;
    QLineEdit* leText = nullptr;
    QLineEdit* leFile = nullptr;
    QLabel* lText = nullptr;
    QLabel* lFile = nullptr;
    QToolButton* iNodeUp = nullptr;
    QToolButton* iNodeDown = nullptr;
    QToolButton* iNodeLeft = nullptr;
    QToolButton* iNodeRight = nullptr;
    QLabel* lNodeAdd = nullptr;
    QFrame* pNodeAddChild = nullptr;
    QLabel* lAddChild1 = nullptr;
    QLabel* lAddChild2 = nullptr;
    QLabel* lNodeDelete = nullptr;
    QMenu* pmTree = nullptr;
    QAction* aNodeNew = nullptr;
    QAction* aNodeNewChild = nullptr;
    QAction* aNodeDelete = nullptr;
    QAction* aNodeUp = nullptr;
    QAction* aNodeDown = nullptr;
    QAction* aNodeRight = nullptr;
    QAction* aNodeLeft = nullptr;
};
