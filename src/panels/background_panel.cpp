#include "background_panel.h"

#include "color_choice_panel.h"
#include "contrast_label.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QVBoxLayout>

using namespace quilso;

BackgroundPanel::BackgroundPanel(QWidget* parent) : StylePanel(parent) {
    gbBackgroundColor_ = new QGroupBox(QStringLiteral("Hintergrundfarbe"), this);
    gbBackgroundColor_->setObjectName(QStringLiteral("gbBackgroundColor"));
    gbBackgroundHover_ = new QGroupBox(QStringLiteral("Hintergrundfarbe bei Maus-Berührung"), this);
    gbBackgroundHover_->setObjectName(QStringLiteral("gbBackgroundHover"));
    gbBackgroundSelected_ = new QGroupBox(QStringLiteral("Hintergrundfarbe aktueller Menüpunkt"), this);
    gbBackgroundSelected_->setObjectName(QStringLiteral("gbBackgroundSelected"));

    normal_ = makeState(gbBackgroundColor_, QStringLiteral("cbBackgroundColor"),
                        QStringLiteral("frameBackgroundColorChoice"), &MenuStyle::backgroundColor,
                        MenuState::Normal);
    cbBackgroundColorHoverActive_ = new QCheckBox(QStringLiteral("aktivieren"), gbBackgroundHover_);
    cbBackgroundColorHoverActive_->setObjectName(QStringLiteral("cbBackgroundColorHoverActive"));
    hover_ = makeState(gbBackgroundHover_, QStringLiteral("cbBackgroundColorHover"),
                       QStringLiteral("frameBackgroundColorHoverChoice"), &MenuStyle::backgroundColorHover,
                       MenuState::Hover);
    selected_ = makeState(gbBackgroundSelected_, QStringLiteral("cbBackgroundColorSelected"),
                          QStringLiteral("frameBackgroundColorSelectedChoice"),
                          &MenuStyle::backgroundColorSelected, MenuState::Current);

    for (auto [group, state] :
         {std::pair{gbBackgroundColor_, &normal_}, std::pair{gbBackgroundHover_, &hover_},
          std::pair{gbBackgroundSelected_, &selected_}}) {
        auto* box = new QVBoxLayout(group);
        auto* row = new QHBoxLayout;
        if (state == &hover_) row->addWidget(cbBackgroundColorHoverActive_);
        row->addWidget(state->list, 1);
        box->addLayout(row);
        box->addWidget(state->colour);
        box->addWidget(state->contrast);
        box->addStretch(1);
    }
    auto* layout = new QGridLayout(this);
    layout->addWidget(gbBackgroundColor_, 0, 0);
    layout->addWidget(gbBackgroundHover_, 0, 1);
    layout->addWidget(gbBackgroundSelected_, 1, 0);
    layout->setColumnStretch(0, 1);
    layout->setColumnStretch(1, 1);
    layout->setRowStretch(2, 1);

    connect(cbBackgroundColorHoverActive_, &QCheckBox::clicked, this,
            &BackgroundPanel::switchHoverBackground);
}

BackgroundPanel::State BackgroundPanel::makeState(QGroupBox* group, const QString& listName,
                                                  const QString& colourName, std::string MenuStyle::*field,
                                                  MenuState menuState) {
    State state{new QComboBox(group), new ColorChoicePanel(group), field,
                new ContrastLabel(menuState, group)};
    state.contrast->setObjectName(QStringLiteral("lContrast") + colourName.mid(5));
    state.list->setObjectName(listName);
    state.list->addItems(
        {QStringLiteral("transparent"), QStringLiteral("vererbt"), QStringLiteral("Farbwert")});
    state.list->setCurrentIndex(0);
    state.colour->setObjectName(colourName);
    connect(state.list, &QComboBox::activated, this,
            [this, state](int index) { storeListChoice(state, index); });
    connect(state.colour, &ColorChoicePanel::colorChosen, this, [this, state] { storeColor(state); });
    return state;
}

void BackgroundPanel::setup(MenuKind kind, StyleEditor* editor, EditState* editState) {
    StylePanel::setup(kind, editor, editState);
    for (const State* state : {&normal_, &hover_, &selected_}) {
        state->colour->setEditState(editState);
        state->contrast->followColourPanel(state->colour, state->field);
        state->contrast->setStyle(&css());
    }
}

void BackgroundPanel::refreshContrasts() {
    for (const State* state : {&normal_, &hover_, &selected_})
        state->contrast->refresh();
}

void BackgroundPanel::storeListChoice(const State& state, int index) {
    std::string value;
    switch (index) {
    case 0:
        value = "transparent";
        break;
    case 1:
        value = "inherit";
        break;
    case 2:
        // A panel never entered shows black: store what it shows.
        if (state.colour->hexColor().size() != 6) state.colour->showColor("000000");
        value = state.colour->hexColor();
        break;
    default:
        break;
    }
    if (index >= 0 && index <= 2)
        editStyle("Hintergrund", [&](MenuStyle& record) { record.*state.field = std::move(value); });
    else
        markModified();
    if (index >= 0) state.colour->setVisible(index == 2);
    refreshContrasts();
}

void BackgroundPanel::storeColor(const State& state) {
    if (css().*state.field == state.colour->hexColor()) return;
    editStyle("Hintergrundfarbe", [&](MenuStyle& record) { record.*state.field = state.colour->hexColor(); });
    refreshContrasts();
}

void BackgroundPanel::switchHoverBackground(bool ticked) {
    if (ticked) {
        storeListChoice(hover_, hover_.list->currentIndex());
    } else {
        editStyle("Hintergrund", [](MenuStyle& record) { record.backgroundColorHover.clear(); });
        hover_.colour->setVisible(false);
    }
    hover_.list->setVisible(ticked);
    markModified();
    refreshContrasts();
}

void BackgroundPanel::showField(const State& state, const MenuStyle& record) {
    const std::string& field = record.*state.field;
    int index = 2;
    if (field == "transparent")
        index = 0;
    else if (field == "inherit")
        index = 1;
    state.list->setCurrentIndex(index);
    // An empty hover field (no hover background) has no colour to show.
    if (index == 2 && !field.empty()) state.colour->showColor(field);
    state.colour->setVisible(index == 2);
}

void BackgroundPanel::declarationRead(BlockKind block, std::string_view property, bool) {
    if (property != "background-color") return;
    switch (block) {
    case BlockKind::Item:
    case BlockKind::Link:
        showField(normal_, css());
        break;
    case BlockKind::SelectedLink:
        showField(selected_, css());
        break;
    case BlockKind::Hover:
        showField(hover_, css());
        break;
    default:
        break;
    }
}

void BackgroundPanel::showHoverState(const MenuStyle& record) {
    const bool active = !record.backgroundColorHover.empty();
    cbBackgroundColorHoverActive_->setChecked(active);
    // The file may name a hover background without this load's hover block having shown it.
    if (active) showField(hover_, record);
    hover_.list->setVisible(active);
    hover_.colour->setVisible(active && hover_.list->currentIndex() == 2);
    refreshContrasts();
}

void BackgroundPanel::blockScanFinished() {
    showHoverState(css());
}

void BackgroundPanel::showRecordControls(const MenuStyle& record) {
    showField(normal_, record);
    showField(selected_, record);
    // Ticking the box stores what the hidden list shows: without a hover background the list
    // goes back to where a project that never had one starts, which a read leaves alone.
    if (record.backgroundColorHover.empty()) hover_.list->setCurrentIndex(0);
    showHoverState(record);
}
