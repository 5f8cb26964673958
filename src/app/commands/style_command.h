// One stored value of a style panel (a border change that sets several sides is one value):
// the record of one menu before and after.
#pragma once

#include "project.h"

#include <QUndoCommand>

class ProjectDocument;

class StyleCommand : public QUndoCommand {
public:
    StyleCommand(ProjectDocument* document, quilso::MenuKind kind, const QString& text,
                 quilso::MenuStyle before, quilso::MenuStyle after, QUndoCommand* parent = nullptr);

    void undo() override;
    void redo() override;

private:
    ProjectDocument* document_;
    quilso::MenuKind kind_;
    quilso::MenuStyle before_;
    quilso::MenuStyle after_;
};
