// The position panel: where one menu's box sits and how big it is (position type, offsets,
// width, height, overflow, float and clear).
#pragma once

#include "number_unit_field.h"
#include "style_panel.h"

#include <QGroupBox>
#include <QStringList>

#include <string>
#include <vector>

class QButtonGroup;

// A group box of radio buttons laid out in columns, with one choice, like a list with an index.
class RadioGroup : public QGroupBox {
    Q_OBJECT
public:
    RadioGroup(const QString& caption, const QStringList& items, int columns, QWidget* parent = nullptr);

    int itemIndex() const;
    // Checks item `index` without emitting `clicked`.
    void setItemIndex(int index);

signals:
    // The user chose an item.
    void clicked(int index);

private:
    QButtonGroup* buttons_;
};

class PositionPanel : public StylePanel {
    Q_OBJECT
public:
    explicit PositionPanel(QWidget* parent = nullptr);

    void declarationRead(quilso::BlockKind block, std::string_view property, bool stored) override;

    // Brings the offset controls in line with the chosen position type: a static box gets its
    // offsets reset (sides left/top, units "auto") and the offset controls disabled.
    void applyPositionType();
    // Chooses the position type stored as `name` ("static", "relative", "absolute", "fixed"; any
    // other text keeps the choice), then runs applyPositionType.
    void setPositionTypeByName(std::string_view name);

    void setup(quilso::MenuKind kind, StyleEditor* editor, EditState* editState) override;

protected:
    void showRecordControls(const quilso::MenuStyle& record) override;

private:
    // Each sets the controls of one property from `record` and stores nothing.
    void showClear(const quilso::MenuStyle& record);
    void showFloat(const quilso::MenuStyle& record);
    void showOverflow(const quilso::MenuStyle& record);
    void showPositionType(std::string_view name);
    void showOffsetX(std::string_view side, const quilso::MenuStyle& record);
    void showOffsetY(std::string_view side, const quilso::MenuStyle& record);
    // The offset controls as a static box shows them (left/top, "automatisch"); true for static.
    bool showStaticOffsets();
    void storePositionType(int index);
    // Enables the four offset controls and shows an offset field only for a unit.
    void enableOffsets(bool movable);
    void storeRadio(std::string quilso::MenuStyle::*field, const std::vector<std::string>& stored, int index);
    // Sets a unit list and its number field from the record, as the reader shows a length.
    void showLength(NumberUnitField* field, const std::string& value, const std::string& unit);
    NumberUnitField* makeNumberWithUnit(const QString& groupName, const QString& caption,
                                        const QString& fieldName, const QString& initial,
                                        const QString& unitsName, NumberKeys keys);

    RadioGroup* rgPosClear_;
    RadioGroup* rgPosFloat_;
    RadioGroup* rgPosArt_;
    RadioGroup* rgPosDirectionX_;
    RadioGroup* rgPosDirectionY_;
    RadioGroup* rgPosOverflow_;
    NumberUnitField* offsetH_;
    NumberUnitField* offsetV_;
    NumberUnitField* width_;
    NumberUnitField* height_;
};
