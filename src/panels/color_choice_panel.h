// A small colour editor: six hex digits, three decimal components or a colour list, all kept in
// step. It knows nothing of the project: its owner copies hexColor() into the model whenever the
// user has entered a colour (signal colorChosen()), and the reader shows stored colours with
// showColor(). Three of them sit on each font and background panel, one on each border panel.
#pragma once

#include <QColor>
#include <QHash>
#include <QWidget>

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

class EditState;
class QComboBox;
class QLineEdit;

class ColorChoicePanel : public QWidget {
    Q_OBJECT
public:
    explicit ColorChoicePanel(QWidget* parent = nullptr);
    ~ColorChoicePanel() override;

    // The shared edit state (editPending / editValid, beeps). Owners pass theirs in setup().
    void setEditState(EditState* editState) { editState_ = editState; }

    // The colour as RRGGBB without '#', the form the style record holds; empty after showNoColor.
    const std::string& hexColor() const { return hexColor_; }
    int red() const { return red_; }     // 0..255, -1 after showNoColor
    int green() const { return green_; } // 0..255, -1 after showNoColor
    int blue() const { return blue_; }   // 0..255, -1 after showNoColor
    bool initialised() const { return initialised_; }

    // One-time start at black; runs whenever the focus enters the panel and does nothing once
    // the panel was initialised or shown a colour.
    void startAtBlack();
    // Shows a stored colour: `text` is six hex digits, kept as given (letter case included).
    void showColor(std::string_view text);
    // Empties all four fields, deselects the list and hides the panel.
    void showNoColor();

    // The sixteen named colours of the list (RRGGBB), in list order after the custom entry.
    static const std::array<std::pair<const char*, QRgb>, 16>& namedColors();

    // Seam for the custom entry's colour dialog: given the current colour, returns the chosen one
    // or nothing when the dialog was cancelled. Default: the system colour dialog.
    using ColorDialogFn = std::function<std::optional<QColor>(const QColor& initial, QWidget* parent)>;
    static void setColorDialog(ColorDialogFn dialog);

signals:
    // A field was left and its check passed, or an entry of the list was chosen: the owner
    // stores hexColor() now (so every colour entered is one change of its own).
    void colorChosen();
    // The focus moved from inside the panel to a control outside it, after the field's own exit
    // check ran.
    void exited();
    // The focus came into the panel from outside (after startAtBlack ran).
    void entered();

private:
    void focusChanged(QWidget* old, QWidget* now);
    // The field's exit check; true when it passed.
    bool fieldLeft(QLineEdit* edit);
    bool checkHexField();
    bool checkComponentField(QLineEdit* field, int pairIndex);
    void refuse(QLineEdit* field);
    void showComponents();
    void selectListColor();
    void chooseListColor(int index);
    void applyListColor(QRgb rgb);
    void setComponents(int r, int g, int b);
    void setPending();
    void beep();

    EditState* editState_ = nullptr;
    int red_ = 0, green_ = 0, blue_ = 0;
    std::string hexColor_;
    bool initialised_ = false;

    QLineEdit* eHexColor_;
    QComboBox* cobColorSelect_;
    QLineEdit* eRedColor_;
    QLineEdit* eGreenColor_;
    QLineEdit* eBlueColor_;
    // One-level undo of each field: its text when it got the focus or last passed its check.
    QHash<QLineEdit*, QString> undoText_;
};
