#include "position_panel.h"

#include "panel_util.h"

#include "value_helpers.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QRadioButton>

using namespace quilso;

namespace {

const std::vector<std::string> ClearStored = {"none", "left", "right", "both"};
const std::vector<std::string> FloatStored = {"none", "left", "right"};
const std::vector<std::string> PositionStored = {"static", "relative", "absolute", "fixed"};
const std::vector<std::string> DirectionXStored = {"left", "right"};
const std::vector<std::string> DirectionYStored = {"top", "bottom"};
const std::vector<std::string> OverflowStored = {"auto", "hidden", "visible", "scroll"};

int indexOf(const std::vector<std::string>& list, std::string_view text) {
    for (int i = 0; i < int(list.size()); ++i)
        if (list[i] == text) return i;
    return -1;
}

} // namespace

RadioGroup::RadioGroup(const QString& caption, const QStringList& items, int columns, QWidget* parent)
    : QGroupBox(caption, parent), buttons_(new QButtonGroup(this)) {
    auto* layout = new QGridLayout(this);
    for (int i = 0; i < items.size(); ++i) {
        auto* button = new QRadioButton(items[i], this);
        buttons_->addButton(button, i);
        layout->addWidget(button, i / columns, i % columns);
    }
    if (!items.isEmpty()) buttons_->button(0)->setChecked(true);
    connect(buttons_, &QButtonGroup::idClicked, this, &RadioGroup::clicked);
}

int RadioGroup::itemIndex() const {
    return buttons_->checkedId();
}

void RadioGroup::setItemIndex(int index) {
    if (QAbstractButton* button = buttons_->button(index)) button->setChecked(true);
}

PositionPanel::PositionPanel(QWidget* parent) : StylePanel(parent) {
    rgPosClear_ = new RadioGroup(
        QStringLiteral("Textfluß abbrechen + Fortsetzung unterhalb"),
        {QStringLiteral("nein"), QStringLiteral("links"), QStringLiteral("rechts"), QStringLiteral("beide")},
        4, this);
    rgPosClear_->setObjectName(QStringLiteral("rgPosClear"));
    rgPosFloat_ =
        new RadioGroup(QStringLiteral("Textfluß nachfolgender Elemente"),
                       {QStringLiteral("nein"), QStringLiteral("links"), QStringLiteral("rechts")}, 3, this);
    rgPosFloat_->setObjectName(QStringLiteral("rgPosFloat"));
    rgPosArt_ = new RadioGroup(QStringLiteral("Positionsart"),
                               {QStringLiteral("statisch"), QStringLiteral("relativ"),
                                QStringLiteral("absolut"), QStringLiteral("fixiert")},
                               4, this);
    rgPosArt_->setObjectName(QStringLiteral("rgPosArt"));
    rgPosDirectionX_ = new RadioGroup(QStringLiteral("Ausrichtung horizontal"),
                                      {QStringLiteral("links"), QStringLiteral("rechts")}, 2, this);
    rgPosDirectionX_->setObjectName(QStringLiteral("rgPosDirectionX"));
    rgPosDirectionY_ = new RadioGroup(QStringLiteral("Ausrichtung vertikal"),
                                      {QStringLiteral("oben"), QStringLiteral("unten")}, 2, this);
    rgPosDirectionY_->setObjectName(QStringLiteral("rgPosDirectionY"));
    rgPosOverflow_ = new RadioGroup(QStringLiteral("Überlauf"),
                                    {QStringLiteral("browserabhängig"), QStringLiteral("versteckt"),
                                     QStringLiteral("sichtbar"), QStringLiteral("Scrollbalken")},
                                    4, this);
    rgPosOverflow_->setObjectName(QStringLiteral("rgPosOverflow"));

    offsetH_ = makeNumberWithUnit(QStringLiteral("gbPosAbstandH"), QStringLiteral("Abstand horizontal"),
                                  QStringLiteral("ePosOffsetH"), QStringLiteral("0"),
                                  QStringLiteral("cbPosOffsetH"), NumberKeys::SignedDecimal);
    offsetV_ = makeNumberWithUnit(QStringLiteral("gbPosAbstandV"), QStringLiteral("Abstand vertikal"),
                                  QStringLiteral("ePosOffsetV"), QStringLiteral("0"),
                                  QStringLiteral("cbPosOffsetV"), NumberKeys::SignedDecimal);
    width_ = makeNumberWithUnit(QStringLiteral("gbPosBreite"), QStringLiteral("Breite"),
                                QStringLiteral("ePosBreite"), QStringLiteral("100"),
                                QStringLiteral("cbPosBreite"), NumberKeys::DecimalPoint);
    height_ =
        makeNumberWithUnit(QStringLiteral("gbPosHoehe"), QStringLiteral("Höhe"), QStringLiteral("ePosHoehe"),
                           QStringLiteral("20"), QStringLiteral("cbPosHoehe"), NumberKeys::DecimalPoint);

    // Two columns: three number fields side by side would not leave their lists room for
    // "bezogen auf Schriftgröße (em)" at the window's smallest size.
    auto* layout = new QGridLayout(this);
    auto* top = new QHBoxLayout;
    top->addWidget(rgPosClear_, 4);
    top->addWidget(rgPosFloat_, 3);
    layout->addLayout(top, 0, 0, 1, 2);
    layout->addWidget(rgPosArt_, 1, 0, 1, 2);
    layout->addWidget(rgPosDirectionX_, 2, 0);
    layout->addWidget(rgPosDirectionY_, 2, 1);
    layout->addWidget(offsetH_->parentWidget(), 3, 0);
    layout->addWidget(offsetV_->parentWidget(), 3, 1);
    layout->addWidget(width_->parentWidget(), 4, 0);
    layout->addWidget(height_->parentWidget(), 4, 1);
    layout->addWidget(rgPosOverflow_, 5, 0, 1, 2);
    layout->setRowStretch(6, 1);
    for (int c = 0; c < 2; ++c)
        layout->setColumnStretch(c, 1);

    connect(rgPosArt_, &RadioGroup::clicked, this, &PositionPanel::storePositionType);
    connect(rgPosDirectionX_, &RadioGroup::clicked, this,
            [this](int i) { storeRadio(&MenuStyle::offsetXSide, DirectionXStored, i); });
    connect(rgPosDirectionY_, &RadioGroup::clicked, this,
            [this](int i) { storeRadio(&MenuStyle::offsetYSide, DirectionYStored, i); });
    connect(rgPosOverflow_, &RadioGroup::clicked, this,
            [this](int i) { storeRadio(&MenuStyle::overflow, OverflowStored, i); });
    connect(rgPosClear_, &RadioGroup::clicked, this,
            [this](int i) { storeRadio(&MenuStyle::clear, ClearStored, i); });
    connect(rgPosFloat_, &RadioGroup::clicked, this,
            [this](int i) { storeRadio(&MenuStyle::cssFloat, FloatStored, i); });

    // Static at the start: the offset controls wait for another position type.
    enableOffsets(false);
}

NumberUnitField* PositionPanel::makeNumberWithUnit(const QString& groupName, const QString& caption,
                                                   const QString& fieldName, const QString& initial,
                                                   const QString& unitsName, NumberKeys keys) {
    auto* group = new QGroupBox(caption, this);
    group->setObjectName(groupName);
    auto* field = new NumberUnitField(fieldName, unitsName,
                                      UnitItems({{QStringLiteral("automatisch"), "auto"}}), keys, 0, group);
    field->setNumberText(toModel(initial));
    field->numberEdit()->setVisible(false);
    auto* layout = new QHBoxLayout(group);
    layout->addWidget(field);
    return field;
}

void PositionPanel::setup(MenuKind kind, StyleEditor* editor, EditState* editState) {
    StylePanel::setup(kind, editor, editState);
    offsetH_->bind(editor, kind, &MenuStyle::offsetXValue, &MenuStyle::offsetXUnit);
    offsetV_->bind(editor, kind, &MenuStyle::offsetYValue, &MenuStyle::offsetYUnit);
    width_->bind(editor, kind, &MenuStyle::widthValue, &MenuStyle::widthUnit);
    height_->bind(editor, kind, &MenuStyle::heightValue, &MenuStyle::heightUnit);
    for (NumberUnitField* field : {offsetH_, offsetV_, width_, height_})
        field->setEditState(editState);
}

bool PositionPanel::showStaticOffsets() {
    const bool movable = rgPosArt_->itemIndex() != 0;
    if (!movable) {
        rgPosDirectionX_->setItemIndex(0);
        rgPosDirectionY_->setItemIndex(0);
        offsetH_->showItem(0);
        offsetV_->showItem(0);
    }
    enableOffsets(movable);
    return !movable;
}

void PositionPanel::applyPositionType() {
    if (!showStaticOffsets()) return;
    // Follows the controls whether the user or the reader chose the static position.
    adjustStyle([](MenuStyle& record) {
        record.offsetXSide = "left";
        record.offsetYSide = "top";
        record.offsetXUnit = "auto";
        record.offsetYUnit = "auto";
    });
}

void PositionPanel::enableOffsets(bool movable) {
    for (QWidget* w :
         {static_cast<QWidget*>(rgPosDirectionX_), static_cast<QWidget*>(rgPosDirectionY_),
          static_cast<QWidget*>(offsetH_->unitList()), static_cast<QWidget*>(offsetV_->unitList())})
        w->setEnabled(movable);
    for (NumberUnitField* field : {offsetH_, offsetV_})
        field->numberEdit()->setVisible(field->unitList()->currentIndex() != 0);
}

void PositionPanel::showPositionType(std::string_view name) {
    const int index = indexOf(PositionStored, name);
    if (index >= 0) rgPosArt_->setItemIndex(index);
}

void PositionPanel::setPositionTypeByName(std::string_view name) {
    showPositionType(name);
    applyPositionType();
}

void PositionPanel::storePositionType(int index) {
    applyPositionType();
    editStyle("Positionsart", [&](MenuStyle& record) { record.position = PositionStored[index]; });
}

void PositionPanel::storeRadio(std::string MenuStyle::*field, const std::vector<std::string>& stored,
                               int index) {
    editStyle("Position", [&](MenuStyle& record) { record.*field = stored[index]; });
}

void PositionPanel::showLength(NumberUnitField* field, const std::string& value, const std::string& unit) {
    field->showItem(CssUnitIndex(unit) + 1);
    field->setNumberText(value);
}

void PositionPanel::showClear(const MenuStyle& record) {
    rgPosClear_->setItemIndex(indexOf(ClearStored, record.clear));
}

void PositionPanel::showFloat(const MenuStyle& record) {
    rgPosFloat_->setItemIndex(indexOf(FloatStored, record.cssFloat));
}

void PositionPanel::showOverflow(const MenuStyle& record) {
    rgPosOverflow_->setItemIndex(indexOf(OverflowStored, record.overflow));
}

void PositionPanel::showOffsetX(std::string_view side, const MenuStyle& record) {
    rgPosDirectionX_->setItemIndex(indexOf(DirectionXStored, side));
    showLength(offsetH_, record.offsetXValue, record.offsetXUnit);
}

void PositionPanel::showOffsetY(std::string_view side, const MenuStyle& record) {
    rgPosDirectionY_->setItemIndex(indexOf(DirectionYStored, side));
    showLength(offsetV_, record.offsetYValue, record.offsetYUnit);
}

void PositionPanel::declarationRead(BlockKind block, std::string_view property, bool stored) {
    const MenuStyle& record = css();
    if (block == BlockKind::OuterBox) {
        if (!stored) return;
        if (property == "clear")
            showClear(record);
        else if (property == "float")
            showFloat(record);
    } else if (block == BlockKind::Container) {
        // The side is the property's, set even when the length itself was refused.
        if (property == "position")
            setPositionTypeByName(record.position);
        else if (property == "left" || property == "right")
            showOffsetX(property, record);
        else if (property == "top" || property == "bottom")
            showOffsetY(property, record);
    } else if (block == BlockKind::Item) {
        if (property == "width")
            showLength(width_, record.widthValue, record.widthUnit);
        else if (property == "height")
            showLength(height_, record.heightValue, record.heightUnit);
        else if (property == "overflow" && stored)
            showOverflow(record);
    }
}

void PositionPanel::showRecordControls(const MenuStyle& record) {
    showClear(record);
    showFloat(record);
    showPositionType(record.position);
    // Unlike a read of "position: static", the offsets are not reset: the record is shown as
    // it is, and its offsets are only out of reach until another position type is chosen.
    showOffsetX(record.offsetXSide, record);
    showOffsetY(record.offsetYSide, record);
    enableOffsets(rgPosArt_->itemIndex() != 0);
    showLength(width_, record.widthValue, record.widthUnit);
    showLength(height_, record.heightValue, record.heightUnit);
    showOverflow(record);
}
