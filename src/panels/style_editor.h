// The project as the style panels see it: each menu's record to read, one way to change it, and
// the modified flag that a stored change raises. The project document implements it; the panels
// cannot see the document itself, which lives above them.
#pragma once

#include "params.h"

#include <functional>

class StyleEditor {
public:
    using StyleChange = std::function<void(quilso::MenuStyle&)>;

    virtual const quilso::MenuStyle& style(quilso::MenuKind kind) const = 0;
    // Applies `change` to the record of `kind` and marks the project modified; tells the
    // record's listeners only when the record differs afterwards. A record that differs is one
    // undo step, named by `label`; one that does not is none. Returns whether the record changed.
    virtual bool editStyle(quilso::MenuKind kind, const char* label, const StyleChange& change) = 0;
    // Stores what a panel's controls show after the reader set them (a radio group's follow-up
    // values): no edit of the user's, so the project is not marked.
    virtual void adjustStyle(quilso::MenuKind kind, const StyleChange& change) = 0;
    // Marks the project modified without a change of a record (an accepted number field whose
    // text stayed the same).
    virtual void markModified() = 0;

protected:
    ~StyleEditor() = default;
};
