// The program-wide edit state that the style panels share with the main window: the modified
// flag, the pending/valid pair of the edit commit protocol and the generic number-field check.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

class QLineEdit;

class EditState : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    bool projectModified() const { return projectModified_; }
    void setProjectModified(bool modified);

    bool editPending = false; // a number or colour field changed and its exit check has not run
    bool editValid = true;    // result of the last exit check
    QString enteredText;      // what the focused number field held when it got the focus

    // Entry handler of every number field.
    void rememberEnteredText(QLineEdit* field);
    // Exit check of every number field: normalises ".5" / "3," to "0.5" / "3.0" (a decimal comma
    // becomes a point: the text goes into CSS, which knows no comma) and accepts a number,
    // setting projectModified, or beeps and restores enteredText.
    bool checkNumberOnExit(QLineEdit* field);

    // The field that has the focus and may hold an entry that is not stored yet (a number or
    // colour field, a typed family list). `storeEntry` runs what leaving the field runs, but
    // only when its text was changed since it got the focus or was last stored, and tells
    // whether the entry passed its check.
    void fieldEntered(QObject* field, std::function<bool()> storeEntry);
    void fieldLeft(QObject* field);
    // A number field got the focus: remembers its text, and a command stores its entry with
    // `leave` (the field's exit handler, telling whether the check passed).
    void numberFieldEntered(QLineEdit* field, std::function<bool()> leave);
    // The program has just set the texts of the controls (a record put back by undo): what the
    // focused number field shows now is no entry of the user's.
    void fieldTextsShown();
    // What every command does first: stores the entry of the focused field as leaving it would.
    // False when the field refused it (with its usual beep and restored text); the command then
    // stops. The focus stays where it is either way.
    bool storePendingEntry();

    // Every refusal in the panels beeps through here, so tests can count the beeps.
    void beep();
    int beepCount() const { return beepCount_; }

signals:
    void projectModifiedChanged(bool modified);

private:
    bool projectModified_ = false;
    int beepCount_ = 0;
    QPointer<QObject> field_;
    QPointer<QObject> numberField_; // field_ when it is a number field
    std::function<bool()> storeEntry_;
};
