// The open project: the model, the file it belongs to and whether it holds unsaved changes.
// Everything that changes the project passes through here, one function for each kind of
// change, and the document tells what changed; the window, the site page and the style panels
// only hold a reference to it.
#pragma once

#include "project.h"
#include "style_editor.h"

#include <QObject>
#include <QString>

#include <functional>
#include <vector>

class EditState;
class QUndoStack;
class QWidget;
class SiteTreeModel;
class TreeStep;
struct NodeSelection;

namespace quilso {
class ReadObserver;
class SiteNode;
} // namespace quilso

// The error box text for a save of `path` that failed for `coreReason`.
QString WriteFailureText(const QString& path, const std::string& coreReason);

// The selected entries (siblings, in sibling order) and the focused one.
struct TreeSelection {
    std::vector<quilso::SiteNode*> nodes;
    quilso::SiteNode* focus = nullptr;
};

class ProjectDocument : public QObject, public StyleEditor {
    Q_OBJECT
public:
    // `defaultProjectPath` is the template "new" reads; `functionsPath` the script library
    // every saved file carries (read here once).
    ProjectDocument(const QString& defaultProjectPath, const QString& functionsPath,
                    QObject* parent = nullptr);
    ~ProjectDocument() override;

    const quilso::Project& project() const { return project_; }
    const quilso::ProgramInfo& programInfo() const { return program_; }
    // Whether the script library could be read; without it nothing is saved.
    bool functionsLoaded() const { return functionsLoaded_; }
    QString functionsError() const { return functionsError_; }
    SiteTreeModel* treeModel() const { return treeModel_; }
    // The shared edit state of the number and colour fields, which carries the modified flag.
    EditState* editState() const { return editState_; }

    // The project's file; empty for a new project.
    QString fileName() const { return fileName_; }
    // The file the save dialog opens on (the project's file; empty for a new project).
    QString saveDialogFileName() const { return saveDialogFileName_; }
    void setSaveDialogFileName(const QString& fileName) { saveDialogFileName_ = fileName; }
    QString defaultProjectPath() const { return defaultProjectPath_; }
    QString functionsPath() const { return functionsPath_; }

    // Every change is a step on this stack; its clean state is the saved state.
    QUndoStack* undoStack() const { return undoStack_; }
    bool isModified() const;
    // True: the project differs from its file even where no step says so (a new project made
    // from a folder); undo never comes back to a saved state then. False: it is saved now.
    void setModified(bool modified);

    // Style records and options.
    const quilso::MenuStyle& style(quilso::MenuKind kind) const override;
    bool editStyle(quilso::MenuKind kind, const char* label, const StyleChange& change) override;
    void adjustStyle(quilso::MenuKind kind, const StyleChange& change) override;
    void markModified() override;
    // Gives all three menus new records as one step named `label` (a ready-made look).
    void replaceStyles(const QString& label, const quilso::MenuStyle (&records)[quilso::MenuKindCount]);
    // Puts a whole record back (a step undone or redone): the panels of `kind` show it again
    // through `styleRestored`. The modified state is the caller's business.
    void restoreStyle(quilso::MenuKind kind, const quilso::MenuStyle& record);
    void setTagOption(bool isTag);
    // Sets the option without a step (a step undone or redone).
    void restoreTagOption(bool isTag);

    // The names of a move and of a delete of `count` entries in the undo history.
    static QString moveStepName(std::size_t count);
    static QString deleteStepName(std::size_t count);

    // Site tree; each change is a step of its own unless a Step is open, which takes all the
    // changes made while it lives as one step, named by its label.
    class Step {
    public:
        Step(ProjectDocument& document, const QString& label);
        ~Step();
        Step(const Step&) = delete;
        Step& operator=(const Step&) = delete;

    private:
        ProjectDocument& document_;
    };
    // Asked for the selection before and after a step; set by the page that shows the tree.
    std::function<TreeSelection()> currentSelection = [] { return TreeSelection{}; };
    // Shows a step's selection again (a step undone or redone) through `selectionRestored`.
    void showSelection(const NodeSelection& selection);
    // The next key in a menu text or file name field starts a new step.
    void sealEntryEdit();

    quilso::SiteNode* insertEntry(quilso::SiteNode* parent, int row, quilso::SiteEntry entry);
    void removeEntries(const std::vector<quilso::SiteNode*>& selection);
    // Moves siblings one place up or down as a block; false when one is at the end already.
    bool moveEntriesUp(const std::vector<quilso::SiteNode*>& selection);
    bool moveEntriesDown(const std::vector<quilso::SiteNode*>& selection);
    // Makes siblings the last children of the sibling before the first of them.
    bool indentEntries(const std::vector<quilso::SiteNode*>& selection);
    // Makes siblings siblings of their parent, right after it.
    bool outdentEntries(const std::vector<quilso::SiteNode*>& selection);
    // Moves siblings, keeping their order and subtrees, to child `row` of `newParent` (the row
    // counted as if they were taken out first; -1 appends). False when `newParent` lies inside
    // one of them or nothing would change.
    bool moveEntriesTo(const std::vector<quilso::SiteNode*>& selection, quilso::SiteNode* newParent, int row);
    // Sets an entry's menu text or file name; false when it already was that. `byUser` false:
    // the text only changes its form (as the fields show it) and the project is not marked.
    bool setEntryText(quilso::SiteNode* node, std::string text, bool byUser = true);
    bool setEntryFile(quilso::SiteNode* node, std::string file, bool byUser = true);
    void setEntryExpanded(quilso::SiteNode* node, bool expanded);
    // Puts `tree` in place of the project's tree (and leaves the old one in `tree`).
    void replaceTree(quilso::SiteTree& tree);

    // File commands. Errors are shown in a message box over `dialogParent()`; the bool results
    // tell whether the command ran to its end.
    bool load(const QString& fileName);
    bool loadTemplate();
    void newProject();
    void open();
    // Opens `fileName` as "Öffnen" would once the user chose it (a project from the recent list).
    void openFile(const QString& fileName);
    bool save();
    bool saveAs();
    // Asks "Projekt vorher speichern?" when there are unsaved changes; true when the caller may
    // go on (saved, or the user chose not to save).
    bool confirmDiscard();
    // Reads the project's file as it was last saved into `saved`, leaving the project alone;
    // false (with the error shown) when it cannot be read or the project has no file.
    bool readSavedFile(quilso::Project& saved) const;

    // Set by the window: the parent of dialogs and message boxes, the step that stores the
    // focused field's pending entry before a file command (false: the field refused it, stay),
    // and what sees the controls set while a file is read.
    void setDialogParent(QWidget* parent) { dialogParent_ = parent; }
    QWidget* dialogParent() const { return dialogParent_; }
    std::function<bool()> commitPendingEdit = [] { return true; };
    void setReadObserver(quilso::ReadObserver* observer) { readObserver_ = observer; }

signals:
    void styleChanged(quilso::MenuKind kind);
    // The record of `kind` was replaced as a whole; whatever shows it must show it anew.
    // `previous` is what it held before.
    void styleRestored(quilso::MenuKind kind, const quilso::MenuStyle& previous);
    // Undo or redo changed the tree: these entries were selected, `focus` focused, there.
    void selectionRestored(const std::vector<quilso::SiteNode*>& nodes, quilso::SiteNode* focus);
    void optionsChanged();
    void modifiedChanged(bool modified);
    // The window's caption for the project ("quilso: <file>", "quilso: [neues Projekt]").
    void captionChanged(const QString& caption);
    // A file was read into the project (the tree is new, the panels show the read records).
    void projectRead();
    // The project was written to its file.
    void written();

private:
    class TreeRebuild;

    bool read(const QString& fileName);
    bool readInto(const QString& fileName, quilso::Project& project, quilso::ReadObserver& observer) const;
    // The steps before the project is replaced: the focused field checked, unsaved changes saved
    // if the user wants; false when the command stops.
    bool mayReplaceProject();
    // `field`: an EntryTextCommand::Field (the command's header stays out of this one).
    bool setEntryField(quilso::SiteNode* node, int field, std::string value, bool byUser);
    void beginStep(const QString& label);
    void endStep();
    void moveEntries(const std::vector<quilso::SiteNode*>& siblings, quilso::SiteNode* newParent,
                     std::vector<quilso::RowRun> target);
    // Drops the history before the tree is replaced: it keeps deleted entries in the tree's
    // memory.
    void dropHistory();
    bool write(const QString& fileName);

    quilso::Project project_;
    quilso::ProgramInfo program_;
    bool functionsLoaded_ = false;
    QString functionsError_;
    SiteTreeModel* treeModel_;
    EditState* editState_;
    QUndoStack* undoStack_;
    TreeStep* openStep_ = nullptr;
    int stepDepth_ = 0;
    bool restoring_ = false;
    QString fileName_;
    QString saveDialogFileName_;
    QString openDialogFileName_;
    QString defaultProjectPath_;
    QString functionsPath_;
    QWidget* dialogParent_ = nullptr;
    quilso::ReadObserver* readObserver_ = nullptr;
};
