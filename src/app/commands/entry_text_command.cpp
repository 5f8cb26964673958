#include "entry_text_command.h"

#include "project_document.h"
#include "site_tree_model.h"
#include "tree_step.h"

EntryTextCommand::EntryTextCommand(ProjectDocument* document, quilso::SiteNode* node, Field field,
                                   std::string text, QUndoCommand* step)
    : QUndoCommand(field == MenuText ? QStringLiteral("Menütext ändern") : QStringLiteral("Dateiname ändern"),
                   step),
      document_(document), node_(node), field_(field),
      before_(field == MenuText ? node->entry.text : node->entry.file), after_(std::move(text)) {}

bool EntryTextCommand::mergeWith(const QUndoCommand* other) {
    const auto* next = static_cast<const EntryTextCommand*>(other);
    if (sealed_ || next->node_ != node_) return false;
    after_ = next->after_;
    // Typed back to what it was: no step is left.
    setObsolete(after_ == before_);
    return true;
}

void EntryTextCommand::store(const std::string& text) {
    (field_ == MenuText ? node_->entry.text : node_->entry.file) = text;
    document_->treeModel()->entryChanged(node_);
}

void EntryTextCommand::undo() {
    store(before_);
    sealed_ = true;
    document_->showSelection(NodeSelection::of({node_}, node_));
}

void EntryTextCommand::redo() {
    store(after_);
    if (std::exchange(typing_, false)) return;
    document_->showSelection(NodeSelection::of({node_}, node_));
}
