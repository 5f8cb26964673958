#include "app_test_support.h"

#include <QAction>
#include <QLineEdit>
#include <QMimeData>
#include <QSignalSpy>
#include <QTest>
#include <QTreeView>

#include <gtest/gtest.h>

using quilso::SiteNode;

namespace {
// Lets the test read where the view would drop (a protected getter of the view).
struct IndicatorPeek : QTreeView {
    using QAbstractItemView::dropIndicatorPosition;
    static constexpr int Above = AboveItem, On = OnItem, Below = BelowItem;
};

enum class Spot { Above, On, Below };

class TreeDragDrop : public ::testing::Test {
protected:
    AppFixture data{"ABCDEF"};
    std::unique_ptr<MainWindow> form = data.makeForm();
    SitePage* page = form->sitePage();
    QTreeView* view = page->siteView();
    SiteTreeModel* model = form->document()->treeModel();

    void SetUp() override {
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    }
    // "B" or "B/C": menu texts from the top level down.
    SiteNode* node(const char* path) {
        SiteNode* at = model->nodeOf({});
        for (const QString& part : QString::fromLatin1(path).split(u'/'))
            for (SiteNode* c : at->children())
                if (c->entry.text == part.toStdString()) at = c;
        return at;
    }
    void select(std::initializer_list<const char*> paths, const char* focus) {
        std::vector<SiteNode*> nodes;
        for (const char* p : paths)
            nodes.push_back(node(p));
        page->selectNodes(nodes, node(focus));
        form->document()->setModified(false);
    }
    QPoint spot(const char* path, Spot where) {
        const QRect rect = view->visualRect(model->indexOf(node(path)));
        const int y = where == Spot::Above ? rect.top() + 1
                      : where == Spot::On  ? rect.center().y()
                                           : rect.bottom() - 1;
        return {rect.center().x(), y};
    }
    struct Outcome {
        bool moveAccepted;
        bool dropAccepted;
        Qt::DropAction action;
        int indicator;
    };
    // Drags what is selected (the data the view's own drag carries) to `at`; `data` replaces it.
    Outcome dragTo(QPoint at, Qt::KeyboardModifiers mods = {}, QMimeData* data = nullptr) {
        std::unique_ptr<QMimeData> own(data ? nullptr
                                            : model->mimeData(view->selectionModel()->selectedIndexes()));
        const QMimeData* carried = data ? data : own.get();
        const Qt::DropActions offered = Qt::CopyAction | Qt::MoveAction;
        QDragEnterEvent enter(at, offered, carried, Qt::LeftButton, mods);
        QCoreApplication::sendEvent(view->viewport(), &enter);
        QDragMoveEvent move(at, offered, carried, Qt::LeftButton, mods);
        QCoreApplication::sendEvent(view->viewport(), &move);
        const int indicator = (view->*&IndicatorPeek::dropIndicatorPosition)();
        const bool shown = move.isAccepted() && view->showDropIndicator();
        QDropEvent drop(QPointF(at), offered, carried, Qt::LeftButton, mods);
        QCoreApplication::sendEvent(view->viewport(), &drop);
        return {shown, drop.isAccepted(), drop.dropAction(), indicator};
    }
    std::string selected() {
        std::string out;
        for (const SiteNode* n : page->selectedEntries())
            out += n->entry.text + ' ';
        return out;
    }
    std::string shape() { return TreeShape(form->document()->project().tree); }
};
} // namespace

TEST_F(TreeDragDrop, DropsBeforeAfterAndIntoAnEntry) {
    select({"B"}, "B");
    Outcome o = dragTo(spot("E", Spot::Above));
    EXPECT_EQ(o.indicator, IndicatorPeek::Above);
    EXPECT_TRUE(o.dropAccepted);
    EXPECT_EQ(o.action, Qt::MoveAction);
    EXPECT_EQ(shape(), "A C D B E F");
    EXPECT_EQ(selected(), "B ");
    EXPECT_TRUE(form->document()->isModified());

    o = dragTo(spot("A", Spot::Below));
    EXPECT_EQ(o.indicator, IndicatorPeek::Below);
    EXPECT_EQ(shape(), "A B C D E F");

    // Ctrl offers a copy; inside the tree it is still a move.
    o = dragTo(spot("D", Spot::On), Qt::ControlModifier);
    EXPECT_EQ(o.indicator, IndicatorPeek::On);
    EXPECT_EQ(o.action, Qt::MoveAction);
    EXPECT_EQ(shape(), "A C D[B] E F");
    EXPECT_TRUE(view->isExpanded(model->indexOf(node("D"))));
    EXPECT_EQ(selected(), "B ");

    // Left of the text (in the indentation) still aims at the entry in that row.
    select({"E"}, "E");
    dragTo(QPoint(2, spot("D/B", Spot::Above).y()));
    EXPECT_EQ(shape(), "A C D[E B] F");
}

TEST_F(TreeDragDrop, SeveralSiblingsMoveAsOneStepInOrderWithTheirSubtrees) {
    select({"C"}, "C");
    form->findChild<QAction*>(QStringLiteral("aNodeRight"))->trigger(); // A B[C] D E F
    select({"A", "B", "D"}, "B");
    QSignalSpy moves(model, &QAbstractItemModel::rowsMoved);
    QSignalSpy relayouts(model, &QAbstractItemModel::layoutChanged);
    EXPECT_TRUE(dragTo(spot("F", Spot::On)).dropAccepted);
    EXPECT_EQ(shape(), "E F[A B[C] D]");
    EXPECT_EQ(moves.count() + relayouts.count(), 1); // one change for the views, not one a row
    EXPECT_EQ(selected(), "A B D ");
    EXPECT_EQ(page->focusedNode(), node("F/B"));

    // Below an expanded entry the line stands above its first child, and that is where it goes.
    select({"E"}, "E");
    dragTo(spot("F", Spot::Below));
    EXPECT_EQ(shape(), "F[E A B[C] D]");
    // The focused entry outside the dragged ones: the first dragged one takes the focus.
    select({"F/A", "F/D"}, "F/A");
    page->dropEntries({node("F/D")}, node("F"), 0);
    EXPECT_EQ(page->focusedNode(), node("F/D"));
}

TEST_F(TreeDragDrop, RefusesDropsOntoItselfIntoItsSubtreeAndFromElsewhere) {
    select({"C"}, "C");
    form->findChild<QAction*>(QStringLiteral("aNodeRight"))->trigger(); // A B[C] D E F
    view->expand(model->indexOf(node("B")));
    select({"B", "D"}, "B");
    for (const QPoint at : {spot("B", Spot::On), spot("B/C", Spot::On), spot("B/C", Spot::Above),
                            spot("D", Spot::Above), spot("B", Spot::Below)}) {
        const Outcome o = dragTo(at);
        EXPECT_FALSE(o.moveAccepted) << at.y();
        EXPECT_FALSE(view->showDropIndicator());
        EXPECT_FALSE(o.dropAccepted) << at.y();
    }
    // Text from another program, and entries of another tree, are not taken.
    QMimeData text;
    text.setText(QStringLiteral("B"));
    EXPECT_FALSE(dragTo(spot("E", Spot::On), {}, &text).dropAccepted);
    quilso::SiteTree otherTree;
    FillTopLevel(otherTree, "XY");
    SiteTreeModel other(&otherTree);
    std::unique_ptr<QMimeData> foreign(other.mimeData({other.index(0, 0)}));
    EXPECT_FALSE(dragTo(spot("E", Spot::On), {}, foreign.get()).dropAccepted);
    EXPECT_EQ(shape(), "A B[C] D E F");
    EXPECT_FALSE(form->document()->isModified());
    EXPECT_EQ(selected(), "B D ");
    // The refused place leaves no indicator; an allowed one shows it again.
    EXPECT_TRUE(dragTo(spot("F", Spot::Below)).moveAccepted);
}

TEST_F(TreeDragDrop, AltArrowsRunTheFourMovesWhenTheyAreAllowed) {
    auto key = [&](Qt::Key k) { QTest::keyClick(view, k, Qt::AltModifier); };
    view->setFocus();
    select({"A"}, "A");
    key(Qt::Key_Up); // not allowed: neither a move nor a step of the cursor
    key(Qt::Key_Right);
    EXPECT_EQ(shape(), "A B C D E F");
    EXPECT_EQ(page->focusedNode(), node("A"));
    EXPECT_FALSE(form->document()->isModified());
    key(Qt::Key_Down);
    EXPECT_EQ(shape(), "B A C D E F");
    key(Qt::Key_Right);
    EXPECT_EQ(shape(), "B[A] C D E F");
    key(Qt::Key_Left);
    key(Qt::Key_Up);
    EXPECT_EQ(shape(), "A B C D E F");
    EXPECT_EQ(selected(), "A ");
    EXPECT_TRUE(page->findChild<QWidget*>(QStringLiteral("iNodeRight"))->toolTip().contains(u'+'));
}

// A drag that strays off the tree onto the menu text field must not rewrite the entry there.
TEST_F(TreeDragDrop, DraggedEntriesAreNoTextForTheEntryFields) {
    select({"B"}, "B");
    auto* field = page->findChild<QLineEdit*>(QStringLiteral("leText"));
    ASSERT_NE(field, nullptr);
    const QString before = field->text();
    std::unique_ptr<QMimeData> carried(model->mimeData(view->selectionModel()->selectedIndexes()));
    const QPoint at = field->rect().center();
    QDragEnterEvent enter(at, Qt::MoveAction | Qt::CopyAction, carried.get(), Qt::LeftButton, {});
    QCoreApplication::sendEvent(field, &enter);
    QDropEvent drop(QPointF(at), Qt::MoveAction | Qt::CopyAction, carried.get(), Qt::LeftButton, {});
    QCoreApplication::sendEvent(field, &drop);
    EXPECT_FALSE(drop.isAccepted());
    EXPECT_EQ(field->text(), before);
}
