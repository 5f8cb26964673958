// Message boxes and file dialogs of the application. Every command asks through these two
// classes, so tests can queue the answers instead of driving modal windows.
#pragma once

#include <QString>
#include <QStringList>

class MainWindow;
class QWidget;

// The application title: task bar text and caption of plain message boxes.
QString applicationTitle();

class MessageBoxes {
public:
    enum Answer { Yes, No, Cancel };

    // A plain information box titled with the application title.
    static void information(QWidget* parent, const QString& text);
    // An error box (read or write failures) titled with the application title.
    static void error(QWidget* parent, const QString& text);
    // The confirmation box with "&Ja", "&Nein", "Abbrechen".
    static Answer question(QWidget* parent, const QString& title, const QString& text);

    // Test mode: no box is shown; questions take the queued answers (Cancel when the queue is
    // empty) and every text shown is recorded.
    static void setTestMode(bool on);
    static void queueAnswer(Answer answer);
    static QStringList takeShown(); // texts of all boxes since the last call
    static int pendingAnswers();

private:
    static void record(const QString& kind, const QString& text);
};

struct FileDialogRequest {
    QString title;
    QString filter;        // Qt filter string
    QString defaultSuffix; // without dot
    QString selectedFile;  // the file the dialog opens on
};

class FileDialogs {
public:
    // An existing file, or empty when the user cancels.
    static QString getOpenFileName(QWidget* parent, const FileDialogRequest& request);
    // A file to write (asks before overwriting), or empty when the user cancels.
    static QString getSaveFileName(QWidget* parent, const FileDialogRequest& request);

    // Test mode: the queued file names are returned in turn (an empty one means "cancelled";
    // an empty queue also cancels) and each request is recorded.
    static void setTestMode(bool on);
    static void queueFileName(const QString& fileName);
    static QList<FileDialogRequest> takeRequests();
};

// What tests may do to the main window beyond its public interface.
class UiTestAccess {
public:
    // Whether the window still waits for its first activation to load the start-up project.
    static bool awaitsFirstActivation(const MainWindow& window);
    // Loads the start-up project now, as the first activation would.
    static void activate(MainWindow& window);
    // The first activation loads nothing: the test loads its projects itself.
    static void skipFirstActivation(MainWindow& window);
};
