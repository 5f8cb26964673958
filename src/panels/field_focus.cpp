#include "field_focus.h"

#include <QFocusEvent>
#include <QLineEdit>

FieldFocus* FieldFocus::watch(QLineEdit* edit) {
    auto* focus = new FieldFocus(edit);
    edit->installEventFilter(focus);
    return focus;
}

bool FieldFocus::eventFilter(QObject*, QEvent* event) {
    if (event->type() != QEvent::FocusIn && event->type() != QEvent::FocusOut) return false;
    const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
    if (reason == Qt::PopupFocusReason || reason == Qt::ActiveWindowFocusReason) return false;
    if (event->type() == QEvent::FocusIn)
        emit entered();
    else
        emit left();
    return false;
}
