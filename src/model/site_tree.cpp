#include "site_tree.h"

#include <algorithm>
#include <cassert>
#include <unordered_set>

namespace quilso {

int SiteNode::row() const {
    if (!parent_) return 0;
    const auto& siblings = parent_->children_;
    const auto hint = static_cast<std::size_t>(rowHint_);
    if (hint < siblings.size() && siblings[hint] == this) return rowHint_;
    // The hint went stale through an insert or removal before it: renumber all siblings once,
    // so the next lookups of any of them are O(1) again.
    int found = -1;
    for (std::size_t i = 0; i < siblings.size(); ++i) {
        siblings[i]->rowHint_ = static_cast<int>(i);
        if (siblings[i] == this) found = static_cast<int>(i);
    }
    return found;
}

SiteNode* SiteNode::previousSibling() const {
    if (!parent_) return nullptr;
    const int r = row();
    return r > 0 ? parent_->children_[static_cast<std::size_t>(r - 1)] : nullptr;
}

SiteNode* SiteNode::nextSibling() const {
    if (!parent_) return nullptr;
    const auto r = static_cast<std::size_t>(row()) + 1;
    return r < parent_->children_.size() ? parent_->children_[r] : nullptr;
}

SiteTree::SiteTree() = default;

SiteTree::~SiteTree() { clear(); }

SiteNode* SiteTree::insert(SiteNode* parent, int row, SiteEntry entry) {
    auto* node = new SiteNode;
    node->entry = std::move(entry);
    node->parent_ = parent;
    auto& siblings = parent->children_;
    if (row < 0 || static_cast<std::size_t>(row) > siblings.size()) row = static_cast<int>(siblings.size());
    siblings.insert(siblings.begin() + row, node);
    node->rowHint_ = row;
    ++size_;
    return node;
}

static void detach(SiteNode* node, std::vector<SiteNode*>& siblings, int row) {
    assert(siblings[static_cast<std::size_t>(row)] == node);
    (void)node;
    siblings.erase(siblings.begin() + row);
}

void SiteTree::remove(SiteNode* node) {
    assert(node && !node->isRoot());
    detach(node, node->parent_->children_, node->row());
    std::vector<SiteNode*> pending{node};
    while (!pending.empty()) {
        SiteNode* n = pending.back();
        pending.pop_back();
        pending.insert(pending.end(), n->children_.begin(), n->children_.end());
        delete n;
        --size_;
    }
}

void SiteTree::removeMany(const std::vector<SiteNode*>& nodes) {
    if (nodes.empty()) return;
    const std::unordered_set<const SiteNode*> doomed(nodes.begin(), nodes.end());
    auto& siblings = nodes.front()->parent_->children_;
    siblings.erase(std::remove_if(siblings.begin(), siblings.end(),
                                  [&](SiteNode* n) { return doomed.count(n) != 0; }),
                   siblings.end());
    std::vector<SiteNode*> pending(nodes.begin(), nodes.end());
    while (!pending.empty()) {
        SiteNode* n = pending.back();
        pending.pop_back();
        pending.insert(pending.end(), n->children_.begin(), n->children_.end());
        delete n;
        --size_;
    }
}

void SiteTree::move(SiteNode* node, SiteNode* newParent, int row) {
    assert(node && !node->isRoot() && newParent);
    detach(node, node->parent_->children_, node->row());
    auto& siblings = newParent->children_;
    if (row < 0 || static_cast<std::size_t>(row) > siblings.size()) row = static_cast<int>(siblings.size());
    siblings.insert(siblings.begin() + row, node);
    node->parent_ = newParent;
    node->rowHint_ = row;
}

void SiteTree::moveMany(const std::vector<SiteNode*>& nodes, SiteNode* newParent, int row) {
    if (nodes.empty()) return;
    SiteNode* oldParent = nodes.front()->parent_;
    const std::unordered_set<const SiteNode*> moving(nodes.begin(), nodes.end());
    auto& old = oldParent->children_;
    old.erase(std::remove_if(old.begin(), old.end(), [&](SiteNode* n) { return moving.count(n) != 0; }),
              old.end());
    auto& siblings = newParent->children_;
    if (row < 0 || static_cast<std::size_t>(row) > siblings.size()) row = static_cast<int>(siblings.size());
    siblings.insert(siblings.begin() + row, nodes.begin(), nodes.end());
    for (SiteNode* n : nodes) n->parent_ = newParent;
}

void SiteTree::reorderChildren(SiteNode* parent, std::vector<SiteNode*> newOrder) {
    assert(newOrder.size() == parent->children_.size());
    parent->children_ = std::move(newOrder);
}

void SiteTree::clear() {
    std::vector<SiteNode*> pending = std::move(root_.children_);
    root_.children_.clear();
    while (!pending.empty()) {
        SiteNode* n = pending.back();
        pending.pop_back();
        pending.insert(pending.end(), n->children_.begin(), n->children_.end());
        delete n;
    }
    size_ = 0;
}

void SiteTree::swap(SiteTree& other) noexcept {
    std::swap(root_.children_, other.root_.children_);
    std::swap(size_, other.size_);
    for (SiteNode* n : root_.children_) n->parent_ = &root_;
    for (SiteNode* n : other.root_.children_) n->parent_ = &other.root_;
}

} // namespace quilso
