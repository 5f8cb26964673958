#include "move_entries_command.h"

#include "site_tree_model.h"

MoveEntriesCommand::MoveEntriesCommand(SiteTreeModel* model, const std::vector<quilso::SiteNode*>& siblings,
                                       quilso::SiteNode* newParent, std::vector<quilso::RowRun> target,
                                       QUndoCommand* step)
    : QUndoCommand(step), model_(model), oldParent_(siblings.front()->parent()),
      oldRows_(quilso::RowRunsOf(siblings)), newParent_(newParent), newRows_(std::move(target)) {}

void MoveEntriesCommand::undo() {
    model_->placeSiblings(quilso::NodesAt(newParent_, newRows_), oldParent_, oldRows_);
}

void MoveEntriesCommand::redo() {
    model_->placeSiblings(quilso::NodesAt(oldParent_, oldRows_), newParent_, newRows_);
}
