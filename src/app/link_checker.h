// Marks the site-tree entries whose page is missing or lies outside the folder. The files are looked up on a
// worker thread after every change of the tree (and after opening and saving), so a tree of 100,000 entries
// stays responsive; the marks appear when the lookup is done.
#pragma once

#include "site_tree.h"

#include <QFutureWatcher>
#include <QIcon>
#include <QObject>
#include <QTimer>

#include <functional>
#include <unordered_map>
#include <vector>

class SiteTreeModel;

class LinkChecker : public QObject {
    Q_OBJECT
public:
    // `projectFile` names the project's file when a check starts; the entries' files are looked
    // up in its folder.
    LinkChecker(SiteTreeModel* model, std::function<QString()> projectFile, QObject* parent = nullptr);
    ~LinkChecker() override;

    // Checks again shortly (changes that come in a burst give one check).
    void scheduleCheck();
    // The folder of the project file; for a project not saved yet the folder it was made from,
    // which is forgotten when the tree is replaced. Empty: nothing to check against (no marks).
    QString siteDirectory() const;
    QString projectFile() const { return projectFile_ ? projectFile_() : QString(); }
    void setUnsavedProjectFolder(const QString& folder);

    // The tooltip of a marked entry ("Datei nicht gefunden: ..."), or nullptr.
    const QString* missingText(const quilso::SiteNode* node) const;
    const QIcon& warningIcon() const { return icon_; }
    std::size_t markCount() const { return marks_.size(); }
    bool isChecking() const { return watcher_.isRunning() || timer_.isActive(); }

    // How long a burst of changes is waited out; tests make it short.
    void setDelay(int milliseconds) { timer_.setInterval(milliseconds); }

signals:
    // A check finished and its marks are shown.
    void checked();

private:
    void treeChanged();
    void startCheck();
    void applyResult();
    void setMarks(std::unordered_map<const quilso::SiteNode*, QString> marks);
    void dropMarksOf(const QModelIndex& parent, int first, int last);
    // Forgets the marks of these entries and everything below them.
    void dropMarksBelow(std::vector<const quilso::SiteNode*> pending);

    SiteTreeModel* model_;
    std::function<QString()> projectFile_;
    QString unsavedProjectFolder_;
    std::unordered_map<const quilso::SiteNode*, QString> marks_;
    QIcon icon_;
    QTimer timer_;
    // The running check: the entries it was given, in display order, and whether the tree
    // changed since (its result is then thrown away and the check runs again).
    QFutureWatcher<std::vector<char>> watcher_;
    std::vector<const quilso::SiteNode*> checkedNodes_;
    std::vector<std::string> checkedFiles_;
    bool changedSinceStart_ = false;
};
