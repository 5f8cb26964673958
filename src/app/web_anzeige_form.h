// The preview window: a top-level window with an embedded browser that shows the site's start
// page, the help page or the manual. Hidden until a command shows it; keeps its last page.
#pragma once

#include <QMainWindow>

class TWebAnzeigeForm : public QMainWindow {
    Q_OBJECT
public:
    explicit TWebAnzeigeForm(QWidget* mainWindow);
    ~TWebAnzeigeForm() override;

    // Navigates to a local file (HTML with its scripts, or PDF), sets the caption and shows the
    // window (centred on the main window the first time). The browser is created on first use.
    void showPage(const QString& path, const QString& caption);
    // The file last navigated to; empty before the first page.
    QString currentPath() const;
};
