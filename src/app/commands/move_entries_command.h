// Moving siblings, as a block or each on its own (up, down, right, left or dragged): where they
// were and where they end up, both as runs of rows, so a block of any size costs a few bytes.
#pragma once

#include "site_tree.h"

#include <QUndoCommand>

#include <vector>

class SiteTreeModel;

class MoveEntriesCommand : public QUndoCommand {
public:
    // Moves `siblings` (in sibling order) to `newParent` so that they end up at the rows of
    // `target`, the other children keeping their order.
    MoveEntriesCommand(SiteTreeModel* model, const std::vector<quilso::SiteNode*>& siblings,
                       quilso::SiteNode* newParent, std::vector<quilso::RowRun> target, QUndoCommand* step);

    void undo() override;
    void redo() override;

private:
    SiteTreeModel* model_;
    quilso::SiteNode* oldParent_;
    std::vector<quilso::RowRun> oldRows_;
    quilso::SiteNode* newParent_;
    std::vector<quilso::RowRun> newRows_;
};
