// Base of the five per-menu style panels (font, text, position, border, background). Each
// instance edits one menu's style record and shows what the reader read into it.
#pragma once

#include "edit_state.h"
#include "params.h"
#include "read_observer.h"
#include "style_editor.h"

#include <QScopedValueRollback>
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
    // marks the project modified: whatever a control's handler would store or mark meanwhile is
    // dropped. `previous` is the record the controls showed before: a panel that shows one part
    // of its record at a time shows the part that differs.
    void showRecord(const quilso::MenuStyle& record, const quilso::MenuStyle& previous) {
        const QScopedValueRollback<bool> showing(showingRecord_, true);
        showChangedRecord(record, previous);
        if (editState_) editState_->fieldTextsShown();
    }

protected:
    // The panel's part of showRecord: set the controls; the handlers they fire store nothing.
    virtual void showRecordControls(const quilso::MenuStyle& record) = 0;
    // showRecord's entry; panels that show all of their record at once need no `previous`.
    virtual void showChangedRecord(const quilso::MenuStyle& record, const quilso::MenuStyle& /*previous*/) {
        showRecordControls(record);
    }

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
