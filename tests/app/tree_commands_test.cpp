#include "app_test_support.h"
#include "new_entry_dialog.h"
#include "site_tree_model.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>
#include <QToolButton>
#include <QTreeView>

#include <gtest/gtest.h>

using quilso::SiteNode;

namespace {
class TreeCommands : public ::testing::Test {
protected:
    AppFixture data{"ABCD"};
    std::unique_ptr<MainWindow> form = data.makeForm();
    QTreeView* view = form->sitePage()->siteView();
    SiteTreeModel* model = form->document()->treeModel();

    void SetUp() override {
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    }
    QModelIndex indexOf(const char* path) {
        // "B" or "B/C": menu texts from the top level down.
        const SiteNode* node = form->document()->project().tree.root();
        for (const QString& part : QString::fromLatin1(path).split(u'/')) {
            const SiteNode* next = nullptr;
            for (const SiteNode* c : node->children())
                if (c->entry.text == part.toStdString()) next = c;
            EXPECT_NE(next, nullptr) << path;
            if (!next) return {};
            node = next;
        }
        return model->indexOf(node);
    }
    void click(const char* path, Qt::KeyboardModifiers mods = {}) {
        const QModelIndex index = indexOf(path);
        view->scrollTo(index);
        QTest::mouseClick(view->viewport(), Qt::LeftButton, mods, view->visualRect(index).center());
    }
    std::string selected() {
        std::string out;
        for (const SiteNode* n : form->sitePage()->selectedEntries())
            out += n->entry.text + ' ';
        return out;
    }
    QAction* action(const char* name) { return form->findChild<QAction*>(QString::fromLatin1(name)); }
    QWidget* widget(const char* name) {
        return form->findChild<QWidget*>(QStringLiteral("tsExplorer"))
            ->findChild<QWidget*>(QString::fromLatin1(name));
    }
    std::string shape() { return TreeShape(form->document()->project().tree); }
};
} // namespace

TEST_F(TreeCommands, UpMovesSeparatedEntriesEachAndAdjacentOnesAsABlock) {
    click("B");
    click("D", Qt::ControlModifier);
    EXPECT_EQ(selected(), "B D ");
    EXPECT_FALSE(form->document()->isModified());
    QTest::mouseClick(static_cast<QToolButton*>(widget("iNodeUp")), Qt::LeftButton);
    EXPECT_EQ(shape(), "B A D C");
    EXPECT_EQ(selected(), "B D ");
    EXPECT_TRUE(form->document()->isModified()); // tree edits count as changes

    click("A");
    click("D", Qt::ShiftModifier); // A, D are rows 1..2 now: "A D"
    EXPECT_EQ(selected(), "A D ");
    action("aNodeUp")->trigger();
    EXPECT_EQ(shape(), "A D B C");
    EXPECT_EQ(selected(), "A D ");
    // With the first entry among the selected ones, "nach oben" is off and its arrow hidden.
    EXPECT_FALSE(action("aNodeUp")->isEnabled());
    EXPECT_FALSE(widget("iNodeUp")->isVisible());
    action("aNodeUp")->trigger();
    EXPECT_EQ(shape(), "A D B C");
}

TEST_F(TreeCommands, DownMovesABlockBelowItsNextSibling) {
    click("B");
    click("C", Qt::ShiftModifier);
    action("aNodeDown")->trigger();
    EXPECT_EQ(shape(), "A D B C");
    EXPECT_EQ(selected(), "B C ");
    EXPECT_FALSE(action("aNodeDown")->isEnabled());
    click("A");
    click("B", Qt::ControlModifier); // separated: A and B with D between
    EXPECT_EQ(selected(), "A B ");
    action("aNodeDown")->trigger();
    EXPECT_EQ(shape(), "D A C B");
    EXPECT_EQ(selected(), "A B ");
}

TEST_F(TreeCommands, RightIndentsUnderThePreviousSiblingAndLeftBringsThemBackInOrder) {
    click("A");
    click("C", Qt::ControlModifier);
    click("D", Qt::ControlModifier);
    EXPECT_EQ(selected(), "A C D ");
    EXPECT_FALSE(action("aNodeRight")->isEnabled()); // A has no previous sibling
    click("C");
    click("D", Qt::ControlModifier);
    action("aNodeRight")->trigger();
    EXPECT_EQ(shape(), "A B[C D]");
    EXPECT_TRUE(view->isExpanded(indexOf("B")));
    EXPECT_EQ(selected(), "C D ");
    EXPECT_TRUE(action("aNodeLeft")->isEnabled());
    EXPECT_TRUE(widget("iNodeLeft")->isVisible());
    action("aNodeLeft")->trigger();
    EXPECT_EQ(shape(), "A B C D");
    EXPECT_EQ(selected(), "C D ");

    // Separated entries end up as the last children of the previous sibling, in order.
    click("B");
    click("D", Qt::ControlModifier);
    action("aNodeRight")->trigger();
    EXPECT_EQ(shape(), "A[B D] C");

    // Outdenting the middle child of three leaves the third under the old parent.
    click("C");
    action("aNodeRight")->trigger();
    EXPECT_EQ(shape(), "A[B D C]");
    click("A/D");
    action("aNodeLeft")->trigger();
    EXPECT_EQ(shape(), "A[B C] D");
    EXPECT_EQ(selected(), "D ");
}

TEST_F(TreeCommands, SelectionStaysAmongSiblingsAndEnablingFollowsIt) {
    click("B");
    action("aNodeRight")->trigger(); // A[B] C D
    click("A/B");
    click("C", Qt::ControlModifier); // another parent: B is dropped
    EXPECT_EQ(selected(), "C ");
    click("A");
    EXPECT_FALSE(action("aNodeUp")->isEnabled());
    EXPECT_FALSE(action("aNodeRight")->isEnabled());
    EXPECT_FALSE(action("aNodeLeft")->isEnabled());
    EXPECT_TRUE(action("aNodeDown")->isEnabled());
    EXPECT_TRUE(widget("iNodeDown")->isVisible());
    EXPECT_FALSE(widget("iNodeLeft")->isVisible());
    EXPECT_TRUE(action("aNodeDelete")->isEnabled());
    EXPECT_TRUE(widget("lNodeDelete")->isVisible());
    EXPECT_TRUE(widget("lAddChild1")->isVisible());
    click("C", Qt::ControlModifier);
    EXPECT_FALSE(widget("leText")->isEnabled()); // two selected: fields off
    click("C", Qt::ControlModifier);
    click("A", Qt::ControlModifier); // nothing selected
    EXPECT_EQ(selected(), "");
    EXPECT_FALSE(widget("lAddChild1")->isVisible());
    EXPECT_FALSE(action("aNodeDelete")->isEnabled());
    EXPECT_TRUE(action("aNodeNew")->isEnabled());
    EXPECT_TRUE(action("aNodeNewChild")->isEnabled());
}

TEST_F(TreeCommands, DeleteRemovesSubtreesAndFocusesThePreviousSibling) {
    click("C");
    action("aNodeRight")->trigger(); // A B[C] D
    click("B");
    QTest::mouseClick(widget("lNodeDelete"), Qt::LeftButton);
    EXPECT_EQ(shape(), "A D");
    EXPECT_EQ(form->document()->project().tree.size(), 2u);
    EXPECT_EQ(selected(), "A ");
    EXPECT_EQ(static_cast<QLineEdit*>(widget("leText"))->text(), QStringLiteral("A"));
    // No previous sibling: the entry that moved into its place takes the focus.
    action("aNodeDelete")->trigger();
    EXPECT_EQ(selected(), "D ");
    action("aNodeDelete")->trigger();
    EXPECT_TRUE(form->document()->project().tree.empty());
    EXPECT_FALSE(widget("leText")->isEnabled());
    EXPECT_FALSE(widget("leFile")->isEnabled());
    EXPECT_FALSE(widget("lNodeDelete")->isVisible());
    EXPECT_FALSE(widget("iNodeDown")->isVisible());
    EXPECT_TRUE(form->document()->isModified());
}

TEST_F(TreeCommands, EntryFieldsRefuseEmptyTextsAndFollowEveryKeystroke) {
    click("B");
    auto* leText = static_cast<QLineEdit*>(widget("leText"));
    auto* leFile = static_cast<QLineEdit*>(widget("leFile"));
    EXPECT_EQ(leFile->text(), QStringLiteral("B.htm"));
    leText->setFocus();
    leText->selectAll();
    QTest::keyClick(leText, Qt::Key_Delete);
    EXPECT_EQ(leText->palette().color(QPalette::Base), QColor(0xC0, 0xC0, 0xC0));
    EXPECT_TRUE(widget("lText")->isVisible());
    EXPECT_EQ(form->document()->project().tree.root()->child(1)->entry.text, "B");
    QTest::keyClicks(leText, "Ne");
    EXPECT_EQ(model->data(indexOf("Ne")).toString(), QStringLiteral("Ne"));
    QTest::sendKeyEvent(QTest::Press, leText, Qt::Key_unknown, QStringLiteral("ü"), {});
    QTest::keyClick(leText, Qt::Key_Space);
    QTest::sendKeyEvent(QTest::Press, leText, Qt::Key_unknown, QStringLiteral("Ω"), {});
    QTest::keyClick(leText, Qt::Key_Space);
    EXPECT_FALSE(widget("lText")->isVisible());
    EXPECT_NE(leText->palette().color(QPalette::Base), QColor(0xC0, 0xC0, 0xC0));
    EXPECT_EQ(form->document()->project().tree.root()->child(1)->entry.text,
              "Ne\xFC &#937;"); // trimmed, nothing lost
    EXPECT_EQ(model->data(model->index(1, 0)).toString(), QStringLiteral("Neü Ω"));
    leFile->clear();
    EXPECT_TRUE(widget("lFile")->isVisible());
    EXPECT_EQ(form->document()->project().tree.root()->child(1)->entry.file, "B.htm");
    EXPECT_TRUE(form->document()->isModified());
}

TEST_F(TreeCommands, AClickIntoTheEmptyTreeCreatesTheSampleTreeOnce) {
    click("A");
    click("D", Qt::ShiftModifier);
    action("aNodeDelete")->trigger();
    ASSERT_TRUE(form->document()->project().tree.empty());
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, QPoint(20, 20));
    EXPECT_EQ(shape(), "Home Produkte[Microsoft Borland 1 2 3] Filialen");
    EXPECT_EQ(form->document()->project().tree.root()->child(2)->entry.file, "Filialen.htm");
    EXPECT_EQ(selected(), "");
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, QPoint(20, 200));
    EXPECT_EQ(form->document()->project().tree.size(), 8u);
}

TEST_F(TreeCommands, NewEntriesGoAfterTheFocusedOneAsTypedAndChildrenTrimmed) {
    int shown = 0;
    QString mode = QStringLiteral("single");
    form->sitePage()->runNewEntryDialog = [&](NewEntryDialog& dialog) {
        ++shown;
        dialog.show();
        if (mode == QStringLiteral("single")) {
            dialog.findChild<QRadioButton*>(QStringLiteral("rbOne"))->setChecked(true);
            dialog.findChild<QLineEdit*>(QStringLiteral("leText"))->setText(QStringLiteral(" Neu "));
            dialog.findChild<QLineEdit*>(QStringLiteral("leFile"))->setText(QStringLiteral("neu.htm"));
        } else {
            dialog.findChild<QRadioButton*>(QStringLiteral("rbSome"))->setChecked(true);
            SiteGrid* grid = dialog.grid();
            grid->setCell(0, 1, QStringLiteral(" X "));
            grid->setCell(1, 1, QStringLiteral("x.htm "));
            grid->setCell(0, 2, QStringLiteral("Y "));
            grid->setCell(1, 2, QStringLiteral(" y.htm"));
        }
        dialog.hide();
        return true;
    };
    click("B");
    action("aNodeNew")->trigger();
    // The new entry gets the focus; showing it in the fields stores its texts trimmed.
    EXPECT_EQ(shape(), "A B Neu C D");
    EXPECT_EQ(selected(), "Neu ");
    EXPECT_EQ(static_cast<QLineEdit*>(widget("leText"))->text(), QStringLiteral(" Neu "));

    mode = QStringLiteral("multi");
    click("A");
    action("aNodeNew")->trigger();
    // All but the focused last one keep their cells as typed.
    EXPECT_EQ(shape(), "A  X  Y B Neu C D");
    EXPECT_EQ(form->document()->project().tree.root()->child(1)->entry.file, "x.htm ");
    EXPECT_EQ(form->document()->project().tree.root()->child(2)->entry.file, "y.htm");
    EXPECT_EQ(selected(), "Y ");

    click("D");
    action("aNodeNewChild")->trigger();
    EXPECT_EQ(shape(), "A  X  Y B Neu C D[X Y]");
    EXPECT_EQ(form->document()->project().tree.root()->child(6)->child(0)->entry.file, "x.htm");
    EXPECT_EQ(selected(), "Y ");
    EXPECT_TRUE(view->isExpanded(indexOf("D")));

    // Cancelled dialog: nothing happens.
    form->sitePage()->runNewEntryDialog = [&](NewEntryDialog&) { return false; };
    action("aNodeNewChild")->trigger();
    EXPECT_EQ(form->document()->project().tree.size(), 9u);
    EXPECT_EQ(shown, 3);
}
