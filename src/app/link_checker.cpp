#include "link_checker.h"

#include "link_check.h"
#include "page_lookup.h"
#include "site_tree_model.h"
#include "text_convert.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QStyle>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>
#include <filesystem>

using quilso::SiteNode;

LinkChecker::LinkChecker(SiteTreeModel* model, std::function<QString()> projectFile, QObject* parent)
    : QObject(parent), model_(model), projectFile_(std::move(projectFile)),
      icon_(QApplication::style()->standardIcon(QStyle::SP_MessageBoxWarning)) {
    timer_.setSingleShot(true);
    timer_.setInterval(150);
    connect(&timer_, &QTimer::timeout, this, &LinkChecker::startCheck);
    connect(&watcher_, &QFutureWatcher<std::vector<char>>::finished, this, &LinkChecker::applyResult);

    // A new node may take the place of a freed one: it must not inherit that node's mark.
    connect(model, &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex& parent, int first, int last) {
                dropMarksOf(parent, first, last);
                treeChanged();
            });
    // A leaving entry may be freed before the next check: its mark must not outlive it.
    connect(model, &SiteTreeModel::entriesAboutToLeave, this, [this](const std::vector<SiteNode*>& siblings) {
        dropMarksBelow({siblings.begin(), siblings.end()});
    });
    connect(model, &QAbstractItemModel::rowsRemoved, this, &LinkChecker::treeChanged);
    connect(model, &QAbstractItemModel::layoutChanged, this, &LinkChecker::treeChanged);
    connect(model, &QAbstractItemModel::modelReset, this, [this] {
        marks_.clear();
        unsavedProjectFolder_.clear();
        treeChanged();
    });
    connect(model, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex&, const QModelIndex&, const QList<int>& roles) {
                // The marks' own change signal.
                if (!roles.contains(Qt::DecorationRole)) treeChanged();
            });
    // Moved rows keep their nodes and files: their marks stay right.
}

LinkChecker::~LinkChecker() {
    watcher_.waitForFinished();
}

void LinkChecker::scheduleCheck() {
    timer_.start();
}

QString LinkChecker::siteDirectory() const {
    const QString file = projectFile();
    return file.isEmpty() ? unsavedProjectFolder_ : QFileInfo(file).absolutePath();
}

void LinkChecker::setUnsavedProjectFolder(const QString& folder) {
    unsavedProjectFolder_ = folder;
    scheduleCheck();
}

void LinkChecker::treeChanged() {
    changedSinceStart_ = true;
    scheduleCheck();
}

const QString* LinkChecker::missingText(const SiteNode* node) const {
    const auto it = marks_.find(node);
    return it == marks_.end() ? nullptr : &it->second;
}

void LinkChecker::startCheck() {
    // One check at a time; the one running sees that the tree changed and starts the next.
    if (watcher_.isRunning()) return;
    const QString directory = siteDirectory();
    if (directory.isEmpty()) {
        setMarks({});
        emit checked();
        return;
    }
    checkedNodes_.clear();
    checkedFiles_.clear();
    checkedNodes_.reserve(model_->tree()->size());
    checkedFiles_.reserve(model_->tree()->size());
    model_->tree()->forEachPreorder([this](const SiteNode* node, int) {
        checkedNodes_.push_back(node);
        checkedFiles_.push_back(node->entry.file.str());
    });
    changedSinceStart_ = false;
    const std::filesystem::path site(QFile::encodeName(directory).toStdString());
    watcher_.setFuture(QtConcurrent::run([files = checkedFiles_, site] {
        // Per entry: 0 nothing to mark, 1 missing, 2 outside the folder.
        std::vector<char> missing(files.size(), 0);
        const quilso::SitePageFinder pages(site);
        for (std::size_t i = 0; i < files.size(); ++i) {
            const quilso::PageLookupResult result = pages.find(files[i]).result;
            missing[i] = result == quilso::PageLookupResult::Missing   ? 1
                         : result == quilso::PageLookupResult::Outside ? 2
                                                                       : 0;
        }
        return missing;
    }));
}

void LinkChecker::applyResult() {
    const std::vector<char> missing = watcher_.result();
    if (changedSinceStart_) {
        // The nodes the result speaks of may be gone.
        startCheck();
        return;
    }
    std::unordered_map<const SiteNode*, QString> marks;
    for (std::size_t i = 0; i < missing.size(); ++i) {
        if (!missing[i]) continue;
        marks.emplace(checkedNodes_[i],
                      (missing[i] == 2 ? QStringLiteral("Datei liegt außerhalb des Ordners: ")
                                       : QStringLiteral("Datei nicht gefunden: ")) +
                          FileNameToUi(checkedFiles_[i]));
    }
    setMarks(std::move(marks));
    emit checked();
}

void LinkChecker::setMarks(std::unordered_map<const SiteNode*, QString> marks) {
    std::vector<const SiteNode*> changed;
    for (const auto& [node, text] : marks) {
        const auto old = marks_.find(node);
        if (old == marks_.end() || old->second != text) changed.push_back(node);
    }
    for (const auto& [node, text] : marks_)
        if (!marks.count(node)) changed.push_back(node);
    marks_ = std::move(marks);
    // One signal per parent over the rows between its first and last changed child: a signal
    // per entry costs the view more than the whole check when thousands of marks change.
    std::unordered_map<const SiteNode*, std::pair<int, int>> spans;
    for (const SiteNode* node : changed) {
        const int row = node->row();
        auto [it, fresh] = spans.emplace(node->parent(), std::pair{row, row});
        if (!fresh) it->second = {std::min(it->second.first, row), std::max(it->second.second, row)};
    }
    for (const auto& [parent, rows] : spans) {
        const QModelIndex parentIndex = model_->indexOf(parent);
        emit model_->dataChanged(model_->index(rows.first, 0, parentIndex),
                                 model_->index(rows.second, 0, parentIndex),
                                 {Qt::DecorationRole, Qt::ToolTipRole});
    }
}

void LinkChecker::dropMarksOf(const QModelIndex& parent, int first, int last) {
    const SiteNode* parentNode = model_->nodeOf(parent);
    std::vector<const SiteNode*> pending;
    for (int row = first; row <= last && row < parentNode->childCount(); ++row)
        pending.push_back(parentNode->child(row));
    dropMarksBelow(std::move(pending));
}

void LinkChecker::dropMarksBelow(std::vector<const SiteNode*> pending) {
    if (marks_.empty()) return;
    while (!pending.empty()) {
        const SiteNode* node = pending.back();
        pending.pop_back();
        marks_.erase(node);
        for (const SiteNode* child : node->children())
            pending.push_back(child);
    }
}
