// The background panel: the background of one menu's entries in the normal state, under the
// mouse (which can be switched off) and for the entry of the current page.
#pragma once

#include "contrast.h"
#include "style_panel.h"

#include <string>

class QCheckBox;
class QComboBox;
class QGroupBox;
class ColorChoicePanel;
class ContrastLabel;

class BackgroundPanel : public StylePanel {
    Q_OBJECT
public:
    explicit BackgroundPanel(QWidget* parent = nullptr);

    void setup(quilso::MenuKind kind, StyleEditor* editor, EditState* editState) override;
    void declarationRead(quilso::BlockKind block, std::string_view property, bool stored) override;
    // Ticks "aktivieren" exactly when the menu has a hover background, and shows the hover list
    // and colour panel to match.
    void blockScanFinished() override;

protected:
    void showRecordControls(const quilso::MenuStyle& record) override;

private:
    // One state's list, colour panel and record field.
    struct State {
        QComboBox* list;
        ColorChoicePanel* colour;
        std::string quilso::MenuStyle::*field;
        ContrastLabel* contrast;
    };

    void storeListChoice(const State& state, int index);
    void storeColor(const State& state);
    void switchHoverBackground(bool ticked);
    // Sets the list and colour panel from the record field, as the reader shows a value.
    void showField(const State& state, const quilso::MenuStyle& record);
    // The hover box, list and colour panel as `record` has a hover background or not.
    void showHoverState(const quilso::MenuStyle& record);
    State makeState(QGroupBox* group, const QString& listName, const QString& colourName,
                    std::string quilso::MenuStyle::*field, quilso::MenuState menuState);
    void refreshContrasts();

    QGroupBox* gbBackgroundColor_;
    QGroupBox* gbBackgroundHover_;
    QGroupBox* gbBackgroundSelected_;
    QCheckBox* cbBackgroundColorHoverActive_;
    State normal_;
    State hover_;
    State selected_;
};
