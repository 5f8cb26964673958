// The option whether '<' and '>' in menu texts are HTML tags.
#pragma once

#include <QUndoCommand>

class ProjectDocument;

class TagOptionCommand : public QUndoCommand {
public:
    TagOptionCommand(ProjectDocument* document, bool before, bool after);

    void undo() override;
    void redo() override;

private:
    ProjectDocument* document_;
    bool before_;
    bool after_;
};
