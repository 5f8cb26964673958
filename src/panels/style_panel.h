// Base of the five per-menu style panels (font, text, position, border, background). Each
// instance edits one menu's style record and shows what the reader read into it.
#pragma once

#include "edit_state.h"
#include "params.h"
#include "read_observer.h"
#include "style_editor.h"

#include <QWidget>

#include <string_view>

class StylePanel : public QWidget {
    Q_OBJECT
public:
    using QWidget::QWidget;

    // Gives the panel its menu, the project it edits and the shared edit state. Called once by
    // the main window, before the first project is read.
    virtual void setup(quilso::MenuKind kind, StyleEditor* editor, EditState* editState) {
        kind_ = kind;
        editor_ = editor;
        editState_ = editState;
    }
    quilso::MenuKind menuKind() const { return kind_; }

    // The reader recognised a declaration of this panel's menu (the model already holds the
    // value); the panel sets the controls that belong to it and ignores all other properties.
    virtual void declarationRead(quilso::BlockKind block, std::string_view property, bool stored) = 0;
    // The reader's block scan is over (the border panel refreshes itself here).
    virtual void blockScanFinished() {}
    // Sets every control from `record`, so that they show what a project holding it shows (a
    // step undone or redone, a record put back as a whole). Never stores into the record, never
    // marks the project modified.
    virtual void showRecord(const quilso::MenuStyle& record) = 0;

protected:
    // While one lives, the panel only shows: whatever a control's handler would store or mark
    // is dropped, so setting the controls from a record can never turn into an edit.
    class ShowingRecord {
    public:
        explicit ShowingRecord(StylePanel* panel) : panel_(panel), was_(panel->showingRecord_) {
            panel_->showingRecord_ = true;
        }
        ~ShowingRecord() { panel_->showingRecord_ = was_; }
        ShowingRecord(const ShowingRecord&) = delete;
        ShowingRecord& operator=(const ShowingRecord&) = delete;

    private:
        StylePanel* panel_;
        bool was_;
    };

    const quilso::MenuStyle& css() const { return editor_->style(kind_); }
    // The one way a panel changes its record; marks the project modified.
    void editStyle(const char* label, const StyleEditor::StyleChange& change) {
        if (!showingRecord_) editor_->editStyle(kind_, label, change);
    }
    // Follow-up values the controls take while the reader sets them; the project is not marked.
    void adjustStyle(const StyleEditor::StyleChange& change) {
        if (!showingRecord_) editor_->adjustStyle(kind_, change);
    }
    StyleEditor* styleEditor() const { return editor_; }
    EditState* editState() const { return editState_; }
    void markModified() {
        if (!showingRecord_) editor_->markModified();
    }

private:
    quilso::MenuKind kind_ = quilso::MenuMain;
    StyleEditor* editor_ = nullptr;
    EditState* editState_ = nullptr;
    bool showingRecord_ = false;
};
