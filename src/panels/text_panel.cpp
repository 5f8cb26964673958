#include "text_panel.h"

#include "number_unit_field.h"
#include "panel_util.h"
#include "value_helpers.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>

#include <algorithm>
#include <tuple>

using quilso::BlockKind;
using quilso::MenuStyle;

namespace {

const KeywordItems& alignItems() {
    static const KeywordItems items = {{QStringLiteral("links"), "left"},
                                       {QStringLiteral("rechts"), "right"},
                                       {QStringLiteral("zentriert"), "center"},
                                       {QStringLiteral("Blocksatz"), "justify"},
                                       {QStringLiteral("vererbt"), "inherit"}};
    return items;
}

const KeywordItems& directionItems() {
    static const KeywordItems items = {{QStringLiteral("links nach rechts"), "ltr"},
                                       {QStringLiteral("rechts nach links"), "rtl"},
                                       {QStringLiteral("vererbt"), "inherit"}};
    return items;
}

const KeywordItems& transformItems() {
    static const KeywordItems items = {{QStringLiteral("ohne Änderung"), "none"},
                                       {QStringLiteral("Wortanfang groß"), "capitalize"},
                                       {QStringLiteral("alle Zeichen klein"), "lowercase"},
                                       {QStringLiteral("alle Zeichen groß"), "uppercase"},
                                       {QStringLiteral("vererbt"), "inherit"}};
    return items;
}

const KeywordItems& whiteSpaceItems() {
    static const KeywordItems items = {
        {QStringLiteral("zusammenfassen, automatischer Umbruch"), "normal"},
        {QStringLiteral("unverändert, kein automatischer Umbruch"), "pre"},
        {QStringLiteral("zusammenfassen, kein automatischer Umbruch"), "nowrap"},
        {QStringLiteral("vererbt"), "inherit"}};
    return items;
}

const KeywordItems& verticalAlignKeywords() {
    static const KeywordItems items = {{QStringLiteral("Grundlinie"), "baseline"},
                                       {QStringLiteral("Fußlinie"), "bottom"},
                                       {QStringLiteral("zentriert"), "middle"},
                                       {QStringLiteral("tiefgestellter Text"), "sub"},
                                       {QStringLiteral("hochgestellter Text"), "super"},
                                       {QStringLiteral("Oberkante Schrift"), "text-top"},
                                       {QStringLiteral("Unterkante Schrift"), "text-bottom"},
                                       {QStringLiteral("Oben"), "top"}};
    return items;
}

const KeywordItems spacingKeywords = {{QStringLiteral("normal"), "normal"},
                                      {QStringLiteral("vererbt"), "inherit"}};

std::vector<UnitItem> lineHeightItems() {
    std::vector<UnitItem> items = UnitItems({{QStringLiteral("normal"), "normal"},
                                             {QStringLiteral("vererbt"), "inherit"},
                                             {QStringLiteral("Faktor (Höhe=Wert*Standard)"), ""}},
                                            9);
    items[2].needsNumber = true; // a bare factor: the number alone, no unit
    return items;
}

} // namespace

TextPanel::TextPanel(QWidget* parent) : StylePanel(parent) {
    letterSpacing_ =
        new NumberUnitField(QStringLiteral("eTextLetterSpacing"), QStringLiteral("cbTextLetterSpacing"),
                            UnitItems(spacingKeywords, 8), NumberKeys::SignedDecimal, -1, this);
    wordSpacing_ =
        new NumberUnitField(QStringLiteral("eTextWordSpacing"), QStringLiteral("cbTextWordSpacing"),
                            UnitItems(spacingKeywords, 8), NumberKeys::SignedDecimal, 0, this);
    lineHeight_ = new NumberUnitField(QStringLiteral("eTextLineHeight"), QStringLiteral("cbTextLineHeight"),
                                      lineHeightItems(), NumberKeys::Decimal, -1, this);
    indent_ = new NumberUnitField(QStringLiteral("eTextIndent"), QStringLiteral("cbTextIndent"),
                                  UnitItems({{QStringLiteral("vererbt"), "inherit"}}, 9),
                                  NumberKeys::SignedDecimal, 0, this);
    verticalAlign_ =
        new NumberUnitField(QStringLiteral("eTextVerticalAlign"), QStringLiteral("cbTextVerticalAlign"),
                            UnitItems(verticalAlignKeywords(), 9), NumberKeys::SignedDecimal, -1, this);

    // `step` names the undo step: the setting, not just "a choice".
    auto keywordList = [this](const char* name, const char* step, const KeywordItems& items, int initial,
                              std::string MenuStyle::*field) {
        QComboBox* list = makeKeywordList(name, items, initial, this);
        connect(list, &QComboBox::activated, this, [this, step, &items, field](int index) {
            if (index >= 0 && index < int(items.size()))
                editStyle(step, [&](MenuStyle& record) { record.*field = items[std::size_t(index)].second; });
            else
                markModified();
        });
        return list;
    };
    cbTextAlign_ = keywordList("cbTextAlign", "Textausrichtung", alignItems(), 0, &MenuStyle::textAlign);
    cbTextDirection_ =
        keywordList("cbTextDirection", "Schreibrichtung", directionItems(), 0, &MenuStyle::direction);
    cbTextTransform_ = keywordList("cbTextTransform", "Groß-/Kleinbuchstaben", transformItems(), 0,
                                   &MenuStyle::textTransform);
    cbTextWhiteSpace_ = keywordList("cbTextWhiteSpace", "Trennzeichen-Behandlung", whiteSpaceItems(), -1,
                                    &MenuStyle::whiteSpace);

    auto decorationBox = [this](const char* name, const QString& caption, bool MenuStyle::*field) {
        auto* box = new QCheckBox(caption, this);
        box->setObjectName(QLatin1String(name));
        connect(box, &QCheckBox::clicked, this, [this, box, field] {
            editStyle("Textdekoration", [&](MenuStyle& record) { record.*field = box->isChecked(); });
        });
        return box;
    };
    cbTextDecorationUnderline_ = decorationBox("cbTextDecorationUnderline", QStringLiteral("unterstreichen"),
                                               &MenuStyle::textDecorationUnderline);
    cbTextDecorationOverline_ = decorationBox("cbTextDecorationOverline", QStringLiteral("Linie über Text"),
                                              &MenuStyle::textDecorationOverline);
    cbTextDecorationLineThrough_ =
        decorationBox("cbTextDecorationLineThrough", QStringLiteral("durchstreichen"),
                      &MenuStyle::textDecorationLineThrough);
    cbTextDecorationBlink_ =
        decorationBox("cbTextDecorationBlink", QStringLiteral("blinken"), &MenuStyle::textDecorationBlink);
    cbTextDecorationInherit_ = new QCheckBox(QStringLiteral("vererbt"), this);
    cbTextDecorationInherit_->setObjectName(QStringLiteral("cbTextDecorationInherit"));
    connect(cbTextDecorationInherit_, &QCheckBox::clicked, this, &TextPanel::storeDecorationInherit);

    auto* decoration = new QGroupBox(QStringLiteral("Text-Markierung"), this);
    decoration->setObjectName(QStringLiteral("gbTextDecoration"));
    auto* boxes = new QHBoxLayout(decoration);
    boxes->setContentsMargins(6, 4, 6, 6);
    for (QCheckBox* box : {cbTextDecorationUnderline_, cbTextDecorationOverline_,
                           cbTextDecorationLineThrough_, cbTextDecorationBlink_, cbTextDecorationInherit_})
        boxes->addWidget(box);
    boxes->addStretch(1);

    // Two columns: a row of three number fields would not leave their lists room for
    // "bezogen auf Schriftgröße (em)" at the window's smallest size.
    auto* grid = new QGridLayout(this);
    grid->addWidget(
        makeGroup("gbTextLetterSpacing", QStringLiteral("Buchstaben-Abstand"), {letterSpacing_}, this), 0, 0);
    grid->addWidget(makeGroup("gbTextWordSpacing", QStringLiteral("Wortabstand"), {wordSpacing_}, this), 0,
                    1);
    grid->addWidget(
        makeGroup("gbTextVerticalAlign", QStringLiteral("Vertikale Ausrichtung"), {verticalAlign_}, this), 1,
        0);
    grid->addWidget(makeGroup("gbTextIndent", QStringLiteral("Text einrücken"), {indent_}, this), 1, 1);
    grid->addWidget(makeGroup("gbTextLineHeight", QStringLiteral("Zeilenhöhe"), {lineHeight_}, this), 2, 0);
    grid->addWidget(
        makeGroup("gbTextWhiteSpace", QStringLiteral("Trennzeichen-Behandlung"), {cbTextWhiteSpace_}, this),
        2, 1);
    grid->addWidget(makeGroup("gbTextAlign", QStringLiteral("Ausrichtung"), {cbTextAlign_}, this), 3, 0);
    grid->addWidget(
        makeGroup("gbTextTransform", QStringLiteral("Groß-/Kleinbuchstaben"), {cbTextTransform_}, this), 3,
        1);
    grid->addWidget(makeGroup("gbTextDirection", QStringLiteral("Schreibrichtung"), {cbTextDirection_}, this),
                    4, 0);
    grid->addWidget(decoration, 5, 0, 1, 2);
    grid->setRowStretch(6, 1);
    for (int column = 0; column < 2; ++column)
        grid->setColumnStretch(column, 1);
}

void TextPanel::setup(quilso::MenuKind kind, StyleEditor* editor, EditState* editState) {
    StylePanel::setup(kind, editor, editState);
    using Field = std::string MenuStyle::*;
    const std::tuple<NumberUnitField*, Field, Field> bindings[] = {
        {letterSpacing_, &MenuStyle::letterSpacingValue, &MenuStyle::letterSpacingUnit},
        {wordSpacing_, &MenuStyle::wordSpacingValue, &MenuStyle::wordSpacingUnit},
        {lineHeight_, &MenuStyle::lineHeightValue, &MenuStyle::lineHeightUnit},
        {indent_, &MenuStyle::textIndentValue, &MenuStyle::textIndentUnit},
        {verticalAlign_, &MenuStyle::verticalAlignValue, &MenuStyle::verticalAlignUnit},
    };
    for (const auto& [field, value, unit] : bindings) {
        field->setEditState(editState);
        field->bind(editor, kind, value, unit);
    }
}

bool TextPanel::showInheritedDecoration() {
    const bool inherit = cbTextDecorationInherit_->isChecked();
    for (QCheckBox* box : {cbTextDecorationUnderline_, cbTextDecorationOverline_,
                           cbTextDecorationLineThrough_, cbTextDecorationBlink_}) {
        if (inherit) box->setChecked(false);
        box->setEnabled(!inherit);
    }
    return inherit;
}

void TextPanel::applyInheritedDecoration() {
    if (!showInheritedDecoration()) return;
    adjustStyle([](MenuStyle& record) {
        record.textDecorationUnderline = false;
        record.textDecorationOverline = false;
        record.textDecorationLineThrough = false;
        record.textDecorationBlink = false;
    });
}

void TextPanel::storeDecorationInherit() {
    applyInheritedDecoration();
    editStyle("Textdekoration", [this](MenuStyle& record) {
        record.textDecorationInherit = cbTextDecorationInherit_->isChecked();
    });
}

void TextPanel::showLetterSpacing(const MenuStyle& record) {
    const int unit = quilso::CssUnitIndex(record.letterSpacingUnit);
    letterSpacing_->setNumberText(record.letterSpacingValue);
    // A percentage has no item here: the list shows none, the number stays visible.
    if (unit < 0)
        letterSpacing_->showItem(record.letterSpacingUnit == "inherit" ? 1 : 0, false);
    else
        letterSpacing_->showItem(unit + 2, true);
}

void TextPanel::showLineHeight(const MenuStyle& record) {
    const int unit = quilso::CssUnitIndex(record.lineHeightUnit);
    lineHeight_->setNumberText(record.lineHeightValue);
    if (unit < 0) {
        const int index = record.lineHeightUnit == "inherit" ? 1 : record.lineHeightUnit.empty() ? 2 : 0;
        lineHeight_->showItem(index, index == 2);
    } else {
        lineHeight_->showItem(unit + 3, true);
    }
}

void TextPanel::showIndent(const MenuStyle& record) {
    const int unit = quilso::CssUnitIndex(record.textIndentUnit);
    indent_->setNumberText(record.textIndentValue);
    indent_->showItem(unit < 0 ? 0 : unit + 1, unit >= 0);
}

void TextPanel::showWordSpacing(const MenuStyle& record) {
    const int unit = quilso::CssUnitIndex(record.wordSpacingUnit);
    wordSpacing_->setNumberText(record.wordSpacingValue);
    if (unit >= 0 && record.wordSpacingUnit != "%")
        wordSpacing_->showItem(unit + 2, true);
    else
        wordSpacing_->showItem(record.wordSpacingUnit == "inherit" ? 1 : 0, false);
}

void TextPanel::showVerticalAlign(const MenuStyle& record) {
    const int unit = quilso::CssUnitIndex(record.verticalAlignUnit);
    verticalAlign_->setNumberText(record.verticalAlignValue);
    if (unit < 0)
        verticalAlign_->showItem(std::max(0, keywordIndex(verticalAlignKeywords(), record.verticalAlignUnit)),
                                 false);
    else
        verticalAlign_->showItem(unit + int(verticalAlignKeywords().size()), true);
}

void TextPanel::showDirection(const MenuStyle& record) {
    cbTextDirection_->setCurrentIndex(keywordIndex(directionItems(), record.direction));
}

void TextPanel::showTransform(const MenuStyle& record) {
    cbTextTransform_->setCurrentIndex(keywordIndex(transformItems(), record.textTransform));
}

void TextPanel::showAlign(const MenuStyle& record) {
    cbTextAlign_->setCurrentIndex(keywordIndex(alignItems(), record.textAlign));
}

void TextPanel::showWhiteSpace(const MenuStyle& record) {
    cbTextWhiteSpace_->setCurrentIndex(keywordIndex(whiteSpaceItems(), record.whiteSpace));
}

void TextPanel::showDecoration(const MenuStyle& record) {
    cbTextDecorationUnderline_->setChecked(record.textDecorationUnderline);
    cbTextDecorationOverline_->setChecked(record.textDecorationOverline);
    cbTextDecorationLineThrough_->setChecked(record.textDecorationLineThrough);
    cbTextDecorationBlink_->setChecked(record.textDecorationBlink);
    cbTextDecorationInherit_->setChecked(record.textDecorationInherit);
}

void TextPanel::declarationRead(BlockKind block, std::string_view property, bool stored) {
    if (!stored) return; // what the reader skipped left the record, and so the controls, as they were
    const MenuStyle& record = css();
    if (block == BlockKind::Item) {
        if (property == "letter-spacing")
            showLetterSpacing(record);
        else if (property == "line-height")
            showLineHeight(record);
        else if (property == "direction")
            showDirection(record);
        else if (property == "text-indent")
            showIndent(record);
        else if (property == "text-transform")
            showTransform(record);
        else if (property == "word-spacing")
            showWordSpacing(record);
        else if (property == "vertical-align")
            showVerticalAlign(record);
    } else if (block == BlockKind::Link) {
        if (property == "text-align") {
            showAlign(record);
        } else if (property == "white-space") {
            showWhiteSpace(record);
        } else if (property == "text-decoration") {
            showDecoration(record);
            applyInheritedDecoration();
        }
    }
}

void TextPanel::showRecordControls(const MenuStyle& record) {
    showLetterSpacing(record);
    showWordSpacing(record);
    showLineHeight(record);
    showIndent(record);
    showVerticalAlign(record);
    showDirection(record);
    showTransform(record);
    showAlign(record);
    showWhiteSpace(record);
    showDecoration(record);
    // Unlike a read, flags the record holds beside "vererbt" stay in it: they are only not shown.
    showInheritedDecoration();
}
