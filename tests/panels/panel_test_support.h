// Helpers shared by the panel tests: finding controls by name and moving the focus as a user would.
#pragma once

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QTest>

template <typename T> T* control(QWidget* parent, const char* name) {
    T* widget = parent->findChild<T*>(QLatin1String(name));
    if (!widget) qFatal("control %s not found", name);
    return widget;
}

// Gives `widget` the keyboard focus the way a click or Tab would (entry and exit handlers run).
inline void focusTo(QWidget* widget) {
    widget->setFocus(Qt::TabFocusReason);
    QCoreApplication::processEvents();
}

// Types `text` into a field that has the focus, key by key, through its key filters.
inline void typeInto(QLineEdit* edit, const QString& text, bool replace = true) {
    focusTo(edit);
    if (replace) edit->selectAll();
    QTest::keyClicks(edit, text);
}

// Chooses item `index` of a list as a user would (the list's change handler runs).
inline void choose(QComboBox* list, int index) {
    list->setCurrentIndex(index);
    emit list->activated(index);
}
