#include "edit_state.h"

#include <QApplication>
#include <QLineEdit>
#include <QLocale>
#include <QRegularExpression>

void EditState::setProjectModified(bool modified) {
    if (projectModified_ == modified) return;
    projectModified_ = modified;
    emit projectModifiedChanged(modified);
}

void EditState::rememberEnteredText(QLineEdit* field) {
    enteredText = field->text();
}

bool EditState::checkNumberOnExit(QLineEdit* field) {
    // A text the user left as it was keeps its form: a comma read from an older file stays, so
    // passing through the field changes nothing.
    const bool typed = field->text() != enteredText;
    QString t = field->text().trimmed();
    if (!t.isEmpty()) {
        if (t.front() == u',' || t.front() == u'.') t.prepend(u'0');
        if (t.back() == u',' || t.back() == u'.') t.append(u'0');
        // Plain decimals only: what else the locale reads ("nan", "inf", "1e5") is no CSS length.
        static const QRegularExpression plain(QStringLiteral("^[+-]?[0-9]*[.,]?[0-9]*$"));
        QString probe = t;
        QLocale locale;
        locale.setNumberOptions(QLocale::RejectGroupSeparator);
        const QString sep = locale.decimalPoint();
        const QChar other = sep == QStringLiteral(",") ? u'.' : u',';
        const qsizetype at = probe.indexOf(other);
        if (at >= 0) probe.replace(at, 1, sep);
        bool ok = false;
        if (plain.match(t).hasMatch()) locale.toDouble(probe, &ok);
        if (ok) {
            if (typed) {
                // Browsers ignore a length written with a comma.
                t.replace(u',', u'.');
                field->setText(t);
            }
            // Set even when unchanged: leaving a focused number field counts as an edit.
            setProjectModified(true);
            return true;
        }
    }
    beep();
    field->setText(enteredText);
    return false;
}

void EditState::beep() {
    ++beepCount_;
    QApplication::beep();
}

void EditState::fieldEntered(QObject* field, std::function<bool()> storeEntry) {
    field_ = field;
    numberField_ = nullptr;
    storeEntry_ = std::move(storeEntry);
}

void EditState::fieldLeft(QObject* field) {
    if (field_ != field) return;
    field_ = nullptr;
    numberField_ = nullptr;
    storeEntry_ = nullptr;
}

void EditState::numberFieldEntered(QLineEdit* field, std::function<bool()> leave) {
    rememberEnteredText(field);
    fieldEntered(field, [this, field, leave = std::move(leave)] {
        if (field->text() == enteredText) return true;
        const bool accepted = leave();
        // As if the field had been left and entered again: a refusal restored enteredText, an
        // accepted text is what the next refusal goes back to.
        enteredText = field->text();
        return accepted;
    });
    numberField_ = field;
}

void EditState::fieldTextsShown() {
    if (auto* field = qobject_cast<QLineEdit*>(numberField_.data()); field && field == field_)
        enteredText = field->text();
}

bool EditState::storePendingEntry() {
    if (!field_ || !storeEntry_) return true;
    // A copy: storing may move the focus, and a new field's entry replaces this one.
    const std::function<bool()> store = storeEntry_;
    return store();
}
