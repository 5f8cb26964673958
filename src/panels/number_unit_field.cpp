#include "number_unit_field.h"

#include "field_focus.h"

#include "edit_state.h"
#include "panel_util.h"
#include "params.h"
#include "value_helpers.h"

#include <QApplication>
#include <QComboBox>
#include <QFocusEvent>
#include <QHBoxLayout>
#include <QLineEdit>

#include <algorithm>

const std::vector<QString>& UnitItemTexts() {
    static const std::vector<QString> texts = {
        QStringLiteral("bezogen auf Schriftgröße (em)"),
        QStringLiteral("bezogen auf Schrifthöhe (ex)"),
        QStringLiteral("Pixel (px)"),
        QStringLiteral("Inch (in)"),
        QStringLiteral("Zentimeter (cm)"),
        QStringLiteral("Millimeter (mm)"),
        QStringLiteral("Punkt (pt)"),
        QStringLiteral("Pica (pc)"),
        QStringLiteral("Prozent (%)"),
    };
    return texts;
}

std::vector<UnitItem> UnitItems(const std::vector<std::pair<QString, std::string>>& keywords, int unitCount) {
    std::vector<UnitItem> items;
    items.reserve(keywords.size() + std::size_t(std::max(unitCount, 0)));
    for (const auto& [text, stored] : keywords)
        items.push_back({text, stored, false});
    for (int u = 0; u < unitCount && u < int(quilso::CssUnits.size()); ++u)
        items.push_back(
            {UnitItemTexts()[std::size_t(u)], std::string(quilso::CssUnits[std::size_t(u)]), true});
    return items;
}

CharFilter NumberKeyFilter(NumberKeys keys) {
    switch (keys) {
    case NumberKeys::None:
        return {};
    case NumberKeys::Decimal:
        return [](std::string_view text, char key, int) { return quilso::KeyDecimal(text, key); };
    case NumberKeys::DecimalPoint:
        return [](std::string_view text, char key, int) { return quilso::KeyDecimalPoint(text, key); };
    case NumberKeys::SignedDecimal:
        return [](std::string_view text, char key, int caret) {
            return quilso::KeySignedDecimal(text, key, caret);
        };
    }
    return {};
}

NumberUnitField::NumberUnitField(const QString& numberName, const QString& listName,
                                 std::vector<UnitItem> items, NumberKeys keys, int initialItem,
                                 QWidget* parent)
    : QWidget(parent), items_(std::move(items)) {
    // Text after the font: a font change lays out the text again.
    number_ = new QLineEdit(this);
    number_->setObjectName(numberName);
    QFont font(QStringLiteral("Courier New"), 8);
    font.setStyleHint(QFont::TypeWriter);
    number_->setFont(font);
    number_->setText(QStringLiteral("0"));
    number_->setFixedWidth(number_->fontMetrics().horizontalAdvance(QStringLiteral("000000")) + 12);
    // A hidden number field keeps its place, so the list does not jump sideways.
    QSizePolicy policy = number_->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    number_->setSizePolicy(policy);
    FieldFocus* focus = FieldFocus::watch(number_);
    connect(focus, &FieldFocus::entered, this, [this] {
        if (editState_) editState_->numberFieldEntered(number_, [this] { return storeNumberOnExit(); });
    });
    connect(focus, &FieldFocus::left, this, [this] {
        if (!editState_) return;
        editState_->fieldLeft(number_);
        storeNumberOnExit();
    });
    keyFilter_ = KeyFilter::attach(number_, NumberKeyFilter(keys));
    connect(keyFilter_, &KeyFilter::refused, this, [this] {
        if (editState_) editState_->beep();
    });
    connect(number_, &QLineEdit::textEdited, this, [this] {
        if (raisesPending_ && editState_) editState_->editPending = true;
    });

    list_ = new MinimumLengthList(12, this);
    list_->setObjectName(listName);
    for (const UnitItem& item : items_)
        list_->addItem(item.text);
    list_->setCurrentIndex(initialItem);
    connect(list_, &QComboBox::activated, this, &NumberUnitField::storeChosenItem);

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(number_);
    row->addWidget(list_, 1);
    setTabOrder(number_, list_);
}

void NumberUnitField::setStoreHandlers(std::function<void(const std::string&)> storeValue,
                                       std::function<void(const std::string&)> storeUnit) {
    storeValue_ = std::move(storeValue);
    storeUnit_ = std::move(storeUnit);
}

void NumberUnitField::bind(StyleEditor* editor, quilso::MenuKind kind, std::string quilso::MenuStyle::*value,
                           std::string quilso::MenuStyle::*unit) {
    // The steps are named after the field ("Schriftgröße"), number and unit alike.
    auto stepName = [this](const char* part) {
        const QString caption = GroupCaption(this);
        return caption.isEmpty() ? QByteArray(part) : caption.toUtf8();
    };
    setStoreHandlers(
        [editor, kind, value, stepName](const std::string& text) {
            editor->editStyle(kind, stepName("Zahl").constData(),
                              [&](quilso::MenuStyle& record) { record.*value = text; });
        },
        [editor, kind, unit, stepName](const std::string& text) {
            editor->editStyle(kind, stepName("Einheit").constData(),
                              [&](quilso::MenuStyle& record) { record.*unit = text; });
        });
}

void NumberUnitField::setKeys(NumberKeys keys) {
    keyFilter_->setFilter(NumberKeyFilter(keys));
}

int NumberUnitField::indexOfStored(std::string_view stored) const {
    for (std::size_t i = 0; i < items_.size(); ++i)
        if (items_[i].stored == stored) return int(i);
    return -1;
}

void NumberUnitField::showItem(int index) {
    const bool valid = index >= 0 && index < itemCount();
    showItem(index, valid && items_[std::size_t(index)].needsNumber);
}

void NumberUnitField::showItem(int index, bool numberVisible) {
    list_->setCurrentIndex(index >= 0 && index < itemCount() ? index : -1);
    number_->setVisible(numberVisible);
}

void NumberUnitField::setNumberText(std::string_view text) {
    number_->setText(QString::fromLatin1(text));
}

void NumberUnitField::storeChosenItem(int index) {
    if (index < 0 || index >= itemCount()) return;
    const UnitItem& item = items_[std::size_t(index)];
    if (storeUnit_) storeUnit_(item.stored);
    number_->setVisible(item.needsNumber);
    if (editState_) editState_->setProjectModified(true);
    emit itemChosen(index);
}

bool NumberUnitField::storeNumberOnExit() {
    const bool accepted = editState_->checkNumberOnExit(number_);
    editState_->editValid = accepted;
    if (accepted && storeValue_) storeValue_(number_->text().toStdString());
    editState_->editPending = false;
    emit numberExited(accepted);
    return accepted;
}
