// Deleting siblings with their subtrees. The entries stay in memory while the step is in the
// history, so undo puts back the very nodes that later steps refer to.
#pragma once

#include "site_tree.h"

#include <QUndoCommand>

#include <vector>

class SiteTreeModel;

class RemoveEntriesCommand : public QUndoCommand {
public:
    // `siblings` in sibling order.
    RemoveEntriesCommand(SiteTreeModel* model, std::vector<quilso::SiteNode*> siblings, QUndoCommand* step);
    ~RemoveEntriesCommand() override;

    void undo() override;
    void redo() override;

private:
    SiteTreeModel* model_;
    std::vector<quilso::SiteNode*> nodes_;
    quilso::SiteNode* parent_;
    std::vector<quilso::RowRun> rows_;
    bool removed_ = false;
};
