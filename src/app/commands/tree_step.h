// One undo step of the site tree: the changes of one tree command (a new entry, all entries of
// the multi-entry dialog, a delete, a move) with the selection before and after, so that undo
// and redo show the user where the change happened.
#pragma once

#include "site_tree.h"

#include <QUndoCommand>

#include <vector>

class ProjectDocument;

// A selection of siblings as their parent and rows: a block of 50,000 selected entries costs
// a few bytes. It is valid in the tree state it was taken in, which is where undo and redo
// bring it back.
struct NodeSelection {
    quilso::SiteNode* parent = nullptr;
    std::vector<quilso::RowRun> rows;
    quilso::SiteNode* focus = nullptr;

    static NodeSelection of(const std::vector<quilso::SiteNode*>& siblings, quilso::SiteNode* focus);
    std::vector<quilso::SiteNode*> nodes() const;
};

class TreeStep : public QUndoCommand {
public:
    TreeStep(ProjectDocument* document, const QString& text, NodeSelection before);

    void setSelectionAfter(NodeSelection after) { after_ = std::move(after); }
    void undo() override;
    void redo() override;

private:
    ProjectDocument* document_;
    NodeSelection before_;
    NodeSelection after_;
    // Its changes were made while the step was recorded: the stack's first redo has no work.
    bool done_ = true;
};
