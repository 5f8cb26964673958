// Small pieces the style panels share: keyword lists and the conversion between the model's
// Windows-1252 bytes and what the controls show.
#pragma once

#include <QComboBox>
#include <QString>

#include <string>
#include <string_view>
#include <utility>
#include <vector>

class QGroupBox;
class QWidget;

// A drop-down list sized for a number of characters plus an icon, whatever its items, as
// QComboBox::AdjustToMinimumContentsLengthWithIcon sizes it. Qt builds a list's popup the moment
// that policy is set, a few hundred thousand instructions each, and the window has dozens of these
// lists; this one computes the same size and leaves the popup to be built when it first opens.
// It is never narrower than its widest item, so a closed list always shows its whole text.
class MinimumLengthList : public QComboBox {
public:
    MinimumLengthList(int characters, QWidget* parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void changeEvent(QEvent* event) override;

private:
    int widestItem() const;
    mutable int widestItem_ = -1; // measured when first needed, again after a change
};

// Items of a keyword list: German text shown -> keyword stored.
using KeywordItems = std::vector<std::pair<QString, std::string>>;

// A drop-down list named `name` with the items' texts, on item `initial` (-1: none).
QComboBox* makeKeywordList(const char* name, const KeywordItems& items, int initial, QWidget* parent);
// Position of `keyword` among the stored keywords, or -1.
int keywordIndex(const KeywordItems& items, std::string_view keyword);
// A group box named `name` with the caption `title` around `content` (one column).
QGroupBox* makeGroup(const char* name, const QString& title, std::initializer_list<QWidget*> content,
                     QWidget* parent);

QString fromModel(std::string_view cp1252);
// Callers keep characters that Windows-1252 cannot hold out of their fields (see
// dropNonCp1252); should one slip through it becomes '?', so the file never carries a broken byte.
std::string toModel(const QString& text);
// Removes the characters Windows-1252 cannot hold; true when there were any.
bool dropNonCp1252(QString& text);

// Orders Tab through the controls below `panel` as the screen shows them: by the block each
// belongs to (a control or one of its ancestors in `blocks`, in screen order), keeping the
// order within a block. Controls in none of the blocks come last.
void OrderTabChain(QWidget* panel, const std::vector<QWidget*>& blocks);

// The caption of the group box `control` sits in, without "&" and a trailing colon; empty
// outside a group. It names the undo steps of the control.
QString GroupCaption(const QWidget* control);

// Gives every control below `root` that a screen reader could not name an accessible name:
// its hint, else the caption of its group and its own label ("Schriftfarbe: rot"), and for
// the parts of a number field "Zahl" or "Einheit".
void NameUnnamedControls(QWidget* root);
