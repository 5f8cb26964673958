#include "frame_border.h"

#include "frame_color_choice.h"
#include "number_unit_field.h"
#include "panel_util.h"
#include "value_helpers.h"

#include <QFocusEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace boxpicture {

namespace {

// Pixel access for the drawing routines. The picture is a 32-bit image whose pixels can be read
// and written as they are; going through QImage::pixel/setPixel for each of its 26,000 pixels was
// a noticeable share of start-up. Other formats take the general way.
class Pixels {
public:
    explicit Pixels(QImage& image)
        : image_(image), width_(image.width()), height_(image.height()),
          direct_(image.format() == QImage::Format_RGB32 || image.format() == QImage::Format_ARGB32) {
        if (direct_) {
            bits_ = reinterpret_cast<QRgb*>(image.bits()); // detaches once, here
            stride_ = image.bytesPerLine() / qsizetype(sizeof(QRgb));
            // RGB32 pixels read and write as opaque whatever their top byte holds.
            if (image.format() == QImage::Format_RGB32) opaque_ = 0xFF000000u;
        }
    }
    int width() const { return width_; }
    int height() const { return height_; }
    bool valid(int x, int y) const { return x >= 0 && y >= 0 && x < width_ && y < height_; }
    QRgb get(int x, int y) const { return direct_ ? bits_[y * stride_ + x] | opaque_ : image_.pixel(x, y); }
    void set(int x, int y, QRgb rgb) {
        if (direct_)
            bits_[y * stride_ + x] = rgb | opaque_;
        else
            image_.setPixel(x, y, rgb);
    }

private:
    QImage& image_;
    int width_, height_;
    bool direct_;
    QRgb* bits_ = nullptr;
    qsizetype stride_ = 0;
    QRgb opaque_ = 0;
};

// A rectangle as the picture tools draw it: the outline takes the first and the last-but-one
// row and column of (x1, y1)-(x2, y2); the inside gets the brush.
void rectangle(Pixels& image, int x1, int y1, int x2, int y2, QRgb brush) {
    const int left = std::max(x1, 0), right = std::min(x2, image.width());
    for (int y = std::max(y1, 0); y < std::min(y2, image.height()); ++y)
        for (int x = left; x < right; ++x) {
            const bool edge = x == x1 || x == x2 - 1 || y == y1 || y == y2 - 1;
            image.set(x, y, edge ? Black : brush);
        }
}

// A one-pixel black line from (x0, y0) up to, not including, (x1, y1).
void line(Pixels& image, int x0, int y0, int x1, int y1) {
    const int dx = std::abs(x1 - x0), sx = x0 < x1 ? 1 : -1;
    const int dy = -std::abs(y1 - y0), sy = y0 < y1 ? 1 : -1;
    int err = dx + dy;
    while (x0 != x1 || y0 != y1) {
        if (image.valid(x0, y0)) image.set(x0, y0, Black);
        const int e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x0 += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y0 += sy;
        }
    }
}

// Fills the 4-connected area around (x, y) whose pixels pass `inside`; a pixel is filled once,
// so the fill colour may pass the test as well. Runs along rows: a marked trapezoid is
// repainted on every load and click, and pixel by pixel that was a noticeable wait.
template <typename Inside> void floodFill(Pixels& image, int x, int y, QRgb fill, Inside inside) {
    if (!image.valid(x, y)) return;
    const int w = image.width(), h = image.height();
    std::vector<std::uint8_t> seen(std::size_t(w) * std::size_t(h));
    auto fillable = [&](int px, int py) {
        return !seen[std::size_t(py) * std::size_t(w) + std::size_t(px)] && inside(image.get(px, py));
    };
    std::vector<QPoint> seeds{QPoint(x, y)};
    while (!seeds.empty()) {
        const QPoint seed = seeds.back();
        seeds.pop_back();
        const int row = seed.y();
        if (!fillable(seed.x(), row)) continue;
        int left = seed.x(), right = seed.x();
        while (left > 0 && fillable(left - 1, row))
            --left;
        while (right + 1 < w && fillable(right + 1, row))
            ++right;
        for (int px = left; px <= right; ++px) {
            seen[std::size_t(row) * std::size_t(w) + std::size_t(px)] = 1;
            image.set(px, row, fill);
        }
        // One seed for each run of fillable pixels above and below the filled run.
        for (const int next : {row - 1, row + 1}) {
            if (next < 0 || next >= h) continue;
            bool inRun = false;
            for (int px = left; px <= right; ++px) {
                const bool open = fillable(px, next);
                if (open && !inRun) seeds.emplace_back(px, next);
                inRun = open;
            }
        }
    }
}

} // namespace

void DrawBoxPicture(QImage& image, int ring) {
    Pixels pixels(image);
    const int w = image.width(), h = image.height();
    // The outer rectangle leaves its inside silver already: no fill up to the outline is needed.
    rectangle(pixels, 0, 0, w, h, Silver);
    rectangle(pixels, ring, ring, w - ring, h - ring, Silver);
    rectangle(pixels, 2 * ring, 2 * ring, w - 2 * ring, h - 2 * ring, Silver);
    const int c = 3 * ring;
    rectangle(pixels, c, c, w - c, h - c, Cream);
    line(pixels, 0, 0, c, c);
    line(pixels, w - 1, 0, w - 1 - c, c);
    line(pixels, w - 1, h - 1, w - 1 - c, h - 1 - c);
    line(pixels, 0, h - 1, c, h - 1 - c);
}

void FloodFillSurface(QImage& image, int x, int y, QRgb fill) {
    if (!image.valid(x, y)) return;
    const QRgb target = image.pixel(x, y);
    if (target == fill) return;
    Pixels pixels(image);
    floodFill(pixels, x, y, fill, [target](QRgb c) { return c == target; });
}

void FloodFillBorder(QImage& image, int x, int y, QRgb border, QRgb fill) {
    if (!image.valid(x, y)) return;
    Pixels pixels(image);
    floodFill(pixels, x, y, fill, [border](QRgb c) { return c != border; });
}

QPoint SeedPoint(int part, int side, int width, int height, int ring) {
    const int e = ring * part + ring / 2;
    const int f = ring * part + ring;
    switch (side) {
    case quilso::SideLeft:
        return {e, f};
    case quilso::SideRight:
        return {width - e - 1, height - f - 1};
    case quilso::SideTop:
        return {f, e};
    default:
        return {width - f - 1, height - e - 1};
    }
}

Hit HitTest(int x, int y, int width, int height, int ring) {
    const int hw = width / 2, hh = height / 2;
    // The last column and row belong to the right and bottom halves, hence the X div hw term.
    const int dx = hw - std::abs(x - hw) - x / hw;
    const int dy = hh - std::abs(y - hh) - y / hh;
    if (dx <= dy) return {x < hw ? quilso::SideLeft : quilso::SideRight, dx / ring};
    return {y < hh ? quilso::SideTop : quilso::SideBottom, dy / ring};
}

} // namespace boxpicture

BoxPictureView::BoxPictureView(QWidget* parent) : QWidget(parent), image_(200, 130, QImage::Format_RGB32) {
    image_.fill(Qt::white);
    setFixedSize(image_.size());
}

void BoxPictureView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawImage(0, 0, image_);
}

void BoxPictureView::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) pressWasDouble_ = false;
}

void BoxPictureView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    pressWasDouble_ = true;
    emit doubleClicked();
}

void BoxPictureView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    const QPoint pos = event->position().toPoint();
    if (!pressWasDouble_ && rect().contains(pos)) emit clicked();
    emit mouseReleased(pos);
}

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
    label1_ = new QLabel(QStringLiteral("MENÜTEXT"), picture_);
    label1_->setObjectName(QStringLiteral("Label1"));
    QFont bold = label1_->font();
    bold.setBold(true);
    label1_->setFont(bold);
    label1_->setAlignment(Qt::AlignCenter);
    // The label only decorates the centre; releases over it belong to the picture.
    label1_->setAttribute(Qt::WA_TransparentForMouseEvents);
    label1_->setGeometry(3 * ringWidth_ + 1, 3 * ringWidth_ + 1, picture_->width() - 6 * ringWidth_ - 2,
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
    eBorderBreiteKeyPress_ = KeyFilter::attach(eBorderBreite_, NumberKeyFilter(NumberKeys::DecimalPoint));
    eBorderBreite_->installEventFilter(this);
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

    connect(eBorderBreite_, &QLineEdit::textEdited, this, &BorderPanel::eBorderBreiteChange);
    connect(eBorderBreiteKeyPress_, &KeyFilter::refused, this, [this] {
        if (editState()) editState()->beep();
    });
    connect(cbRing_, &QComboBox::activated, this, &BorderPanel::cbRingSelect);
    connect(cbSide_, &QComboBox::activated, this, &BorderPanel::cbSideSelect);
    connect(picture_, &BoxPictureView::clicked, this, &BorderPanel::iBorderSelectClick);
    connect(picture_, &BoxPictureView::doubleClicked, this, &BorderPanel::iBorderSelectDblClick);
    connect(picture_, &BoxPictureView::mouseReleased, this, &BorderPanel::iBorderSelectMouseUp);
    connect(cbBorderBreite_, &DropDownComboBox::aboutToDropDown, this, &BorderPanel::cbBorderBreiteDropDown);
    connect(cbBorderBreite_, &QComboBox::activated, this, &BorderPanel::cbBorderBreiteSelect);
    connect(cbBorderStyle_, &DropDownComboBox::aboutToDropDown, this, &BorderPanel::cbBorderStyleDropDown);
    connect(cbBorderStyle_, &QComboBox::activated, this, &BorderPanel::cbBorderStyleSelect);
    connect(frameBorderColorChoice_, &ColorChoicePanel::exited, this,
            &BorderPanel::frameBorderColorChoiceExit);
}

BorderPanel::~BorderPanel() = default;

void BorderPanel::setup(MenuKind kind, ProjectParams* params, EditState* editState) {
    StylePanel::setup(kind, params, editState);
    frameBorderColorChoice_->setEditState(editState);
    // The set-up follows the menu at once, so the picture is drawn before anything is read.
    InitPanel();
}

void BorderPanel::setWidthFieldFiltered(bool filtered) {
    widthFieldFiltered_ = filtered;
    eBorderBreiteKeyPress_->setFilter(filtered ? NumberKeyFilter(NumberKeys::DecimalPoint) : CharFilter{});
}

bool BorderPanel::eventFilter(QObject* watched, QEvent* event) {
    if (watched != eBorderBreite_ || (event->type() != QEvent::FocusIn && event->type() != QEvent::FocusOut))
        return StylePanel::eventFilter(watched, event);
    // A dialog, another application or a context menu taking the focus is no entry or exit.
    const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
    if (reason == Qt::PopupFocusReason || reason == Qt::ActiveWindowFocusReason || !editState()) return false;
    if (event->type() == QEvent::FocusIn)
        eBorderBreiteEnter();
    else
        eBorderBreiteExit();
    return false;
}

void BorderPanel::declarationRead(BlockKind, std::string_view, bool) {
    // Box declarations show nothing at once: the panel refreshes itself after the block scan.
}

void BorderPanel::InitPanel() {
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

void BorderPanel::MarkSides() {
    for (int side = 0; side < BoxSideCount; ++side)
        if (sideSelected(side)) paintSide(selectedPart_, side, boxpicture::SkyBlue);
}

void BorderPanel::UnmarkSides(int part) {
    for (int side = 0; side < BoxSideCount; ++side)
        if (sideSelected(side)) paintSide(part, side, boxpicture::Silver);
}

void BorderPanel::SyncSelectors() {
    cbRing_->setCurrentIndex(selectedPart_);
    int sideItem = -1;
    for (int i = 0; i < int(std::size(SideSets)); ++i)
        if (SideSets[i] == selectedSides_) sideItem = i;
    cbSide_->setCurrentIndex(sideItem);
    ShowSideValues();
}

void BorderPanel::ShowSideValues() {
    MenuStyle& record = css();
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
            frameBorderColorChoice_->SetColor(record.borderColor[reference]);
            const int style = styleIndex(record.borderStyle[reference]);
            cbBorderStyle_->setCurrentIndex(style);
            frameBorderColorChoice_->setVisible(style > 0);
        }
    }
    gbBorderColor_->setVisible(part == BoxBorder);
    gbBorderStyle_->setVisible(part == BoxBorder);
}

void BorderPanel::UnifySides() {
    MenuStyle& record = css();
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
}

void BorderPanel::RefreshBorderPanel() {
    InitPanel();
    for (int part = 0; part < BoxPartCount; ++part)
        UnmarkSides(part);
    selectedPart_ = BoxBorder;
    const MenuStyle& record = css();
    bool equal = true;
    for (int side = SideRight; side < BoxSideCount; ++side)
        equal = equal && record.boxUnit[BoxBorder][side] == record.boxUnit[BoxBorder][SideLeft] &&
                record.boxValue[BoxBorder][side] == record.boxValue[BoxBorder][SideLeft] &&
                record.borderColor[side] == record.borderColor[SideLeft] &&
                record.borderStyle[side] == record.borderStyle[SideLeft];
    selectedSides_ = equal ? 15 : 1;
    MarkSides();
    SyncSelectors();
    gbBorderColor_->setVisible(true);
    gbBorderStyle_->setVisible(true);
}

void BorderPanel::iBorderSelectClick() {
    inDoubleClick_ = false;
}

void BorderPanel::iBorderSelectDblClick() {
    inDoubleClick_ = true;
}

void BorderPanel::iBorderSelectMouseUp(QPoint pos) {
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
            UnmarkSides(selectedPart_);
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
    SyncSelectors();
}

void BorderPanel::cbSideSelect(int index) {
    if (index < 0 || index >= int(std::size(SideSets))) return;
    UnmarkSides(selectedPart_);
    selectedSides_ = SideSets[index];
    MarkSides();
    ShowSideValues();
}

void BorderPanel::cbRingSelect(int index) {
    if (index < 0 || index >= BoxPartCount) return;
    UnmarkSides(selectedPart_);
    selectedPart_ = index;
    MarkSides();
    ShowSideValues();
}

std::string BorderPanel::widthStoredText(int index) const {
    const auto& keywords = widthKeywords(selectedPart_);
    if (index < int(keywords.size())) return keywords[index];
    return std::string(CssUnits[index - keywords.size()]);
}

bool BorderPanel::widthNeedsNumber(int index) const {
    return index >= int(widthKeywords(selectedPart_).size());
}

void BorderPanel::cbBorderBreiteSelect(int index) {
    if (index < 0) return;
    const bool isUnit = CssUnitIndex(toModel(cbBorderBreite_->itemText(index))) >= 0;
    if (!isUnit) eBorderBreite_->setText(QStringLiteral("0"));
    MenuStyle& record = css();
    const std::string unit = widthStoredText(index);
    for (int side = 0; side < BoxSideCount; ++side) {
        if (!sideSelected(side)) continue;
        record.boxValue[selectedPart_][side] = isUnit ? toModel(eBorderBreite_->text()) : "0";
        record.boxUnit[selectedPart_][side] = unit;
    }
    eBorderBreite_->setVisible(widthNeedsNumber(index));
    markModified();
}

void BorderPanel::cbBorderBreiteDropDown() {
    if (cbBorderBreite_->currentIndex() < 0 && cbBorderStyle_->currentIndex() < 0) {
        UnifySides();
        ShowSideValues();
    }
}

void BorderPanel::cbBorderStyleDropDown() {
    cbBorderBreiteDropDown();
}

void BorderPanel::cbBorderStyleSelect(int index) {
    if (index < 0) return;
    MenuStyle& record = css();
    for (int side = 0; side < BoxSideCount; ++side)
        if (sideSelected(side)) record.borderStyle[side] = StyleItems[index].stored;
    frameBorderColorChoice_->setVisible(index != 0);
    markModified();
}

void BorderPanel::frameBorderColorChoiceExit() {
    MenuStyle& record = css();
    const std::string colour = frameBorderColorChoice_->hexColor();
    for (int side = 0; side < BoxSideCount; ++side)
        if (sideSelected(side) && record.borderColor[side] != colour) record.borderColor[side] = colour;
    markModified();
}

void BorderPanel::eBorderBreiteEnter() {
    editState()->EditEnter(eBorderBreite_);
}

void BorderPanel::eBorderBreiteChange() {
    if (widthFieldFiltered_) editState()->editPending = true;
}

void BorderPanel::eBorderBreiteExit() {
    EditState* state = editState();
    const bool ok = state->EditSingleExit(eBorderBreite_);
    state->editValid = ok;
    if (ok) {
        MenuStyle& record = css();
        for (int side = 0; side < BoxSideCount; ++side)
            if (sideSelected(side)) record.boxValue[selectedPart_][side] = toModel(eBorderBreite_->text());
    }
    state->editPending = false;
}
