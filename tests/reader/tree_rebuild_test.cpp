// The tree rebuild against a literal run of the entry cycle over many random link tables.
#include "reader_internal.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>

using namespace quilso::reader;
using Links = std::vector<std::int32_t>;
using quilso::LargeVector;

namespace {

// The cycle exactly as defined: one entry per step, n fruitless steps in a row append the first
// unplaced entry at the top level. Children are kept in plain vectors.
TreeShape ReferenceRebuild(const Links& next, const Links& child, std::int32_t first) {
    TreeShape shape;
    const auto n = static_cast<std::int32_t>(next.size());
    if (n == 0 || first < 0) return shape;
    const std::int32_t root = n;
    std::vector<std::vector<std::int32_t>> kids(static_cast<std::size_t>(n) + 1);
    std::vector<std::int32_t> parentOf(static_cast<std::size_t>(n), -2); // -2: not placed
    std::int32_t placed = 0;
    auto isPlaced = [&](std::int32_t e) { return parentOf[static_cast<std::size_t>(e)] != -2; };
    auto put = [&](std::int32_t parent, std::size_t row, std::int32_t e) {
        auto& list = kids[static_cast<std::size_t>(parent)];
        list.insert(list.begin() + static_cast<std::ptrdiff_t>(row), e);
        parentOf[static_cast<std::size_t>(e)] = parent;
        ++placed;
    };
    auto rowOf = [&](std::int32_t e) {
        const auto& list = kids[static_cast<std::size_t>(parentOf[static_cast<std::size_t>(e)])];
        return static_cast<std::size_t>(std::find(list.begin(), list.end(), e) - list.begin());
    };
    auto step = [&](std::int32_t b) {
        bool progressed = false;
        const std::int32_t s = next[static_cast<std::size_t>(b)];
        if (s >= 0) {
            if (isPlaced(b) && !isPlaced(s)) {
                put(parentOf[static_cast<std::size_t>(b)], rowOf(b) + 1, s);
                progressed = true;
            } else if (!isPlaced(b) && isPlaced(s)) {
                put(parentOf[static_cast<std::size_t>(s)], rowOf(s), b);
                progressed = true;
            }
        }
        const std::int32_t c = child[static_cast<std::size_t>(b)];
        if (c >= 0 && isPlaced(b) && !isPlaced(c)) {
            put(b, 0, c);
            progressed = true;
        }
        return progressed;
    };

    put(root, 0, first);
    std::int32_t b = first;
    std::int32_t since = 0;
    while (placed < n) {
        since = step(b) ? 0 : since + 1;
        b = (b + 1) % n;
        if (since == n) {
            std::int32_t u = 0;
            while (isPlaced(u))
                ++u;
            put(root, kids[static_cast<std::size_t>(root)].size(), u);
            since = 0;
        }
    }

    shape.place.assign(static_cast<std::size_t>(n), TreeShape::Place{});
    for (std::int32_t p = 0; p <= n; ++p) {
        const auto& list = kids[static_cast<std::size_t>(p)];
        for (std::size_t k = 0; k < list.size(); ++k) {
            auto& place = shape.place[static_cast<std::size_t>(list[k])];
            place.parent = p == root ? -1 : p;
            place.previous = k > 0 ? list[k - 1] : -1;
            place.next = k + 1 < list.size() ? list[k + 1] : -1;
        }
        if (list.empty()) continue;
        if (p == root) {
            shape.rootFirst = list.front();
            shape.rootLast = list.back();
        } else {
            shape.place[static_cast<std::size_t>(p)].firstChild = list.front();
        }
    }
    return shape;
}

void ExpectSameShape(const TreeShape& a, const TreeShape& b, const std::string& context) {
    EXPECT_TRUE(a.place == b.place) << context;
    EXPECT_EQ(a.rootFirst, b.rootFirst) << context;
    EXPECT_EQ(a.rootLast, b.rootLast) << context;
}

std::string Describe(const Links& next, const Links& child, std::int32_t first) {
    std::string out = "first=" + std::to_string(first) + " next/child:";
    for (std::size_t i = 0; i < next.size(); ++i)
        out += " " + std::to_string(next[i]) + "/" + std::to_string(child[i]);
    return out;
}

// Links of a real tree (pre-order numbering), listed in a shuffled order, then damaged a little.
// `damage` < 0: a random amount of damage.
void TreeLinks(std::mt19937& rng, std::int32_t n, Links& next, Links& child, std::int32_t& first,
               int damage = -1) {
    std::vector<std::int32_t> parent(static_cast<std::size_t>(n), -1);
    Links treeNext(static_cast<std::size_t>(n), -1), treeChild(static_cast<std::size_t>(n), -1);
    std::vector<std::int32_t> lastChild(static_cast<std::size_t>(n) + 1, -1);
    for (std::int32_t e = 0; e < n; ++e) {
        // Parent: a random ancestor-or-self of the previous entry keeps the numbering pre-order.
        std::int32_t p = e == 0 ? -1 : e - 1;
        while (p >= 0 && rng() % 2)
            p = parent[static_cast<std::size_t>(p)];
        parent[static_cast<std::size_t>(e)] = p;
        const auto slot = static_cast<std::size_t>(p < 0 ? n : p);
        if (lastChild[slot] >= 0)
            treeNext[static_cast<std::size_t>(lastChild[slot])] = e;
        else if (p >= 0)
            treeChild[static_cast<std::size_t>(p)] = e;
        lastChild[slot] = e;
    }
    std::vector<std::int32_t> order(static_cast<std::size_t>(n));
    std::iota(order.begin(), order.end(), 0);
    if (rng() % 4) std::shuffle(order.begin(), order.end(), rng);
    std::vector<std::int32_t> position(static_cast<std::size_t>(n));
    for (std::int32_t i = 0; i < n; ++i)
        position[static_cast<std::size_t>(order[static_cast<std::size_t>(i)])] = i;
    auto remap = [&](std::int32_t e) { return e < 0 ? -1 : position[static_cast<std::size_t>(e)]; };
    next.assign(static_cast<std::size_t>(n), -1);
    child.assign(static_cast<std::size_t>(n), -1);
    first = -1;
    for (std::int32_t i = 0; i < n; ++i) {
        const auto e = static_cast<std::size_t>(order[static_cast<std::size_t>(i)]);
        next[static_cast<std::size_t>(i)] = remap(treeNext[e]);
        child[static_cast<std::size_t>(i)] = remap(treeChild[e]);
        if (first < 0 && parent[e] < 0) first = i;
    }
    // Broken links, duplicates and cycles.
    if (damage < 0) damage = static_cast<int>(rng() % 3);
    for (int k = 0; k < damage; ++k) {
        const auto e = static_cast<std::size_t>(rng() % static_cast<unsigned>(n));
        const std::int32_t target = static_cast<std::int32_t>(rng() % static_cast<unsigned>(n + 1)) - 1;
        (rng() % 2 ? next : child)[e] = target;
    }
}

// The indexed simulation from the start, after a random number of plain steps, and by default.
void ExpectSameAtEverySwitch(const Links& next, const Links& child, std::int32_t first, std::mt19937& rng) {
    const TreeShape expected = ReferenceRebuild(next, child, first);
    const auto n = static_cast<std::int64_t>(next.size());
    for (const std::int64_t plainSteps :
         {std::int64_t(0), static_cast<std::int64_t>(rng() % (3 * n + 1)), std::int64_t(-1)})
        ExpectSameShape(RebuildTreeShape(next, child, first, plainSteps), expected,
                        Describe(next, child, first) + " plain steps " + std::to_string(plainSteps));
}

} // namespace

TEST(TreeRebuild, MatchesTheEntryCycleOnRandomLinks) {
    std::mt19937 rng(20240611);
    for (int round = 0; round < 30000; ++round) {
        const auto n = static_cast<std::int32_t>(1 + rng() % 9);
        Links next(static_cast<std::size_t>(n)), child(static_cast<std::size_t>(n));
        // Sparse links give unreachable entries, dense ones give cycles and shared targets.
        const unsigned density = 1 + rng() % 4;
        for (std::int32_t i = 0; i < n; ++i) {
            next[static_cast<std::size_t>(i)] =
                rng() % 4 < density ? static_cast<std::int32_t>(rng() % static_cast<unsigned>(n)) : -1;
            child[static_cast<std::size_t>(i)] =
                rng() % 4 < density ? static_cast<std::int32_t>(rng() % static_cast<unsigned>(n)) : -1;
        }
        const std::int32_t first =
            rng() % 10 == 0 ? -1 : static_cast<std::int32_t>(rng() % static_cast<unsigned>(n));
        ExpectSameAtEverySwitch(next, child, first, rng);
        if (HasFailure()) return;
    }
}

TEST(TreeRebuild, MatchesTheEntryCycleOnShuffledTrees) {
    std::mt19937 rng(77);
    for (int round = 0; round < 20000; ++round) {
        const auto n = static_cast<std::int32_t>(1 + rng() % 14);
        Links next, child;
        std::int32_t first = -1;
        TreeLinks(rng, n, next, child, first);
        ExpectSameAtEverySwitch(next, child, first, rng);
        if (HasFailure()) return;
    }
}

TEST(TreeRebuild, PlacesEveryEntryOnce) {
    // Undamaged trees in any order come back whole, and every entry has exactly one place.
    std::mt19937 rng(5);
    for (int round = 0; round < 200; ++round) {
        const auto n = static_cast<std::int32_t>(1 + rng() % 300);
        Links next, child;
        std::int32_t first = -1;
        TreeLinks(rng, n, next, child, first);
        const TreeShape shape = RebuildTreeShape(next, child, first);
        std::vector<int> seen(static_cast<std::size_t>(n), 0);
        std::vector<std::int32_t> stack{shape.rootFirst};
        while (!stack.empty()) {
            std::int32_t e = stack.back();
            stack.pop_back();
            for (; e >= 0; e = shape.place[static_cast<std::size_t>(e)].next) {
                ++seen[static_cast<std::size_t>(e)];
                stack.push_back(shape.place[static_cast<std::size_t>(e)].firstChild);
            }
        }
        EXPECT_EQ(std::count(seen.begin(), seen.end(), 1), n);
    }
}

// The order straight from the links, wherever it is given, is the order of the cycle's tree; for
// undamaged trees in any line order it is always given, so large sound files never take the long
// way.
TEST(TreeRebuild, OrderFromTheLinksMatchesTheCycle) {
    std::mt19937 rng(314);
    int given = 0, refused = 0;
    for (int round = 0; round < 20000; ++round) {
        const auto n = static_cast<std::int32_t>(1 + rng() % 14);
        Links next, child;
        std::int32_t first = -1;
        TreeLinks(rng, n, next, child, first);
        DisplayOrder direct;
        if (!DisplayOrderFromLinks(next, child, first, direct)) {
            ++refused;
            continue;
        }
        ++given;
        const DisplayOrder expected = DisplayOrderOf(ReferenceRebuild(next, child, first));
        ASSERT_TRUE(direct.entry == expected.entry && direct.depth == expected.depth)
            << Describe(next, child, first);
    }
    // Both ways came up: damage the shortcut can take and damage only the cycle can place.
    EXPECT_GT(refused, 0);
    EXPECT_GT(given, 0);

    for (int round = 0; round < 100; ++round) {
        const auto n = static_cast<std::int32_t>(1 + rng() % 2000);
        Links next, child;
        std::int32_t first = -1;
        TreeLinks(rng, n, next, child, first, 0);
        DisplayOrder direct;
        ASSERT_TRUE(DisplayOrderFromLinks(next, child, first, direct)) << n;
        EXPECT_EQ(direct.entry.size(), static_cast<std::size_t>(n));
        const DisplayOrder expected = DisplayOrderOf(RebuildTreeShape(next, child, first));
        EXPECT_TRUE(direct.entry == expected.entry && direct.depth == expected.depth);
    }
}

// Large trees are walked several subtrees side by side; the order and depths must be those of one
// plain walk, for every shape the pieces can be cut into: deep, wide, a single chain, a star.
TEST(TreeRebuild, WalkSideBySideGivesThePlainOrder) {
    const auto plainOrder = [](const TreeShape& shape) {
        DisplayOrder out;
        std::vector<std::pair<std::int32_t, std::int32_t>> pending; // (entry, depth), next last
        const auto pushSiblings = [&](std::int32_t first, std::int32_t depth) {
            std::vector<std::int32_t> chain;
            for (std::int32_t e = first; e >= 0; e = shape.place[static_cast<std::size_t>(e)].next)
                chain.push_back(e);
            for (auto it = chain.rbegin(); it != chain.rend(); ++it)
                pending.emplace_back(*it, depth);
        };
        pushSiblings(shape.rootFirst, 0);
        while (!pending.empty()) {
            const auto [e, depth] = pending.back();
            pending.pop_back();
            out.entry.push_back(e);
            out.depth.push_back(depth);
            pushSiblings(shape.place[static_cast<std::size_t>(e)].firstChild, depth + 1);
        }
        return out;
    };
    // Links of a tree given by each entry's parent (-1: top level), numbered in shuffled order.
    const auto shuffledLinks = [](std::mt19937& rng, const std::vector<std::int32_t>& parent, Links& next,
                                  Links& child, std::int32_t& first) {
        const auto n = static_cast<std::int32_t>(parent.size());
        std::vector<std::int32_t> position(parent.size());
        std::iota(position.begin(), position.end(), 0);
        std::shuffle(position.begin(), position.end(), rng);
        next.assign(parent.size(), -1);
        child.assign(parent.size(), -1);
        std::vector<std::int32_t> last(parent.size() + 1, -1);
        first = -1;
        for (std::int32_t e = 0; e < n; ++e) {
            const std::int32_t p = parent[static_cast<std::size_t>(e)];
            const auto slot = static_cast<std::size_t>(p < 0 ? n : p);
            const std::int32_t at = position[static_cast<std::size_t>(e)];
            if (last[slot] >= 0)
                next[static_cast<std::size_t>(last[slot])] = at;
            else if (p >= 0)
                child[static_cast<std::size_t>(position[static_cast<std::size_t>(p)])] = at;
            else
                first = at;
            last[slot] = at;
        }
    };
    std::mt19937 rng(2718);
    int checked = 0;
    for (int round = 0; round < 60; ++round) {
        const auto n = static_cast<std::int32_t>(1 + rng() % 6000);
        std::vector<std::int32_t> parent(static_cast<std::size_t>(n));
        for (std::int32_t e = 0; e < n; ++e) {
            switch (round % 4) {
            case 0: // random depth, as TreeLinks makes them
                parent[static_cast<std::size_t>(e)] =
                    e == 0 ? -1
                           : (rng() % 3 ? static_cast<std::int32_t>(rng() % static_cast<unsigned>(e)) : -1);
                break;
            case 1: // one chain
                parent[static_cast<std::size_t>(e)] = e - 1;
                break;
            case 2: // a star under one entry
                parent[static_cast<std::size_t>(e)] = e == 0 ? -1 : 0;
                break;
            default: // ten-way, as the benchmarks' trees
                parent[static_cast<std::size_t>(e)] = e < 10 ? -1 : e / 10 - 1;
                break;
            }
        }
        Links next, child;
        std::int32_t first = -1;
        shuffledLinks(rng, parent, next, child, first);
        const TreeShape shape = RebuildTreeShape(next, child, first);
        const DisplayOrder expected = plainOrder(shape);
        ASSERT_EQ(expected.entry.size(), static_cast<std::size_t>(n));
        const DisplayOrder sideBySide = DisplayOrderOf(shape, 0);
        ASSERT_TRUE(sideBySide.entry == expected.entry && sideBySide.depth == expected.depth)
            << "round " << round << ", " << n << " entries";
        DisplayOrder direct;
        ASSERT_TRUE(DisplayOrderFromLinks(next, child, first, direct));
        EXPECT_TRUE(direct.entry == expected.entry && direct.depth == expected.depth);
        ++checked;
    }
    EXPECT_EQ(checked, 60);
}

TEST(TreeRebuild, OrderFromTheLinksRefusesWhatOnlyTheCycleCanPlace) {
    DisplayOrder order;
    // 0 -> 1 as next sibling, 2 unreachable: the cycle appends it at the top level.
    EXPECT_FALSE(DisplayOrderFromLinks(Links{1, -1, -1}, Links{-1, -1, -1}, 0, order));
    // 1 named twice, as next sibling of 0 and first child of 0.
    EXPECT_FALSE(DisplayOrderFromLinks(Links{1, -1}, Links{1, -1}, 0, order));
    // The first entry's siblings in a circle: 0 -> 1 -> 0.
    EXPECT_FALSE(DisplayOrderFromLinks(Links{1, 0}, Links{-1, -1}, 0, order));
    // The sibling chain before the first entry starts at a child of the first: 1 is first child
    // of 0 and next sibling before 0, so where it lands depends on the visits.
    EXPECT_FALSE(DisplayOrderFromLinks(Links{-1, 0}, Links{1, -1}, 0, order));
    // An entry naming itself.
    EXPECT_FALSE(DisplayOrderFromLinks(Links{-1, 1}, Links{1, -1}, 0, order));
    // Every entry reached from the one named by none, but the first top-level entry, 2, is the
    // next sibling of 1 below 0: the cycle starts at 2, not at 0.
    EXPECT_FALSE(DisplayOrderFromLinks(Links{-1, 2, -1}, Links{1, -1, -1}, 2, order));
    // Two entries named by none, 0 and 1: the walk from either misses the other.
    EXPECT_FALSE(DisplayOrderFromLinks(Links{-1, -1}, Links{-1, -1}, 1, order));
    // A sound tree: 0 with children 2, 1; then 3 at the top level.
    ASSERT_TRUE(DisplayOrderFromLinks(Links{3, -1, 1, -1}, Links{2, -1, -1, -1}, 0, order));
    EXPECT_TRUE((order.entry == LargeVector<std::int32_t>{0, 2, 1, 3}));
    EXPECT_TRUE((order.depth == LargeVector<std::int32_t>{0, 1, 1, 0}));
    // The same with links that name no entry, as a file read without the table's final pass
    // holds them: negative or past the last entry, they count as none.
    ASSERT_TRUE(DisplayOrderFromLinks(Links{3, 7, 1, -5}, Links{2, 9, -1, 4}, 0, order));
    EXPECT_TRUE((order.entry == LargeVector<std::int32_t>{0, 2, 1, 3}));
    EXPECT_TRUE((order.depth == LargeVector<std::int32_t>{0, 1, 1, 0}));
    // The same with 3 listed first: the top level starts at 0, whose sibling 3 is.
    ASSERT_TRUE(DisplayOrderFromLinks(Links{-1, 0, -1, 2}, Links{-1, 3, -1, -1}, 0, order));
    EXPECT_TRUE((order.entry == LargeVector<std::int32_t>{1, 3, 2, 0}));
    EXPECT_TRUE((order.depth == LargeVector<std::int32_t>{0, 1, 1, 0}));
    // No first top-level entry: the tree stays empty.
    ASSERT_TRUE(DisplayOrderFromLinks(Links{-1}, Links{-1}, -1, order));
    EXPECT_TRUE(order.entry.empty());
}
