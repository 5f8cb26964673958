#include "ui_seams.h"

#include "main_window.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>

#include <deque>

namespace {
struct MessageSeam {
    bool testMode = false;
    std::deque<MessageBoxes::Answer> answers;
    QStringList shown;
};
MessageSeam& messageSeam() {
    static MessageSeam seam;
    return seam;
}

struct FileSeam {
    bool testMode = false;
    std::deque<QString> names;
    QList<FileDialogRequest> requests;
};
FileSeam& fileSeam() {
    static FileSeam seam;
    return seam;
}

QString takeQueuedName(const FileDialogRequest& request) {
    auto& seam = fileSeam();
    seam.requests.append(request);
    if (seam.names.empty()) return {};
    QString name = seam.names.front();
    seam.names.pop_front();
    return name;
}

QString runDialog(QWidget* parent, const FileDialogRequest& request, QFileDialog::AcceptMode mode) {
    QFileDialog dialog(parent, request.title);
    dialog.setAcceptMode(mode);
    dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    dialog.setNameFilter(request.filter);
    dialog.setDefaultSuffix(request.defaultSuffix);
    if (!request.selectedFile.isEmpty()) dialog.selectFile(request.selectedFile);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().constFirst();
}
} // namespace

QString applicationTitle() {
    return QStringLiteral("quilso " QUILSO_VERSION);
}

void MessageBoxes::record(const QString& kind, const QString& text) {
    messageSeam().shown.append(kind + QLatin1Char(':') + text);
}

void MessageBoxes::information(QWidget* parent, const QString& text) {
    if (messageSeam().testMode) return record(QStringLiteral("info"), text);
    QMessageBox::information(parent, applicationTitle(), text);
}

void MessageBoxes::error(QWidget* parent, const QString& text) {
    if (messageSeam().testMode) return record(QStringLiteral("error"), text);
    QMessageBox::critical(parent, applicationTitle(), text);
}

MessageBoxes::Answer MessageBoxes::question(QWidget* parent, const QString& title, const QString& text) {
    auto& seam = messageSeam();
    if (seam.testMode) {
        record(QStringLiteral("question"), text);
        if (seam.answers.empty()) return Cancel;
        const Answer answer = seam.answers.front();
        seam.answers.pop_front();
        return answer;
    }
    QMessageBox box(QMessageBox::Question, title, text, QMessageBox::NoButton, parent);
    QPushButton* yes = box.addButton(QStringLiteral("&Ja"), QMessageBox::YesRole);
    QPushButton* no = box.addButton(QStringLiteral("&Nein"), QMessageBox::NoRole);
    QPushButton* cancel = box.addButton(QStringLiteral("Abbrechen"), QMessageBox::RejectRole);
    box.setDefaultButton(yes);
    box.setEscapeButton(cancel);
    box.exec();
    if (box.clickedButton() == yes) return Yes;
    if (box.clickedButton() == no) return No;
    return Cancel;
}

void MessageBoxes::setTestMode(bool on) {
    auto& seam = messageSeam();
    seam.testMode = on;
    seam.answers.clear();
    seam.shown.clear();
}

void MessageBoxes::queueAnswer(Answer answer) {
    messageSeam().answers.push_back(answer);
}

QStringList MessageBoxes::takeShown() {
    return std::exchange(messageSeam().shown, {});
}

int MessageBoxes::pendingAnswers() {
    return static_cast<int>(messageSeam().answers.size());
}

QString FileDialogs::getOpenFileName(QWidget* parent, const FileDialogRequest& request) {
    return fileSeam().testMode ? takeQueuedName(request)
                               : runDialog(parent, request, QFileDialog::AcceptOpen);
}

QString FileDialogs::getSaveFileName(QWidget* parent, const FileDialogRequest& request) {
    return fileSeam().testMode ? takeQueuedName(request)
                               : runDialog(parent, request, QFileDialog::AcceptSave);
}

void FileDialogs::setTestMode(bool on) {
    auto& seam = fileSeam();
    seam.testMode = on;
    seam.names.clear();
    seam.requests.clear();
}

void FileDialogs::queueFileName(const QString& fileName) {
    fileSeam().names.push_back(fileName);
}

QList<FileDialogRequest> FileDialogs::takeRequests() {
    return std::exchange(fileSeam().requests, {});
}

bool UiTestAccess::awaitsFirstActivation(const MainWindow& window) {
    return window.firstActivation_;
}

void UiTestAccess::activate(MainWindow& window) {
    window.loadStartupProject();
}

void UiTestAccess::skipFirstActivation(MainWindow& window) {
    window.firstActivation_ = false;
}
