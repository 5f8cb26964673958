#include "field_focus.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>

FieldFocus* FieldFocus::watch(QLineEdit* edit) {
    auto* focus = new FieldFocus(edit);
    edit->installEventFilter(focus);
    return focus;
}

bool FieldFocus::eventFilter(QObject*, QEvent* event) {
    if (event->type() == QEvent::ShortcutOverride) {
        // The field's typing is no change of the project until it is stored: the window's undo
        // stores it as a step and takes that back. Without such a shortcut the field undoes.
        const auto* key = static_cast<QKeyEvent*>(event);
        if (!key->matches(QKeySequence::Undo) && !key->matches(QKeySequence::Redo)) return false;
        event->ignore();
        return true;
    }
    if (event->type() != QEvent::FocusIn && event->type() != QEvent::FocusOut) return false;
    const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
    if (reason == Qt::PopupFocusReason || reason == Qt::ActiveWindowFocusReason) return false;
    if (event->type() == QEvent::FocusIn)
        emit entered();
    else
        emit left();
    return false;
}
