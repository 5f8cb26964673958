#include "tree_step.h"

#include "project_document.h"

NodeSelection NodeSelection::of(const std::vector<quilso::SiteNode*>& siblings, quilso::SiteNode* focus) {
    NodeSelection selection;
    selection.focus = focus;
    if (!siblings.empty()) {
        selection.parent = siblings.front()->parent();
        selection.rows = quilso::RowRunsOf(siblings);
    }
    return selection;
}

std::vector<quilso::SiteNode*> NodeSelection::nodes() const {
    if (!parent) return {};
    return quilso::NodesAt(parent, rows);
}

TreeStep::TreeStep(ProjectDocument* document, const QString& text, NodeSelection before)
    : QUndoCommand(text), document_(document), before_(std::move(before)) {}

void TreeStep::undo() {
    QUndoCommand::undo();
    document_->showSelection(before_);
}

void TreeStep::redo() {
    if (done_) {
        done_ = false;
        return;
    }
    QUndoCommand::redo();
    document_->showSelection(after_);
}
