// The text layout of one menu: letter and word spacing, line height, indent, vertical and
// horizontal alignment, writing direction, capitalisation, white-space handling and decoration.
// The main window holds one per menu on the tab "Text".
#pragma once

#include "style_panel.h"

class NumberUnitField;
class QCheckBox;
class QComboBox;

class TextPanel : public StylePanel {
    Q_OBJECT
public:
    explicit TextPanel(QWidget* parent = nullptr);

    void setup(quilso::MenuKind kind, StyleEditor* editor, EditState* editState) override;
    void declarationRead(quilso::BlockKind block, std::string_view property, bool stored) override;

    // Brings the four decoration boxes in line with "vererbt": while it is ticked they are
    // unticked (their flags cleared) and disabled; otherwise they are enabled.
    void SetInheritTextDecoration();

private:
    void cbTextDecorationInheritClick();

    NumberUnitField* letterSpacing_;
    NumberUnitField* wordSpacing_;
    NumberUnitField* lineHeight_;
    NumberUnitField* indent_;
    NumberUnitField* verticalAlign_;
    QComboBox* cbTextAlign_;
    QComboBox* cbTextDirection_;
    QComboBox* cbTextTransform_;
    QComboBox* cbTextWhiteSpace_;
    QCheckBox* cbTextDecorationUnderline_;
    QCheckBox* cbTextDecorationOverline_;
    QCheckBox* cbTextDecorationLineThrough_;
    QCheckBox* cbTextDecorationBlink_;
    QCheckBox* cbTextDecorationInherit_;
};
