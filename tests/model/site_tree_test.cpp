#include "site_tree.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using namespace quilso;

namespace {
std::string shape(const SiteTree& tree) {
    std::string out;
    tree.forEachPreorder([&](const SiteNode* n, int depth) {
        out += std::string(static_cast<std::size_t>(depth), '.') + n->entry.text + ' ';
    });
    return out;
}
} // namespace

TEST(SiteTree, InsertMoveRemoveKeepOrderAndParents) {
    SiteTree tree;
    SiteNode* a = tree.insert(tree.root(), -1, {"A", "a.htm"});
    SiteNode* c = tree.insert(tree.root(), -1, {"C", "c.htm"});
    SiteNode* b = tree.insert(tree.root(), 1, {"B", "b.htm"});
    SiteNode* b1 = tree.insert(b, -1, {"B1", ""});
    EXPECT_EQ(shape(tree), "A B .B1 C ");
    EXPECT_EQ(tree.size(), 4u);
    EXPECT_EQ(b->row(), 1);
    EXPECT_EQ(c->previousSibling(), b);
    EXPECT_EQ(a->previousSibling(), nullptr);
    EXPECT_EQ(c->nextSibling(), nullptr);
    EXPECT_EQ(b1->parent(), b);

    tree.move(c, b, 0);
    EXPECT_EQ(shape(tree), "A B .C .B1 ");
    EXPECT_EQ(c->parent(), b);
    EXPECT_EQ(b1->row(), 1);

    tree.remove(b);
    EXPECT_EQ(shape(tree), "A ");
    EXPECT_EQ(tree.size(), 1u);
}

TEST(SiteTree, MoveManyAndReorderInOnePass) {
    SiteTree tree;
    SiteNode* n[5];
    for (int i = 0; i < 5; ++i)
        n[i] = tree.insert(tree.root(), -1, {std::string(1, char('A' + i)), ""});
    tree.moveMany({n[2], n[4]}, n[1], -1);
    EXPECT_EQ(shape(tree), "A B .C .E D ");
    EXPECT_EQ(n[4]->row(), 1);
    EXPECT_EQ(n[3]->row(), 2);
    tree.reorderChildren(tree.root(), {n[3], n[0], n[1]});
    EXPECT_EQ(shape(tree), "D A B .C .E ");
    EXPECT_EQ(n[0]->nextSibling(), n[1]);
}

TEST(SiteTree, DeepChainBuildsWalksAndDestroysWithoutRecursion) {
    SiteTree tree;
    SiteNode* parent = tree.root();
    for (int i = 0; i < 100000; ++i)
        parent = tree.insert(parent, -1, {"x", "y"});
    int deepest = 0;
    std::size_t count = 0;
    tree.forEachPreorder([&](const SiteNode*, int depth) {
        deepest = std::max(deepest, depth);
        ++count;
    });
    EXPECT_EQ(deepest, 99999);
    EXPECT_EQ(count, 100000u);
    SiteTree other;
    other.swap(tree);
    EXPECT_TRUE(tree.empty());
    EXPECT_EQ(other.size(), 100000u);
    EXPECT_EQ(other.root()->child(0)->parent(), other.root());
}

TEST(SiteTree, RemoveManyDropsNonAdjacentSiblingsWithSubtrees) {
    SiteTree tree;
    SiteNode* n[5];
    for (int i = 0; i < 5; ++i)
        n[i] = tree.insert(tree.root(), -1, {std::string(1, char('A' + i)), ""});
    tree.insert(n[1], -1, {"B1", ""});
    tree.insert(tree.insert(n[3], -1, {"D1", ""}), -1, {"D11", ""});
    tree.removeMany({n[1], n[3]});
    EXPECT_EQ(shape(tree), "A C E ");
    EXPECT_EQ(tree.size(), 3u);
    EXPECT_EQ(n[4]->row(), 2);
    EXPECT_EQ(n[2]->previousSibling(), n[0]);
}

TEST(SiteTree, NodesOutliveSwapsAndFreedSlotsAreReused) {
    // Enough nodes that the tree holds several large blocks of them.
    constexpr int Count = 60000;
    auto tree = std::make_unique<SiteTree>();
    std::vector<SiteNode*> top;
    for (int i = 0; i < Count; ++i)
        top.push_back(tree->insert(tree->root(), -1, {"Eintrag mit langem Text " + std::to_string(i), ""}));
    SiteTree kept;
    kept.insert(kept.root(), -1, {"alt", ""});
    kept.swap(*tree);
    tree.reset(); // takes the one-node tree with it; the swapped-in nodes must stay intact
    ASSERT_EQ(kept.size(), static_cast<std::size_t>(Count));
    EXPECT_EQ(kept.root()->child(Count - 1)->entry.text,
              "Eintrag mit langem Text " + std::to_string(Count - 1));
    EXPECT_EQ(kept.root()->child(Count - 1)->parent(), kept.root());

    // A removed node's place is given to the next inserted one instead of new memory.
    SiteNode* doomed = top[100];
    kept.remove(doomed);
    SiteNode* again = kept.insert(kept.root(), 0, {"neu", "neu.htm"});
    EXPECT_EQ(again, doomed);
    EXPECT_EQ(again->entry.text, "neu");
    EXPECT_EQ(again->childCount(), 0);
    EXPECT_EQ(kept.root()->child(101)->entry.text, "Eintrag mit langem Text 101");

    // Emptied by removals, the tree starts afresh and stays usable.
    kept.removeMany(kept.root()->children());
    EXPECT_TRUE(kept.empty());
    EXPECT_EQ(kept.size(), 0u);
    SiteNode* first = kept.insert(kept.root(), -1, {"A", ""});
    kept.insert(first, -1, {"A1", ""});
    EXPECT_EQ(shape(kept), "A .A1 ");
}

TEST(SiteTree, AppendedNodesBehaveLikeInsertedOnes) {
    // Texts longer than a string keeps inline, and embedded zero bytes, are copied whole.
    const std::string longText(40, 'x'), withZero("a\0b", 3);
    SiteTree tree;
    SiteNode* a = tree.append(tree.root(), "A", "a.htm");
    SiteNode* b = tree.append(tree.root(), longText, withZero);
    SiteNode* a1 = tree.append(a, "A1", "");
    tree.insert(tree.root(), 1, {"I", "i.htm"});
    EXPECT_EQ(shape(tree), "A .A1 I " + longText + " ");
    EXPECT_EQ(tree.size(), 4u);
    EXPECT_EQ(b->entry.file, withZero);
    EXPECT_EQ(a1->parent(), a);
    EXPECT_EQ(b->row(), 2);
    EXPECT_EQ(a->nextSibling()->entry.text, "I");
    tree.remove(a);
    EXPECT_EQ(tree.size(), 2u);
    EXPECT_EQ(b->row(), 1);
}

TEST(SiteTree, BuilderMakesTheTreeInDisplayOrderWithListsAtTheirSize) {
    SiteTree tree;
    SiteTree::Builder builder(tree);
    builder.add("A", "a.htm");
    builder.descend();
    builder.add("A1", "");
    builder.add("A2", "");
    builder.descend();
    SiteNode* deep = builder.add(std::string(40, 'x'), "d.htm");
    builder.ascend();
    builder.ascend();
    SiteNode* b = builder.add("B", "b.htm");
    builder.descend();
    builder.add("B1", ""); // still open when finished
    builder.finish();
    EXPECT_EQ(shape(tree), "A .A1 .A2 .." + std::string(40, 'x') + " B .B1 ");
    EXPECT_EQ(tree.size(), 6u);
    EXPECT_EQ(deep->parent()->entry.text, "A2");
    EXPECT_EQ(deep->parent()->parent()->parent(), tree.root());
    EXPECT_EQ(b->row(), 1);
    EXPECT_EQ(b->previousSibling()->entry.text, "A");
    tree.forEachPreorder([](const SiteNode* n, int) {
        EXPECT_EQ(n->children().capacity(), n->children().size()) << n->entry.text;
        for (int r = 0; r < n->childCount(); ++r)
            EXPECT_EQ(n->child(r)->row(), r);
    });
    EXPECT_EQ(tree.root()->children().capacity(), 2u);
    // The built tree takes changes like any other.
    tree.remove(b);
    tree.insert(tree.root(), 0, {"C", "c.htm"});
    EXPECT_EQ(shape(tree), "C A .A1 .A2 .." + std::string(40, 'x') + " ");
}

// The lists a built tree gets at their size lie in memory of the tree, not of the heap: they must
// grow, shrink and change hands like any other, and go when the tree empties (under the address
// sanitizer a list freed to the heap or used after the tree let go of it is reported).
TEST(SiteTree, ListsMadeAtTheirSizeTakeEveryChange) {
    const auto build = [](SiteTree& tree, const std::string& prefix) {
        SiteTree::Builder builder(tree);
        for (int top = 0; top < 3; ++top) {
            builder.add(prefix + std::to_string(top), "");
            builder.descend();
            for (int child = 0; child < 3; ++child)
                builder.add(prefix + std::to_string(top) + std::to_string(child), "");
            builder.ascend();
        }
        builder.finish();
    };
    SiteTree tree;
    build(tree, "a");
    SiteNode* a0 = tree.root()->child(0);
    SiteNode* a1 = tree.root()->child(1);
    for (int i = 0; i < 20; ++i)
        tree.append(a0, "n" + std::to_string(i), ""); // past the size it was made with
    EXPECT_EQ(a0->childCount(), 23);
    tree.move(a1->child(2), a0, 0);
    tree.moveMany({a0->child(1), a0->child(2)}, a1, 1);
    tree.reorderChildren(a1, {a1->child(3), a1->child(2), a1->child(1), a1->child(0)});
    std::string expected = "a0 .a12 .a02 ";
    for (int i = 0; i < 20; ++i)
        expected += ".n" + std::to_string(i) + " ";
    EXPECT_EQ(shape(tree), expected + "a1 .a11 .a01 .a00 .a10 a2 .a20 .a21 .a22 ");

    SiteTree other;
    build(other, "b");
    tree.swap(other);
    tree.insert(tree.root(), 1, {"x", ""});
    EXPECT_EQ(tree.root()->childCount(), 4);
    EXPECT_EQ(other.root()->child(0), a0);

    // Emptied, the tree gives its lists back; the root's grows anew.
    tree.removeMany(
        {tree.root()->child(0), tree.root()->child(1), tree.root()->child(2), tree.root()->child(3)});
    EXPECT_TRUE(tree.empty());
    for (int i = 0; i < 10; ++i)
        tree.append(tree.root(), "c" + std::to_string(i), "");
    EXPECT_EQ(tree.root()->childCount(), 10);
    other.clear();
    build(other, "d");
    EXPECT_EQ(shape(other), "d0 .d00 .d01 .d02 d1 .d10 .d11 .d12 d2 .d20 .d21 .d22 ");
}

TEST(SiteTree, UnfinishedBuilderTreeIsClearedWhole) {
    // Nodes whose parents never got their lists are destroyed with the tree all the same (the
    // leak check of a sanitizer build sees it).
    auto tree = std::make_unique<SiteTree>();
    {
        SiteTree::Builder builder(*tree);
        for (int i = 0; i < 100; ++i) {
            builder.add("entry with a text too long to be kept inline " + std::to_string(i), "f.htm");
            if (i % 3 == 0) builder.descend();
        }
    }
    EXPECT_EQ(tree->size(), 100u);
    tree->clear();
    EXPECT_EQ(tree->size(), 0u);
    EXPECT_TRUE(tree->empty());
    tree->append(tree->root(), "again", "a.htm");
    EXPECT_EQ(shape(*tree), "again ");
}

TEST(SiteTree, DetachedSubtreesComeBackAsTheSameNodesAndAreFreedOnRequest) {
    SiteTree tree;
    SiteNode* n[5];
    for (int i = 0; i < 5; ++i)
        n[i] = tree.insert(tree.root(), -1, {std::string(1, char('A' + i)), ""});
    SiteNode* b1 = tree.insert(n[1], -1, {"B1", ""});
    tree.detachMany({n[1], n[3]});
    EXPECT_EQ(shape(tree), "A C E ");
    EXPECT_EQ(tree.size(), 3u);
    EXPECT_EQ(tree.detachedCount(), 3u);
    // Separated rows come back where they were, between the entries that stayed.
    tree.attachMany({n[1], n[3]}, tree.root(), RowRunsOf(std::vector<int>{1, 3}));
    EXPECT_EQ(shape(tree), "A B .B1 C D E ");
    EXPECT_EQ(n[3]->row(), 3);
    EXPECT_EQ(b1->parent(), n[1]);
    EXPECT_EQ(tree.size(), 6u);
    EXPECT_EQ(tree.detachedCount(), 0u);

    // Removing everything else must not free the memory of what is still detached.
    tree.detachMany({n[1]});
    tree.removeMany({n[0], n[2], n[3], n[4]});
    EXPECT_TRUE(tree.empty());
    SiteNode* again = tree.insert(tree.root(), -1, {"X", ""});
    EXPECT_NE(again, n[1]);
    EXPECT_EQ(b1->entry.text, "B1");
    tree.destroyDetached(n[1]);
    EXPECT_EQ(tree.detachedCount(), 0u);
    EXPECT_EQ(shape(tree), "X ");
}

TEST(SiteTree, PlaceManyPutsSiblingsAtGivenRowsAndUndoesItself) {
    SiteTree tree;
    SiteNode* n[6];
    for (int i = 0; i < 6; ++i)
        n[i] = tree.insert(tree.root(), -1, {std::string(1, char('A' + i)), ""});
    // B, C and E each one row up: how the up command moves runs of neighbours.
    const std::vector<SiteNode*> moving{n[1], n[2], n[4]};
    const std::vector<RowRun> from = RowRunsOf(moving);
    EXPECT_EQ(from, (std::vector<RowRun>{{1, 2}, {4, 1}}));
    tree.placeMany(moving, tree.root(), {{0, 2}, {3, 1}});
    EXPECT_EQ(shape(tree), "B C A E D F ");
    tree.placeMany(NodesAt(tree.root(), {{0, 2}, {3, 1}}), tree.root(), from);
    EXPECT_EQ(shape(tree), "A B C D E F ");
    // Into another parent and back.
    tree.placeMany({n[4], n[5]}, n[0], {{0, 2}});
    EXPECT_EQ(shape(tree), "A .E .F B C D ");
    EXPECT_EQ(n[5]->parent(), n[0]);
    tree.placeMany(NodesAt(n[0], {{0, 2}}), tree.root(), {{4, 2}});
    EXPECT_EQ(shape(tree), "A B C D E F ");
    EXPECT_EQ(n[5]->parent(), tree.root());
}
