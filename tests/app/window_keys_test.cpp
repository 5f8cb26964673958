// The window as a keyboard user drives it, and what users of a desktop editor expect of it: the
// recent projects, the common keys, the tab order, and the site page's smaller controls.
#include "app_test_support.h"
#include "new_entry_dialog.h"
#include "publish_dialog.h"
#include "site_tree_model.h"
#include "style_panel.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>
#include <QTreeView>

#include <gtest/gtest.h>

using quilso::SiteNode;

namespace {

QByteArray fileBytes(const QString& path) {
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

void writeBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(bytes);
}

class WindowKeys : public ::testing::Test {
protected:
    AppFixture data{"ABCD"};
    std::unique_ptr<MainWindow> form = data.makeForm();
    QTreeView* tree = form->sitePage()->siteView();

    void SetUp() override {
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    }
    template <typename T = QWidget> T* named(const char* name) {
        T* widget = form->findChild<T*>(QString::fromLatin1(name));
        if (!widget) ADD_FAILURE() << "no " << name;
        return widget;
    }
    SiteNode* top(int row) { return form->document()->treeModel()->nodeOf({})->child(row); }
    void select(int row) {
        tree->setFocus();
        form->sitePage()->selectNodes({top(row)}, top(row));
    }
    static void press(int key, Qt::KeyboardModifiers modifiers = {}) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key(key), modifiers);
    }
    QString focusName() const {
        QWidget* focus = QApplication::focusWidget();
        return focus ? focus->objectName() : QString();
    }
    // The mnemonic letter of a text ("Da&tei" -> 't'), or 0.
    static QChar mnemonic(const QString& text) {
        const qsizetype at = text.indexOf(u'&');
        return at >= 0 && at + 1 < text.size() ? text.at(at + 1).toLower() : QChar();
    }
    std::string shape() { return TreeShape(form->document()->project().tree); }
};

} // namespace

// "Zuletzt geöffnet": the last ten projects opened or saved under a name, newest first, kept
// from one run to the next; one that is gone from disk is dropped when the menu opens.
TEST_F(WindowKeys, RecentProjectsAreOfferedNewestFirstWithoutMissingOnes) {
    QStringList files;
    for (int i = 0; i < 12; ++i) {
        quilso::Project project;
        FillTopLevel(project.tree, i % 2 ? "X" : "Y");
        files << data.path(QStringLiteral("p%1.js").arg(i));
        WriteProjectFile(files.back(), project);
        FileDialogs::queueFileName(files.back());
        form->document()->open();
    }
    auto* recent = named<QMenu>("mRecent");
    ASSERT_NE(recent, nullptr);
    auto shown = [&] {
        recent->popup(QPoint(0, 0));
        QStringList out;
        for (QAction* a : recent->actions())
            out << a->data().toString();
        recent->hide();
        return out;
    };
    QStringList expected;
    for (int i = 11; i >= 2; --i)
        expected << files[i];
    EXPECT_EQ(shown(), expected);

    QFile::remove(files[5]);
    expected.removeAll(files[5]);
    EXPECT_EQ(shown(), expected);

    // The next run offers the same, and opening one makes it the newest.
    auto next = data.makeForm();
    auto* again = next->findChild<QMenu*>(QStringLiteral("mRecent"));
    again->popup(QPoint(0, 0));
    ASSERT_EQ(again->actions().size(), 9);
    QAction* oldest = again->actions().back();
    again->hide();
    EXPECT_EQ(oldest->data().toString(), files[2]);
    oldest->trigger();
    EXPECT_EQ(next->document()->fileName(), files[2]);
    again->popup(QPoint(0, 0));
    EXPECT_EQ(again->actions().front()->data().toString(), files[2]);
    again->hide();
    // The menu sits in "Datei", below "Öffnen".
    QMenu* file = next->menuBar()->actions().front()->menu();
    EXPECT_EQ(file->actions().indexOf(again->menuAction()),
              file->actions().indexOf(next->findChild<QAction*>(QStringLiteral("miOpen"))) + 1);
    EXPECT_EQ(again->title(), QStringLiteral("&Zuletzt geöffnet"));
}

TEST_F(WindowKeys, CtrlQClosesTheProgram) {
    QSignalSpy closed(form.get(), &MainWindow::closed);
    QTest::keyClick(form.get(), Qt::Key_Q, Qt::ControlModifier);
    EXPECT_EQ(closed.count(), 1);
}

// In the tree: Delete deletes, Insert adds an entry, F2 edits the menu text; in the fields the
// keys keep their usual meaning.
TEST_F(WindowKeys, TreeKeysDeleteInsertAndEditTheMenuText) {
    select(1);
    press(Qt::Key_Delete);
    EXPECT_EQ(shape(), "A C D");

    int asked = 0;
    form->sitePage()->runNewEntryDialog = [&](NewEntryDialog&) {
        ++asked;
        return false;
    };
    press(Qt::Key_Insert);
    EXPECT_EQ(asked, 1);

    select(0);
    press(Qt::Key_F2);
    auto* text = named<QLineEdit>("leText");
    EXPECT_EQ(QApplication::focusWidget(), text);
    EXPECT_EQ(text->selectedText(), QStringLiteral("A"));
    press(Qt::Key_End);
    press(Qt::Key_Delete); // at the end of the text: nothing to delete, and no entry goes
    EXPECT_EQ(shape(), "A C D");
}

// Shift+F10 and the Menu key open the tree's context menu at the focused entry.
TEST_F(WindowKeys, KeyboardOpensTheTreeContextMenu) {
    auto* menu = named<QMenu>("pmTree");
    for (const auto& [key, modifiers] :
         {std::pair{Qt::Key_F10, Qt::ShiftModifier}, std::pair{Qt::Key_Menu, Qt::NoModifier}}) {
        select(2);
        press(key, modifiers);
        ASSERT_TRUE(QTest::qWaitFor([&] { return menu->isVisible(); }, 2000)) << key;
        EXPECT_TRUE(
            tree->viewport()->rect().contains(tree->viewport()->mapFromGlobal(menu->geometry().topLeft())));
        menu->hide();
    }
}

// Every entry of the tree's context menu and of "Hilfe" has a letter of its own; the labels of
// the two entry fields take the focus with Alt and theirs, which no menu of the bar uses.
TEST_F(WindowKeys, MenusAndFieldLabelsHaveAcceleratorLetters) {
    auto distinctLetters = [&](QMenu* menu) {
        QStringList missing;
        QSet<QChar> letters;
        for (QAction* a : menu->actions()) {
            if (a->isSeparator() || a->menu()) continue;
            const QChar letter = mnemonic(a->text());
            if (letter.isNull() || letters.contains(letter)) missing << a->text();
            letters.insert(letter);
        }
        return missing;
    };
    EXPECT_EQ(distinctLetters(named<QMenu>("pmTree")), QStringList());
    QMenu* help = form->menuBar()->actions().back()->menu();
    EXPECT_EQ(distinctLetters(help), QStringList());

    QSet<QChar> barLetters;
    for (QAction* a : form->menuBar()->actions())
        barLetters.insert(mnemonic(a->text()));
    select(0);
    for (const char* field : {"leText", "leFile"}) {
        auto* edit = named<QLineEdit>(field);
        QLabel* caption = nullptr;
        for (QLabel* label : edit->parentWidget()->findChildren<QLabel*>())
            if (label->buddy() == edit) caption = label;
        ASSERT_NE(caption, nullptr) << field;
        const QChar letter = mnemonic(caption->text());
        ASSERT_FALSE(letter.isNull()) << caption->text().toStdString();
        EXPECT_FALSE(barLetters.contains(letter)) << caption->text().toStdString();
        tree->setFocus();
        QTest::keyClick(form.get(), Qt::Key(letter.toUpper().unicode()), Qt::AltModifier);
        EXPECT_EQ(QApplication::focusWidget(), edit) << field;
    }
}

// The round buttons are reached with Tab and pressed with Space or Return.
TEST_F(WindowKeys, TheRoundButtonsAreInTheTabOrder) {
    select(1);
    auto* fileField = named<QLineEdit>("leFile");
    fileField->setFocus(Qt::TabFocusReason);
    QStringList order;
    for (int i = 0; i < 8; ++i) {
        press(Qt::Key_Tab);
        order << focusName();
    }
    // After the arrow pad's buttons.
    EXPECT_TRUE(order.join(u' ').contains(QStringLiteral("iNodeRight lNodeAdd pNodeAddChild lNodeDelete")))
        << order.join(u' ').toStdString();

    int asked = 0;
    form->sitePage()->runNewEntryDialog = [&](NewEntryDialog&) {
        ++asked;
        return false;
    };
    named("lNodeAdd")->setFocus(Qt::TabFocusReason);
    press(Qt::Key_Space);
    named("pNodeAddChild")->setFocus(Qt::TabFocusReason);
    press(Qt::Key_Return);
    EXPECT_EQ(asked, 2);
    named("lNodeDelete")->setFocus(Qt::TabFocusReason);
    press(Qt::Key_Space);
    EXPECT_EQ(shape(), "A C D");
}

// An empty tree that has the focus shows that it has it.
TEST(WindowFocus, AnEmptyTreeWithTheFocusShowsAFocusMark) {
    AppFixture data("");
    auto form = data.makeForm();
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    QTreeView* tree = form->sitePage()->siteView();
    ASSERT_EQ(tree->model()->rowCount(), 0);
    form->findChild<QLineEdit*>(QStringLiteral("leText"))->setFocus();
    const QImage without = tree->viewport()->grab().toImage();
    tree->setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(tree->hasFocus());
    const QImage with = tree->viewport()->grab().toImage();
    EXPECT_NE(with, without);
}

// The Schrift tab is walked with Tab column by column, top to bottom, as it shows.
TEST_F(WindowKeys, SchriftTabOrderFollowsTheScreen) {
    QWidget* panel = form->stylePages()->panel(quilso::MenuMain, StylePages::FontTab);
    for (QWidget* w = panel; w && w->parentWidget(); w = w->parentWidget())
        if (auto* tabs = qobject_cast<QTabWidget*>(w->parentWidget()->parentWidget()))
            tabs->setCurrentWidget(w);
    panel->findChild<QWidget*>(QStringLiteral("cbFontFamily"))->setFocus(Qt::TabFocusReason);
    QStringList groups;
    for (int i = 0; i < 60 && panel->isAncestorOf(QApplication::focusWidget()); ++i) {
        QString group;
        for (QWidget* w = QApplication::focusWidget(); w && w != panel; w = w->parentWidget())
            if (qobject_cast<QGroupBox*>(w)) group = w->objectName();
        if (groups.isEmpty() || groups.back() != group) groups << group;
        press(Qt::Key_Tab);
    }
    EXPECT_EQ(groups.join(u' ').toStdString(),
              "gbFontFamily gbFontSize gbFontColor gbFontColorSelected gbFontColorHover gbFontStyle "
              "gbFontWeight gbFontVariant");
}

// Ctrl+Tab and Ctrl+Shift+Tab switch the window's tabs from any control, also from inside a
// style page with tabs of its own.
TEST_F(WindowKeys, CtrlTabSwitchesTabsFromAnyControl) {
    auto* pages = named<QTabWidget>("PageControl1");
    select(0);
    named("leText")->setFocus();
    press(Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(pages->currentIndex(), 1);
    QWidget* panel = form->stylePages()->panel(quilso::MenuMain, StylePages::FontTab);
    panel->findChild<QWidget*>(QStringLiteral("eFontSize"))->setFocus();
    ASSERT_TRUE(panel->isAncestorOf(QApplication::focusWidget()));
    press(Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(pages->currentIndex(), 2);
    named("cbTextAlign")->setFocus();
    press(Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(pages->currentIndex(), 1);
}

// The entry fields show nothing of an entry they do not edit: after "Neu" and while several
// entries are selected.
TEST_F(WindowKeys, DisabledEntryFieldsAreEmpty) {
    auto* text = named<QLineEdit>("leText");
    auto* file = named<QLineEdit>("leFile");
    select(1);
    EXPECT_EQ(text->text(), QStringLiteral("B"));
    form->sitePage()->selectNodes({top(1), top(2)}, top(2));
    EXPECT_FALSE(text->isEnabled());
    EXPECT_EQ(text->text(), QString());
    EXPECT_EQ(file->text(), QString());
    EXPECT_FALSE(named("lText")->isVisible()); // no "Bitte Menütext eingeben" for them
    EXPECT_EQ(shape(), "A B C D");
    select(3);
    EXPECT_EQ(file->text(), QStringLiteral("D.htm"));
    QTest::keyClick(form.get(), Qt::Key_N, Qt::ControlModifier);
    EXPECT_FALSE(file->isEnabled());
    EXPECT_EQ(text->text(), QString());
    EXPECT_EQ(file->text(), QString());
}

// "+»" adds below the focused entry; with nothing selected there is no such button to show.
TEST_F(WindowKeys, AddChildButtonShowsOnlyWithASelection) {
    form->sitePage()->selectNodes({}, nullptr);
    EXPECT_FALSE(named("pNodeAddChild")->isVisible());
    select(0);
    EXPECT_TRUE(named("pNodeAddChild")->isVisible());
}

// Undo names the field a step changed.
TEST_F(WindowKeys, UndoStepsNameTheirField) {
    auto undoText = [&] { return named<QAction>("aUndo")->text(); };
    auto bringToFront = [](QWidget* panel) {
        for (QWidget* w = panel; w && w->parentWidget(); w = w->parentWidget())
            if (auto* tabs = qobject_cast<QTabWidget*>(w->parentWidget()->parentWidget()))
                tabs->setCurrentWidget(w);
    };
    QWidget* font = form->stylePages()->panel(quilso::MenuMain, StylePages::FontTab);
    bringToFront(font);
    auto* size = font->findChild<QLineEdit*>(QStringLiteral("eFontSize"));
    size->setFocus(Qt::TabFocusReason);
    size->selectAll();
    QTest::keyClicks(size, "17");
    press(Qt::Key_Tab);
    EXPECT_EQ(undoText(), QStringLiteral("&Rückgängig: Schriftgröße"));
    auto* sizeUnit = font->findChild<QComboBox*>(QStringLiteral("cbFontSize"));
    sizeUnit->setCurrentIndex(sizeUnit->count() - 1);
    emit sizeUnit->activated(sizeUnit->count() - 1);
    EXPECT_EQ(undoText(), QStringLiteral("&Rückgängig: Schriftgröße"));

    QWidget* text = form->stylePages()->panel(quilso::MenuMain, StylePages::TextTab);
    bringToFront(text);
    auto* align = text->findChild<QComboBox*>(QStringLiteral("cbTextAlign"));
    const int index = align->currentIndex() == 2 ? 1 : 2;
    align->setCurrentIndex(index);
    emit align->activated(index);
    EXPECT_EQ(undoText(), QStringLiteral("&Rückgängig: Textausrichtung"));
}

// "Veröffentlichen" with unsaved changes asks first, as "Neu" and "Öffnen" do: "Nein" publishes
// the project as it was saved, "Abbrechen" nothing.
TEST_F(WindowKeys, PublishAsksBeforeSaving) {
    const QByteArray page = "<body><!-- quilso:m --><!-- /quilso:m --></body>";
    writeBytes(data.path(QStringLiteral("A.htm")), page);
    FileDialogs::queueFileName(data.path(QStringLiteral("site.js")));
    ASSERT_TRUE(form->document()->saveAs());
    const QByteArray saved = fileBytes(data.path(QStringLiteral("site.js")));
    MessageBoxes::takeShown();
    auto* publish = named<QAction>("miPublish");

    form->document()->insertEntry(top(0)->parent(), -1, {"Neu", "neu.htm"});
    MessageBoxes::queueAnswer(MessageBoxes::Cancel);
    publish->trigger();
    EXPECT_EQ(MessageBoxes::takeShown(), QStringList{QStringLiteral("question:Projekt vorher speichern?")});
    EXPECT_EQ(fileBytes(data.path(QStringLiteral("A.htm"))), page);

    MessageBoxes::queueAnswer(MessageBoxes::No);
    publish->trigger();
    EXPECT_EQ(MessageBoxes::takeShown(), QStringList{QStringLiteral("question:Projekt vorher speichern?")});
    EXPECT_EQ(fileBytes(data.path(QStringLiteral("site.js"))), saved);
    EXPECT_TRUE(form->document()->isModified());
    QByteArray written = fileBytes(data.path(QStringLiteral("A.htm")));
    EXPECT_TRUE(written.contains(">D</a>"));
    EXPECT_FALSE(written.contains("Neu"));
    delete form->findChild<PublishDialog*>();

    MessageBoxes::queueAnswer(MessageBoxes::Yes);
    publish->trigger();
    EXPECT_FALSE(form->document()->isModified());
    written = fileBytes(data.path(QStringLiteral("A.htm")));
    EXPECT_TRUE(written.contains("<a href=\"neu.htm\">Neu</a>"));
    delete form->findChild<PublishDialog*>();

    // Nothing unsaved: nothing to ask.
    MessageBoxes::takeShown();
    publish->trigger();
    EXPECT_EQ(MessageBoxes::takeShown(), QStringList());
    EXPECT_NE(form->findChild<PublishDialog*>(), nullptr);
}
