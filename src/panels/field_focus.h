// The entry and exit of a number or colour field as the edit commit protocol counts them: the
// focus arriving or leaving within the window. A dialog, another application or a context menu
// taking the focus is neither, so the field's check does not run while the user is elsewhere.
// The undo and redo keys in such a field are the window's (whose undo stores the entry first).
#pragma once

#include <QObject>

class QLineEdit;

class FieldFocus : public QObject {
    Q_OBJECT
public:
    // Watches `edit` (and is owned by it).
    static FieldFocus* watch(QLineEdit* edit);

signals:
    void entered();
    void left();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    using QObject::QObject;
};
