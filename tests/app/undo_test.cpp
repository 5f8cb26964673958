#include "app_test_support.h"
#include "model_json.h"
#include "new_entry_dialog.h"
#include "style_panel.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QRadioButton>
#include <QTest>
#include <QTreeView>
#include <QUndoStack>

#include <gtest/gtest.h>

#include <functional>

using quilso::SiteNode;

namespace {
class Undo : public ::testing::Test {
protected:
    AppFixture data{"ABCDE"};
    std::unique_ptr<MainWindow> form = data.makeForm();
    ProjectDocument* document = form->document();
    QTreeView* view = form->sitePage()->siteView();

    void SetUp() override {
        form->show();
        form->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    }
    std::string json() { return quilso::ProjectToJson(document->project()); }
    const SiteNode* node(const char* path) {
        const SiteNode* at = document->project().tree.root();
        for (const QString& part : QString::fromLatin1(path).split(u'/')) {
            const SiteNode* next = nullptr;
            for (const SiteNode* c : at->children())
                if (c->entry.text == part.toStdString()) next = c;
            EXPECT_NE(next, nullptr) << path;
            if (!next) return at;
            at = next;
        }
        return at;
    }
    void click(const char* path, Qt::KeyboardModifiers mods = {}) {
        const QModelIndex index = document->treeModel()->indexOf(node(path));
        view->scrollTo(index);
        QTest::mouseClick(view->viewport(), Qt::LeftButton, mods, view->visualRect(index).center());
    }
    // The selected entries and, after a bar, the focused one.
    std::string selected() {
        std::string out;
        for (const SiteNode* n : form->sitePage()->selectedEntries())
            out += n->entry.text + ' ';
        const SiteNode* focus = form->sitePage()->focusedNode();
        return out + "| " + (focus ? focus->entry.text : "-");
    }
    QAction* action(const char* name) { return form->findChild<QAction*>(QString::fromLatin1(name)); }
    QLineEdit* field(const char* name) {
        return form->findChild<QWidget*>(QStringLiteral("tsExplorer"))
            ->findChild<QLineEdit*>(QString::fromLatin1(name));
    }
    // Runs `change` as one step: undo brings back the project and the selection before it, redo
    // the ones after it; the undo action names the step.
    void roundTrip(const std::function<void()>& change, const QString& stepName) {
        SCOPED_TRACE(stepName.toStdString());
        const std::string projectBefore = json();
        const std::string selectionBefore = selected();
        const int steps = document->undoStack()->index();
        change();
        const std::string projectAfter = json();
        const std::string selectionAfter = selected();
        ASSERT_NE(projectAfter, projectBefore);
        EXPECT_EQ(document->undoStack()->index(), steps + 1);
        EXPECT_EQ(action("aUndo")->text(), QStringLiteral("&Rückgängig: ") + stepName);
        action("aUndo")->trigger();
        EXPECT_EQ(json(), projectBefore);
        EXPECT_EQ(selected(), selectionBefore);
        EXPECT_EQ(action("aRedo")->text(), QStringLiteral("&Wiederholen: ") + stepName);
        action("aRedo")->trigger();
        EXPECT_EQ(json(), projectAfter);
        EXPECT_EQ(selected(), selectionAfter);
    }
    void fillDialog(const std::vector<std::pair<const char*, const char*>>& rows) {
        form->sitePage()->runNewEntryDialog = [rows](NewEntryDialog& dialog) {
            dialog.show();
            if (rows.size() == 1) {
                dialog.findChild<QRadioButton*>(QStringLiteral("rbOne"))->setChecked(true);
                dialog.findChild<QLineEdit*>(QStringLiteral("leText"))
                    ->setText(QString::fromLatin1(rows[0].first));
                dialog.findChild<QLineEdit*>(QStringLiteral("leFile"))
                    ->setText(QString::fromLatin1(rows[0].second));
            } else {
                dialog.findChild<QRadioButton*>(QStringLiteral("rbSome"))->setChecked(true);
                for (std::size_t i = 0; i < rows.size(); ++i) {
                    dialog.grid()->setCell(0, int(i) + 1, QString::fromLatin1(rows[i].first));
                    dialog.grid()->setCell(1, int(i) + 1, QString::fromLatin1(rows[i].second));
                }
            }
            dialog.hide();
            return true;
        };
    }
};
} // namespace

TEST_F(Undo, EveryTreeCommandIsOneStepThatUndoAndRedoTakeBackAndForth) {
    click("B");
    click("D", Qt::ControlModifier);
    roundTrip([&] { action("aNodeUp")->trigger(); }, QStringLiteral("Einträge verschieben"));
    roundTrip([&] { action("aNodeDown")->trigger(); }, QStringLiteral("Einträge verschieben"));
    click("C");
    click("D", Qt::ShiftModifier);
    roundTrip([&] { action("aNodeRight")->trigger(); }, QStringLiteral("Einträge verschieben"));
    ASSERT_EQ(TreeShape(document->project().tree), "A B[C D] E");
    click("B/C");
    roundTrip([&] { action("aNodeLeft")->trigger(); }, QStringLiteral("Eintrag verschieben"));

    fillDialog({{"Neu", "neu.htm"}});
    click("A");
    roundTrip([&] { action("aNodeNew")->trigger(); }, QStringLiteral("Neuer Eintrag"));
    click("E");
    roundTrip([&] { action("aNodeNewChild")->trigger(); }, QStringLiteral("Neuer Untereintrag"));
    fillDialog({{"X", "x.htm"}, {"Y", "y.htm"}, {"Z", "z.htm"}});
    click("A");
    roundTrip([&] { action("aNodeNew")->trigger(); }, QStringLiteral("Neue Einträge"));
    ASSERT_EQ(TreeShape(document->project().tree), "A X Y Z Neu B[D] C E[Neu]");

    // A move, then deleting the moved entries with their subtrees, then another delete:
    // undoing all three puts back the very entries the earlier steps moved.
    click("B");
    click("E", Qt::ControlModifier);
    const std::string beforeAll = json();
    action("aNodeUp")->trigger();
    EXPECT_EQ(TreeShape(document->project().tree), "A X Y Z B[D] Neu E[Neu] C");
    roundTrip([&] { action("aNodeDelete")->trigger(); }, QStringLiteral("Einträge löschen"));
    EXPECT_EQ(selected(), "Z | Z");
    action("aNodeDelete")->trigger();
    EXPECT_EQ(TreeShape(document->project().tree), "A X Y Neu C");
    for (int i = 0; i < 3; ++i)
        action("aUndo")->trigger();
    EXPECT_EQ(json(), beforeAll);
    EXPECT_EQ(selected(), "B E | E");
}

TEST_F(Undo, TypedTextIsOneStepPerFieldAndTheSampleTreeOneStep) {
    click("C");
    QLineEdit* text = field("leText");
    roundTrip(
        [&] {
            text->setFocus();
            text->selectAll();
            QTest::keyClicks(text, "Neu");
            field("leFile")->setFocus(); // leaving the field ends the step
        },
        QStringLiteral("Menütext ändern"));
    EXPECT_EQ(node("Neu")->entry.text, "Neu");
    EXPECT_EQ(text->text(), QStringLiteral("Neu"));
    roundTrip(
        [&] {
            QTest::keyClick(field("leFile"), Qt::Key_End);
            QTest::keyClicks(field("leFile"), "l");
            text->setFocus();
        },
        QStringLiteral("Dateiname ändern"));
    EXPECT_EQ(node("Neu")->entry.file, "C.html");
    // The next keys in the same field start a new step.
    text->setFocus();
    QTest::keyClicks(text, "2");
    field("leFile")->setFocus();
    action("aUndo")->trigger();
    EXPECT_EQ(node("Neu")->entry.text, "Neu");
    EXPECT_EQ(field("leText")->text(), QStringLiteral("Neu"));

    click("A");
    click("E", Qt::ShiftModifier);
    action("aNodeDelete")->trigger();
    ASSERT_TRUE(document->project().tree.empty());
    roundTrip([&] { QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, QPoint(20, 20)); },
              QStringLiteral("Beispielstruktur"));
    EXPECT_EQ(document->project().tree.size(), 8u);
}

TEST_F(Undo, TagOptionAndStyleValuesAreStepsThatTheControlsFollow) {
    auto* isTag = form->findChild<QCheckBox*>(QStringLiteral("cbIsTag"));
    roundTrip([&] { isTag->click(); }, QStringLiteral("HTML-Tag-Option"));
    EXPECT_TRUE(isTag->isChecked());
    action("aUndo")->trigger();
    EXPECT_FALSE(isTag->isChecked());
    EXPECT_FALSE(document->project().params.options.isTag);

    // A border width set on several sides at once is one step.
    const quilso::MenuKind kind = quilso::MenuMain;
    roundTrip(
        [&] {
            document->editStyle(kind, "Breite", [](quilso::MenuStyle& r) {
                for (std::string& side : r.boxValue[1])
                    side = "7";
            });
        },
        QStringLiteral("Breite"));
    // A stored value equal to the old one is no step; it still marks the project.
    document->setModified(false);
    const int steps = document->undoStack()->count();
    document->editStyle(kind, "Breite", [](quilso::MenuStyle&) {});
    EXPECT_EQ(document->undoStack()->count(), steps);
    EXPECT_TRUE(document->isModified());
    EXPECT_EQ(action("aUndo")->text(), QStringLiteral("&Rückgängig: Breite"));
}

TEST_F(Undo, TheSavedStateIsWhereUndoClearsTheModifiedMark) {
    const QString path = data.path(QStringLiteral("site.js"));
    FileDialogs::queueFileName(path);
    ASSERT_TRUE(document->saveAs());
    click("B");
    action("aNodeDown")->trigger();
    EXPECT_TRUE(document->isModified());
    EXPECT_TRUE(form->isWindowModified());
    action("aUndo")->trigger();
    EXPECT_FALSE(document->isModified());
    EXPECT_FALSE(form->isWindowModified());
    EXPECT_EQ(form->windowTitle(), QStringLiteral("quilso: ") + path + QStringLiteral("[*]"));
    MessageBoxes::takeShown();
    EXPECT_TRUE(document->confirmDiscard());
    EXPECT_TRUE(MessageBoxes::takeShown().isEmpty()); // no save-first question
    action("aRedo")->trigger();
    EXPECT_TRUE(document->isModified());
    // Saved after the move: undoing it now leaves the saved state.
    ASSERT_TRUE(document->save());
    action("aUndo")->trigger();
    EXPECT_TRUE(document->isModified());

    // Opening a file starts a new history; so does "Neu".
    MessageBoxes::queueAnswer(MessageBoxes::No);
    FileDialogs::queueFileName(path);
    document->open();
    EXPECT_EQ(document->undoStack()->count(), 0);
    EXPECT_FALSE(action("aUndo")->isEnabled());
    EXPECT_FALSE(action("aRedo")->isEnabled());
    EXPECT_EQ(action("aUndo")->text(), QStringLiteral("&Rückgängig"));
    click("A");
    action("aNodeDown")->trigger();
    MessageBoxes::queueAnswer(MessageBoxes::No);
    document->newProject();
    EXPECT_EQ(document->undoStack()->count(), 0);
    EXPECT_FALSE(document->isModified());
}

TEST_F(Undo, TheEditMenuSitsBetweenFileAndViewAndInTheTreeMenu) {
    QStringList menus;
    for (QAction* a : form->menuBar()->actions())
        menus << a->text();
    EXPECT_EQ(menus.mid(0, 3), (QStringList{QStringLiteral("&Datei"), QStringLiteral("&Bearbeiten"),
                                            QStringLiteral("&Ansicht")}));
    EXPECT_EQ(action("aUndo")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Z));
    EXPECT_EQ(action("aRedo")->shortcuts(),
              (QList<QKeySequence>{QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z),
                                   QKeySequence(Qt::CTRL | Qt::Key_Y)}));
    auto* treeMenu = form->findChild<QMenu*>(QStringLiteral("pmTree"));
    EXPECT_TRUE(treeMenu->actions().contains(action("aUndo")));
    EXPECT_TRUE(treeMenu->actions().contains(action("aRedo")));
    EXPECT_FALSE(action("aUndo")->isEnabled());
    click("B");
    QTest::keyClick(view, Qt::Key_Y, Qt::ControlModifier); // nothing to redo
    action("aNodeUp")->trigger();
    EXPECT_TRUE(action("aUndo")->isEnabled());
    EXPECT_FALSE(action("aRedo")->isEnabled());
    QTest::keyClick(view, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(TreeShape(document->project().tree), "A B C D E");
    EXPECT_FALSE(action("aUndo")->isEnabled());
    QTest::keyClick(view, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(TreeShape(document->project().tree), "B A C D E");
}

TEST_F(Undo, APanelStoringTheRestoredRecordAddsNoStep) {
    const quilso::MenuKind kind = quilso::MenuSub;
    document->editStyle(kind, "Zahl", [](quilso::MenuStyle& r) { r.fontSizeValue = "12"; });
    // A panel that stores what it shows once a record was put back must not push a step
    // while the stack is undoing.
    QObject::connect(document, &ProjectDocument::styleRestored, form.get(), [this, kind] {
        const std::string shown = document->style(kind).fontSizeValue;
        document->editStyle(kind, "Zahl", [&](quilso::MenuStyle& r) { r.fontSizeValue = shown; });
    });
    action("aUndo")->trigger();
    EXPECT_EQ(document->undoStack()->index(), 0);
    EXPECT_EQ(document->undoStack()->count(), 1);
    EXPECT_TRUE(action("aRedo")->isEnabled());
    action("aRedo")->trigger();
    EXPECT_EQ(document->style(kind).fontSizeValue, "12");
    EXPECT_EQ(document->undoStack()->count(), 1);
}

TEST_F(Undo, EntriesHandedOverInAnyOrderAreDeletedAndPutBackInTheirPlaces) {
    const std::string before = json();
    auto* root = document->treeModel()->nodeOf({});
    document->removeEntries({root->child(3), root->child(0)});
    EXPECT_EQ(TreeShape(document->project().tree), "B C E");
    EXPECT_EQ(document->project().tree.size(), 3u);
    action("aUndo")->trigger();
    EXPECT_EQ(json(), before);
    EXPECT_TRUE(document->moveEntriesDown({root->child(2), root->child(0)}));
    EXPECT_EQ(TreeShape(document->project().tree), "B A D C E");
    action("aUndo")->trigger();
    EXPECT_EQ(json(), before);
}

TEST_F(Undo, AValueChosenInAStylePanelIsOneStepAndThePanelShowsWhatUndoPutsBack) {
    QWidget* panel = form->stylePages()->panel(quilso::MenuMain, StylePages::TextTab);
    auto* align = panel->findChild<QComboBox*>(QStringLiteral("cbTextAlign"));
    auto choose = [align](int index) {
        align->setCurrentIndex(index);
        emit align->activated(index);
    };
    choose(1);
    ASSERT_EQ(document->style(quilso::MenuMain).textAlign, "right");
    roundTrip([&] { choose(2); }, QStringLiteral("Textausrichtung"));
    EXPECT_EQ(document->style(quilso::MenuMain).textAlign, "center");
    action("aUndo")->trigger();
    EXPECT_EQ(document->style(quilso::MenuMain).textAlign, "right");
    EXPECT_EQ(align->currentIndex(), 1);
    action("aRedo")->trigger();
    EXPECT_EQ(align->currentIndex(), 2);
}

TEST_F(Undo, DeletedEntriesComeBackOpenAsTheyWere) {
    click("C");
    action("aNodeRight")->trigger(); // A B[C] D E
    const QModelIndex b = document->treeModel()->indexOf(node("B"));
    ASSERT_TRUE(view->isExpanded(b));
    click("B");
    action("aNodeDelete")->trigger();
    action("aUndo")->trigger();
    EXPECT_EQ(TreeShape(document->project().tree), "A B[C] D E");
    EXPECT_TRUE(view->isExpanded(document->treeModel()->indexOf(node("B"))));
}

TEST_F(Undo, ADropIsOneStepThatSelectsTheDraggedEntriesAgain) {
    click("B");
    click("C", Qt::ShiftModifier);
    SiteTreeModel* model = document->treeModel();
    roundTrip(
        [&] {
            model->moveDroppedEntries({const_cast<SiteNode*>(node("B")), const_cast<SiteNode*>(node("C"))},
                                      const_cast<SiteNode*>(node("E")), 0);
        },
        QStringLiteral("Einträge verschieben"));
    EXPECT_EQ(TreeShape(document->project().tree), "A D E[B C]");
    EXPECT_EQ(selected(), "B C | C");
}
