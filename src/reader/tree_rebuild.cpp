// Rebuilding the tree from the sibling and child links of the menu lines.
//
// The rebuild is defined as a cycle over the entries in entry order: visiting entry b places the
// next sibling of a placed b after it, or an unplaced b before its placed next sibling, and then
// the first child of a placed b; after n visits in a row that place nothing, the first unplaced
// entry is appended at the top level. Run literally that is quadratic for lines in an unlucky
// order. Here only the visits that place something are made: an entry is "active" when visiting
// it would place something, which can only change when the entry itself, its next sibling or its
// first child is placed. The active entries sit in a set ordered by entry number, so the next
// productive visit is the first active entry at or after the cycle's position, wrapping around.
// The visits in between place nothing and change nothing, so skipping them gives the same tree.
// A file in the writer's order is placed in the cycle's first round, so the cycle runs as defined
// for a while first and the indexed simulation takes over only when that takes longer; the switch
// is made right after a visit that placed something, where the two agree on the state.
#include "reader_internal.h"

#include <bit>
#include <optional>

namespace quilso::reader {

namespace {

// A set of entry numbers with "smallest element at or after i" in a few word operations: a tree
// of 64-bit words where each bit of a level tells whether a word of the level below is non-zero.
class IndexSet {
public:
    explicit IndexSet(std::size_t size) {
        std::size_t words = (size + 63) / 64;
        for (;;) {
            levels_.emplace_back(words == 0 ? 1 : words, 0);
            if (words <= 1) break;
            words = (words + 63) / 64;
        }
    }

    void insert(std::size_t i) {
        for (auto& level : levels_) {
            std::uint64_t& word = level[i >> 6];
            const bool wasEmpty = word == 0;
            word |= std::uint64_t(1) << (i & 63);
            if (!wasEmpty) return;
            i >>= 6;
        }
    }

    void erase(std::size_t i) {
        for (auto& level : levels_) {
            std::uint64_t& word = level[i >> 6];
            word &= ~(std::uint64_t(1) << (i & 63));
            if (word != 0) return;
            i >>= 6;
        }
    }

    // The smallest element >= i, or -1.
    std::int64_t findFrom(std::size_t i) const {
        std::size_t l = 0;
        for (;;) {
            const auto& level = levels_[l];
            const std::size_t w = i >> 6;
            if (w >= level.size()) return -1;
            const std::uint64_t bits = level[w] & (~std::uint64_t(0) << (i & 63));
            if (bits != 0) {
                i = (w << 6) | static_cast<std::size_t>(std::countr_zero(bits));
                break;
            }
            if (l + 1 == levels_.size()) return -1;
            i = w + 1;
            ++l;
        }
        while (l > 0) {
            --l;
            i = (i << 6) | static_cast<std::size_t>(std::countr_zero(levels_[l][i]));
        }
        return static_cast<std::int64_t>(i);
    }

private:
    std::vector<std::vector<std::uint64_t>> levels_;
};

// For every entry x, the entries whose link names x (compressed rows).
struct ReverseLinks {
    std::vector<std::int32_t> start; // size n + 1
    std::vector<std::int32_t> from;

    explicit ReverseLinks(const std::vector<std::int32_t>& links) : start(links.size() + 1, 0) {
        for (std::int32_t target : links)
            if (target >= 0) ++start[static_cast<std::size_t>(target) + 1];
        for (std::size_t i = 1; i < start.size(); ++i) start[i] += start[i - 1];
        from.resize(static_cast<std::size_t>(start.back()));
        std::vector<std::int32_t> fill(start.begin(), start.end() - 1);
        for (std::size_t e = 0; e < links.size(); ++e)
            if (links[e] >= 0) from[static_cast<std::size_t>(fill[static_cast<std::size_t>(links[e])]++)] =
                                   static_cast<std::int32_t>(e);
    }

    template <class F> void forEach(std::int32_t x, F&& f) const {
        const auto i = static_cast<std::size_t>(x);
        for (std::int32_t k = start[i]; k < start[i + 1]; ++k) f(from[static_cast<std::size_t>(k)]);
    }
};

class Rebuild {
public:
    Rebuild(const std::vector<std::int32_t>& nextSibling, const std::vector<std::int32_t>& firstChild,
            TreeShape& shape)
        : next_(nextSibling), child_(firstChild), shape_(shape), n_(static_cast<std::int32_t>(nextSibling.size())),
          placed_(nextSibling.size(), 0) {}

    void run(std::int32_t first, std::int64_t plainSteps) {
        appendTopLevel(first);
        std::int32_t b = first;
        std::int32_t since = 0;
        while (placedCount_ < n_) {
            if (plainSteps <= 0 && since == 0) return runIndexed(b);
            --plainSteps;
            since = visit(b) ? 0 : since + 1;
            b = b + 1 == n_ ? 0 : b + 1;
            if (since == n_) {
                appendFirstUnplaced();
                since = 0;
            }
        }
    }

private:
    void runIndexed(std::int32_t b) {
        nextFrom_.emplace(next_);
        childFrom_.emplace(child_);
        active_.emplace(static_cast<std::size_t>(n_));
        for (std::int32_t e = 0; e < n_; ++e)
            if (isActive(e)) active_->insert(static_cast<std::size_t>(e));
        while (placedCount_ < n_) {
            std::int64_t a = active_->findFrom(static_cast<std::size_t>(b));
            if (a < 0) a = active_->findFrom(0);
            if (a < 0) {
                // A whole round places nothing: the cycle comes back to b and the first unplaced
                // entry goes to the end of the top level.
                appendFirstUnplaced();
                continue;
            }
            visit(static_cast<std::int32_t>(a));
            b = static_cast<std::int32_t>(a + 1 == n_ ? 0 : a + 1);
        }
    }

    void appendFirstUnplaced() {
        while (placed_[static_cast<std::size_t>(firstUnplaced_)]) ++firstUnplaced_;
        appendTopLevel(firstUnplaced_);
    }

    bool isPlaced(std::int32_t e) const { return placed_[static_cast<std::size_t>(e)] != 0; }
    std::int32_t nextOf(std::int32_t e) const { return next_[static_cast<std::size_t>(e)]; }
    std::int32_t childOf(std::int32_t e) const { return child_[static_cast<std::size_t>(e)]; }

    // Whether visiting e now would place an entry.
    bool isActive(std::int32_t e) const {
        const std::int32_t s = nextOf(e);
        if (!isPlaced(e)) return s >= 0 && isPlaced(s);
        const std::int32_t c = childOf(e);
        return (s >= 0 && !isPlaced(s)) || (c >= 0 && !isPlaced(c));
    }

    void refresh(std::int32_t e) {
        if (isActive(e))
            active_->insert(static_cast<std::size_t>(e));
        else
            active_->erase(static_cast<std::size_t>(e));
    }

    void markPlaced(std::int32_t x) {
        placed_[static_cast<std::size_t>(x)] = 1;
        ++placedCount_;
        if (!active_) return;
        refresh(x);
        nextFrom_->forEach(x, [&](std::int32_t e) { refresh(e); });
        childFrom_->forEach(x, [&](std::int32_t e) { refresh(e); });
    }

    // One step of the cycle at b; true when it placed an entry.
    bool visit(std::int32_t b) {
        bool placedOne = false;
        const std::int32_t s = nextOf(b);
        if (s >= 0) {
            if (isPlaced(b) && !isPlaced(s)) {
                insertAfter(b, s);
                markPlaced(s);
                placedOne = true;
            } else if (!isPlaced(b) && isPlaced(s)) {
                insertBefore(s, b);
                markPlaced(b);
                placedOne = true;
            }
        }
        const std::int32_t c = childOf(b);
        if (c >= 0 && isPlaced(b) && !isPlaced(c)) {
            insertFirstChild(b, c);
            markPlaced(c);
            placedOne = true;
        }
        return placedOne;
    }

    std::int32_t& at(std::vector<std::int32_t>& v, std::int32_t i) { return v[static_cast<std::size_t>(i)]; }

    void appendTopLevel(std::int32_t x) {
        at(shape_.parent, x) = -1;
        at(shape_.previous, x) = shape_.rootLast;
        at(shape_.next, x) = -1;
        if (shape_.rootLast >= 0)
            at(shape_.next, shape_.rootLast) = x;
        else
            shape_.rootFirst = x;
        shape_.rootLast = x;
        markPlaced(x);
    }

    void insertAfter(std::int32_t b, std::int32_t x) {
        const std::int32_t parent = at(shape_.parent, b);
        const std::int32_t after = at(shape_.next, b);
        at(shape_.parent, x) = parent;
        at(shape_.previous, x) = b;
        at(shape_.next, x) = after;
        at(shape_.next, b) = x;
        if (after >= 0)
            at(shape_.previous, after) = x;
        else if (parent < 0)
            shape_.rootLast = x;
    }

    void insertBefore(std::int32_t s, std::int32_t x) {
        const std::int32_t parent = at(shape_.parent, s);
        const std::int32_t before = at(shape_.previous, s);
        at(shape_.parent, x) = parent;
        at(shape_.previous, x) = before;
        at(shape_.next, x) = s;
        at(shape_.previous, s) = x;
        if (before >= 0)
            at(shape_.next, before) = x;
        else if (parent < 0)
            shape_.rootFirst = x;
        else
            at(shape_.firstChild, parent) = x;
    }

    void insertFirstChild(std::int32_t b, std::int32_t x) {
        const std::int32_t old = at(shape_.firstChild, b);
        at(shape_.parent, x) = b;
        at(shape_.previous, x) = -1;
        at(shape_.next, x) = old;
        at(shape_.firstChild, b) = x;
        if (old >= 0) at(shape_.previous, old) = x;
    }

    const std::vector<std::int32_t>& next_;
    const std::vector<std::int32_t>& child_;
    TreeShape& shape_;
    const std::int32_t n_;
    std::int32_t placedCount_ = 0;
    std::int32_t firstUnplaced_ = 0;
    std::vector<char> placed_;
    // Only for the indexed simulation.
    std::optional<ReverseLinks> nextFrom_;
    std::optional<ReverseLinks> childFrom_;
    std::optional<IndexSet> active_;
};

} // namespace

TreeShape RebuildTreeShape(const std::vector<std::int32_t>& nextSibling, const std::vector<std::int32_t>& firstChild,
                           std::int32_t first, std::int64_t plainSteps) {
    TreeShape shape;
    const std::size_t n = nextSibling.size();
    if (n == 0 || first < 0) return shape;
    shape.parent.assign(n, -1);
    shape.previous.assign(n, -1);
    shape.next.assign(n, -1);
    shape.firstChild.assign(n, -1);
    if (plainSteps < 0) plainSteps = 2 * static_cast<std::int64_t>(n);
    Rebuild(nextSibling, firstChild, shape).run(first, plainSteps);
    return shape;
}

void CreateNodes(const TreeShape& shape, const MenuTable& table, SiteTree& tree) {
    // Depth first with an explicit stack of the ancestors' nodes: a chain of any depth is fine.
    std::vector<SiteNode*> ancestors;
    SiteNode* parentNode = tree.root();
    std::int32_t x = shape.rootFirst;
    const auto at = [](const std::vector<std::int32_t>& v, std::int32_t i) { return v[static_cast<std::size_t>(i)]; };
    while (x >= 0) {
        const auto& texts = table.texts[static_cast<std::size_t>(x)];
        SiteNode* node = tree.insert(parentNode, -1, SiteEntry{std::string(texts.text()), std::string(texts.file())});
        if (at(shape.firstChild, x) >= 0) {
            ancestors.push_back(parentNode);
            parentNode = node;
            x = at(shape.firstChild, x);
            continue;
        }
        while (x >= 0 && at(shape.next, x) < 0) {
            x = at(shape.parent, x);
            if (x >= 0) {
                parentNode = ancestors.back();
                ancestors.pop_back();
            }
        }
        if (x >= 0) x = at(shape.next, x);
    }
}

} // namespace quilso::reader
