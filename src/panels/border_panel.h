// The border panel: margin, border and padding of one menu's box, per side. The user picks the
// part and the sides on a picture of the box or with two lists; the width, style and colour
// controls show the common value of the chosen sides and write every change to all of them.
#pragma once

#include "box_picture.h"
#include "style_panel.h"

#include <QComboBox>
#include <QImage>
#include <QStringList>
#include <QWidget>

#include <array>
#include <cstdint>

class QGroupBox;
class QLabel;
class QLineEdit;
class KeyFilter;
class ColorChoicePanel;

// A drop-down list that says when its list is about to open, before it opens.
class DropDownComboBox : public QComboBox {
    Q_OBJECT
public:
    using QComboBox::QComboBox;
    void showPopup() override;
signals:
    void aboutToDropDown();
};

class BorderPanel : public StylePanel {
    Q_OBJECT
public:
    explicit BorderPanel(QWidget* parent = nullptr);
    ~BorderPanel() override;

    void setup(quilso::MenuKind kind, StyleEditor* editor, EditState* editState) override;
    void declarationRead(quilso::BlockKind block, std::string_view property, bool stored) override;
    void blockScanFinished() override { refreshFromRecord(); }

    // One-time set-up: builds the width item lists and draws the picture with nothing marked.
    // Later calls do nothing.
    void initialise();
    // Brings the panel in line with the loaded border values: border ring, all sides when the
    // four border sides agree and the left side otherwise, marks, lists and controls.
    void refreshFromRecord();
    // false for the main and sub menu: the width field then has no key filter and does not raise
    // editPending; its entry and exit handlers stay.
    void setWidthFieldFiltered(bool filtered);

    // Marks the selected sides of the selected part on the picture.
    void markSides();
    // Takes the marks of the selected sides off ring `part`.
    void unmarkSides(int part);
    // The two lists show the selection; then showSideValues.
    void syncSelectors();
    // Fills the width, style and colour controls from the selected sides' common values.
    void showSideValues();
    void showSideValues(const quilso::MenuStyle& record);
    // Copies the first selected side's values to the other selected sides.
    void unifySides();

    int selectedPart() const { return selectedPart_; }
    // Bit 0 left, bit 1 right, bit 2 top, bit 3 bottom.
    std::uint8_t selectedSides() const { return selectedSides_; }
    const QImage& picture() const { return picture_->image(); }
    // Item texts of the width list for each part.
    const QStringList& widthItems(int part) const { return widthItems_[part]; }

protected:
    // As after a read: the border ring, its sides as refreshFromRecord chooses them.
    void showRecordControls(const quilso::MenuStyle& record) override;
    // The part and the sides where `record` differs from `previous`, so that undo and redo show
    // what the step changed; the current selection when the box did not change.
    void showChangedRecord(const quilso::MenuStyle& record, const quilso::MenuStyle& previous) override;

private:
    void showBorders(const quilso::MenuStyle& record);
    // The ring and side lists show the selection.
    void showSelection();
    void forgetDoubleClick();
    void noteDoubleClick();
    void toggleSideAt(QPoint pos);
    void selectRing(int index);
    void selectSides(int index);
    void storeWidthUnit(int index);
    void unifyBeforeDropDown();
    void storeBorderStyle(int index);
    void storeBorderColor();
    void markWidthPending();
    bool storeBorderWidth();

    // Fills the trapezoid of `side` in ring `part` (which must show `from`) with `to`.
    void paintSide(int part, int side, QRgb to);
    bool sideSelected(int side) const { return (selectedSides_ >> side) & 1u; }
    // The width list's stored text for `index` in the current part, and whether it needs a number.
    std::string widthStoredText(int index) const;
    bool widthNeedsNumber(int index) const;

    QGroupBox* gbBorderArea_;
    QComboBox* cbRing_;
    QComboBox* cbSide_;
    BoxPictureView* picture_;
    QLabel* menuTextLabel_;
    QGroupBox* gbBorderBreite_;
    QLineEdit* eBorderBreite_;
    KeyFilter* widthKeyFilter_;
    DropDownComboBox* cbBorderBreite_;
    QGroupBox* gbBorderColor_;
    ColorChoicePanel* frameBorderColorChoice_;
    QGroupBox* gbBorderStyle_;
    DropDownComboBox* cbBorderStyle_;

    int selectedPart_ = 0;
    std::uint8_t selectedSides_ = 0;
    int ringWidth_ = 18;
    std::array<QStringList, 3> widthItems_;
    bool inDoubleClick_ = false;
    bool initialised_ = false;
    bool widthFieldFiltered_ = true;
};
