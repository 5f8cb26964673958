#include "tag_option_command.h"

#include "project_document.h"

TagOptionCommand::TagOptionCommand(ProjectDocument* document, bool before, bool after)
    : QUndoCommand(QStringLiteral("HTML-Tag-Option")), document_(document), before_(before), after_(after) {}

void TagOptionCommand::undo() {
    document_->restoreTagOption(before_);
}

void TagOptionCommand::redo() {
    document_->restoreTagOption(after_);
}
