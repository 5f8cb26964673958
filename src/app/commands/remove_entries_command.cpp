#include "remove_entries_command.h"

#include "site_tree_model.h"

RemoveEntriesCommand::RemoveEntriesCommand(SiteTreeModel* model, std::vector<quilso::SiteNode*> siblings,
                                           QUndoCommand* step)
    : QUndoCommand(step), model_(model), nodes_(std::move(siblings)), parent_(nodes_.front()->parent()),
      rows_(quilso::RowRunsOf(nodes_)) {}

RemoveEntriesCommand::~RemoveEntriesCommand() {
    if (!removed_) return;
    for (quilso::SiteNode* node : nodes_)
        model_->tree()->destroyDetached(node);
}

void RemoveEntriesCommand::undo() {
    model_->placeSiblings(nodes_, parent_, rows_);
    removed_ = false;
}

void RemoveEntriesCommand::redo() {
    model_->detachSiblings(nodes_);
    removed_ = true;
}
