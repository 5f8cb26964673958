#include "contrast_label.h"

#include "color_choice_panel.h"

#include <QApplication>
#include <QLineEdit>
#include <QTimer>

using quilso::MenuStyle;

ContrastLabel::ContrastLabel(quilso::MenuState state, QWidget* parent) : QLabel(parent), state_(state) {
    setTextFormat(Qt::PlainText);
    setToolTip(QStringLiteral("Kontrast von Schrift- und Hintergrundfarbe; ab 4,5:1 ist normal große "
                              "Schrift gut lesbar."));
}

void ContrastLabel::setStyle(const MenuStyle* style) {
    style_ = style;
    refresh();
}

void ContrastLabel::followColourPanel(ColorChoicePanel* panel, std::string MenuStyle::*field) {
    panel_ = panel;
    field_ = field;
    // The hex field is kept in step with the components and the list, so its text is the colour
    // the panel shows whichever way it was chosen.
    if (auto* hex = panel->findChild<QLineEdit*>(QStringLiteral("eHexColor")))
        connect(hex, &QLineEdit::textChanged, this, &ContrastLabel::refreshLater);
}

void ContrastLabel::refreshLater() {
    // Several fields change in one step; the panel's owner may store the colour right after.
    if (refreshQueued_) return;
    refreshQueued_ = true;
    QTimer::singleShot(0, this, [this] {
        refreshQueued_ = false;
        refresh();
    });
}

void ContrastLabel::refresh() {
    if (!style_) return;
    MenuStyle shown = *style_;
    // Only a colour being edited counts: a panel the focus is not in may still show what it
    // showed before the record was read.
    const QWidget* focus = QApplication::focusWidget();
    if (panel_ && !panel_->isHidden() && focus && panel_->isAncestorOf(focus)) {
        const auto* hex = panel_->findChild<QLineEdit*>(QStringLiteral("eHexColor"));
        const std::string typed = hex ? hex->text().toStdString() : std::string();
        if (quilso::ParseHexColor(typed))
            shown.*field_ = typed;
        else if (!panel_->hexColor().empty())
            shown.*field_ = panel_->hexColor();
    }
    const quilso::MenuContrast contrast = quilso::ContrastOf(shown, state_);
    ratio_ = contrast.ratio;
    warning_ = !contrast.sufficient();
    const QString ratio = QString::fromStdString(quilso::FormatRatio(contrast.ratio));
    if (warning_) {
        setText(QStringLiteral("\u26A0 Kontrast %1").arg(ratio));
        setStyleSheet(QStringLiteral("color: #B00020; font-weight: bold;"));
        setAccessibleName(QStringLiteral("Warnung: Kontrast %1, unter 4,5:1").arg(ratio));
    } else {
        setText(QStringLiteral("Kontrast %1").arg(ratio));
        setStyleSheet(QString());
        setAccessibleName(text());
    }
    setToolTip(QStringLiteral("Schrift #%1 auf Hintergrund #%2%3")
                   .arg(QString::fromStdString(contrast.color), QString::fromStdString(contrast.background),
                        warning_ ? QStringLiteral(": unter 4,5:1 ist normal große Schrift schwer zu lesen.")
                                 : QStringLiteral(".")));
}

void ContrastLabel::showEvent(QShowEvent* event) {
    QLabel::showEvent(event);
    refresh();
}
