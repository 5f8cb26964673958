#include "site_tree_model.h"

#include "link_checker.h"
#include "text_convert.h"

#include <QCoreApplication>
#include <QDataStream>
#include <QIODevice>
#include <QMimeData>

#include <algorithm>
#include <unordered_set>

using quilso::SiteEntry;
using quilso::SiteNode;

namespace {
// True when `rows` (ascending) form one run of consecutive numbers.
bool contiguous(const std::vector<int>& rows) {
    return rows.empty() || rows.back() - rows.front() + 1 == int(rows.size());
}

// The dragged entries travel as their parent's path from the root and their rows, tagged with
// the process and the model: node pointers would dangle in any other process.
const QString kEntriesMimeType = QStringLiteral("application/x-quilso-site-entries");

std::vector<int> rowsOf(const std::vector<SiteNode*>& siblings) {
    std::vector<int> rows;
    rows.reserve(siblings.size());
    for (const SiteNode* n : siblings)
        rows.push_back(n->row());
    return rows;
}
} // namespace

SiteTreeModel::SiteTreeModel(quilso::SiteTree* tree, QObject* parent)
    : QAbstractItemModel(parent), tree_(tree) {}

SiteNode* SiteTreeModel::nodeOf(const QModelIndex& index) const {
    if (!index.isValid()) return tree_->root();
    return static_cast<SiteNode*>(index.internalPointer());
}

QModelIndex SiteTreeModel::indexOf(const SiteNode* node) const {
    if (!node || node->isRoot()) return {};
    return createIndex(node->row(), 0, const_cast<SiteNode*>(node));
}

QModelIndex SiteTreeModel::index(int row, int column, const QModelIndex& parent) const {
    if (column != 0 || row < 0 || (parent.isValid() && parent.column() != 0)) return {};
    const SiteNode* p = nodeOf(parent);
    if (row >= p->childCount()) return {};
    return createIndex(row, 0, p->child(row));
}

QModelIndex SiteTreeModel::parent(const QModelIndex& child) const {
    if (!child.isValid()) return {};
    return indexOf(nodeOf(child)->parent());
}

int SiteTreeModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid() && parent.column() != 0) return 0;
    return nodeOf(parent)->childCount();
}

int SiteTreeModel::columnCount(const QModelIndex&) const {
    return 1;
}

bool SiteTreeModel::hasChildren(const QModelIndex& parent) const {
    return rowCount(parent) > 0;
}

QVariant SiteTreeModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    const SiteNode* node = nodeOf(index);
    if (role == Qt::DisplayRole) return MenuTextToUi(node->entry.text);
    if (linkChecker_ && (role == Qt::DecorationRole || role == Qt::ToolTipRole)) {
        if (const QString* missing = linkChecker_->missingText(node))
            return role == Qt::DecorationRole ? QVariant(linkChecker_->warningIcon()) : QVariant(*missing);
    }
    if (role == Qt::ToolTipRole) return FileNameToUi(node->entry.file);
    return {};
}

Qt::ItemFlags SiteTreeModel::flags(const QModelIndex& index) const {
    // The invisible root takes drops too: before, after or below the top-level entries.
    if (!index.isValid()) return Qt::ItemIsDropEnabled;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled | Qt::ItemIsDropEnabled;
}

QStringList SiteTreeModel::mimeTypes() const {
    return {kEntriesMimeType};
}

QMimeData* SiteTreeModel::mimeData(const QModelIndexList& indexes) const {
    if (indexes.isEmpty()) return nullptr;
    const QModelIndex parent = indexes.front().parent();
    QList<int> rows;
    rows.reserve(indexes.size());
    for (const QModelIndex& index : indexes)
        if (index.isValid() && index.column() == 0 && index.parent() == parent) rows.append(index.row());
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    QList<int> path;
    for (const SiteNode* n = nodeOf(parent); !n->isRoot(); n = n->parent())
        path.prepend(n->row());

    QByteArray encoded;
    QDataStream out(&encoded, QIODevice::WriteOnly);
    out << qint64(QCoreApplication::applicationPid()) << quint64(quintptr(this)) << path << rows;
    // No text/plain beside it: the menu text field would take it, and a drag that strays off the
    // tree would rewrite the entry there.
    auto* data = new QMimeData;
    data->setData(kEntriesMimeType, encoded);
    return data;
}

std::vector<SiteNode*> SiteTreeModel::draggedEntries(const QMimeData* data) const {
    if (!data || !data->hasFormat(kEntriesMimeType)) return {};
    QDataStream in(data->data(kEntriesMimeType));
    qint64 pid = 0;
    quint64 model = 0;
    QList<int> path;
    QList<int> rows;
    in >> pid >> model >> path >> rows;
    if (in.status() != QDataStream::Ok || pid != QCoreApplication::applicationPid() ||
        model != quint64(quintptr(this)))
        return {};
    // The tree may have changed since the drag began (it cannot while our own drag runs, but
    // the data can be kept): every step is checked.
    const SiteNode* parent = tree_->root();
    for (int row : path) {
        if (row < 0 || row >= parent->childCount()) return {};
        parent = parent->child(row);
    }
    std::vector<SiteNode*> siblings;
    siblings.reserve(std::size_t(rows.size()));
    for (qsizetype i = 0; i < rows.size(); ++i) {
        const int row = rows[i];
        if (row < 0 || row >= parent->childCount() || (i > 0 && row <= rows[i - 1])) return {};
        siblings.push_back(parent->child(row));
    }
    return siblings;
}

int SiteTreeModel::dropRow(const std::vector<SiteNode*>& siblings, Qt::DropAction action, int row,
                           const QModelIndex& parent) const {
    constexpr int refused = -2;
    if (siblings.empty() || action != Qt::MoveAction || !moveDroppedEntries) return refused;
    if (parent.isValid() && (parent.model() != this || parent.column() != 0)) return refused;
    const SiteNode* newParent = nodeOf(parent);
    if (row < -1 || row > newParent->childCount()) return refused;
    // Into one of the dragged subtrees (onto a dragged entry included): some ancestor of the
    // target, or the target itself, is one of the siblings. They are in row order, so each
    // ancestor on their level is looked up by its row.
    const SiteNode* oldParent = siblings.front()->parent();
    std::vector<int> rows;
    for (const SiteNode* up = newParent; up && !up->isRoot(); up = up->parent()) {
        if (up->parent() != oldParent) continue;
        if (rows.empty()) rows = rowsOf(siblings);
        if (std::binary_search(rows.begin(), rows.end(), up->row())) return refused;
        break;
    }
    if (row < 0 || newParent != oldParent) return row;
    // The drop row counts the dragged entries still in place; the move counts without them.
    if (rows.empty()) rows = rowsOf(siblings);
    return row - int(std::lower_bound(rows.begin(), rows.end(), row) - rows.begin());
}

bool SiteTreeModel::canDropMimeData(const QMimeData* data, Qt::DropAction action, int row, int,
                                    const QModelIndex& parent) const {
    return dropRow(draggedEntries(data), action, row, parent) != -2;
}

bool SiteTreeModel::dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int,
                                 const QModelIndex& parent) {
    const std::vector<SiteNode*> siblings = draggedEntries(data);
    const int target = dropRow(siblings, action, row, parent);
    if (target == -2) return false;
    return moveDroppedEntries(siblings, nodeOf(parent), target);
}

SiteNode* SiteTreeModel::insertEntry(SiteNode* parent, int row, SiteEntry entry) {
    if (row < 0 || row > parent->childCount()) row = parent->childCount();
    beginInsertRows(indexOf(parent), row, row);
    SiteNode* node = tree_->insert(parent, row, std::move(entry));
    endInsertRows();
    return node;
}

void SiteTreeModel::entryChanged(SiteNode* node) {
    const QModelIndex idx = indexOf(node);
    emit dataChanged(idx, idx, {Qt::DisplayRole, Qt::ToolTipRole});
}

template <class Mutate>
void SiteTreeModel::bulkChange(const std::vector<SiteNode*>& doomed, Mutate&& mutate) {
    emit layoutAboutToBeChanged({}, QAbstractItemModel::NoLayoutChangeHint);
    const QModelIndexList before = persistentIndexList();
    // Decide before the change which persistent indexes die with a removed subtree: afterwards
    // their nodes are gone and cannot be asked for their ancestors.
    std::vector<bool> dies(static_cast<std::size_t>(before.size()), false);
    if (!doomed.empty()) {
        const std::unordered_set<const SiteNode*> gone(doomed.begin(), doomed.end());
        for (qsizetype i = 0; i < before.size(); ++i) {
            for (const SiteNode* n = nodeOf(before[i]); n && !n->isRoot(); n = n->parent()) {
                if (gone.count(n)) {
                    dies[static_cast<std::size_t>(i)] = true;
                    break;
                }
            }
        }
    }
    mutate();
    QModelIndexList after;
    after.reserve(before.size());
    for (qsizetype i = 0; i < before.size(); ++i) {
        after.append(dies[static_cast<std::size_t>(i)] ? QModelIndex() : indexOf(nodeOf(before[i])));
    }
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::NoLayoutChangeHint);
}

template <class TakeOut>
void SiteTreeModel::takeOut(const std::vector<SiteNode*>& siblings, TakeOut&& takeOut) {
    if (siblings.empty()) return;
    emit entriesAboutToLeave(siblings);
    const std::vector<int> rows = rowsOf(siblings);
    if (contiguous(rows)) {
        beginRemoveRows(indexOf(siblings.front()->parent()), rows.front(), rows.back());
        takeOut();
        endRemoveRows();
        return;
    }
    bulkChange(siblings, takeOut);
}

void SiteTreeModel::removeSiblings(const std::vector<SiteNode*>& siblings) {
    takeOut(siblings, [&] { tree_->removeMany(siblings); });
}

void SiteTreeModel::reorder(SiteNode* parent, const std::vector<SiteNode*>& newOrder) {
    // A permutation that is one block changing place is a single row move for the views.
    const auto& old = parent->children();
    const int n = static_cast<int>(old.size());
    int first = 0;
    while (first < n && old[std::size_t(first)] == newOrder[std::size_t(first)])
        ++first;
    if (first == n) return;
    int last = n - 1;
    while (old[std::size_t(last)] == newOrder[std::size_t(last)])
        --last;
    // Within [first, last] the new order is old rotated: either the old first element went to
    // the end (a block moved up) or the old last element came to the front (a block moved down).
    auto same = [&](int from, int to, int shift) {
        for (int i = from; i <= to; ++i) {
            const int was = i + shift;
            if (newOrder[std::size_t(i)] != old[std::size_t(was)]) return false;
        }
        return true;
    };
    const QModelIndex p = indexOf(parent);
    if (newOrder[std::size_t(last)] == old[std::size_t(first)] && same(first, last - 1, 1)) {
        beginMoveRows(p, first, first, p, last + 1);
        tree_->move(old[std::size_t(first)], parent, last);
        endMoveRows();
    } else if (newOrder[std::size_t(first)] == old[std::size_t(last)] && same(first + 1, last, -1)) {
        beginMoveRows(p, last, last, p, first);
        tree_->move(old[std::size_t(last)], parent, first);
        endMoveRows();
    } else {
        bulkChange({}, [&] { tree_->reorderChildren(parent, newOrder); });
    }
}

void SiteTreeModel::moveSiblings(const std::vector<SiteNode*>& siblings, SiteNode* newParent, int row) {
    if (siblings.empty()) return;
    SiteNode* oldParent = siblings.front()->parent();
    const std::vector<int> rows = rowsOf(siblings);
    if (contiguous(rows)) {
        // beginMoveRows counts the destination before the rows are taken out.
        int dest = row < 0 ? newParent->childCount() : row;
        if (newParent == oldParent && dest > rows.front()) dest += int(rows.size());
        if (newParent == oldParent && dest >= rows.front() && dest <= rows.back() + 1) return;
        if (beginMoveRows(indexOf(oldParent), rows.front(), rows.back(), indexOf(newParent), dest)) {
            tree_->moveMany(siblings, newParent, row);
            endMoveRows();
            return;
        }
    }
    bulkChange({}, [&] { tree_->moveMany(siblings, newParent, row); });
}

void SiteTreeModel::detachSiblings(const std::vector<SiteNode*>& siblings) {
    takeOut(siblings, [&] { tree_->detachMany(siblings); });
}

void SiteTreeModel::placeSiblings(const std::vector<SiteNode*>& siblings, SiteNode* newParent,
                                  const std::vector<quilso::RowRun>& runs) {
    if (siblings.empty() || runs.empty()) return;
    if (!siblings.front()->parent()) {
        if (runs.size() == 1) {
            beginInsertRows(indexOf(newParent), runs.front().first,
                            runs.front().first + runs.front().count - 1);
            tree_->attachMany(siblings, newParent, runs);
            endInsertRows();
            return;
        }
        bulkChange({}, [&] { tree_->attachMany(siblings, newParent, runs); });
        return;
    }
    if (runs.size() == 1 && contiguous(rowsOf(siblings))) {
        moveSiblings(siblings, newParent, runs.front().first);
        return;
    }
    bulkChange({}, [&] { tree_->placeMany(siblings, newParent, runs); });
}
