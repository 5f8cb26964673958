// A number field beside a list of keywords and units, as the font, text, position and border
// panels use it for every CSS length:
//   - choosing an item stores its keyword or unit into the record's unit field at once, shows the
//     number field only for items that need a number and marks the project modified; the record's
//     number stays as it was while a keyword is chosen;
//   - the number field follows the edit commit protocol: its entry runs rememberEnteredText,
//     typing sets editPending, its exit runs checkNumberOnExit, sets editValid and stores the text
//     only when the check passed, then clears editPending.
// Both widgets are children of this one (number left of the list); the panel gives them their
// control names and where the values go.
#pragma once

#include "key_filter.h"
#include "style_editor.h"

#include <QString>
#include <QWidget>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

class EditState;
class QComboBox;
class QLineEdit;

// One item of the list: its German text, the text stored in the unit field, and whether the
// number field is shown for it.
struct UnitItem {
    QString text;
    std::string stored;
    bool needsNumber;
};

// The German texts of the nine unit items, in the order of the CSS unit table.
const std::vector<QString>& UnitItemTexts();
// A list of keyword items (text -> stored keyword, no number) followed by the first
// `unitCount` unit items (0..9; 8 leaves out the percent item).
std::vector<UnitItem> UnitItems(const std::vector<std::pair<QString, std::string>>& keywords,
                                int unitCount = 9);

// The number key filters of the value helpers, by name.
enum class NumberKeys { None, Decimal, DecimalPoint, SignedDecimal };
CharFilter NumberKeyFilter(NumberKeys keys);

class NumberUnitField : public QWidget {
    Q_OBJECT
public:
    // `numberName`/`listName` become the objectNames of the number field and the list.
    // `initialItem` -1 leaves the list without a choice.
    NumberUnitField(const QString& numberName, const QString& listName, std::vector<UnitItem> items,
                    NumberKeys keys, int initialItem, QWidget* parent = nullptr);

    void setEditState(EditState* editState) { editState_ = editState; }
    // Where an accepted number and a chosen keyword or unit go. The usual case is a value/unit
    // pair of a style record; bind() stores into those two fields of the menu's record.
    void setStoreHandlers(std::function<void(const std::string&)> storeValue,
                          std::function<void(const std::string&)> storeUnit);
    void bind(StyleEditor* editor, quilso::MenuKind kind, std::string quilso::MenuStyle::*value,
              std::string quilso::MenuStyle::*unit);

    // Some instances take any key and do not raise editPending while typing (their entry and
    // exit checks stay).
    void setKeys(NumberKeys keys);
    void setRaisesPending(bool raises) { raisesPending_ = raises; }

    QLineEdit* numberEdit() const { return number_; }
    QComboBox* unitList() const { return list_; }
    const std::vector<UnitItem>& items() const { return items_; }
    int itemCount() const { return int(items_.size()); }
    // Position of the first item that stores `stored`, or -1.
    int indexOfStored(std::string_view stored) const;

    // For the reader: select an item (or -1) and show the number field as the item needs, and
    // set the number field's text; neither stores anything.
    void showItem(int index);
    void showItem(int index, bool numberVisible);
    void setNumberText(std::string_view text);

signals:
    // The user chose item `index`; its text was stored and the project marked modified.
    void itemChosen(int index);
    // The number field's exit check ran; `accepted` tells whether the text was stored.
    void numberExited(bool accepted);

private:
    void storeChosenItem(int index);
    bool storeNumberOnExit();

    std::vector<UnitItem> items_;
    EditState* editState_ = nullptr;
    QLineEdit* number_;
    QComboBox* list_;
    KeyFilter* keyFilter_;
    bool raisesPending_ = true;
    std::function<void(const std::string&)> storeValue_;
    std::function<void(const std::string&)> storeUnit_;
};
