#include "insert_entry_command.h"

#include "site_tree_model.h"

InsertEntryCommand::InsertEntryCommand(SiteTreeModel* model, quilso::SiteNode* parent, int row,
                                       quilso::SiteEntry entry, QUndoCommand* step)
    : QUndoCommand(step), model_(model), parent_(parent), row_(row), entry_(std::move(entry)) {}

InsertEntryCommand::~InsertEntryCommand() {
    if (node_ && !inTree_) model_->tree()->destroyDetached(node_);
}

void InsertEntryCommand::undo() {
    model_->detachSiblings({node_});
    inTree_ = false;
}

void InsertEntryCommand::redo() {
    if (!node_) {
        node_ = model_->insertEntry(parent_, row_, std::move(entry_));
        row_ = node_->row();
    } else {
        model_->placeSiblings({node_}, parent_, {{row_, 1}});
    }
    inTree_ = true;
}
