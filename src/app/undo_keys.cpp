#include "undo_keys.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QObject>

namespace {

class UndoKeyFilter : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::ShortcutOverride) return false;
        const auto* edit = qobject_cast<QLineEdit*>(watched);
        if (!edit) return false;
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool undo = key->matches(QKeySequence::Undo);
        const bool redo = key->matches(QKeySequence::Redo);
        if ((!undo && !redo) || (undo && edit->isUndoAvailable()) || (redo && edit->isRedoAvailable()))
            return false;
        // Left unaccepted, the key goes on to the window's shortcuts.
        event->ignore();
        return true;
    }
};

} // namespace

void LetUndoKeysThroughIdleFields(QWidget* root) {
    auto* filter = new UndoKeyFilter(root);
    for (QLineEdit* edit : root->findChildren<QLineEdit*>())
        edit->installEventFilter(filter);
}
