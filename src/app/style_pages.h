// The five style pages of the main window ("Schrift" to "Hintergrund"), each a tab with one
// panel per menu, and the way the reader's reports reach the panels of a menu.
#pragma once

#include "params.h"
#include "read_observer.h"

#include <string_view>

class EditState;
class QTabWidget;
class StyleEditor;
class StylePanel;

class StylePages {
public:
    enum PanelTab { FontTab, TextTab, PositionTab, BorderTab, BackgroundTab, PanelTabCount };

    // Adds the five pages to `pageTabs`; the panels edit through `editor`.
    StylePages(QTabWidget* pageTabs, StyleEditor* editor, EditState* editState);

    StylePanel* panel(quilso::MenuKind kind, int tab) const { return panels_[kind][tab]; }

    void declarationRead(quilso::MenuKind kind, quilso::BlockKind block, std::string_view property,
                         bool stored);
    void blockScanFinished();
    // The panels of `kind` show the editor's record of it anew (after it was put back whole);
    // `previous` is what it held before.
    void showRecord(quilso::MenuKind kind, const quilso::MenuStyle& previous);

private:
    StyleEditor* editor_;
    StylePanel* panels_[quilso::MenuKindCount][PanelTabCount] = {};
};
