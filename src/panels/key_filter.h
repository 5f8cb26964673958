// Attaches one of the keystroke filters of the value helpers to a line edit, and holds text that
// arrives other than by typing (pasting, dropping) to the same rules.
#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <string_view>

class QLineEdit;

// Text before the keystroke, the typed character and the caret position -> the character to
// insert (possibly replaced) or 0 to drop the keystroke.
using CharFilter = std::function<char(std::string_view text, char key, int caret)>;

class KeyFilter : public QObject {
    Q_OBJECT
public:
    // Installs itself on `edit` (and is owned by it). `filter` may be empty: then only Enter is
    // handled, and only when `enterToNext` is set (Enter is swallowed and the focus moves on).
    static KeyFilter* attach(QLineEdit* edit, CharFilter filter, bool enterToNext = false);

    // The filter in force; an empty one turns the field into a plain edit (and no paste check).
    void setFilter(CharFilter filter) { filter_ = std::move(filter); }
    bool hasFilter() const { return static_cast<bool>(filter_); }

    // What typing `text` from an empty field, one character after the other, would give: the
    // text with the filter's replacements, or nothing when the filter drops any character.
    static bool typeThrough(const CharFilter& filter, const QString& text, QString& result);

signals:
    // A paste or drop held a character the filter refuses; the field is back at its old text.
    void refused();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    KeyFilter(QLineEdit* edit, CharFilter filter, bool enterToNext);
    void textEdited(const QString& text);

    QLineEdit* edit_;
    CharFilter filter_;
    bool enterToNext_;
    QString lastText_;
};
