#include "site_tree.h"

#include "large_memory.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <limits>
#include <new>
#include <stdexcept>
#include <unordered_set>

namespace quilso {

namespace {
// Chunks start small, so a small tree holds little memory, and double up to a few megabytes.
constexpr std::size_t FirstChunkSlots = 16;
constexpr std::size_t LargeChunkBytes = std::size_t(2) << 20;
constexpr std::size_t MostChunkBytes = std::size_t(8) << 20;
static_assert(sizeof(SiteNode) >= sizeof(void*) && alignof(SiteNode) <= __STDCPP_DEFAULT_NEW_ALIGNMENT__);
// One cache line a node; chunks start at page boundaries, so no node spans two lines.
static_assert(sizeof(void*) != 8 || sizeof(SiteNode) == 64);

bool IsLarge(std::size_t slotCount) {
    return slotCount * sizeof(SiteNode) >= LargeChunkBytes;
}
} // namespace

namespace {
SiteNode** NewList(std::size_t capacity) {
    // The top bit of a list's capacity marks memory lent by the tree.
    if (capacity >= (std::size_t(1) << 31)) throw std::length_error("too many children");
    return static_cast<SiteNode**>(::operator new(capacity * sizeof(SiteNode*)));
}
} // namespace

void ChildList::reallocate(std::size_t capacity) {
    SiteNode** memory = NewList(capacity);
    if (size_ > 0) std::memcpy(memory, data_, size_ * sizeof(SiteNode*));
    if (owned()) ::operator delete(data_);
    data_ = memory;
    capacity_ = static_cast<std::uint32_t>(capacity);
}

void ChildList::reserve(std::size_t count) {
    if (count > capacity()) reallocate(count);
}

void ChildList::push_back(SiteNode* node) {
    if (size_ == capacity()) reallocate(std::max<std::size_t>(4, capacity() * 2));
    data_[size_++] = node;
}

void ChildList::insert(std::size_t at, SiteNode* const* first, SiteNode* const* last) {
    const auto count = static_cast<std::size_t>(last - first);
    if (count == 0) return;
    if (size_ + count > capacity()) {
        const std::size_t capacity = std::max(size_ + count, this->capacity() * 2);
        SiteNode** memory = NewList(capacity);
        std::copy(data_, data_ + at, memory);
        std::copy(first, last, memory + at);
        std::copy(data_ + at, data_ + size_, memory + at + count);
        if (owned()) ::operator delete(data_);
        data_ = memory;
        capacity_ = static_cast<std::uint32_t>(capacity);
    } else {
        std::copy_backward(data_ + at, data_ + size_, data_ + size_ + count);
        std::copy(first, last, data_ + at);
    }
    size_ += static_cast<std::uint32_t>(count);
}

void ChildList::erase(std::size_t at) {
    std::copy(data_ + at + 1, data_ + size_, data_ + at);
    --size_;
}

void ChildList::assign(SiteNode* const* first, SiteNode* const* last) {
    const auto count = static_cast<std::size_t>(last - first);
    if (count > capacity()) {
        ChildList fresh;
        fresh.reallocate(count);
        std::copy(first, last, fresh.data_);
        fresh.size_ = static_cast<std::uint32_t>(count);
        swap(fresh);
        return;
    }
    std::copy(first, last, data_);
    size_ = static_cast<std::uint32_t>(count);
}

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

SiteTree::~SiteTree() {
    clear();
}

void* SiteTree::newSlot() {
    if (free_) {
        void* slot = free_;
        free_ = free_->next;
        return slot;
    }
    std::size_t slotCount = chunks_.empty()
                                ? FirstChunkSlots
                                : std::min(chunks_.back().slotCount * 2, MostChunkBytes / sizeof(SiteNode));
    if (IsLarge(slotCount)) slotCount = LargeBlockSize(slotCount * sizeof(SiteNode)) / sizeof(SiteNode);
    void* memory = IsLarge(slotCount) ? AllocateLarge(slotCount * sizeof(SiteNode))
                                      : ::operator new(slotCount * sizeof(SiteNode));
    try {
        chunks_.push_back({memory, slotCount});
    } catch (...) {
        if (IsLarge(slotCount))
            FreeLarge(memory, slotCount * sizeof(SiteNode));
        else
            ::operator delete(memory);
        throw;
    }
    used_ = 1;
    return memory;
}

inline SiteNode* SiteTree::newNode() {
    // Mostly the next slot of the newest chunk: a load makes a million nodes one after another.
    void* slot = !free_ && !chunks_.empty() && used_ < chunks_.back().slotCount
                     ? static_cast<char*>(chunks_.back().memory) + used_++ * sizeof(SiteNode)
                     : newSlot();
    return new (slot) SiteNode;
}

void SiteTree::destroyNode(SiteNode* node) noexcept {
    node->~SiteNode();
    free_ = new (static_cast<void*>(node)) FreeSlot{free_};
}

std::size_t SiteTree::destroySubtrees(std::vector<SiteNode*> pending) {
    std::size_t count = 0;
    while (!pending.empty()) {
        SiteNode* n = pending.back();
        pending.pop_back();
        pending.insert(pending.end(), n->children_.begin(), n->children_.end());
        destroyNode(n);
        ++count;
    }
    return count;
}

void SiteTree::releaseChunks() noexcept {
    for (const Chunk& chunk : chunks_) {
        if (IsLarge(chunk.slotCount))
            FreeLarge(chunk.memory, chunk.slotCount * sizeof(SiteNode));
        else
            ::operator delete(chunk.memory);
    }
    chunks_.clear();
    chunks_.shrink_to_fit();
    used_ = 0;
    free_ = nullptr;
    texts_.clear();
    // The tree is empty, but the root's list may still hold memory lent by the store.
    if (!root_.children_.owned()) root_.children_ = ChildList();
    lists_.clear();
}

SiteNode* SiteTree::insert(SiteNode* parent, int row, SiteEntry entry) {
    SiteNode* node = newNode();
    node->entry = std::move(entry);
    node->parent_ = parent;
    auto& siblings = parent->children_;
    if (row < 0 || static_cast<std::size_t>(row) > siblings.size()) row = static_cast<int>(siblings.size());
    try {
        siblings.insert(static_cast<std::size_t>(row), node);
    } catch (...) {
        destroyNode(node);
        throw;
    }
    node->rowHint_ = row;
    ++size_;
    return node;
}

SiteNode* SiteTree::append(SiteNode* parent, std::string_view text, std::string_view file) {
    return appendStored(parent, texts_.keepAsEntryText(text), texts_.keepAsEntryText(file));
}

SiteNode* SiteTree::appendStored(SiteNode* parent, const TextBytes& text, const TextBytes& file) {
    SiteNode* node = newNode();
    auto& siblings = parent->children_;
    try {
        siblings.push_back(node);
    } catch (...) {
        destroyNode(node);
        throw;
    }
    node->entry.text.referBytes(text);
    node->entry.file.referBytes(file);
    node->parent_ = parent;
    node->rowHint_ = static_cast<int>(siblings.size()) - 1;
    ++size_;
    return node;
}

SiteTree::Builder::Builder(SiteTree& tree) : tree_(tree) {
    assert(tree.empty() && !tree.free_ && tree.detached_ == 0);
    open_.emplace_back(tree.root(), 0);
}

SiteNode* SiteTree::Builder::add(std::string_view text, std::string_view file) {
    // A node that fails half-made stays in its slot; clearing the tree destroys it, as every
    // slot of a tree without freed ones holds a node.
    SiteNode* node = tree_.newNode();
    node->entry.text.keepIn(tree_.texts_, text);
    node->entry.file.keepIn(tree_.texts_, file);
    pending_.push_back(node);
    node->parent_ = open_.back().first;
    node->rowHint_ = static_cast<int>(pending_.size() - open_.back().second) - 1;
    ++tree_.size_;
    return node;
}

void SiteTree::Builder::descend() {
    open_.emplace_back(pending_.back(), pending_.size());
}

void SiteTree::Builder::ascend() {
    const auto [node, start] = open_.back();
    tree_.lendChildren(node, pending_.size() - start);
    node->children_.assign(pending_.data() + start, pending_.data() + pending_.size());
    pending_.resize(start);
    open_.pop_back();
}

void SiteTree::Builder::finish() {
    while (!open_.empty())
        ascend();
}

void SiteTree::remove(SiteNode* node) {
    assert(node && !node->isRoot());
    node->parent_->children_.erase(static_cast<std::size_t>(node->row()));
    size_ -= destroySubtrees({node});
    if (size_ == 0 && detached_ == 0) releaseChunks();
}

void SiteTree::removeMany(const std::vector<SiteNode*>& nodes) {
    if (nodes.empty()) return;
    // Copied first: `nodes` may be the parent's own list of children, which the erase empties.
    std::vector<SiteNode*> pending(nodes.begin(), nodes.end());
    const std::unordered_set<const SiteNode*> doomed(nodes.begin(), nodes.end());
    pending.front()->parent_->children_.eraseIf([&](SiteNode* n) { return doomed.count(n) != 0; });
    size_ -= destroySubtrees(std::move(pending));
    if (size_ == 0 && detached_ == 0) releaseChunks();
}

void SiteTree::move(SiteNode* node, SiteNode* newParent, int row) {
    assert(node && !node->isRoot() && newParent);
    node->parent_->children_.erase(static_cast<std::size_t>(node->row()));
    auto& siblings = newParent->children_;
    if (row < 0 || static_cast<std::size_t>(row) > siblings.size()) row = static_cast<int>(siblings.size());
    siblings.insert(static_cast<std::size_t>(row), node);
    node->parent_ = newParent;
    node->rowHint_ = row;
}

void SiteTree::moveMany(const std::vector<SiteNode*>& nodes, SiteNode* newParent, int row) {
    if (nodes.empty()) return;
    SiteNode* oldParent = nodes.front()->parent_;
    const std::unordered_set<const SiteNode*> moving(nodes.begin(), nodes.end());
    oldParent->children_.eraseIf([&](SiteNode* n) { return moving.count(n) != 0; });
    auto& siblings = newParent->children_;
    if (row < 0 || static_cast<std::size_t>(row) > siblings.size()) row = static_cast<int>(siblings.size());
    siblings.insert(static_cast<std::size_t>(row), nodes.data(), nodes.data() + nodes.size());
    for (SiteNode* n : nodes)
        n->parent_ = newParent;
}

void SiteTree::takeOut(const std::vector<SiteNode*>& siblings) {
    // In sibling order, so one pass without a lookup set finds them all.
    std::size_t next = 0;
    siblings.front()->parent_->children_.eraseIf([&](SiteNode* n) {
        if (next < siblings.size() && siblings[next] == n) {
            ++next;
            return true;
        }
        return false;
    });
    assert(next == siblings.size());
}

std::size_t SiteTree::subtreeSize(const SiteNode* node) {
    std::size_t count = 0;
    std::vector<const SiteNode*> pending{node};
    while (!pending.empty()) {
        const SiteNode* n = pending.back();
        pending.pop_back();
        pending.insert(pending.end(), n->children_.begin(), n->children_.end());
        ++count;
    }
    return count;
}

void SiteTree::placeMany(const std::vector<SiteNode*>& nodes, SiteNode* newParent,
                         const std::vector<RowRun>& runs) {
    if (nodes.empty()) return;
    SiteNode* oldParent = nodes.front()->parent_;
    auto& siblings = newParent->children_;
    // Allocated before anything changes: a failure leaves the tree as it was.
    ChildList merged;
    merged.reserve(siblings.size() + (oldParent == newParent ? 0 : nodes.size()));
    if (oldParent) takeOut(nodes);
    std::size_t kept = 0;
    std::size_t next = 0;
    for (const RowRun& run : runs) {
        while (merged.size() < static_cast<std::size_t>(run.first) && kept < siblings.size())
            merged.push_back(siblings[kept++]);
        for (int i = 0; i < run.count && next < nodes.size(); ++i)
            merged.push_back(nodes[next++]);
    }
    while (next < nodes.size())
        merged.push_back(nodes[next++]);
    merged.insert(merged.size(), siblings.data() + kept, siblings.data() + siblings.size());
    siblings.swap(merged);
    for (SiteNode* n : nodes)
        n->parent_ = newParent;
}

void SiteTree::detachMany(const std::vector<SiteNode*>& nodes) {
    if (nodes.empty()) return;
    std::size_t count = 0;
    for (const SiteNode* n : nodes)
        count += subtreeSize(n);
    takeOut(nodes);
    for (SiteNode* n : nodes)
        n->parent_ = nullptr;
    size_ -= count;
    detached_ += count;
}

void SiteTree::attachMany(const std::vector<SiteNode*>& nodes, SiteNode* parent,
                          const std::vector<RowRun>& runs) {
    if (nodes.empty()) return;
    std::size_t count = 0;
    for (const SiteNode* n : nodes) {
        assert(n->parent_ == nullptr);
        count += subtreeSize(n);
    }
    placeMany(nodes, parent, runs);
    size_ += count;
    detached_ -= count;
}

void SiteTree::destroyDetached(SiteNode* node) {
    assert(node && node->parent_ == nullptr && node != &root_);
    detached_ -= destroySubtrees({node});
    if (size_ == 0 && detached_ == 0) releaseChunks();
}

std::vector<RowRun> RowRunsOf(const std::vector<int>& sortedRows) {
    std::vector<RowRun> runs;
    for (const int row : sortedRows) {
        if (!runs.empty() && runs.back().first + runs.back().count == row)
            ++runs.back().count;
        else
            runs.push_back({row, 1});
    }
    return runs;
}

std::vector<RowRun> RowRunsOf(const std::vector<SiteNode*>& siblings) {
    std::vector<RowRun> runs;
    for (const SiteNode* n : siblings) {
        const int row = n->row();
        if (!runs.empty() && runs.back().first + runs.back().count == row)
            ++runs.back().count;
        else
            runs.push_back({row, 1});
    }
    return runs;
}

std::vector<SiteNode*> NodesAt(const SiteNode* parent, const std::vector<RowRun>& runs) {
    std::vector<SiteNode*> nodes;
    std::size_t total = 0;
    for (const RowRun& run : runs)
        total += static_cast<std::size_t>(run.count);
    nodes.reserve(total);
    for (const RowRun& run : runs)
        for (int i = 0; i < run.count; ++i)
            nodes.push_back(parent->child(run.first + i));
    return nodes;
}

void SiteTree::reorderChildren(SiteNode* parent, std::vector<SiteNode*> newOrder) {
    assert(newOrder.size() == parent->children_.size());
    parent->children_.assign(newOrder.data(), newOrder.data() + newOrder.size());
}

void SiteTree::clear() {
    // Detached nodes live in the chunks too: whoever kept them must have let them go first.
    assert(detached_ == 0);
    if (!free_ && detached_ == 0) {
        // No slot was given back and none is held outside the tree, so every slot handed out
        // holds a node of the tree: they are destroyed in memory order, without a walk.
        root_.children_.clear();
        for (std::size_t c = 0; c < chunks_.size(); ++c) {
            const std::size_t slots = c + 1 == chunks_.size() ? used_ : chunks_[c].slotCount;
            auto* nodes = static_cast<SiteNode*>(chunks_[c].memory);
            for (std::size_t i = 0; i < slots; ++i)
                nodes[i].~SiteNode();
        }
        size_ = 0;
        releaseChunks();
        return;
    }
    std::vector<SiteNode*> pending = root_.children_;
    root_.children_.clear();
    destroySubtrees(std::move(pending));
    size_ = 0;
    detached_ = 0;
    releaseChunks();
}

void SiteTree::lendChildren(SiteNode* parent, std::size_t count) {
    ChildList& list = parent->children_;
    if (list.data_ || count == 0) {
        list.reserve(count);
        return;
    }
    if (count >= ChildList::Lent) throw std::length_error("too many children");
    list.lend(reinterpret_cast<SiteNode**>(lists_.allocate(count * sizeof(SiteNode*))), count);
}

void SiteTree::swap(SiteTree& other) noexcept {
    root_.children_.swap(other.root_.children_);
    std::swap(size_, other.size_);
    std::swap(detached_, other.detached_);
    std::swap(chunks_, other.chunks_);
    std::swap(used_, other.used_);
    std::swap(free_, other.free_);
    texts_.swap(other.texts_);
    lists_.swap(other.lists_);
    for (SiteNode* n : root_.children_)
        n->parent_ = &root_;
    for (SiteNode* n : other.root_.children_)
        n->parent_ = &other.root_;
}

} // namespace quilso
