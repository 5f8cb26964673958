#include "color_choice_panel.h"

#include "field_focus.h"

#include "edit_state.h"
#include "key_filter.h"
#include "panel_util.h"
#include "value_helpers.h"

#include <algorithm>

#include <QApplication>
#include <QColorDialog>
#include <QComboBox>
#include <QFocusEvent>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QStyle>

namespace {

ColorChoicePanel::ColorDialogFn& colorDialog() {
    static ColorChoicePanel::ColorDialogFn dialog = [](const QColor& initial, QWidget* parent) {
        const QColor chosen = QColorDialog::getColor(initial, parent);
        return chosen.isValid() ? std::optional<QColor>(chosen) : std::nullopt;
    };
    return dialog;
}

QFont fixedPitchFont() {
    QFont font(QStringLiteral("Courier New"), 8);
    font.setStyleHint(QFont::TypeWriter);
    return font;
}

QIcon drawSwatch(QRgb rgb) {
    QPixmap pixmap(14, 14);
    pixmap.fill(QColor(rgb));
    QPainter painter(&pixmap);
    painter.setPen(Qt::black);
    painter.drawRect(0, 0, 13, 13);
    return QIcon(pixmap);
}

// The swatches of the named colours are the same on all 21 panels; they are drawn once.
QIcon swatch(QRgb rgb) {
    static auto* drawn = new QHash<QRgb, QIcon>; // kept to the end, past the application object
    auto found = drawn->constFind(rgb);
    if (found != drawn->constEnd()) return *found;
    // Custom colours are not kept: the dialog can hand out any of 16 million.
    QIcon icon = drawSwatch(rgb);
    const auto& named = ColorChoicePanel::namedColors();
    if (std::any_of(named.begin(), named.end(), [rgb](const auto& colour) { return colour.second == rgb; }))
        drawn->insert(rgb, icon);
    return icon;
}

// A caption of the panel. The four captions are the same on all 21 colour panels, and measuring
// a text means laying it out; each is measured once per font and style and the sizes shared.
class Caption : public QLabel {
public:
    Caption(const QString& text, QWidget* parent) : QLabel(text, parent) {}
    QSize sizeHint() const override { return measured().first; }
    QSize minimumSizeHint() const override { return measured().second; }

private:
    std::pair<QSize, QSize> measured() const {
        ensurePolished();                                                 // the style may set the font
        static auto* sizes = new QHash<QString, std::pair<QSize, QSize>>; // kept to the very end
        const QString key = text() + QChar(0) + font().key() + QChar(0) + style()->name();
        auto found = sizes->constFind(key);
        if (found == sizes->constEnd())
            found = sizes->insert(key, {QLabel::sizeHint(), QLabel::minimumSizeHint()});
        return *found;
    }
};

QString twoHex(int value) {
    return QStringLiteral("%1").arg(value, 2, 16, QLatin1Char('0')).toUpper();
}

bool isHexText(const QString& text) {
    for (QChar ch : text)
        if (!std::isxdigit(static_cast<unsigned char>(ch.toLatin1()))) return false;
    return true;
}

// A digit pair as the integer conversion with the '$' prefix reads it; -1 when it is no number.
int hexPair(std::string_view text, std::size_t at) {
    if (text.size() < at + 2) return -1;
    bool ok = false;
    const int value = QString::fromLatin1(text.substr(at, 2)).toInt(&ok, 16);
    return ok ? value : -1;
}

} // namespace

const std::array<std::pair<const char*, QRgb>, 16>& ColorChoicePanel::namedColors() {
    static const std::array<std::pair<const char*, QRgb>, 16> colors = {{
        {"Schwarz", 0x000000},
        {"Braun", 0x800000},
        {"Grün", 0x008000},
        {"Olivgrün", 0x808000},
        {"Dunkelblau", 0x000080},
        {"Purpur", 0x800080},
        {"Grünblau", 0x008080},
        {"Grau", 0x808080},
        {"Silber", 0xC0C0C0},
        {"Rot", 0xFF0000},
        {"Limone", 0x00FF00},
        {"Gelb", 0xFFFF00},
        {"Blau", 0x0000FF},
        {"Fuchsie", 0xFF00FF},
        {"Aquamarin", 0x00FFFF},
        {"Weiß", 0xFFFFFF},
    }};
    return colors;
}

void ColorChoicePanel::setColorDialog(ColorDialogFn dialog) {
    colorDialog() = std::move(dialog);
}

ColorChoicePanel::ColorChoicePanel(QWidget* parent) : QWidget(parent) {
    auto makeEdit = [this](const char* name, const QString& text, int maxLength, int chars) {
        // Text last: every change of length limit or font lays out the text again.
        auto* edit = new QLineEdit(this);
        edit->setObjectName(QLatin1String(name));
        edit->setMaxLength(maxLength);
        edit->setFont(fixedPitchFont());
        edit->setText(text);
        const int width = edit->fontMetrics().horizontalAdvance(QString(chars, QLatin1Char('0')));
        edit->setFixedWidth(width + 14);
        FieldFocus* focus = FieldFocus::watch(edit);
        connect(focus, &FieldFocus::entered, this, [this, edit] {
            undoText_[edit] = edit->text();
            if (editState_)
                editState_->fieldEntered(
                    edit, [this, edit] { return edit->text() == undoText_.value(edit) || fieldLeft(edit); });
        });
        connect(focus, &FieldFocus::left, this, [this, edit] {
            if (editState_) editState_->fieldLeft(edit);
            fieldLeft(edit);
        });
        undoText_[edit] = text;
        connect(edit, &QLineEdit::textEdited, this, &ColorChoicePanel::setPending);
        return edit;
    };
    eHexColor_ = makeEdit("eHexColor", QStringLiteral("000000"), 6, 6);
    eRedColor_ = makeEdit("eRedColor", QStringLiteral("0"), 3, 3);
    eGreenColor_ = makeEdit("eGreenColor", QStringLiteral("0"), 3, 3);
    eBlueColor_ = makeEdit("eBlueColor", QStringLiteral("0"), 3, 3);

    KeyFilter* hexFilter = KeyFilter::attach(
        eHexColor_, [](std::string_view, char key, int) { return quilso::KeyHexDigit(key); }, true);
    connect(hexFilter, &KeyFilter::refused, this, &ColorChoicePanel::beep);
    for (QLineEdit* edit : {eRedColor_, eGreenColor_, eBlueColor_}) {
        KeyFilter* filter = KeyFilter::attach(
            edit, [](std::string_view text, char key, int) { return quilso::KeyDecimalComma(text, key); },
            true);
        connect(filter, &KeyFilter::refused, this, &ColorChoicePanel::beep);
    }

    cobColorSelect_ = new MinimumLengthList(11, this); // "Individuell..." in full
    cobColorSelect_->setObjectName(QStringLiteral("cobColorSelect"));
    cobColorSelect_->addItem(swatch(0x000000), QStringLiteral("Individuell..."),
                             QVariant::fromValue<uint>(0));
    for (const auto& [name, rgb] : namedColors())
        cobColorSelect_->addItem(swatch(rgb), QString::fromUtf8(name), QVariant::fromValue<uint>(rgb));
    cobColorSelect_->setCurrentIndex(-1);
    connect(cobColorSelect_, &QComboBox::activated, this, &ColorChoicePanel::chooseListColor);

    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setHorizontalSpacing(4);
    grid->setVerticalSpacing(3);
    auto caption = [this](const QString& text, QLineEdit* field) {
        auto* label = new Caption(text, this);
        label->setBuddy(field); // the field's name for a screen reader
        return label;
    };
    grid->addWidget(caption(QStringLiteral("Hex:"), eHexColor_), 0, 0);
    grid->addWidget(eHexColor_, 0, 1, 1, 2);
    grid->addWidget(cobColorSelect_, 0, 3, 1, 3);
    grid->addWidget(caption(QStringLiteral("rot:"), eRedColor_), 1, 0);
    grid->addWidget(eRedColor_, 1, 1);
    grid->addWidget(caption(QStringLiteral("grün:"), eGreenColor_), 1, 2, Qt::AlignRight);
    grid->addWidget(eGreenColor_, 1, 3);
    grid->addWidget(caption(QStringLiteral("blau:"), eBlueColor_), 1, 4, Qt::AlignRight);
    grid->addWidget(eBlueColor_, 1, 5);
    grid->setColumnStretch(6, 1);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);

    setTabOrder(eHexColor_, cobColorSelect_);
    setTabOrder(cobColorSelect_, eRedColor_);
    setTabOrder(eRedColor_, eGreenColor_);
    setTabOrder(eGreenColor_, eBlueColor_);

    connect(qApp, &QApplication::focusChanged, this, &ColorChoicePanel::focusChanged);
}

// The application outlives the panel: a focus change while the children are being destroyed
// must not reach a panel that is already half gone.
ColorChoicePanel::~ColorChoicePanel() {
    disconnect(qApp, &QApplication::focusChanged, this, nullptr);
}

void ColorChoicePanel::startAtBlack() {
    if (initialised_) return;
    red_ = green_ = blue_ = 0;
    hexColor_ = "000000";
    initialised_ = true;
}

void ColorChoicePanel::showColor(std::string_view text) {
    red_ = std::max(0, hexPair(text, 0));
    green_ = std::max(0, hexPair(text, 2));
    blue_ = std::max(0, hexPair(text, 4));
    hexColor_ = std::string(text);
    eHexColor_->setText(QString::fromLatin1(text));
    undoText_[eHexColor_] = eHexColor_->text();
    showComponents();
    selectListColor();
    initialised_ = true;
}

void ColorChoicePanel::showNoColor() {
    red_ = green_ = blue_ = -1;
    hexColor_.clear();
    for (QLineEdit* edit : {eHexColor_, eRedColor_, eGreenColor_, eBlueColor_}) {
        edit->clear();
        undoText_[edit].clear();
    }
    cobColorSelect_->setCurrentIndex(-1);
    hide();
}

void ColorChoicePanel::focusChanged(QWidget* old, QWidget* now) {
    // Only moves inside this window count: a dialog or another application taking the focus is
    // no exit, and the focus comes back to the same field.
    if (!now || now->window() != window()) return;
    const bool wasInside = old && isAncestorOf(old);
    const bool isInside = isAncestorOf(now);
    if (!wasInside && isInside) {
        startAtBlack();
        emit entered();
    } else if (wasInside && !isInside) {
        emit exited();
    }
}

bool ColorChoicePanel::fieldLeft(QLineEdit* edit) {
    const bool accepted = edit == eHexColor_     ? checkHexField()
                          : edit == eRedColor_   ? checkComponentField(edit, 0)
                          : edit == eGreenColor_ ? checkComponentField(edit, 1)
                                                 : checkComponentField(edit, 2);
    if (accepted) emit colorChosen();
    return accepted;
}

bool ColorChoicePanel::checkHexField() {
    QString text = eHexColor_->text();
    const bool accepted = (text.size() == 3 || text.size() == 6) && isHexText(text);
    if (accepted) {
        if (editState_) editState_->editValid = true;
        if (text.size() == 3) {
            // The CSS short form: every digit stands for a pair.
            QString doubled;
            for (QChar ch : text)
                doubled += QString(2, ch);
            text = doubled;
        }
        // Setting the text drops the field's undo history: Ctrl+Z must not bring back what
        // the check has already replaced.
        eHexColor_->setText(text);
        undoText_[eHexColor_] = text;
        hexColor_ = text.toStdString();
        red_ = hexPair(hexColor_, 0);
        green_ = hexPair(hexColor_, 2);
        blue_ = hexPair(hexColor_, 4);
        showComponents();
        selectListColor();
    } else {
        refuse(eHexColor_);
    }
    if (editState_) editState_->editPending = false;
    return accepted;
}

bool ColorChoicePanel::checkComponentField(QLineEdit* field, int pairIndex) {
    // Strict whole-number conversion: an empty field or one holding the comma fails like 256.
    const int value = quilso::StrToIntDef(field->text().toStdString(), -1);
    const bool accepted = value >= 0 && value < 256;
    if (accepted) {
        if (editState_) editState_->editValid = true;
        field->setText(field->text()); // drops the undo history, as the hex field's check does
        undoText_[field] = field->text();
        int& component = pairIndex == 0 ? red_ : pairIndex == 1 ? green_ : blue_;
        // Passing through a field without changing its value must not rewrite a stored
        // lower-case pair in upper case (and so mark the project modified).
        const bool changed = component != value || hexColor_.size() != 6;
        component = value;
        if (hexColor_.size() != 6)
            hexColor_ = (twoHex(std::max(0, red_)) + twoHex(std::max(0, green_)) + twoHex(std::max(0, blue_)))
                            .toStdString();
        if (changed) hexColor_.replace(std::size_t(pairIndex) * 2, 2, twoHex(value).toStdString());
        eHexColor_->setText(QString::fromStdString(hexColor_));
        undoText_[eHexColor_] = eHexColor_->text();
        selectListColor();
    } else {
        refuse(field);
    }
    if (editState_) editState_->editPending = false;
    return accepted;
}

void ColorChoicePanel::refuse(QLineEdit* field) {
    if (editState_) editState_->editValid = false;
    beep();
    field->setText(undoText_.value(field));
    field->setFocus(Qt::OtherFocusReason);
}

void ColorChoicePanel::showComponents() {
    for (auto [edit, value] : {std::pair{eRedColor_, red_}, {eGreenColor_, green_}, {eBlueColor_, blue_}}) {
        edit->setText(QString::number(value));
        undoText_[edit] = edit->text();
    }
}

void ColorChoicePanel::selectListColor() {
    const QRgb rgb = qRgb(red_, green_, blue_) & 0xFFFFFF;
    for (int i = 1; i < cobColorSelect_->count(); ++i) {
        if (cobColorSelect_->itemData(i).toUInt() == rgb) {
            cobColorSelect_->setCurrentIndex(i);
            return;
        }
    }
    cobColorSelect_->setItemData(0, QVariant::fromValue<uint>(rgb));
    cobColorSelect_->setItemIcon(0, swatch(rgb));
    cobColorSelect_->setCurrentIndex(0);
}

void ColorChoicePanel::chooseListColor(int index) {
    // Choosing from a panel that shows no colour starts from black.
    if (hexColor_.size() < 6) {
        setComponents(0, 0, 0);
        hexColor_ = "000000";
        eHexColor_->setText(QString::fromStdString(hexColor_));
    }
    if (index == 0) {
        const std::optional<QColor> chosen = colorDialog()(QColor(red_, green_, blue_), this);
        if (!chosen) {
            selectListColor();
            return;
        }
        const QRgb rgb = chosen->rgb() & 0xFFFFFF;
        cobColorSelect_->setItemData(0, QVariant::fromValue<uint>(rgb));
        cobColorSelect_->setItemIcon(0, swatch(rgb));
        applyListColor(rgb);
        // A dialog colour that happens to be a named one shows under its name.
        selectListColor();
    } else {
        applyListColor(cobColorSelect_->itemData(index).toUInt());
    }
    emit colorChosen();
}

void ColorChoicePanel::applyListColor(QRgb rgb) {
    cobColorSelect_->setFocus(Qt::OtherFocusReason);
    // The platform colour value keeps red in the low byte.
    const std::uint32_t platform = qRed(rgb) | qGreen(rgb) << 8 | qBlue(rgb) << 16;
    int r = 0, g = 0, b = 0;
    quilso::SplitColor(platform, r, g, b);
    setComponents(r, g, b);
    hexColor_ = (twoHex(r) + twoHex(g) + twoHex(b)).toStdString();
    eHexColor_->setText(QString::fromStdString(hexColor_));
    undoText_[eHexColor_] = eHexColor_->text();
}

void ColorChoicePanel::setComponents(int r, int g, int b) {
    red_ = r;
    green_ = g;
    blue_ = b;
    showComponents();
}

void ColorChoicePanel::setPending() {
    if (editState_) editState_->editPending = true;
}

void ColorChoicePanel::beep() {
    if (editState_)
        editState_->beep();
    else
        QApplication::beep();
}
