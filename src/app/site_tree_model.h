// The tree view's window onto the project's site tree. It holds no copy: every index points at
// a SiteNode, and every change goes through here so the views get exact change signals.
#pragma once

#include "site_tree.h"

#include <QAbstractItemModel>

#include <functional>
#include <vector>

class LinkChecker;

class SiteTreeModel : public QAbstractItemModel {
    Q_OBJECT
public:
    explicit SiteTreeModel(quilso::SiteTree* tree, QObject* parent = nullptr);

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    bool hasChildren(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // Drag and drop within the tree: a drag carries siblings (the first index's siblings among
    // `indexes`), a drop moves them through `moveDroppedEntries`. Only moves, and only data
    // dragged from this very model, are taken; text/plain of the menu texts goes along for
    // other programs.
    Qt::DropActions supportedDragActions() const override { return Qt::MoveAction; }
    Qt::DropActions supportedDropActions() const override { return Qt::MoveAction; }
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    bool canDropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                         const QModelIndex& parent) const override;
    bool dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                      const QModelIndex& parent) override;
    // The siblings a drag of this model carries, in sibling order; empty for anything else.
    std::vector<quilso::SiteNode*> draggedEntries(const QMimeData* data) const;
    // Carries out a drop: move `siblings` to child `row` of `newParent` (row counted without
    // them, -1 appends); true when the tree changed. Without it nothing can be dropped.
    std::function<bool(const std::vector<quilso::SiteNode*>& siblings, quilso::SiteNode* newParent, int row)>
        moveDroppedEntries;

    quilso::SiteTree* tree() const { return tree_; }
    // The node behind an index; the invisible root for an invalid index.
    quilso::SiteNode* nodeOf(const QModelIndex& index) const;
    QModelIndex indexOf(const quilso::SiteNode* node) const;

    // Bracket a wholesale replacement of the tree (the reader's rebuild).
    void beginRebuild() { beginResetModel(); }
    void endRebuild() { endResetModel(); }

    quilso::SiteNode* insertEntry(quilso::SiteNode* parent, int row, quilso::SiteEntry entry);
    // Removes siblings (in sibling order) with their subtrees.
    void removeSiblings(const std::vector<quilso::SiteNode*>& siblings);
    // Reorders the children of `parent` to `newOrder` (a permutation).
    void reorder(quilso::SiteNode* parent, const std::vector<quilso::SiteNode*>& newOrder);
    // Moves siblings (in sibling order) to `newParent` at `row` (counted without them), keeping
    // their order.
    void moveSiblings(const std::vector<quilso::SiteNode*>& siblings, quilso::SiteNode* newParent, int row);
    // Takes siblings (in sibling order) out with their subtrees but keeps them for an undo
    // history; placeSiblings puts them back.
    void detachSiblings(const std::vector<quilso::SiteNode*>& siblings);
    // Puts siblings (in sibling order; in the tree or detached) into `newParent` at the rows of
    // `runs`, the other children keeping their order.
    void placeSiblings(const std::vector<quilso::SiteNode*>& siblings, quilso::SiteNode* newParent,
                       const std::vector<quilso::RowRun>& runs);
    // Tells the views that the texts of a node changed.
    void entryChanged(quilso::SiteNode* node);
    // Entries whose page is missing show its warning icon and tooltip.
    void setLinkChecker(const LinkChecker* checker) { linkChecker_ = checker; }

signals:
    // These siblings and their subtrees are about to be removed or set aside.
    void entriesAboutToLeave(const std::vector<quilso::SiteNode*>& siblings);

private:
    // The row of `parent` a drop of `siblings` at (`row`, `parent`) leads to, counted without
    // them; -2 when the drop is refused (foreign data, or into one of the dragged subtrees).
    int dropRow(const std::vector<quilso::SiteNode*>& siblings, Qt::DropAction action, int row,
                const QModelIndex& parent) const;

    // One relayout for changes that touch many separate rows: a signal per row would make each
    // view and every persistent index pay once per row.
    // Removes or sets aside siblings: one row-removal for a run, one relayout otherwise.
    template <class TakeOut> void takeOut(const std::vector<quilso::SiteNode*>& siblings, TakeOut&& takeOut);
    template <class Mutate> void bulkChange(const std::vector<quilso::SiteNode*>& doomed, Mutate&& mutate);

    quilso::SiteTree* tree_;
    const LinkChecker* linkChecker_ = nullptr;
};
