// A small label beside a colour panel that shows how well one state of a menu can be read: the
// contrast of its text colour against its background ("Kontrast 5,9:1"), as a warning below the
// limit for normal text.
#pragma once

#include "contrast.h"
#include "params.h"

#include <QLabel>

#include <string>

class ColorChoicePanel;

class ContrastLabel : public QLabel {
    Q_OBJECT
public:
    explicit ContrastLabel(quilso::MenuState state, QWidget* parent = nullptr);

    // The record whose colours are shown; set once the panel knows its menu.
    void setStyle(const quilso::MenuStyle* style);
    // While the focus is in the colour panel, the colour it shows for `field` counts instead of
    // the record's (which it stores only when a field is left), so the label follows every
    // change as it is made.
    void followColourPanel(ColorChoicePanel* panel, std::string quilso::MenuStyle::*field);

    // Reads the record (and the followed panel) again.
    void refresh();
    double ratio() const { return ratio_; }
    bool isWarning() const { return warning_; }

protected:
    // The other tab may have changed a colour of the same state while this one was hidden.
    void showEvent(QShowEvent* event) override;

private:
    void refreshLater();

    quilso::MenuState state_;
    const quilso::MenuStyle* style_ = nullptr;
    ColorChoicePanel* panel_ = nullptr;
    std::string quilso::MenuStyle::*field_ = nullptr;
    double ratio_ = 0;
    bool warning_ = false;
    bool refreshQueued_ = false;
};
