#include "key_filter.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QLineEdit>

namespace {

// Characters outside ASCII are never digits or separators: every filter drops them.
char toFilterChar(QChar ch) {
    return ch.unicode() < 0x80 ? static_cast<char>(ch.unicode()) : '\x01';
}

} // namespace

KeyFilter* KeyFilter::attach(QLineEdit* edit, CharFilter filter, bool enterToNext) {
    return new KeyFilter(edit, std::move(filter), enterToNext);
}

KeyFilter::KeyFilter(QLineEdit* edit, CharFilter filter, bool enterToNext)
    : QObject(edit), edit_(edit), filter_(std::move(filter)), enterToNext_(enterToNext),
      lastText_(edit->text()) {
    edit->installEventFilter(this);
    connect(edit, &QLineEdit::textChanged, this, [this] {
        // The argument can be stale when a handler corrected the text meanwhile; the field is not.
        lastText_ = edit_->text();
    });
    // textEdited comes before textChanged, so lastText_ still holds the text before the edit.
    connect(edit, &QLineEdit::textEdited, this, &KeyFilter::textEdited);
}

bool KeyFilter::typeThrough(const CharFilter& filter, const QString& text, QString& result) {
    std::string typed;
    for (QChar ch : text) {
        const char key = toFilterChar(ch);
        // A control character in pasted text is never a keystroke the filters mean to pass.
        const char out =
            static_cast<unsigned char>(key) < 0x20 ? '\0' : filter(typed, key, int(typed.size()));
        if (out == '\0') return false;
        typed.push_back(out);
    }
    result = QString::fromLatin1(typed);
    return true;
}

bool KeyFilter::eventFilter(QObject* watched, QEvent* event) {
    if (watched != edit_ || event->type() != QEvent::KeyPress) return false;
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
        if (!enterToNext_) return false;
        // Moving on as Tab would, so the field's exit check runs like on any other exit.
        QKeyEvent tab(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier);
        QCoreApplication::sendEvent(edit_, &tab);
        return true;
    }
    if (!filter_) return false;
    const QString text = key->text();
    if (text.isEmpty() || (key->modifiers() & (Qt::ControlModifier | Qt::MetaModifier | Qt::AltModifier)))
        return false;
    const QChar ch = text.front();
    // Backspace, Tab and the other control keys pass every filter.
    if (ch.unicode() < 0x20 || ch.unicode() == 0x7f) return false;

    const QString before = edit_->text();
    const int caret = edit_->hasSelectedText() ? edit_->selectionStart() : edit_->cursorPosition();
    const char in = toFilterChar(ch);
    const char out = filter_(before.toLatin1().toStdString(), in, caret);
    if (out == '\0') return true;
    if (out != in) {
        edit_->insert(QString(QLatin1Char(out)));
        return true;
    }
    return false;
}

void KeyFilter::textEdited(const QString& text) {
    if (!filter_) return;
    QString typed;
    if (!typeThrough(filter_, text, typed)) {
        const int caret = edit_->cursorPosition() - int(text.size() - lastText_.size());
        edit_->setText(lastText_);
        edit_->setCursorPosition(std::max(0, caret));
        emit refused();
        return;
    }
    if (typed != text) {
        // Pasted lower-case hex digits or a '.' where a ',' belongs: take them as typing would.
        const int caret = edit_->cursorPosition();
        edit_->setText(typed);
        edit_->setCursorPosition(caret);
    }
}
