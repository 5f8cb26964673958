#include "font_panel.h"

#include "color_choice_panel.h"
#include "contrast_label.h"
#include "number_unit_field.h"
#include "panel_util.h"
#include "value_helpers.h"

#include <algorithm>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QVBoxLayout>

using quilso::BlockKind;
using quilso::MenuStyle;

namespace {

const KeywordItems& styleItems() {
    static const KeywordItems items = {{QStringLiteral("normal"), "normal"},
                                       {QStringLiteral("kursiv"), "italic"},
                                       {QStringLiteral("schräggestellt"), "oblique"},
                                       {QStringLiteral("vererbt"), "inherit"}};
    return items;
}

const KeywordItems& variantItems() {
    static const KeywordItems items = {{QStringLiteral("normal"), "normal"},
                                       {QStringLiteral("Kapitälchen"), "small-caps"},
                                       {QStringLiteral("vererbt"), "inherit"}};
    return items;
}

const KeywordItems& weightItems() {
    static const KeywordItems items = [] {
        KeywordItems list = {{QStringLiteral("normal"), "normal"},
                             {QStringLiteral("dicker"), "bolder"},
                             {QStringLiteral("dünner"), "lighter"},
                             {QStringLiteral("fett"), "bold"},
                             {QStringLiteral("vererbt"), "inherit"}};
        for (int weight = 100; weight <= 900; weight += 100)
            list.push_back({QString::number(weight), std::to_string(weight)});
        return list;
    }();
    return items;
}

const KeywordItems& sizeKeywords() {
    static const KeywordItems items = {{QStringLiteral("extrem klein"), "xx-small"},
                                       {QStringLiteral("sehr klein"), "x-small"},
                                       {QStringLiteral("klein"), "small"},
                                       {QStringLiteral("mittel"), "medium"},
                                       {QStringLiteral("groß"), "large"},
                                       {QStringLiteral("sehr groß"), "x-large"},
                                       {QStringLiteral("extrem groß"), "xx-large"},
                                       {QStringLiteral("kleiner"), "smaller"},
                                       {QStringLiteral("größer"), "larger"},
                                       {QStringLiteral("vererbt"), "inherit"}};
    return items;
}

const QStringList& familyItems() {
    static const QStringList items = {
        QStringLiteral("Arial, Helvetica, sans-serif"),
        QStringLiteral("Times New Roman, Times, serif"),
        QStringLiteral("Courier New, Courier, mono"),
        QStringLiteral("Georgia, Times New Roman, Times, serif"),
        QStringLiteral("Verdana, Arial, Helvetica, sans-serif"),
        QStringLiteral("Geneva, Arial, Helvetica, sans-serif"),
    };
    return items;
}

// A keyword list whose change handler stores the chosen keyword into `field`; with no item
// chosen it only marks the project modified.
QComboBox* keywordList(FontPanel* panel, const char* name, const KeywordItems& items,
                       const std::function<void(const std::string&)>& store,
                       const std::function<void()>& modified) {
    QComboBox* list = makeKeywordList(name, items, 0, panel);
    QObject::connect(list, &QComboBox::activated, panel, [&items, store, modified](int index) {
        if (index >= 0 && index < int(items.size())) store(items[std::size_t(index)].second);
        modified();
    });
    return list;
}

} // namespace

std::vector<std::string> SplitFontFamilies(std::string_view text) {
    std::vector<std::string> names;
    std::string name;
    char quote = 0;
    bool atStart = true;
    auto finish = [&] {
        if (!name.empty()) names.push_back(name);
        name.clear();
        atStart = true;
    };
    for (char ch : text) {
        if (quote == 0 && (ch == ',' || ch == '\r' || ch == '\n')) {
            finish();
            continue;
        }
        if (atStart && ch == ' ') continue;
        atStart = false;
        if (quote == 0 && (ch == '"' || ch == '\''))
            quote = ch;
        else if (ch == quote)
            quote = 0;
        name.push_back(ch);
    }
    finish();
    return names;
}

FontPanel::FontPanel(QWidget* parent) : StylePanel(parent) {
    auto modified = [this] { markModified(); };

    cbFontFamily_ = new MinimumLengthList(16, this);
    cbFontFamily_->setObjectName(QStringLiteral("cbFontFamily"));
    cbFontFamily_->setEditable(true);
    cbFontFamily_->setInsertPolicy(QComboBox::NoInsert);
    cbFontFamily_->setCompleter(nullptr);
    cbFontFamily_->addItems(familyItems());
    cbFontFamily_->setCurrentIndex(0);
    connect(cbFontFamily_, &QComboBox::activated, this, &FontPanel::storeChosenFamily);
    connect(cbFontFamily_->lineEdit(), &QLineEdit::textEdited, this, [this](const QString& typed) {
        // The file holds Windows-1252 only, and ';', '{' or '}' would end the rule the family is
        // written into: refuse them as they are typed instead of losing the style later.
        QString text = typed;
        dropNonCp1252(text);
        text.removeIf([](QChar c) { return c == u';' || c == u'{' || c == u'}'; });
        if (text.size() != typed.size()) {
            QLineEdit* edit = cbFontFamily_->lineEdit();
            const int caret = edit->cursorPosition() - int(typed.size() - text.size());
            edit->setText(text);
            edit->setCursorPosition(std::max(0, caret));
            if (editState()) editState()->beep();
        }
        familyTyped_ = true;
        if (editState()) editState()->editPending = true;
    });

    fontSize_ = new NumberUnitField(QStringLiteral("eFontSize"), QStringLiteral("cbFontSize"),
                                    UnitItems(sizeKeywords(), 9), NumberKeys::Decimal, 3, this);

    cbFontStyle_ = keywordList(
        this, "cbFontStyle", styleItems(),
        [this](const std::string& k) { editStyle("Schriftstil", [&](MenuStyle& r) { r.fontStyle = k; }); },
        modified);
    cbFontVariant_ = keywordList(
        this, "cbFontVariant", variantItems(),
        [this](const std::string& k) {
            editStyle("Schriftvariante", [&](MenuStyle& r) { r.fontVariant = k; });
        },
        modified);
    cbFontWeight_ = keywordList(
        this, "cbFontWeight", weightItems(),
        [this](const std::string& k) { editStyle("Schriftstärke", [&](MenuStyle& r) { r.fontWeight = k; }); },
        modified);

    auto colorPanel = [this](const char* name, std::string MenuStyle::*field) {
        auto* panel = new ColorChoicePanel(this);
        panel->setObjectName(QLatin1String(name));
        connect(panel, &ColorChoicePanel::colorChosen, this,
                [this, panel, field] { storeColor(panel, field); });
        return panel;
    };
    frameFontColorChoice_ = colorPanel("frameFontColorChoice", &MenuStyle::color);
    frameFontColorChoiceSelected_ = colorPanel("frameFontColorChoiceSelected", &MenuStyle::colorSelected);
    frameFontColorChoiceHover_ = colorPanel("frameFontColorChoiceHover", &MenuStyle::colorHover);
    // The hover group keeps its height while its colour panel is hidden.
    QSizePolicy policy = frameFontColorChoiceHover_->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    frameFontColorChoiceHover_->setSizePolicy(policy);
    cbFontColorHoverActive_ = new QCheckBox(QStringLiteral("aktivieren"), this);
    cbFontColorHoverActive_->setObjectName(QStringLiteral("cbFontColorHoverActive"));
    connect(cbFontColorHoverActive_, &QCheckBox::clicked, this, &FontPanel::switchHoverColor);
    const char* contrastNames[] = {"lFontContrast", "lFontContrastSelected", "lFontContrastHover"};
    for (int s = 0; s < 3; ++s) {
        contrasts_[s] = new ContrastLabel(static_cast<quilso::MenuState>(s), this);
        contrasts_[s]->setObjectName(QLatin1String(contrastNames[s]));
    }

    auto* left = new QVBoxLayout;
    left->addWidget(
        makeGroup("gbFontFamily", QStringLiteral("Schrift / Schriftfamilie"), {cbFontFamily_}, this));
    left->addWidget(makeGroup("gbFontSize", QStringLiteral("Schriftgröße"), {fontSize_}, this));
    left->addStretch(1);
    auto* middle = new QVBoxLayout;
    middle->addWidget(makeGroup("gbFontColor", QStringLiteral("Schriftfarbe"),
                                {frameFontColorChoice_, contrasts_[0]}, this));
    middle->addWidget(makeGroup("gbFontColorSelected", QStringLiteral("Schriftfarbe aktueller Menüpunkt"),
                                {frameFontColorChoiceSelected_, contrasts_[1]}, this));
    middle->addWidget(makeGroup("gbFontColorHover", QStringLiteral("Schriftfarbe bei Maus-Berührung"),
                                {cbFontColorHoverActive_, frameFontColorChoiceHover_, contrasts_[2]}, this));
    middle->addStretch(1);
    auto* right = new QVBoxLayout;
    QGroupBox* styleGroup = makeGroup("gbFontStyle", QStringLiteral("Schriftstil"), {cbFontStyle_}, this);
    QGroupBox* weightGroup =
        makeGroup("gbFontWeight", QStringLiteral("Schriftgewicht"), {cbFontWeight_}, this);
    QGroupBox* variantGroup =
        makeGroup("gbFontVariant", QStringLiteral("Schriftvariante"), {cbFontVariant_}, this);
    right->addWidget(styleGroup);
    right->addWidget(weightGroup);
    right->addWidget(variantGroup);
    right->addStretch(1);
    auto* columns = new QHBoxLayout(this);
    columns->addLayout(left, 3);
    columns->addLayout(middle, 2);
    columns->addLayout(right, 2);
    // Tab walks the columns from left to right, each from top to bottom; the hover colour's
    // switch comes before its colour, as it shows.
    OrderTabChain(this, {cbFontFamily_, fontSize_, frameFontColorChoice_, frameFontColorChoiceSelected_,
                         cbFontColorHoverActive_, frameFontColorChoiceHover_, styleGroup, weightGroup,
                         variantGroup});

    connect(qApp, &QApplication::focusChanged, this, &FontPanel::focusChanged);
}

// Closing the window moves the focus while the children are destroyed; the panel must not hear
// of it once its own part is gone.
FontPanel::~FontPanel() {
    disconnect(qApp, &QApplication::focusChanged, this, nullptr);
}

void FontPanel::setup(quilso::MenuKind kind, StyleEditor* editor, EditState* editState) {
    StylePanel::setup(kind, editor, editState);
    fontSize_->setEditState(editState);
    fontSize_->bind(editor, kind, &MenuStyle::fontSizeValue, &MenuStyle::fontSizeUnit);
    for (ColorChoicePanel* panel :
         {frameFontColorChoice_, frameFontColorChoiceSelected_, frameFontColorChoiceHover_})
        panel->setEditState(editState);
    contrasts_[0]->followColourPanel(frameFontColorChoice_, &MenuStyle::color);
    contrasts_[1]->followColourPanel(frameFontColorChoiceSelected_, &MenuStyle::colorSelected);
    contrasts_[2]->followColourPanel(frameFontColorChoiceHover_, &MenuStyle::colorHover);
    for (ContrastLabel* label : contrasts_)
        label->setStyle(&css());
}

void FontPanel::refreshContrasts() {
    for (ContrastLabel* label : contrasts_)
        label->refresh();
}

void FontPanel::focusChanged(QWidget* old, QWidget* now) {
    // Leaving the family box for another control of this window (not for its own list).
    if (!old || !now || now->window() != window()) return;
    const bool wasInside = old == cbFontFamily_ || cbFontFamily_->isAncestorOf(old);
    const bool isInside = now == cbFontFamily_ || cbFontFamily_->isAncestorOf(now);
    if (!wasInside && isInside && editState()) {
        // A command stores typed text as leaving the box would.
        editState()->fieldEntered(cbFontFamily_, [this] {
            storeTypedFamily();
            return true;
        });
    } else if (wasInside && !isInside) {
        if (editState()) editState()->fieldLeft(cbFontFamily_);
        storeTypedFamily();
    }
}

void FontPanel::storeChosenFamily() {
    familyTyped_ = false;
    storeFamilies();
    markModified();
}

void FontPanel::storeTypedFamily() {
    // A chosen item was stored when it was chosen; typed text is stored now and never refused.
    if (!familyTyped_) return;
    storeFamilies();
    markModified();
    editState()->editValid = true;
    editState()->editPending = false;
}

void FontPanel::storeFamilies() {
    std::vector<std::string> families = SplitFontFamilies(toModel(cbFontFamily_->currentText().trimmed()));
    editStyle("Schriftart", [&](MenuStyle& record) { record.fontFamilies = std::move(families); });
}

void FontPanel::storeColor(ColorChoicePanel* panel, std::string MenuStyle::*field) {
    if (css().*field == panel->hexColor()) return;
    editStyle("Schriftfarbe", [&](MenuStyle& record) { record.*field = panel->hexColor(); });
    refreshContrasts();
}

void FontPanel::switchHoverColor() {
    const bool active = cbFontColorHoverActive_->isChecked();
    if (active) {
        // A panel that was never entered shows black; store that rather than "no colour".
        frameFontColorChoiceHover_->startAtBlack();
        editStyle("Schriftfarbe",
                  [this](MenuStyle& record) { record.colorHover = frameFontColorChoiceHover_->hexColor(); });
    } else {
        editStyle("Schriftfarbe", [](MenuStyle& record) { record.colorHover.clear(); });
    }
    frameFontColorChoiceHover_->setVisible(active);
    refreshContrasts();
}

void FontPanel::showFamilies(const MenuStyle& record) {
    QStringList names;
    for (const std::string& name : record.fontFamilies)
        names << fromModel(name);
    cbFontFamily_->setEditText(names.join(QStringLiteral(", ")));
    familyTyped_ = false;
}

void FontPanel::showFontSize(const MenuStyle& record) {
    if (const int keyword = keywordIndex(sizeKeywords(), record.fontSizeUnit); keyword >= 0) {
        fontSize_->showItem(keyword);
    } else if (const int unit = quilso::CssUnitIndex(record.fontSizeUnit); unit >= 0) {
        fontSize_->showItem(unit + int(sizeKeywords().size()));
        fontSize_->setNumberText(record.fontSizeValue);
    }
}

void FontPanel::showFontStyle(const MenuStyle& record) {
    cbFontStyle_->setCurrentIndex(keywordIndex(styleItems(), record.fontStyle));
}

void FontPanel::showFontVariant(const MenuStyle& record) {
    cbFontVariant_->setCurrentIndex(keywordIndex(variantItems(), record.fontVariant));
}

void FontPanel::showFontWeight(const MenuStyle& record) {
    // Any weight is stored; the list follows only the weights it offers.
    if (const int index = keywordIndex(weightItems(), record.fontWeight); index >= 0)
        cbFontWeight_->setCurrentIndex(index);
}

void FontPanel::showHoverColorState(const MenuStyle& record) {
    const bool active = !record.colorHover.empty();
    cbFontColorHoverActive_->setChecked(active);
    frameFontColorChoiceHover_->setVisible(active);
    refreshContrasts();
}

void FontPanel::declarationRead(BlockKind block, std::string_view property, bool stored) {
    const MenuStyle& record = css();
    if (block == BlockKind::Item) {
        if (property == "font-family")
            showFamilies(record);
        else if (property == "font-size")
            showFontSize(record);
        else if (property == "font-style" && stored)
            showFontStyle(record);
        else if (property == "font-variant" && stored)
            showFontVariant(record);
        else if (property == "font-weight")
            showFontWeight(record);
    } else if (property == "color" && stored) {
        if (block == BlockKind::Link)
            frameFontColorChoice_->showColor(record.color);
        else if (block == BlockKind::SelectedLink)
            frameFontColorChoiceSelected_->showColor(record.colorSelected);
        else if (block == BlockKind::Hover)
            frameFontColorChoiceHover_->showColor(record.colorHover);
    }
}

void FontPanel::blockScanFinished() {
    showHoverColorState(css());
}

void FontPanel::showRecordControls(const MenuStyle& record) {
    showFamilies(record);
    // A keyword size leaves the number in the record, and the next unit chosen stores only the
    // unit: the field must hold that number, which a file naming a keyword does not set.
    fontSize_->setNumberText(record.fontSizeValue);
    showFontSize(record);
    showFontStyle(record);
    showFontVariant(record);
    showFontWeight(record);
    // An empty colour was never chosen: the panel keeps what it shows, as after a file without it.
    if (!record.color.empty()) frameFontColorChoice_->showColor(record.color);
    if (!record.colorSelected.empty()) frameFontColorChoiceSelected_->showColor(record.colorSelected);
    // Ticking the hover box stores what the hidden panel holds: without a hover colour it goes
    // back to black, where a project that never had one starts.
    frameFontColorChoiceHover_->showColor(record.colorHover.empty() ? "000000" : record.colorHover);
    showHoverColorState(record);
}
