// "Datei > Veröffentlichen": writes the static menus into the site's pages and shows what
// happened to each page in a small dialog.
#pragma once

#include "publish.h"

#include <QDialog>
#include <QString>

class PublishDialog : public QDialog {
    Q_OBJECT
public:
    PublishDialog(const quilso::PublishReport& report, QWidget* parent);

    // One line per page and the summary, as the dialog shows them.
    static QString pageLine(const quilso::PageReport& page);
    static QString summary(const quilso::PublishReport& report);
};

// Publishes `project`, saved as `fileName`, and opens the report window-modally without
// waiting for it (the dialog deletes itself when closed).
PublishDialog* PublishAndReport(QWidget* parent, const quilso::Project& project, const QString& fileName);
