#include "border_panel.h"

#include "color_choice_panel.h"
#include "field_focus.h"
#include "number_unit_field.h"
#include "panel_util.h"
#include "value_helpers.h"

#include <QFocusEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

void DropDownComboBox::showPopup() {
    emit aboutToDropDown();
    QComboBox::showPopup();
}

namespace {

using namespace quilso;

const QStringList& unitTexts() {
    static const QStringList texts = [] {
        QStringList list;
        for (std::string_view u : CssUnits)
            list << QString::fromLatin1(u.data(), qsizetype(u.size()));
        return list;
    }();
    return texts;
}

// Keyword items before the units in each part's width list, and their stored texts.
const std::vector<std::string>& widthKeywords(int part) {
    static const std::vector<std::string> keywords[3] = {
        {"auto", "inherit"}, {"thin", "medium", "thick", "inherit"}, {"inherit"}};
    return keywords[part];
}

struct StyleItem {
    const char* text;
    const char* stored;
};
constexpr StyleItem StyleItems[] = {
    {"kein Rahmen", "none"},          {"gepunktete Linie", "dotted"},   {"gestrichelte Linie", "dashed"},
    {"durchgezogene Linie", "solid"}, {"2 parallele Linien", "double"}, {"3D-Effekt (groove)", "groove"},
    {"3D-Effekt (ridge)", "ridge"},   {"3D-Effekt (inset)", "inset"},   {"3D-Effekt (outset)", "outset"},
    {"vererbt", "inherit"},
};

constexpr std::uint8_t SideSets[] = {1, 2, 4, 8, 3, 12, 15};

int styleIndex(const std::string& stored) {
    for (int i = 0; i < int(std::size(StyleItems)); ++i)
        if (stored == StyleItems[i].stored) return i;
    return -1;
}

} // namespace

BorderPanel::BorderPanel(QWidget* parent) : StylePanel(parent) {
    gbBorderArea_ = new QGroupBox(QStringLiteral("Rahmen / Bereich wählen"), this);
    gbBorderArea_->setObjectName(QStringLiteral("gbBorderArea"));
    cbRing_ = new QComboBox(gbBorderArea_);
    cbRing_->setObjectName(QStringLiteral("cbRing"));
    cbRing_->addItems(
        {QStringLiteral("Außenabstand"), QStringLiteral("Rahmen"), QStringLiteral("Innenabstand")});
    cbSide_ = new QComboBox(gbBorderArea_);
    cbSide_->setObjectName(QStringLiteral("cbSide"));
    cbSide_->addItems({QStringLiteral("links"), QStringLiteral("rechts"), QStringLiteral("oben"),
                       QStringLiteral("unten"), QStringLiteral("links + rechts"),
                       QStringLiteral("oben + unten"), QStringLiteral("alle Seiten")});
    picture_ = new BoxPictureView(gbBorderArea_);
    picture_->setObjectName(QStringLiteral("iBorderSelect"));
    menuTextLabel_ = new QLabel(QStringLiteral("MENÜTEXT"), picture_);
    menuTextLabel_->setObjectName(QStringLiteral("Label1"));
    QFont bold = menuTextLabel_->font();
    bold.setBold(true);
    menuTextLabel_->setFont(bold);
    menuTextLabel_->setAlignment(Qt::AlignCenter);
    // The label only decorates the centre; releases over it belong to the picture.
    menuTextLabel_->setAttribute(Qt::WA_TransparentForMouseEvents);
    menuTextLabel_->setGeometry(3 * ringWidth_ + 1, 3 * ringWidth_ + 1,
                                picture_->width() - 6 * ringWidth_ - 2,
                                picture_->height() - 6 * ringWidth_ - 2);

    auto* areaLayout = new QGridLayout(gbBorderArea_);
    areaLayout->addWidget(cbRing_, 0, 0);
    areaLayout->addWidget(cbSide_, 0, 1);
    areaLayout->addWidget(picture_, 1, 0, 1, 2, Qt::AlignCenter);

    gbBorderBreite_ = new QGroupBox(QStringLiteral("Breite"), this);
    gbBorderBreite_->setObjectName(QStringLiteral("gbBorderBreite"));
    eBorderBreite_ = new QLineEdit(gbBorderBreite_);
    eBorderBreite_->setObjectName(QStringLiteral("eBorderBreite"));
    QFont fixed(QStringLiteral("Courier New"), 8);
    fixed.setStyleHint(QFont::TypeWriter);
    eBorderBreite_->setFont(fixed); // before the text, which would otherwise be laid out twice
    eBorderBreite_->setText(QStringLiteral("100"));
    eBorderBreite_->setFixedWidth(eBorderBreite_->fontMetrics().horizontalAdvance(QStringLiteral("0000000")) +
                                  14);
    QSizePolicy keepPlace = eBorderBreite_->sizePolicy();
    keepPlace.setRetainSizeWhenHidden(true);
    eBorderBreite_->setSizePolicy(keepPlace);
    widthKeyFilter_ = KeyFilter::attach(eBorderBreite_, NumberKeyFilter(NumberKeys::DecimalPoint));
    FieldFocus* widthFocus = FieldFocus::watch(eBorderBreite_);
    connect(widthFocus, &FieldFocus::entered, this, [this] {
        if (editState())
            editState()->numberFieldEntered(eBorderBreite_, [this] { return storeBorderWidth(); });
    });
    connect(widthFocus, &FieldFocus::left, this, [this] {
        if (!editState()) return;
        editState()->fieldLeft(eBorderBreite_);
        storeBorderWidth();
    });
    cbBorderBreite_ = new DropDownComboBox(gbBorderBreite_);
    cbBorderBreite_->setObjectName(QStringLiteral("cbBorderBreite"));
    auto* widthLayout = new QHBoxLayout(gbBorderBreite_);
    widthLayout->addWidget(eBorderBreite_);
    widthLayout->addWidget(cbBorderBreite_, 1);

    gbBorderColor_ = new QGroupBox(QStringLiteral("Rahmen-Farbe"), this);
    gbBorderColor_->setObjectName(QStringLiteral("gbBorderColor"));
    frameBorderColorChoice_ = new ColorChoicePanel(gbBorderColor_);
    frameBorderColorChoice_->setObjectName(QStringLiteral("frameBorderColorChoice"));
    auto* colorLayout = new QVBoxLayout(gbBorderColor_);
    colorLayout->addWidget(frameBorderColorChoice_);
    colorLayout->addStretch(1);

    gbBorderStyle_ = new QGroupBox(QStringLiteral("Rahmen-Stil"), this);
    gbBorderStyle_->setObjectName(QStringLiteral("gbBorderStyle"));
    cbBorderStyle_ = new DropDownComboBox(gbBorderStyle_);
    cbBorderStyle_->setObjectName(QStringLiteral("cbBorderStyle"));
    for (const StyleItem& item : StyleItems)
        cbBorderStyle_->addItem(QString::fromUtf8(item.text));
    auto* styleLayout = new QVBoxLayout(gbBorderStyle_);
    styleLayout->addWidget(cbBorderStyle_);

    auto* right = new QVBoxLayout;
    right->addWidget(gbBorderBreite_);
    right->addWidget(gbBorderStyle_);
    right->addWidget(gbBorderColor_);
    right->addStretch(1);
    auto* left = new QVBoxLayout;
    left->addWidget(gbBorderArea_);
    left->addStretch(1);
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left, 1);
    layout->addLayout(right, 1);

    connect(eBorderBreite_, &QLineEdit::textEdited, this, &BorderPanel::markWidthPending);
    connect(widthKeyFilter_, &KeyFilter::refused, this, [this] {
        if (editState()) editState()->beep();
    });
    connect(cbRing_, &QComboBox::activated, this, &BorderPanel::selectRing);
    connect(cbSide_, &QComboBox::activated, this, &BorderPanel::selectSides);
    connect(picture_, &BoxPictureView::clicked, this, &BorderPanel::forgetDoubleClick);
    connect(picture_, &BoxPictureView::doubleClicked, this, &BorderPanel::noteDoubleClick);
    connect(picture_, &BoxPictureView::mouseReleased, this, &BorderPanel::toggleSideAt);
    connect(cbBorderBreite_, &DropDownComboBox::aboutToDropDown, this, &BorderPanel::unifyBeforeDropDown);
    connect(cbBorderBreite_, &QComboBox::activated, this, &BorderPanel::storeWidthUnit);
    connect(cbBorderStyle_, &DropDownComboBox::aboutToDropDown, this, &BorderPanel::unifyBeforeDropDown);
    connect(cbBorderStyle_, &QComboBox::activated, this, &BorderPanel::storeBorderStyle);
    connect(frameBorderColorChoice_, &ColorChoicePanel::colorChosen, this, &BorderPanel::storeBorderColor);
}

BorderPanel::~BorderPanel() = default;

void BorderPanel::setup(MenuKind kind, StyleEditor* editor, EditState* editState) {
    StylePanel::setup(kind, editor, editState);
    frameBorderColorChoice_->setEditState(editState);
    // The set-up follows the menu at once, so the picture is drawn before anything is read.
    initialise();
}

void BorderPanel::setWidthFieldFiltered(bool filtered) {
    widthFieldFiltered_ = filtered;
    widthKeyFilter_->setFilter(filtered ? NumberKeyFilter(NumberKeys::DecimalPoint) : CharFilter{});
}

void BorderPanel::declarationRead(BlockKind, std::string_view, bool) {
    // Box declarations show nothing at once: the panel refreshes itself after the block scan.
}

void BorderPanel::initialise() {
    if (initialised_) return;
    ringWidth_ = 18;
    const QStringList& units = unitTexts();
    widthItems_[BoxMargin] = QStringList{QStringLiteral("automatisch"), QStringLiteral("vererbt")} + units;
    widthItems_[BoxBorder] = QStringList{QStringLiteral("dünn"), QStringLiteral("mittel"),
                                         QStringLiteral("dick"), QStringLiteral("vererbt")} +
                             units.mid(0, CssUnitsLast);
    widthItems_[BoxPadding] = QStringList{QStringLiteral("vererbt")} + units;
    // Until a project is read the width list offers the margin's items, with none chosen.
    cbBorderBreite_->addItems(widthItems_[BoxMargin]);
    cbBorderBreite_->setCurrentIndex(-1);
    // The unmarked picture is the same for all three menus; drawing it pixel by pixel is a
    // noticeable share of start-up, so it is drawn once and shared (copies detach on marking).
    static QImage unmarked;
    static int unmarkedRing = 0;
    QImage& image = picture_->image();
    if (unmarked.size() != image.size() || unmarked.format() != image.format() ||
        unmarkedRing != ringWidth_) {
        boxpicture::DrawBoxPicture(image, ringWidth_);
        unmarked = image;
        unmarkedRing = ringWidth_;
    } else {
        image = unmarked;
    }
    picture_->update();
    initialised_ = true;
}

void BorderPanel::paintSide(int part, int side, QRgb to) {
    const QImage& image = picture_->image();
    const QPoint seed = boxpicture::SeedPoint(part, side, image.width(), image.height(), ringWidth_);
    const QRgb from = to == boxpicture::SkyBlue ? boxpicture::Silver : boxpicture::SkyBlue;
    if (!image.valid(seed) || image.pixel(seed) != from) return;
    boxpicture::FloodFillSurface(picture_->image(), seed.x(), seed.y(), to);
    picture_->update();
}

void BorderPanel::markSides() {
    for (int side = 0; side < BoxSideCount; ++side)
        if (sideSelected(side)) paintSide(selectedPart_, side, boxpicture::SkyBlue);
}

void BorderPanel::unmarkSides(int part) {
    for (int side = 0; side < BoxSideCount; ++side)
        if (sideSelected(side)) paintSide(part, side, boxpicture::Silver);
}

void BorderPanel::showSelection() {
    cbRing_->setCurrentIndex(selectedPart_);
    int sideItem = -1;
    for (int i = 0; i < int(std::size(SideSets)); ++i)
        if (SideSets[i] == selectedSides_) sideItem = i;
    cbSide_->setCurrentIndex(sideItem);
}

void BorderPanel::syncSelectors() {
    showSelection();
    showSideValues();
}

void BorderPanel::showSideValues() {
    showSideValues(css());
}

void BorderPanel::showSideValues(const MenuStyle& record) {
    const int part = selectedPart_;
    cbBorderBreite_->clear();
    cbBorderBreite_->addItems(widthItems_[part]);
    cbBorderBreite_->setCurrentIndex(-1);

    int reference = -1;
    bool mixed = false;
    for (int side = 0; side < BoxSideCount && !mixed; ++side) {
        if (!sideSelected(side)) continue;
        if (reference < 0) {
            reference = side;
            continue;
        }
        mixed = record.boxUnit[part][side] != record.boxUnit[part][reference] ||
                record.boxValue[part][side] != record.boxValue[part][reference];
        if (part == BoxBorder)
            mixed = mixed || record.borderColor[side] != record.borderColor[reference] ||
                    record.borderStyle[side] != record.borderStyle[reference];
    }
    if (reference < 0) mixed = true;

    if (mixed) {
        eBorderBreite_->setText(QStringLiteral("0"));
        eBorderBreite_->setVisible(false);
        cbBorderStyle_->setCurrentIndex(-1);
        frameBorderColorChoice_->setVisible(false);
    } else {
        const std::string& unit = record.boxUnit[part][reference];
        const int u = CssUnitIndex(unit);
        eBorderBreite_->setText(fromModel(record.boxValue[part][reference]));
        eBorderBreite_->setVisible(u >= 0);
        const auto& keywords = widthKeywords(part);
        int item = -1;
        if (u >= 0) {
            item = u + int(keywords.size());
        } else {
            for (int k = 0; k < int(keywords.size()); ++k)
                if (unit == keywords[k]) item = k;
        }
        // A border width in "%" has no item; the list then shows none.
        if (item >= 0 && item < cbBorderBreite_->count()) cbBorderBreite_->setCurrentIndex(item);
        if (part == BoxBorder) {
            frameBorderColorChoice_->showColor(record.borderColor[reference]);
            const int style = styleIndex(record.borderStyle[reference]);
            cbBorderStyle_->setCurrentIndex(style);
            frameBorderColorChoice_->setVisible(style > 0);
        }
    }
    gbBorderColor_->setVisible(part == BoxBorder);
    gbBorderStyle_->setVisible(part == BoxBorder);
}

void BorderPanel::unifySides() {
    // The lists show no value for mixed sides; opening one gives all selected sides the first
    // one's values, which the lists then show. Not yet the user's choice: nothing is marked.
    adjustStyle([this](MenuStyle& record) {
        int source = -1;
        for (int side = 0; side < BoxSideCount; ++side) {
            if (!sideSelected(side)) continue;
            if (source < 0) {
                source = side;
                continue;
            }
            record.boxUnit[selectedPart_][side] = record.boxUnit[selectedPart_][source];
            record.boxValue[selectedPart_][side] = record.boxValue[selectedPart_][source];
            if (selectedPart_ == BoxBorder) {
                record.borderColor[side] = record.borderColor[source];
                record.borderStyle[side] = record.borderStyle[source];
            }
        }
    });
}

void BorderPanel::refreshFromRecord() {
    showBorders(css());
}

void BorderPanel::showRecordControls(const MenuStyle& record) {
    showBorders(record);
}

void BorderPanel::showChangedRecord(const MenuStyle& record, const MenuStyle& previous) {
    for (int part = 0; part < BoxPartCount; ++part) {
        std::uint8_t sides = 0;
        for (int side = 0; side < BoxSideCount; ++side) {
            bool differs = record.boxValue[part][side] != previous.boxValue[part][side] ||
                           record.boxUnit[part][side] != previous.boxUnit[part][side];
            if (part == BoxBorder)
                differs = differs || record.borderColor[side] != previous.borderColor[side] ||
                          record.borderStyle[side] != previous.borderStyle[side];
            if (differs) sides |= std::uint8_t(1u << side);
        }
        if (sides == 0) continue;
        // Sides the list cannot name (three of them, say) are shown as all sides, mixed values
        // and all, rather than as a selection the side list leaves blank.
        if (std::find(std::begin(SideSets), std::end(SideSets), sides) == std::end(SideSets)) sides = 15;
        initialise();
        unmarkSides(selectedPart_);
        selectedPart_ = part;
        selectedSides_ = sides;
        markSides();
        showSelection();
        showSideValues(record);
        return;
    }
    // Another property changed: the box keeps its selection.
    showSideValues(record);
}

void BorderPanel::showBorders(const MenuStyle& record) {
    initialise();
    for (int part = 0; part < BoxPartCount; ++part)
        unmarkSides(part);
    selectedPart_ = BoxBorder;
    bool equal = true;
    for (int side = SideRight; side < BoxSideCount; ++side)
        equal = equal && record.boxUnit[BoxBorder][side] == record.boxUnit[BoxBorder][SideLeft] &&
                record.boxValue[BoxBorder][side] == record.boxValue[BoxBorder][SideLeft] &&
                record.borderColor[side] == record.borderColor[SideLeft] &&
                record.borderStyle[side] == record.borderStyle[SideLeft];
    selectedSides_ = equal ? 15 : 1;
    markSides();
    showSelection();
    showSideValues(record);
    gbBorderColor_->setVisible(true);
    gbBorderStyle_->setVisible(true);
}

void BorderPanel::forgetDoubleClick() {
    inDoubleClick_ = false;
}

void BorderPanel::noteDoubleClick() {
    inDoubleClick_ = true;
}

void BorderPanel::toggleSideAt(QPoint pos) {
    if (inDoubleClick_) return;
    QImage& image = picture_->image();
    if (!image.valid(pos)) return;
    const QRgb colour = image.pixel(pos);
    // Only a trapezoid under the pointer counts: a release over a black line or the centre
    // would change the selection without changing the picture.
    if (colour != boxpicture::Silver && colour != boxpicture::SkyBlue) return;
    const boxpicture::Hit hit =
        boxpicture::HitTest(pos.x(), pos.y(), image.width(), image.height(), ringWidth_);
    if (hit.ring >= BoxPartCount) return;
    const auto bit = std::uint8_t(1u << hit.side);
    if (colour == boxpicture::Silver) {
        boxpicture::FloodFillSurface(image, pos.x(), pos.y(), boxpicture::SkyBlue);
        if (hit.ring == selectedPart_) {
            cbSide_->setFocus();
            selectedSides_ |= bit;
        } else {
            cbRing_->setFocus();
            unmarkSides(selectedPart_);
            selectedPart_ = hit.ring;
            selectedSides_ = bit;
        }
    } else {
        if (selectedSides_ == bit) return; // the last side stays selected
        cbSide_->setFocus();
        boxpicture::FloodFillSurface(image, pos.x(), pos.y(), boxpicture::Silver);
        selectedSides_ &= std::uint8_t(~bit);
    }
    picture_->update();
    syncSelectors();
}

void BorderPanel::selectSides(int index) {
    if (index < 0 || index >= int(std::size(SideSets))) return;
    unmarkSides(selectedPart_);
    selectedSides_ = SideSets[index];
    markSides();
    showSideValues();
}

void BorderPanel::selectRing(int index) {
    if (index < 0 || index >= BoxPartCount) return;
    unmarkSides(selectedPart_);
    selectedPart_ = index;
    markSides();
    showSideValues();
}

std::string BorderPanel::widthStoredText(int index) const {
    const auto& keywords = widthKeywords(selectedPart_);
    if (index < int(keywords.size())) return keywords[index];
    return std::string(CssUnits[index - keywords.size()]);
}

bool BorderPanel::widthNeedsNumber(int index) const {
    return index >= int(widthKeywords(selectedPart_).size());
}

void BorderPanel::storeWidthUnit(int index) {
    if (index < 0) return;
    const bool isUnit = CssUnitIndex(toModel(cbBorderBreite_->itemText(index))) >= 0;
    if (!isUnit) eBorderBreite_->setText(QStringLiteral("0"));
    const std::string unit = widthStoredText(index);
    const std::string value = isUnit ? toModel(eBorderBreite_->text()) : "0";
    editStyle("Breite", [&](MenuStyle& record) {
        for (int side = 0; side < BoxSideCount; ++side) {
            if (!sideSelected(side)) continue;
            record.boxValue[selectedPart_][side] = value;
            record.boxUnit[selectedPart_][side] = unit;
        }
    });
    eBorderBreite_->setVisible(widthNeedsNumber(index));
}

void BorderPanel::unifyBeforeDropDown() {
    if (cbBorderBreite_->currentIndex() < 0 && cbBorderStyle_->currentIndex() < 0) {
        unifySides();
        showSideValues();
    }
}

void BorderPanel::storeBorderStyle(int index) {
    if (index < 0) return;
    editStyle("Rahmenstil", [&](MenuStyle& record) {
        for (int side = 0; side < BoxSideCount; ++side)
            if (sideSelected(side)) record.borderStyle[side] = StyleItems[index].stored;
    });
    frameBorderColorChoice_->setVisible(index != 0);
}

void BorderPanel::storeBorderColor() {
    const std::string colour = frameBorderColorChoice_->hexColor();
    editStyle("Rahmenfarbe", [&](MenuStyle& record) {
        for (int side = 0; side < BoxSideCount; ++side)
            if (sideSelected(side)) record.borderColor[side] = colour;
    });
}

void BorderPanel::markWidthPending() {
    if (widthFieldFiltered_) editState()->editPending = true;
}

bool BorderPanel::storeBorderWidth() {
    EditState* state = editState();
    const bool ok = state->checkNumberOnExit(eBorderBreite_);
    state->editValid = ok;
    if (ok) {
        const std::string value = toModel(eBorderBreite_->text());
        editStyle("Breite", [&](MenuStyle& record) {
            for (int side = 0; side < BoxSideCount; ++side)
                if (sideSelected(side)) record.boxValue[selectedPart_][side] = value;
        });
    }
    state->editPending = false;
    return ok;
}
