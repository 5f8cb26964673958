// A new entry. Undone, the entry is taken out but kept (with whatever was added under it
// later), so that the steps after it find the very same node when they are redone.
#pragma once

#include "site_tree.h"

#include <QUndoCommand>

class SiteTreeModel;

class InsertEntryCommand : public QUndoCommand {
public:
    // `row` < 0 appends.
    InsertEntryCommand(SiteTreeModel* model, quilso::SiteNode* parent, int row, quilso::SiteEntry entry,
                       QUndoCommand* step);
    ~InsertEntryCommand() override;

    quilso::SiteNode* node() const { return node_; }
    void undo() override;
    void redo() override;

private:
    SiteTreeModel* model_;
    quilso::SiteNode* parent_;
    int row_;
    quilso::SiteEntry entry_; // until the first redo makes the node
    quilso::SiteNode* node_ = nullptr;
    bool inTree_ = false;
};
