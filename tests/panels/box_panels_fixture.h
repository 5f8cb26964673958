// Shared set-up of the position, border and background panel tests: a project, the edit state
// and a shown panel with its window active, so that focus changes run entry and exit handlers.
#pragma once

#include "edit_state.h"
#include "panel_test_support.h"
#include "params.h"

#include <memory>

struct PanelHost {
    quilso::ProjectParams params;
    EditState editState;
    ParamsEditor editor{&params, &editState};

    template <typename Panel> std::unique_ptr<Panel> make(quilso::MenuKind kind = quilso::MenuMain) {
        auto panel = std::make_unique<Panel>();
        panel->setup(kind, &editor, &editState);
        panel->resize(700, 340);
        panel->show();
        panel->activateWindow();
        (void)QTest::qWaitForWindowActive(panel.get());
        return panel;
    }
};

// Types `text` into an emptied `field`, then moves the focus to `elsewhere`.
inline void typeAndLeave(QLineEdit* field, const QString& text, QWidget* elsewhere) {
    focusTo(field);
    field->clear();
    QTest::keyClicks(field, text);
    focusTo(elsewhere);
}
