// Helpers shared by the panel tests: finding controls by name and moving the focus as a user would.
#pragma once

#include "edit_state.h"
#include "params.h"
#include "style_editor.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QTest>

// The panels' view of the project over bare style records, as the project document gives it
// them: a stored change marks the project modified through the edit state, a follow-up value
// of the controls does not.
class ParamsEditor final : public StyleEditor {
public:
    ParamsEditor(quilso::ProjectParams* params, EditState* state) : params_(params), state_(state) {}
    const quilso::MenuStyle& style(quilso::MenuKind kind) const override { return params_->css[kind]; }
    bool editStyle(quilso::MenuKind kind, const char*, const StyleChange& change) override {
        const quilso::MenuStyle before = params_->css[kind];
        change(params_->css[kind]);
        markModified();
        return !(params_->css[kind] == before);
    }
    void adjustStyle(quilso::MenuKind kind, const StyleChange& change) override {
        change(params_->css[kind]);
    }
    void markModified() override { state_->setProjectModified(true); }

private:
    quilso::ProjectParams* params_;
    EditState* state_;
};

template <typename T> T* control(QWidget* parent, const char* name) {
    T* widget = parent->findChild<T*>(QLatin1String(name));
    if (!widget) qFatal("control %s not found", name);
    return widget;
}

// Gives `widget` the keyboard focus the way a click or Tab would (entry and exit handlers run).
inline void focusTo(QWidget* widget) {
    widget->setFocus(Qt::TabFocusReason);
    QCoreApplication::processEvents();
}

// Types `text` into a field that has the focus, key by key, through its key filters.
inline void typeInto(QLineEdit* edit, const QString& text, bool replace = true) {
    focusTo(edit);
    if (replace) edit->selectAll();
    QTest::keyClicks(edit, text);
}

// Chooses item `index` of a list as a user would (the list's change handler runs).
inline void choose(QComboBox* list, int index) {
    list->setCurrentIndex(index);
    emit list->activated(index);
}
