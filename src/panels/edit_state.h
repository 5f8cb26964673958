// The program-wide edit state that the style panels share with the main window: the modified
// flag, the pending/valid pair of the edit commit protocol and the generic number-field check.
#pragma once

#include <QObject>
#include <QString>

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

    // Every refusal in the panels beeps through here, so tests can count the beeps.
    void beep();
    int beepCount() const { return beepCount_; }

signals:
    void projectModifiedChanged(bool modified);

private:
    bool projectModified_ = false;
    int beepCount_ = 0;
};
