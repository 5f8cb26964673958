// A menu text or file name typed into the entry fields. Every key stores the text at once, so
// the keys typed into one field for one entry merge into one step until the field is left.
#pragma once

#include "site_tree.h"

#include <QUndoCommand>

#include <string>

class ProjectDocument;

class EntryTextCommand : public QUndoCommand {
public:
    enum Field { MenuText = 1, FileName = 2 };

    EntryTextCommand(ProjectDocument* document, quilso::SiteNode* node, Field field, std::string text,
                     QUndoCommand* step = nullptr);

    // Ends the merging: the next key starts a new step.
    void seal() const { sealed_ = true; }
    int id() const override { return field_; }
    bool mergeWith(const QUndoCommand* other) override;
    void undo() override;
    void redo() override;

private:
    void store(const std::string& text);

    ProjectDocument* document_;
    quilso::SiteNode* node_;
    Field field_;
    std::string before_;
    std::string after_;
    mutable bool sealed_ = false;
    // The first redo stores what is being typed: the fields must not be filled anew then.
    bool typing_ = true;
};
