// The font settings of one menu: family list, size, style, variant, weight and the text colour
// of entries in their normal, selected and hover states. The main window holds one per menu on
// the tab "Schrift".
#pragma once

#include "style_panel.h"

#include <string>
#include <string_view>
#include <vector>

class NumberUnitField;
class QCheckBox;
class QComboBox;
class ColorChoicePanel;
class ContrastLabel;

// Splits a typed family list into names: ',' and line breaks separate, blanks at the start of a
// name are skipped (blanks before a comma stay), a comma inside single or double quotes does not
// split and the quotes stay, empty names are dropped.
std::vector<std::string> SplitFontFamilies(std::string_view text);

class FontPanel : public StylePanel {
    Q_OBJECT
public:
    explicit FontPanel(QWidget* parent = nullptr);
    ~FontPanel() override;

    void setup(quilso::MenuKind kind, StyleEditor* editor, EditState* editState) override;
    void declarationRead(quilso::BlockKind block, std::string_view property, bool stored) override;
    // Ticks "aktivieren" exactly when a hover colour is stored and shows its colour panel to match.
    void blockScanFinished() override;

protected:
    void showRecordControls(const quilso::MenuStyle& record) override;

private:
    // Each sets the controls of one property from `record` and stores nothing.
    void showFamilies(const quilso::MenuStyle& record);
    void showFontSize(const quilso::MenuStyle& record);
    void showFontStyle(const quilso::MenuStyle& record);
    void showFontVariant(const quilso::MenuStyle& record);
    void showFontWeight(const quilso::MenuStyle& record);
    void showHoverColorState(const quilso::MenuStyle& record);
    void storeChosenFamily();
    void storeTypedFamily();
    void storeFamilies();
    void storeColor(ColorChoicePanel* panel, std::string quilso::MenuStyle::*field);
    void switchHoverColor();
    void focusChanged(QWidget* old, QWidget* now);
    void refreshContrasts();

    QComboBox* cbFontFamily_;
    bool familyTyped_ = false; // the family text was typed rather than chosen from the list
    NumberUnitField* fontSize_;
    QComboBox* cbFontStyle_;
    QComboBox* cbFontVariant_;
    QComboBox* cbFontWeight_;
    ColorChoicePanel* frameFontColorChoice_;
    ColorChoicePanel* frameFontColorChoiceSelected_;
    ColorChoicePanel* frameFontColorChoiceHover_;
    QCheckBox* cbFontColorHoverActive_;
    // Beside each colour panel, in state order: normal, current page, hover.
    ContrastLabel* contrasts_[3];
};
