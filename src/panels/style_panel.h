// Base of the five per-menu style panels (font, text, position, border, background). Each
// instance edits one menu's style record and shows what the reader read into it.
#pragma once

#include "edit_state.h"
#include "params.h"
#include "read_observer.h"

#include <QWidget>

#include <string_view>

class StylePanel : public QWidget {
    Q_OBJECT
public:
    using QWidget::QWidget;

    // Gives the panel its menu, the project record it writes and the shared edit state.
    // Called once by the main window, before the first project is read.
    virtual void setup(quilso::MenuKind kind, quilso::ProjectParams* params, EditState* editState) {
        kind_ = kind;
        params_ = params;
        editState_ = editState;
    }
    quilso::MenuKind menuKind() const { return kind_; }

    // The reader recognised a declaration of this panel's menu (the model already holds the
    // value); the panel sets the controls that belong to it and ignores all other properties.
    virtual void declarationRead(quilso::BlockKind block, std::string_view property, bool stored) = 0;
    // The reader's block scan is over (the border panel refreshes itself here).
    virtual void blockScanFinished() {}

protected:
    quilso::MenuStyle& css() { return params_->css[kind_]; }
    EditState* editState() const { return editState_; }
    void markModified() { editState_->setProjectModified(true); }

private:
    quilso::MenuKind kind_ = quilso::MenuMain;
    quilso::ProjectParams* params_ = nullptr;
    EditState* editState_ = nullptr;
};
