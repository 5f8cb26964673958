// "Ansicht › Links prüfen": every finding of the site check in a list; a double-click on one
// that belongs to an entry selects that entry in the site tree.
#pragma once

#include "link_check.h"

#include <QDialog>

#include <functional>
#include <vector>

class LinkChecker;
class MainWindow;
class QLabel;
class QListWidget;

class LinkCheckDialog : public QDialog {
    Q_OBJECT
public:
    LinkCheckDialog(std::vector<quilso::Finding> findings, const QString& siteDirectory,
                    QWidget* parent = nullptr);

    const std::vector<quilso::Finding>& findings() const { return findings_; }
    QListWidget* findingList() const { return lbFindings; }
    // The entry (display order) the user chose, or -1.
    long chosenEntry() const { return chosenEntry_; }

    // Shows the dialog modally; tests replace it to look at the list and choose themselves.
    static void setRunner(std::function<void(LinkCheckDialog&)> runner);
    static void run(LinkCheckDialog& dialog);

private:
    void chooseRow(int row);

    std::vector<quilso::Finding> findings_;
    long chosenEntry_ = -1;
    QLabel* lSummary = nullptr;
    QListWidget* lbFindings = nullptr;
};

// Runs the check of the window's project against its folder, shows the findings and selects the
// entry the user chose. Pages that do not include the project file are only looked for once the
// project has a file.
void ShowLinkCheck(MainWindow& window, const LinkChecker& checker);
// The entry at `index` in display order, or nullptr.
quilso::SiteNode* EntryAt(quilso::SiteTree& tree, long index);
