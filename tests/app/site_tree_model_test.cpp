#include "app_test_support.h"
#include "site_tree_model.h"

#include <QAbstractItemModelTester>
#include <QPersistentModelIndex>
#include <QSignalSpy>
#include <QTreeView>

#include <gtest/gtest.h>

using quilso::SiteNode;
using quilso::SiteTree;

namespace {
struct ModelFixture {
    SiteTree tree;
    SiteTreeModel model{&tree};
    QAbstractItemModelTester tester{&model, QAbstractItemModelTester::FailureReportingMode::Fatal};
    SiteNode* top(int row) { return tree.root()->child(row); }
};
} // namespace

TEST(SiteTreeModel, ShowsTheTreeAndPassesTheModelTesterThroughEveryChange) {
    ModelFixture f;
    for (const char* t : {"A", "B", "C", "D", "E"})
        f.model.insertEntry(f.tree.root(), -1, {t, "x.htm"});
    SiteNode* b = f.top(1);
    f.model.insertEntry(b, -1, {"B1", ""});
    f.model.insertEntry(b, 0, {"B0", ""});
    EXPECT_EQ(f.model.rowCount(), 5);
    const QModelIndex bi = f.model.index(1, 0);
    EXPECT_EQ(f.model.rowCount(bi), 2);
    EXPECT_EQ(f.model.data(f.model.index(0, 0, bi)).toString(), QStringLiteral("B0"));
    EXPECT_EQ(f.model.parent(f.model.index(1, 0, bi)), bi);
    EXPECT_EQ(f.model.nodeOf(bi), b);
    EXPECT_EQ(f.model.indexOf(b), bi);

    // Single block moves and the one-pass paths for separated rows.
    f.model.reorder(f.tree.root(), {f.top(1), f.top(0), f.top(2), f.top(3), f.top(4)}); // B A C D E
    f.model.reorder(f.tree.root(), {f.top(0), f.top(2), f.top(1), f.top(4), f.top(3)}); // B C A E D
    EXPECT_EQ(TreeShape(f.tree), "B[B0 B1] C A E D");
    f.model.moveSiblings({f.top(1), f.top(3)}, f.top(0), -1); // C and E under B
    EXPECT_EQ(TreeShape(f.tree), "B[B0 B1 C E] A D");
    f.model.moveSiblings({f.top(0)->child(2), f.top(0)->child(3)}, f.tree.root(), 1);
    EXPECT_EQ(TreeShape(f.tree), "B[B0 B1] C E A D");
    f.model.removeSiblings({f.top(1), f.top(3)});
    EXPECT_EQ(TreeShape(f.tree), "B[B0 B1] E D");
    f.model.removeSiblings({f.top(0)});
    EXPECT_EQ(TreeShape(f.tree), "E D");
    EXPECT_EQ(f.tree.size(), 2u);
}

TEST(SiteTreeModel, SeparatedChangesKeepPersistentIndexesAndDropTheRemovedOnes) {
    ModelFixture f;
    FillTopLevel(f.tree, "ABCDEF");
    f.model.insertEntry(f.top(3), -1, {"D1", ""});
    QPersistentModelIndex a(f.model.index(0, 0));
    QPersistentModelIndex e(f.model.index(4, 0));
    QPersistentModelIndex d1(f.model.index(0, 0, f.model.index(3, 0)));
    QSignalSpy layout(&f.model, &QAbstractItemModel::layoutChanged);
    f.model.removeSiblings({f.top(1), f.top(3)}); // B and D (with D1)
    EXPECT_EQ(layout.count(), 1);
    EXPECT_EQ(TreeShape(f.tree), "A C E F");
    EXPECT_TRUE(a.isValid());
    EXPECT_EQ(e.row(), 2);
    EXPECT_EQ(f.model.nodeOf(e)->entry.text, "E");
    EXPECT_FALSE(d1.isValid());
}

TEST(SiteTreeModel, AdjacentRowsMoveAsOneSignalAndKeepTheirExpansionInAView) {
    ModelFixture f;
    FillTopLevel(f.tree, "ABCD");
    f.model.insertEntry(f.top(2), -1, {"C1", ""});
    QTreeView view;
    view.setModel(&f.model);
    view.expand(f.model.index(2, 0));
    QSignalSpy moved(&f.model, &QAbstractItemModel::rowsMoved);
    QSignalSpy layout(&f.model, &QAbstractItemModel::layoutChanged);
    f.model.moveSiblings({f.top(2), f.top(3)}, f.top(1), -1); // C, D under B
    EXPECT_EQ(moved.count(), 1);
    EXPECT_EQ(layout.count(), 0);
    EXPECT_EQ(TreeShape(f.tree), "A B[C[C1] D]");
    EXPECT_TRUE(view.isExpanded(f.model.indexOf(f.top(1)->child(0))));
    f.model.reorder(f.top(1), {f.top(1)->child(1), f.top(1)->child(0)});
    EXPECT_EQ(moved.count(), 2);
    EXPECT_TRUE(view.isExpanded(f.model.indexOf(f.top(1)->child(1))));
}
