// The site tree: ordered entries with parent links, owned by the project. The writer walks it,
// the reader rebuilds it and the GUI shows it through an item-model adapter.
//
// Nothing here recurses: a chain of 100,000 levels is built, walked and destroyed iteratively.
#pragma once

#include "entry_text.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quilso {

// The record every node carries: menu text and link target, both as typed (Windows-1252).
struct SiteEntry {
    EntryText text;
    EntryText file;
    bool operator==(const SiteEntry&) const = default;
};

// A run of neighbouring rows among one parent's children: how an undo history keeps a block
// of 50,000 moved siblings in a few bytes.
struct RowRun {
    int first = 0;
    int count = 0;
    bool operator==(const RowRun&) const = default;
};

class SiteNode;

// The children of a node, in order: an address and two counts, eight bytes less than a
// std::vector, so that a node fills one cache line and a walk over a large tree fetches one line
// a node. Read like a vector; changed only by SiteTree.
class ChildList {
public:
    using value_type = SiteNode*;
    using const_iterator = SiteNode* const*;

    ChildList() noexcept = default;
    ChildList(const ChildList&) = delete;
    ChildList& operator=(const ChildList&) = delete;
    ChildList(ChildList&& other) noexcept { swap(other); }
    ChildList& operator=(ChildList&& other) noexcept {
        ChildList(std::move(other)).swap(*this);
        return *this;
    }
    ~ChildList() {
        if (owned()) ::operator delete(data_);
    }

    const_iterator begin() const noexcept { return data_; }
    const_iterator end() const noexcept { return data_ + size_; }
    SiteNode* const* data() const noexcept { return data_; }
    std::size_t size() const noexcept { return size_; }
    std::size_t capacity() const noexcept { return capacity_ & ~Lent; }
    bool empty() const noexcept { return size_ == 0; }
    SiteNode* operator[](std::size_t i) const noexcept { return data_[i]; }
    SiteNode* front() const noexcept { return data_[0]; }
    SiteNode* back() const noexcept { return data_[size_ - 1]; }
    // A copy, for the calls that take a list of nodes.
    operator std::vector<SiteNode*>() const { return {begin(), end()}; }

private:
    friend class SiteTree;
    SiteNode** begin() noexcept { return data_; }
    SiteNode** end() noexcept { return data_ + size_; }
    // Room for `count` children; exactly that much if the list has to grow for it.
    void reserve(std::size_t count);
    void push_back(SiteNode* node);
    // Puts the nodes of [first, last) before position `at`.
    void insert(std::size_t at, SiteNode* const* first, SiteNode* const* last);
    void insert(std::size_t at, SiteNode* node) { insert(at, &node, &node + 1); }
    void erase(std::size_t at);
    // Drops the children `doomed` says yes to, keeping the order of the others.
    template <class F> void eraseIf(F&& doomed) {
        SiteNode** kept = std::remove_if(begin(), end(), doomed);
        size_ = static_cast<std::uint32_t>(kept - data_);
    }
    void assign(SiteNode* const* first, SiteNode* const* last);
    void clear() noexcept { size_ = 0; }
    void swap(ChildList& other) noexcept {
        std::swap(data_, other.data_);
        std::swap(size_, other.size_);
        std::swap(capacity_, other.capacity_);
    }
    void reallocate(std::size_t capacity);
    // Set in capacity_ while the memory is lent by the tree, which frees it with its nodes.
    static constexpr std::uint32_t Lent = std::uint32_t(1) << 31;
    bool owned() const noexcept { return (capacity_ & Lent) == 0; }
    // Takes memory for `capacity` children from the tree instead of the heap; the list holds none.
    void lend(SiteNode** memory, std::size_t capacity) noexcept {
        data_ = memory;
        capacity_ = static_cast<std::uint32_t>(capacity) | Lent;
    }

    SiteNode** data_ = nullptr;
    std::uint32_t size_ = 0, capacity_ = 0;
};

class SiteNode {
public:
    SiteEntry entry;
    bool expanded = false; // view state, kept with the node so that a move keeps it

private:
    // Declared here so that it shares a word with `expanded`: a million nodes are 8 MB smaller.
    mutable int rowHint_ = 0;

public:
    // The tree's invisible root for top-level nodes; nullptr only for the root itself.
    SiteNode* parent() const { return parent_; }
    bool isRoot() const { return parent_ == nullptr; }
    const ChildList& children() const { return children_; }
    int childCount() const { return static_cast<int>(children_.size()); }
    SiteNode* child(int row) const { return children_[static_cast<std::size_t>(row)]; }
    // Position among its siblings; amortised O(1) through a cached hint.
    int row() const;
    SiteNode* previousSibling() const;
    SiteNode* nextSibling() const;

private:
    friend class SiteTree;
    SiteNode* parent_ = nullptr;
    ChildList children_;
};

// The rows (ascending) as runs.
std::vector<RowRun> RowRunsOf(const std::vector<int>& sortedRows);
// The current rows of siblings (in sibling order) as runs.
std::vector<RowRun> RowRunsOf(const std::vector<SiteNode*>& siblings);
// The children of `parent` at `runs`, in order.
std::vector<SiteNode*> NodesAt(const SiteNode* parent, const std::vector<RowRun>& runs);

class SiteTree {
public:
    SiteTree();
    ~SiteTree();
    SiteTree(const SiteTree&) = delete;
    SiteTree& operator=(const SiteTree&) = delete;

    SiteNode* root() { return &root_; }
    const SiteNode* root() const { return &root_; }
    bool empty() const { return root_.children_.empty(); }
    // Number of entries at every depth.
    std::size_t size() const { return size_; }

    // Creates a node as child `row` of `parent` (row < 0 or past the end appends).
    SiteNode* insert(SiteNode* parent, int row, SiteEntry entry);
    // Creates a node as the last child of `parent`, its texts made in place.
    SiteNode* append(SiteNode* parent, std::string_view text, std::string_view file);
    // The same for texts in the form of EntryText::Refer, whose longer texts lie in this tree's
    // text store (see adoptTexts).
    SiteNode* appendStored(SiteNode* parent, const TextBytes& text, const TextBytes& file);
    // Takes over the texts of `store`, for nodes made with appendStored.
    void adoptTexts(TextStore&& store) { texts_.adopt(std::move(store)); }
    // Removes `node` with its whole subtree and frees it.
    void remove(SiteNode* node);
    // Moves `node` (with its subtree) to child `row` of `newParent`, the row counted after the
    // node was taken out. `newParent` must not lie inside the moved subtree.
    void move(SiteNode* node, SiteNode* newParent, int row);
    // Moves several siblings, in the given order, to `newParent` starting at `row` (counted
    // after all of them were taken out). One pass over the siblings, whatever their number.
    void moveMany(const std::vector<SiteNode*>& nodes, SiteNode* newParent, int row);
    // Removes several siblings with their subtrees in one pass over their parent's children.
    void removeMany(const std::vector<SiteNode*>& nodes);
    // Puts siblings (in sibling order, with their subtrees) into `newParent` so that they end up
    // at the rows of `runs` (ascending) and the other children keep their order: undoes and
    // redoes every kind of move in one pass. `newParent` must not lie inside a moved subtree.
    void placeMany(const std::vector<SiteNode*>& nodes, SiteNode* newParent, const std::vector<RowRun>& runs);
    // Takes siblings with their subtrees out of the tree without freeing them, for an undo
    // history to put back with attachMany or to free with destroyDetached. They keep their
    // memory in this tree: drop them before the tree is cleared, swapped or destroyed.
    void detachMany(const std::vector<SiteNode*>& nodes);
    // Puts detached nodes (in their old order) back at the rows of `runs` under `parent`.
    void attachMany(const std::vector<SiteNode*>& nodes, SiteNode* parent, const std::vector<RowRun>& runs);
    // Frees a detached node with its subtree.
    void destroyDetached(SiteNode* node);
    // Entries taken out by detachMany and neither put back nor freed.
    std::size_t detachedCount() const { return detached_; }
    // Replaces the children of `parent` by a permutation of them.
    void reorderChildren(SiteNode* parent, std::vector<SiteNode*> newOrder);
    void clear();
    // Exchanges the contents of two trees (the reader builds a new tree aside, then swaps).
    void swap(SiteTree& other) noexcept;
    // Makes room for `count` children of `parent`, for a caller that knows how many will come.
    void reserveChildren(SiteNode* parent, std::size_t count) { parent->children_.reserve(count); }

    // Calls f(node, depth) for every entry in display order (depth first, parents first).
    template <class F> void forEachPreorder(F&& f) const;

    // Builds a tree that is empty from entries in display order (parents before their
    // children), giving each node its list of children at once, allocated at its final size,
    // when its last child is known. Until finish() the tree may only be cleared or destroyed.
    class Builder {
    public:
        explicit Builder(SiteTree& tree);
        // Adds an entry after the one added last at the current depth, its texts made in place.
        SiteNode* add(std::string_view text, std::string_view file);
        // The entries added next are children of the one added last.
        void descend();
        // The entries added next follow the current parent, which has all its children.
        void ascend();
        // Hands every node still open its children; the tree is whole.
        void finish();

    private:
        SiteTree& tree_;
        std::vector<SiteNode*> pending_; // the children of the open nodes, outermost first
        // The open nodes, innermost last, each with where its children start in pending_.
        std::vector<std::pair<SiteNode*, std::size_t>> open_;
    };

private:
    // Nodes live in chunks owned by the tree, not in an allocation each: a large tree is built
    // and freed in a fraction of the time. Removed nodes' slotCount go to a free list for reuse,
    // and all chunks are freed when the tree becomes empty.
    struct Chunk {
        void* memory;
        std::size_t slotCount;
    };
    struct FreeSlot {
        FreeSlot* next;
    };
    inline SiteNode* newNode();
    // The memory of a node when the newest chunk is full or a freed slot is there.
    void* newSlot();
    void destroyNode(SiteNode* node) noexcept;
    // Frees the subtrees and returns how many nodes they held.
    std::size_t destroySubtrees(std::vector<SiteNode*> pending);
    void takeOut(const std::vector<SiteNode*>& siblings);
    static std::size_t subtreeSize(const SiteNode* node);
    void releaseChunks() noexcept;
    // How far forEachPreorder fetches ahead.
    static constexpr std::ptrdiff_t SiblingsAhead = 8;
    static constexpr std::uintptr_t NodesAheadInMemory = 32;
    // Room for `count` children of `parent`, whose list holds no memory yet, from lists_.
    void lendChildren(SiteNode* parent, std::size_t count);

    SiteNode root_;
    std::size_t size_ = 0;
    std::size_t detached_ = 0;
    std::vector<Chunk> chunks_;
    std::size_t used_ = 0; // slotCount handed out from the newest chunk
    FreeSlot* free_ = nullptr;
    // The longer texts of nodes made by the reader; freed with the chunks.
    TextStore texts_;
    // The lists of children the Builder makes at their final size, packed side by side in large
    // blocks (a text store serves as a plain store of bytes here); freed with the chunks.
    TextStore lists_;
};

template <class F> void SiteTree::forEachPreorder(F&& f) const {
    // An explicit stack of sibling ranges keeps deep chains off the call stack.
    struct Siblings {
        SiteNode* const* at;
        SiteNode* const* end;
    };
    std::vector<Siblings> stack;
    if (!root_.children_.empty()) stack.push_back({root_.children_.begin(), root_.children_.end()});
    while (!stack.empty()) {
        Siblings& siblings = stack.back();
        if (siblings.at == siblings.end) {
            stack.pop_back();
            continue;
        }
        const SiteNode* node = *siblings.at++;
        // A walk over a large tree waits for memory, not for work: what the next steps touch is
        // fetched while this node is handled, one step further down the further ahead it lies.
        // Siblings some steps ahead; the list of children of the next but one; the first child of
        // the next, whose list was asked for one step before.
        const std::ptrdiff_t left = siblings.end - siblings.at;
        if (left > SiblingsAhead) __builtin_prefetch(siblings.at[SiblingsAhead]);
        if (left > 1) __builtin_prefetch(siblings.at[1]->children_.data());
        if (left > 0) {
            if (SiteNode* const* list = siblings.at[0]->children_.data()) __builtin_prefetch(list[0]);
        }
        // Nodes made one after another lie side by side, and a walk mostly meets them in that
        // order (a file's entries, the children of consecutive parents): the memory some nodes
        // further on is fetched too. A fetch of an address outside the tree costs nothing.
        __builtin_prefetch(reinterpret_cast<const void*>(reinterpret_cast<std::uintptr_t>(node) +
                                                         NodesAheadInMemory * sizeof(SiteNode)));
        f(node, static_cast<int>(stack.size()) - 1);
        if (!node->children_.empty()) stack.push_back({node->children_.begin(), node->children_.end()});
    }
}

} // namespace quilso
