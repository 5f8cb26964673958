#include "style_command.h"

#include "project_document.h"

StyleCommand::StyleCommand(ProjectDocument* document, quilso::MenuKind kind, const QString& text,
                           quilso::MenuStyle before, quilso::MenuStyle after, QUndoCommand* parent)
    : QUndoCommand(text, parent), document_(document), kind_(kind), before_(std::move(before)),
      after_(std::move(after)) {}

void StyleCommand::undo() {
    document_->restoreStyle(kind_, before_);
}

void StyleCommand::redo() {
    // On the stack's first redo the record holds the value already and nothing is restored.
    document_->restoreStyle(kind_, after_);
}
