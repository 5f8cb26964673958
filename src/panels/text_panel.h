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
    void applyInheritedDecoration();

protected:
    void showRecordControls(const quilso::MenuStyle& record) override;

private:
    void storeDecorationInherit();
    // Each sets the controls of one property from `record` and stores nothing.
    void showLetterSpacing(const quilso::MenuStyle& record);
    void showWordSpacing(const quilso::MenuStyle& record);
    void showLineHeight(const quilso::MenuStyle& record);
    void showIndent(const quilso::MenuStyle& record);
    void showVerticalAlign(const quilso::MenuStyle& record);
    void showDirection(const quilso::MenuStyle& record);
    void showTransform(const quilso::MenuStyle& record);
    void showAlign(const quilso::MenuStyle& record);
    void showWhiteSpace(const quilso::MenuStyle& record);
    void showDecoration(const quilso::MenuStyle& record);
    // Unticks and disables the four decoration boxes while "vererbt" is ticked, enables them
    // otherwise; true when "vererbt" is ticked.
    bool showInheritedDecoration();

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
