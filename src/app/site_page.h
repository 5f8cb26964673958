// The "Site-Struktur" page: the site tree, the menu text and file fields of the selected entry,
// the arrow pad and the round add and delete buttons, with the seven tree commands and the
// rules of what may be selected together (siblings only).
#pragma once

#include <QWidget>

#include <functional>
#include <vector>

class NewEntryDialog;
class ProjectDocument;
class QAction;
class QFrame;
class QLabel;
class QLineEdit;
class QMenu;
class QToolButton;
class QTreeView;

namespace quilso {
class SiteNode;
}

class SitePage : public QWidget {
    Q_OBJECT
public:
    explicit SitePage(ProjectDocument* document, QWidget* parent = nullptr);

    QTreeView* siteView() const { return siteView_; }
    // The tree commands, for the context menu and for the window's key handling.
    QList<QAction*> treeActions() const;
    // Undo and redo, shown at the top of the tree's context menu.
    void addHistoryActions(const QList<QAction*>& actions);

    // The tree commands: add after the focused entry, add as its last children, delete the
    // selected entries, move them one place up or down, into the sibling before them, or out
    // of their parent.
    void addEntries();
    void addChildEntries();
    void deleteEntries();
    void moveEntriesUp();
    void moveEntriesDown();
    void moveEntriesRight();
    void moveEntriesLeft();
    // A drop in the tree: moves the dragged siblings to child `row` of `newParent` (counted
    // without them) and keeps them selected; false when nothing changed.
    bool dropEntries(const std::vector<quilso::SiteNode*>& siblings, quilso::SiteNode* newParent, int row);
    // A click into an empty tree fills it with a sample site to start from.
    void addSampleSite();
    // F2: the focus goes to the menu text field, its text selected.
    void editMenuText();

    // Selects `nodes` (siblings) with `focus` as the focused entry.
    void selectNodes(const std::vector<quilso::SiteNode*>& nodes, quilso::SiteNode* focus);
    quilso::SiteNode* focusedNode() const;
    // The selected entries in sibling order (the focused entry's siblings only).
    const std::vector<quilso::SiteNode*>& selectedEntries() {
        collectSelection();
        return selection_;
    }

    // Built when first asked for: nobody sees it before a new entry is made.
    NewEntryDialog* newEntryDialog();
    // Shows the new-entry dialog modally; tests replace it to fill the dialog themselves.
    std::function<bool(NewEntryDialog&)> runNewEntryDialog;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildTreeView();
    void buildActions();
    void buildFields();
    void collectSelection();
    void updateControls();
    void keepSiblingSelection();
    void releaseSelection();
    void reopenSubtrees(const std::vector<quilso::SiteNode*>& nodes);
    void storeMenuText();
    void storeFileName();
    void prepareNewEntryDialog();

    ProjectDocument* document_;
    std::vector<quilso::SiteNode*> selection_;
    bool adjustingSelection_ = false;
    bool updatingFields_ = false;
    bool rebuilding_ = false;
    NewEntryDialog* newEntryDialog_ = nullptr;

    QTreeView* siteView_ = nullptr;
    QLineEdit* textField_ = nullptr;
    QLineEdit* fileField_ = nullptr;
    QLabel* textHint_ = nullptr;
    QLabel* fileHint_ = nullptr;
    QToolButton* upButton_ = nullptr;
    QToolButton* downButton_ = nullptr;
    QToolButton* leftButton_ = nullptr;
    QToolButton* rightButton_ = nullptr;
    QLabel* addButton_ = nullptr;
    QFrame* addChildButton_ = nullptr;
    QLabel* addChildPlus_ = nullptr;
    QLabel* addChildArrow_ = nullptr;
    QLabel* deleteButton_ = nullptr;
    QMenu* treeMenu_ = nullptr;
    QAction* addAction_ = nullptr;
    QAction* addChildAction_ = nullptr;
    QAction* deleteAction_ = nullptr;
    QAction* upAction_ = nullptr;
    QAction* downAction_ = nullptr;
    QAction* rightAction_ = nullptr;
    QAction* leftAction_ = nullptr;
    QAction* editTextAction_ = nullptr;
};
