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
//
// Lines in a shuffled order make every step a jump to a random entry; each entry's links and
// its place are therefore kept in one small record each, so that a step costs few cache misses.
#include "reader_internal.h"

#include <algorithm>
#include <bit>
#include <cstdlib>
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

// An entry's links and the first entry whose next-sibling link, and whose first-child link,
// names it. In a sound file no entry is named twice; further namers go to a side list.
struct LinkRecord {
    std::int32_t next;
    std::int32_t child;
    std::int32_t namedByNext = -1;
    std::int32_t namedByChild = -1;
};

class Rebuild {
public:
    Rebuild(std::span<const std::int32_t> nextSibling, std::span<const std::int32_t> firstChild,
            TreeShape& shape)
        : shape_(shape), n_(static_cast<std::int32_t>(nextSibling.size())), placed_(nextSibling.size(), 0) {
        links_.reserve(nextSibling.size());
        for (std::size_t e = 0; e < nextSibling.size(); ++e)
            links_.push_back({nextSibling[e], firstChild[e]});
    }

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
        indexNamers();
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
            prefetchAhead(a);
            visit(static_cast<std::int32_t>(a));
            b = static_cast<std::int32_t>(a + 1 == n_ ? 0 : a + 1);
        }
    }

    // The active entries after a are most likely the next ones visited: fetch the record of the
    // second one, and for the first one (fetched a step ago) the records its visit will touch.
    void prefetchAhead(std::int64_t a) {
        const std::int64_t second = active_->findFrom(static_cast<std::size_t>(a) + 1);
        if (second < 0) return;
        const std::int64_t third = active_->findFrom(static_cast<std::size_t>(second) + 1);
        if (third >= 0) __builtin_prefetch(&links_[static_cast<std::size_t>(third)]);
        const LinkRecord& r = links_[static_cast<std::size_t>(second)];
        __builtin_prefetch(&shape_.place[static_cast<std::size_t>(second)]);
        for (const std::int32_t target : {r.next, r.child}) {
            if (target < 0) continue;
            __builtin_prefetch(&links_[static_cast<std::size_t>(target)]);
            __builtin_prefetch(&shape_.place[static_cast<std::size_t>(target)]);
        }
    }

    void indexNamers() {
        for (std::int32_t e = 0; e < n_; ++e) {
            const LinkRecord& r = link(e);
            if (r.next >= 0) name(link(r.next).namedByNext, r.next, e, extraNext_);
            if (r.child >= 0) name(link(r.child).namedByChild, r.child, e, extraChild_);
        }
        std::sort(extraNext_.begin(), extraNext_.end());
        std::sort(extraChild_.begin(), extraChild_.end());
    }

    static void name(std::int32_t& slot, std::int32_t target, std::int32_t namer,
                     std::vector<std::pair<std::int32_t, std::int32_t>>& extra) {
        if (slot < 0)
            slot = namer;
        else
            extra.emplace_back(target, namer);
    }

    template <class F>
    static void forEachNamer(std::int32_t slot, std::int32_t target,
                             const std::vector<std::pair<std::int32_t, std::int32_t>>& extra, F&& f) {
        if (slot < 0) return;
        f(slot);
        if (extra.empty()) return;
        for (auto it = std::lower_bound(extra.begin(), extra.end(),
                                        std::pair<std::int32_t, std::int32_t>(target, -1));
             it != extra.end() && it->first == target; ++it)
            f(it->second);
    }

    void appendFirstUnplaced() {
        while (placed_[static_cast<std::size_t>(firstUnplaced_)])
            ++firstUnplaced_;
        appendTopLevel(firstUnplaced_);
    }

    LinkRecord& link(std::int32_t e) { return links_[static_cast<std::size_t>(e)]; }
    TreeShape::Place& place(std::int32_t e) { return shape_.place[static_cast<std::size_t>(e)]; }
    bool isPlaced(std::int32_t e) const { return placed_[static_cast<std::size_t>(e)] != 0; }

    // Whether visiting e now would place an entry.
    bool isActive(std::int32_t e) {
        const LinkRecord& r = link(e);
        if (!isPlaced(e)) return r.next >= 0 && isPlaced(r.next);
        return (r.next >= 0 && !isPlaced(r.next)) || (r.child >= 0 && !isPlaced(r.child));
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
        const LinkRecord& r = link(x);
        forEachNamer(r.namedByNext, x, extraNext_, [&](std::int32_t e) { refresh(e); });
        forEachNamer(r.namedByChild, x, extraChild_, [&](std::int32_t e) { refresh(e); });
    }

    // One step of the cycle at b; true when it placed an entry.
    bool visit(std::int32_t b) {
        bool placedOne = false;
        const LinkRecord r = link(b);
        // Whatever this step places touches these records; fetch them side by side.
        __builtin_prefetch(&place(b));
        if (r.next >= 0) {
            __builtin_prefetch(&place(r.next));
            __builtin_prefetch(&link(r.next));
        }
        if (r.child >= 0) {
            __builtin_prefetch(&place(r.child));
            __builtin_prefetch(&link(r.child));
        }
        if (r.next >= 0) {
            if (isPlaced(b) && !isPlaced(r.next)) {
                insertAfter(b, r.next);
                placedOne = true;
            } else if (!isPlaced(b) && isPlaced(r.next)) {
                insertBefore(r.next, b);
                placedOne = true;
            }
        }
        if (r.child >= 0 && isPlaced(b) && !isPlaced(r.child)) {
            insertFirstChild(b, r.child);
            placedOne = true;
        }
        return placedOne;
    }

    void appendTopLevel(std::int32_t x) {
        place(x) = {-1, shape_.rootLast, -1, -1};
        if (shape_.rootLast >= 0)
            place(shape_.rootLast).next = x;
        else
            shape_.rootFirst = x;
        shape_.rootLast = x;
        markPlaced(x);
    }

    void insertAfter(std::int32_t b, std::int32_t x) {
        TreeShape::Place& pb = place(b);
        const std::int32_t after = pb.next;
        place(x) = {pb.parent, b, after, -1};
        pb.next = x;
        if (after >= 0)
            place(after).previous = x;
        else if (pb.parent < 0)
            shape_.rootLast = x;
        markPlaced(x);
    }

    void insertBefore(std::int32_t s, std::int32_t x) {
        TreeShape::Place& ps = place(s);
        const std::int32_t parent = ps.parent;
        const std::int32_t before = ps.previous;
        place(x) = {parent, before, s, -1};
        ps.previous = x;
        if (before >= 0)
            place(before).next = x;
        else if (parent < 0)
            shape_.rootFirst = x;
        else
            place(parent).firstChild = x;
        markPlaced(x);
    }

    void insertFirstChild(std::int32_t b, std::int32_t x) {
        TreeShape::Place& pb = place(b);
        const std::int32_t old = pb.firstChild;
        place(x) = {b, -1, old, -1};
        pb.firstChild = x;
        if (old >= 0) place(old).previous = x;
        markPlaced(x);
    }

    TreeShape& shape_;
    const std::int32_t n_;
    std::int32_t placedCount_ = 0;
    std::int32_t firstUnplaced_ = 0;
    LargeVector<char> placed_; // apart from the records: small enough to stay in the cache
    LargeVector<LinkRecord> links_;
    // Only for the indexed simulation.
    std::vector<std::pair<std::int32_t, std::int32_t>> extraNext_, extraChild_; // (named, namer)
    std::optional<IndexSet> active_;
};

} // namespace

TreeShape RebuildTreeShape(std::span<const std::int32_t> nextSibling,
                           std::span<const std::int32_t> firstChild, std::int32_t first,
                           std::int64_t plainSteps) {
    TreeShape shape;
    const std::size_t n = nextSibling.size();
    if (n == 0 || first < 0) return shape;
    shape.place.assign(n, TreeShape::Place{});
    if (plainSteps < 0) plainSteps = static_cast<std::int64_t>(n);
    Rebuild(nextSibling, firstChild, shape).run(first, plainSteps);
    return shape;
}

namespace {
using Down = LargeVector<std::pair<std::int32_t, std::int32_t>>; // (first child, next sibling)

// The walk follows only "first child" and "next", packed side by side, with a stack of where to
// resume after a subtree, so each step touches eight bytes. A walker covers the subtree of its
// start, and with `siblings` also the start's next siblings and theirs.
struct Walker {
    std::int32_t x = -1;
    std::int32_t depth = 0; // of the start
    bool atStart = true;    // the start's own next sibling is still to be dropped
    std::vector<std::int32_t> resume;

    void start(std::int32_t root, std::int32_t rootDepth, bool siblings = false) {
        x = root;
        depth = rootDepth;
        atStart = !siblings;
        resume.clear();
    }
    // Hands the current entry and its depth to `out` and moves on; false when the subtree is done.
    template <class Out> bool step(const Down& down, Out&& out) {
        out(x, depth + static_cast<std::int32_t>(resume.size()));
        auto [child, next] = down[static_cast<std::size_t>(x)];
        if (atStart) {
            next = -1;
            atStart = false;
        }
        if (child >= 0) {
            resume.push_back(next);
            x = child;
            return true;
        }
        x = next;
        while (x < 0 && !resume.empty()) {
            x = resume.back();
            resume.pop_back();
        }
        return x >= 0;
    }
};

// How many subtrees are walked side by side.
constexpr std::size_t Lanes = 32;

// Whether the walk's first steps jump about in memory, as in a file whose lines were shuffled.
// In the order the writer writes (or its reverse) each step goes to a neighbouring entry, which
// the processor fetches ahead by itself; a walk side by side would only get in its way.
bool ScattersInMemory(const Down& down, std::int32_t first) {
    constexpr int Sample = 1024;
    Walker walker;
    walker.start(first, 0);
    int steps = 0, far = 0;
    std::int32_t last = first;
    bool more = true;
    while (more && steps < Sample) {
        more = walker.step(down, [](std::int32_t, std::int32_t) {});
        if (more) {
            // More than a cache line of links away.
            if (std::abs(walker.x - last) > 8) ++far;
            last = walker.x;
        }
        ++steps;
    }
    return far * 4 > steps;
}

// Stops after `most` entries. A large tree is cut into pieces in display order, each an entry on
// its own or a whole subtree, and up to Lanes subtrees are walked side by side, one step of each
// in turn: the links of an entry lie anywhere, a single walk waits for each of them in turn,
// while side by side the fetches overlap.
void WalkDisplayOrder(const Down& down, std::int32_t first, std::size_t most, DisplayOrder& out,
                      std::size_t interleaveFrom = InterleaveWalkFrom) {
    out.entry.clear();
    out.depth.clear();
    out.entry.reserve(down.size());
    out.depth.reserve(down.size());
    const auto keep = [&](std::int32_t entry, std::int32_t depth) {
        out.entry.push_back(entry);
        out.depth.push_back(depth);
    };
    if (first < 0 || most == 0) return;
    if (down.size() < interleaveFrom || !ScattersInMemory(down, first)) {
        Walker walker;
        walker.start(first, 0, true);
        for (bool more = true; more && out.entry.size() < most;)
            more = walker.step(down, keep);
        return;
    }

    // The pieces: the top-level subtrees, then, level by level, subtrees split into their root
    // and their children's subtrees until there are enough of them.
    struct Piece {
        std::int32_t root, depth;
        bool whole;
    };
    std::vector<Piece> pieces;
    for (std::int32_t x = first; x >= 0 && pieces.size() < most; x = down[static_cast<std::size_t>(x)].second)
        pieces.push_back({x, 0, true});
    for (int level = 0; level < 8 && pieces.size() < Lanes; ++level) {
        std::vector<Piece> split;
        for (const Piece& piece : pieces) {
            const std::int32_t child = down[static_cast<std::size_t>(piece.root)].first;
            if (!piece.whole || child < 0) {
                split.push_back(piece);
                continue;
            }
            split.push_back({piece.root, piece.depth, false});
            for (std::int32_t c = child; c >= 0 && split.size() < most;
                 c = down[static_cast<std::size_t>(c)].second)
                split.push_back({c, piece.depth + 1, true});
        }
        if (split.size() == pieces.size()) break;
        pieces.swap(split);
    }

    // Groups of up to Lanes whole pieces; each lane writes into its own list, and the lists are
    // joined in the order of the pieces.
    std::vector<Walker> walkers(Lanes);
    std::vector<DisplayOrder> lists(Lanes);
    std::size_t total = 0;
    for (std::size_t p = 0; p < pieces.size() && total < most;) {
        std::size_t groupEnd = p, used = 0;
        while (groupEnd < pieces.size() && (used < Lanes || !pieces[groupEnd].whole)) {
            if (pieces[groupEnd].whole) {
                lists[used].entry.clear();
                lists[used].depth.clear();
                walkers[used].start(pieces[groupEnd].root, pieces[groupEnd].depth);
                ++used;
            }
            ++groupEnd;
        }
        std::vector<std::size_t> active(used);
        for (std::size_t i = 0; i < used; ++i)
            active[i] = i;
        std::size_t steps = total;
        while (!active.empty() && steps < most) {
            for (std::size_t i = 0; i < active.size();) {
                const std::size_t lane = active[i];
                DisplayOrder& list = lists[lane];
                ++steps;
                const bool more = walkers[lane].step(down, [&](std::int32_t entry, std::int32_t depth) {
                    list.entry.push_back(entry);
                    list.depth.push_back(depth);
                });
                if (more) {
                    __builtin_prefetch(&down[static_cast<std::size_t>(walkers[lane].x)]);
                    ++i;
                } else {
                    active[i] = active.back();
                    active.pop_back();
                }
            }
        }
        std::size_t lane = 0;
        for (; p < groupEnd; ++p) {
            if (!pieces[p].whole) {
                keep(pieces[p].root, pieces[p].depth);
                continue;
            }
            const DisplayOrder& list = lists[lane++];
            out.entry.insert(out.entry.end(), list.entry.begin(), list.entry.end());
            out.depth.insert(out.depth.end(), list.depth.begin(), list.depth.end());
        }
        total = out.entry.size();
    }
    if (out.entry.size() > most) {
        out.entry.resize(most);
        out.depth.resize(most);
    }
}
} // namespace

DisplayOrder DisplayOrderOf(const TreeShape& shape, std::size_t interleaveFrom) {
    const std::size_t n = shape.place.size();
    Down down(n);
    for (std::size_t e = 0; e < n; ++e)
        down[e] = {shape.place[e].firstChild, shape.place[e].next};
    DisplayOrder order;
    WalkDisplayOrder(down, shape.rootFirst, n, order, interleaveFrom);
    return order;
}

bool DisplayOrderFromLinks(std::span<const std::int32_t> nextSibling,
                           std::span<const std::int32_t> firstChild, std::int32_t first, DisplayOrder& out) {
    out = DisplayOrder{};
    const std::size_t n = nextSibling.size();
    if (n == 0 || first < 0) return true;
    // When no entry is named twice, the links form trees, and the cycle, in whatever order it
    // visits, puts every entry it reaches next to the one naming it. Entries whose next-sibling
    // links lead to the first one go before it at the top level; the chain's start must be named
    // by none, else where it lands depends on the order of the visits. Should some entry stay out
    // of reach, the cycle appends it somewhere, which only the full rebuild knows.
    // Who names an entry is not needed, only that one does: one bit an entry, which stays in the
    // cache where an array of whole numbers for a large file would not.
    std::vector<std::uint64_t> named((n + 63) / 64, 0);
    const auto nameOnce = [&named](std::int32_t entry) {
        std::uint64_t& word = named[static_cast<std::size_t>(entry) / 64];
        const std::uint64_t bit = std::uint64_t(1) << (static_cast<std::size_t>(entry) % 64);
        const bool before = (word & bit) != 0;
        word |= bit;
        return !before;
    };
    Down down(n);
    // Links naming no entry are made none here, on the way, rather than in a pass of their own
    // over both arrays, which for a large file have long left the cache.
    const auto none = [n](std::int32_t link) { return link < 0 || static_cast<std::size_t>(link) >= n; };
    for (std::size_t e = 0; e < n; ++e) {
        const std::int32_t child = none(firstChild[e]) ? -1 : firstChild[e];
        const std::int32_t next = none(nextSibling[e]) ? -1 : nextSibling[e];
        if (child >= 0 && !nameOnce(child)) return false;
        if (next >= 0 && !nameOnce(next)) return false;
        down[e] = {child, next};
    }
    // A walk that reaches every entry starts at the only entry named by none. With one such
    // entry, the first one's siblings before it lead back to it exactly when the first one lies
    // on its chain of next siblings, which cannot run in a circle as no entry is named twice.
    std::int32_t start = -1;
    for (std::size_t w = 0; w < named.size(); ++w) {
        std::uint64_t unnamed = ~named[w];
        if (w + 1 == named.size() && n % 64 != 0) unnamed &= (std::uint64_t(1) << (n % 64)) - 1;
        if (unnamed == 0) continue;
        if (start >= 0 || std::popcount(unnamed) > 1) return false;
        start = static_cast<std::int32_t>(w * 64 + static_cast<std::size_t>(std::countr_zero(unnamed)));
    }
    if (start < 0) return false;
    std::int32_t x = start;
    while (x >= 0 && x != first)
        x = down[static_cast<std::size_t>(x)].second;
    if (x != first) return false;
    std::vector<std::uint64_t>().swap(named);
    WalkDisplayOrder(down, start, n, out);
    return out.entry.size() == n;
}

void CreateNodes(const DisplayOrder& display, MenuTable& table, SiteTree& tree) {
    // The nodes are made in display order, fetching the texts ahead.
    const auto& order = display.entry;
    const auto& depth = display.depth;

    // How many children each entry gets, by display position, so that every list of children
    // is allocated once at its final size.
    LargeVector<std::int32_t> childCount(order.size(), 0);
    std::size_t topLevelCount = 0;
    std::vector<std::size_t> at; // at[d]: position of the latest entry at depth d
    for (std::size_t i = 0; i < order.size(); ++i) {
        const auto d = static_cast<std::size_t>(depth[i]);
        at.resize(d);
        if (d == 0)
            ++topLevelCount;
        else
            ++childCount[at[d - 1]];
        at.push_back(i);
    }
    tree.reserveChildren(tree.root(), topLevelCount);
    // The texts stay where the table put them.
    tree.adoptTexts(std::move(table.arena));

    constexpr std::size_t Ahead = 32;
    std::vector<SiteNode*> path{tree.root()}; // path[d] is the parent of an entry at depth d
    for (std::size_t i = 0; i < order.size(); ++i) {
        if (i + Ahead < order.size())
            __builtin_prefetch(&table.texts[static_cast<std::size_t>(order[i + Ahead])]);
        const auto& texts = table.texts[static_cast<std::size_t>(order[i])];
        const auto d = static_cast<std::size_t>(depth[i]);
        path.resize(d + 1);
        SiteNode* node = tree.appendStored(path[d], texts.text, texts.file);
        if (childCount[i] > 0) tree.reserveChildren(node, static_cast<std::size_t>(childCount[i]));
        path.push_back(node);
    }
}

} // namespace quilso::reader
