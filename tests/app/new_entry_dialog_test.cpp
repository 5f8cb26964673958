#include "app_test_support.h"
#include "new_entry_dialog.h"
#include "site_tree_model.h"
#include "ui_seams.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

using quilso::SiteNode;

namespace {
class GridRules : public ::testing::Test {
protected:
    NewEntryDialog dialog;
    SiteGrid* grid = dialog.grid();
    QPushButton* ok = dialog.findChild<QPushButton*>(QStringLiteral("OKBtn"));

    void SetUp() override {
        FileDialogs::setTestMode(true);
        dialog.show();
        dialog.findChild<QRadioButton*>(QStringLiteral("rbSome"))->setChecked(true);
    }
    // Rows as "text|file" from row 1 down to the last filled one.
    QString rows() {
        QStringList out;
        for (int r = 1; r <= SiteGrid::LastRow; ++r)
            out << grid->cell(0, r) + u'|' + grid->cell(1, r);
        while (!out.isEmpty() && out.back() == QStringLiteral("|"))
            out.removeLast();
        return out.join(u' ');
    }
    void fill(int row, const QString& text, const QString& file) {
        grid->setCell(0, row, text);
        grid->setCell(1, row, file);
    }
    void clickCell(int col, int row) {
        const QModelIndex index = grid->model()->index(row - 1, col);
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(index).center());
    }
    void press(const char* button) {
        QTest::mouseClick(dialog.findChild<QPushButton*>(QString::fromLatin1(button)), Qt::LeftButton);
    }
};
} // namespace

TEST(DlgTreeItem, OpensInSingleModeAndNeedsBothFields) {
    NewEntryDialog dialog;
    dialog.show();
    auto* ok = dialog.findChild<QPushButton*>(QStringLiteral("OKBtn"));
    auto* leText = dialog.findChild<QLineEdit*>(QStringLiteral("leText"));
    auto* leFile = dialog.findChild<QLineEdit*>(QStringLiteral("leFile"));
    EXPECT_TRUE(dialog.isSingleMode());
    EXPECT_FALSE(dialog.grid()->isEnabled());
    EXPECT_FALSE(ok->isEnabled());
    leText->setText(QStringLiteral("Start"));
    leFile->setText(QStringLiteral("   "));
    EXPECT_FALSE(ok->isEnabled());
    leFile->setText(QStringLiteral("a.htm"));
    EXPECT_TRUE(ok->isEnabled());
    // Picking a file replaces both fields with the file's name and the derived menu text.
    FileDialogs::setTestMode(true);
    FileDialogs::queueFileName(QStringLiteral("/site/index.htm"));
    QTest::mouseClick(dialog.findChild<QWidget*>(QStringLiteral("sbAddFile")), Qt::LeftButton);
    EXPECT_EQ(leFile->text(), QStringLiteral("index.htm"));
    EXPECT_EQ(leText->text(), QStringLiteral("Index"));
    EXPECT_EQ(FileDialogs::takeRequests().at(0).title, QStringLiteral("Datei auswählen"));
    // Later shows keep mode and contents.
    dialog.findChild<QRadioButton*>(QStringLiteral("rbSome"))->setChecked(true);
    dialog.hide();
    dialog.show();
    EXPECT_FALSE(dialog.isSingleMode());
    EXPECT_EQ(leText->text(), QStringLiteral("Index"));
}

TEST(DlgTreeItem, MenuTextFromFileName) {
    EXPECT_EQ(NewEntryDialog::menuTextFromFileName(QStringLiteral("produkte.htm")),
              QStringLiteral("Produkte"));
    EXPECT_EQ(NewEntryDialog::menuTextFromFileName(QStringLiteral("archiv.tar.gz")),
              QStringLiteral("Archiv.tar"));
    EXPECT_EQ(NewEntryDialog::menuTextFromFileName(QStringLiteral("über.htm")), QStringLiteral("über"));
    EXPECT_EQ(NewEntryDialog::menuTextFromFileName(QStringLiteral(".htm")), QString());
    EXPECT_EQ(NewEntryDialog::menuTextFromFileName(QStringLiteral("README")), QStringLiteral("README"));
}

TEST_F(GridRules, CursorOnlyReachesRowsBelowCompleteOnes) {
    fill(1, QStringLiteral("A"), QStringLiteral("a.htm"));
    fill(2, QStringLiteral("B"), QStringLiteral("b.htm"));
    grid->moveCursorTo(0, 3);
    clickCell(0, 5);
    EXPECT_EQ(grid->currentGridRow(), 3);
    clickCell(1, 1);
    EXPECT_EQ(grid->currentGridRow(), 1);
    EXPECT_TRUE(ok->isEnabled());
}

TEST_F(GridRules, AHalfFilledRowCannotBeLeft) {
    fill(1, QStringLiteral("A"), QStringLiteral("a.htm"));
    grid->moveCursorTo(0, 2);
    grid->setCell(0, 2, QStringLiteral("B"));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {},
                      grid->visualRect(grid->model()->index(1, 0)).center());
    EXPECT_FALSE(ok->isEnabled());
    clickCell(0, 1);
    EXPECT_EQ(grid->currentGridRow(), 2);
    // The keyboard is held back the same way (Tab from the last cell, arrow up).
    grid->moveCursorTo(1, 2);
    grid->setFocus();
    QTest::keyClick(grid, Qt::Key_Up);
    EXPECT_EQ(grid->currentGridRow(), 2);
    grid->setCell(1, 2, QStringLiteral("b.htm"));
    clickCell(0, 1);
    EXPECT_EQ(grid->currentGridRow(), 1);
}

TEST_F(GridRules, LeavingABlankRowClosesTheGap) {
    fill(1, QStringLiteral("A"), QStringLiteral("a.htm"));
    fill(3, QStringLiteral("C"), QStringLiteral("c.htm"));
    fill(4, QStringLiteral("D"), QStringLiteral("d.htm"));
    grid->moveCursorTo(0, 2);
    clickCell(0, 1);
    EXPECT_EQ(rows(), QStringLiteral("A|a.htm C|c.htm D|d.htm"));
    EXPECT_EQ(grid->currentGridRow(), 2); // stays, now on C
}

TEST_F(GridRules, RowButtonsInsertDeleteAndSwap) {
    for (int r = 1; r <= 4; ++r)
        fill(r, QString(QChar(u'A' + r - 1)), QStringLiteral("f%1").arg(r));
    grid->moveCursorTo(1, 3);
    press("bAddRow");
    EXPECT_EQ(rows(), QStringLiteral("A|f1 B|f2 neue Zeile| C|f3 D|f4"));
    EXPECT_EQ(grid->currentGridRow(), 3);
    EXPECT_EQ(grid->currentGridCol(), 0);
    press("bDeleteRow");
    EXPECT_EQ(rows(), QStringLiteral("A|f1 B|f2 C|f3 D|f4"));
    press("bRowUp");
    EXPECT_EQ(rows(), QStringLiteral("A|f1 C|f3 B|f2 D|f4"));
    EXPECT_EQ(grid->currentGridRow(), 2);
    press("bRowDown");
    EXPECT_EQ(rows(), QStringLiteral("A|f1 B|f2 C|f3 D|f4"));
    EXPECT_EQ(grid->currentGridRow(), 3);
    grid->moveCursorTo(0, 4);
    press("bRowDown"); // row 5 is not complete
    EXPECT_EQ(grid->currentGridRow(), 4);
    for (int r = 5; r <= 10; ++r)
        fill(r, QStringLiteral("x"), QStringLiteral("y"));
    press("bAddRow"); // no blank last row: nothing
    EXPECT_EQ(grid->cell(0, 4), QStringLiteral("D"));
    // The picker does nothing either when all rows are filled.
    FileDialogs::queueFileName(QStringLiteral("/x/neu.htm"));
    QTest::mouseClick(dialog.findChild<QWidget*>(QStringLiteral("sbAddFiles")), Qt::LeftButton);
    EXPECT_EQ(FileDialogs::takeRequests().size(), 0);
    press("bDeleteRow"); // row 4 goes, row 10 empties
    EXPECT_EQ(grid->cell(0, 4), QStringLiteral("x"));
    EXPECT_EQ(grid->cell(0, 10), QString());
    press("bDeleteAll");
    EXPECT_EQ(rows(), QString());
    EXPECT_EQ(grid->currentGridRow(), 1);
}

TEST_F(GridRules, ThePickerInsertsAboveTheCurrentRowAndMovesOn) {
    fill(1, QStringLiteral("A"), QStringLiteral("a.htm"));
    grid->moveCursorTo(1, 1);
    FileDialogs::queueFileName(QStringLiteral("/site/produkte.htm"));
    QTest::mouseClick(dialog.findChild<QWidget*>(QStringLiteral("sbAddFiles")), Qt::LeftButton);
    EXPECT_EQ(rows(), QStringLiteral("Produkte|produkte.htm A|a.htm"));
    EXPECT_EQ(grid->currentGridRow(), 2);
    FileDialogs::queueFileName(QString()); // cancelled
    QTest::mouseClick(dialog.findChild<QWidget*>(QStringLiteral("sbAddFiles")), Qt::LeftButton);
    EXPECT_EQ(rows(), QStringLiteral("Produkte|produkte.htm A|a.htm"));
}

TEST(DlgTreeItem, TypingThroughTheGridWithTabFillsRowsInOrder) {
    NewEntryDialog dialog;
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    auto* rbSome = dialog.findChild<QRadioButton*>(QStringLiteral("rbSome"));
    QTest::mouseClick(rbSome, Qt::LeftButton, {}, QPoint(8, rbSome->height() / 2));
    ASSERT_TRUE(rbSome->isChecked());
    auto typeIntoFocus = [](const char* text) {
        QWidget* focus = QApplication::focusWidget();
        ASSERT_NE(focus, nullptr);
        QTest::keyClicks(focus, text);
    };
    auto tab = [] { QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab); };
    typeIntoFocus("Kontakt");
    tab();
    typeIntoFocus("kontakt.htm");
    tab();
    typeIntoFocus("Impressum");
    SiteGrid* grid = dialog.grid();
    EXPECT_EQ(grid->cell(0, 1), QStringLiteral("Kontakt"));
    EXPECT_EQ(grid->cell(1, 1), QStringLiteral("kontakt.htm"));
    EXPECT_EQ(grid->cell(0, 2), QStringLiteral("Impressum"));
    EXPECT_EQ(grid->currentGridRow(), 2);
    EXPECT_FALSE(dialog.findChild<QPushButton*>(QStringLiteral("OKBtn"))->isEnabled());
    tab(); // a half-filled row keeps the cursor
    typeIntoFocus("impressum.htm");
    EXPECT_EQ(grid->cell(1, 2), QStringLiteral("impressum.htm"));
    EXPECT_TRUE(dialog.findChild<QPushButton*>(QStringLiteral("OKBtn"))->isEnabled());
}

TEST(DlgTreeItem, APickedFileInsideTheBaseFolderKeepsItsRelativePath) {
    FileDialogs::setTestMode(true);
    NewEntryDialog dialog;
    dialog.setBaseFolder(QStringLiteral("/site/"));
    dialog.show();
    auto* leFile = dialog.findChild<QLineEdit*>(QStringLiteral("leFile"));
    auto* leText = dialog.findChild<QLineEdit*>(QStringLiteral("leText"));
    auto pick = [&](const QString& chosen) {
        FileDialogs::queueFileName(chosen);
        dialog.pickFile();
        return leFile->text();
    };
    EXPECT_EQ(pick(QStringLiteral("/site/produkte/a.htm")), QStringLiteral("produkte/a.htm"));
    EXPECT_EQ(leText->text(), QStringLiteral("A"));
    EXPECT_EQ(pick(QStringLiteral("/site/index.htm")), QStringLiteral("index.htm"));
    EXPECT_EQ(pick(QStringLiteral("/site/neu & alt/50% #1?.htm")),
              QStringLiteral("neu%20&%20alt/50%25%20%231%3F.htm"));
    EXPECT_EQ(pick(QStringLiteral("/anderswo/b.htm")), QStringLiteral("b.htm"));
    EXPECT_EQ(pick(QStringLiteral("/site2/c.htm")), QStringLiteral("c.htm")); // a name prefix is no folder

    // Without a project folder the folder last picked from serves.
    dialog.setBaseFolder({});
    EXPECT_EQ(pick(QStringLiteral("/neu/d.htm")), QStringLiteral("d.htm"));
    EXPECT_EQ(pick(QStringLiteral("/neu/unter/e.htm")), QStringLiteral("unter/e.htm"));

    dialog.setBaseFolder(QStringLiteral("/site"));
    dialog.findChild<QRadioButton*>(QStringLiteral("rbSome"))->setChecked(true);
    dialog.grid()->moveCursorTo(0, 1);
    FileDialogs::queueFileName(QStringLiteral("/site/a/b.htm"));
    dialog.insertRowFromFile();
    EXPECT_EQ(dialog.grid()->cell(1, 1), QStringLiteral("a/b.htm"));
    EXPECT_EQ(dialog.grid()->cell(0, 1), QStringLiteral("B"));
}

namespace {
// The new-entry dialog as the "+" button opens it in the window; `drive` types into it once it
// is shown and returns whether it was accepted.
class EntryDialogFromWindow : public ::testing::Test {
protected:
    AppFixture data{"AB"};
    std::unique_ptr<MainWindow> form = data.makeForm();

    void SetUp() override {
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
        SiteNode* first = form->document()->treeModel()->nodeOf({})->child(0);
        form->sitePage()->selectNodes({first}, first);
    }
    // Clicks "+" and, once the dialog runs, lets `drive` work it; a dialog still open after that
    // is cancelled.
    void addThrough(const std::function<void(NewEntryDialog&)>& drive) {
        NewEntryDialog* dialog = form->sitePage()->newEntryDialog();
        QTimer::singleShot(0, dialog, [dialog, &drive] {
            // The user types once the dialog has the keyboard.
            if (QTest::qWaitFor([dialog] { return dialog->isAncestorOf(QApplication::focusWidget()); }, 2000))
                drive(*dialog);
            if (dialog->isVisible()) dialog->reject();
        });
        QTest::mouseClick(form->findChild<QWidget*>(QStringLiteral("lNodeAdd")), Qt::LeftButton);
    }
    static void type(const char* text) { QTest::keyClicks(QApplication::focusWidget(), text); }
    static void key(Qt::Key k) { QTest::keyClick(QApplication::focusWidget(), k); }
};
} // namespace

// Each use starts in the menu text field with its text selected, so the user types over what
// the last use left, and Tab then Return finish the entry.
TEST_F(EntryDialogFromWindow, OpensInTheMenuTextFieldWithItsTextSelected) {
    for (const auto& [text, file] : {std::pair{"Eins", "1.htm"}, std::pair{"Zwei", "2.htm"}}) {
        addThrough([&](NewEntryDialog& dialog) {
            auto* leText = dialog.findChild<QLineEdit*>(QStringLiteral("leText"));
            ASSERT_NE(QApplication::focusWidget(), nullptr);
            EXPECT_EQ(QApplication::focusWidget()->objectName().toStdString(), "leText");
            EXPECT_EQ(leText->selectedText(), leText->text());
            type(text);
            key(Qt::Key_Tab);
            type(file);
            key(Qt::Key_Return);
        });
    }
    ASSERT_EQ(TreeShape(form->document()->project().tree), "A Eins Zwei B");
    const SiteNode* second = form->document()->project().tree.root()->child(2);
    EXPECT_EQ(second->entry.file, "2.htm");
}

// In the grid Return in a cell presses OK, as it does in the single fields.
TEST_F(EntryDialogFromWindow, ReturnInAGridCellPressesOk) {
    addThrough([&](NewEntryDialog& dialog) {
        auto* rbSome = dialog.findChild<QRadioButton*>(QStringLiteral("rbSome"));
        QTest::mouseClick(rbSome, Qt::LeftButton, {}, QPoint(8, rbSome->height() / 2));
        type("Drei");
        key(Qt::Key_Tab);
        type("3.htm");
        key(Qt::Key_Return);
    });
    EXPECT_EQ(TreeShape(form->document()->project().tree), "A Drei B");
}

// What a screen reader reads for the dialog's fields, buttons and grid (and the grid's editor).
TEST(DlgTreeItem, EveryControlHasAnAccessibleName) {
    NewEntryDialog dialog;
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    auto nameOf = [](QWidget* widget) {
        QAccessibleInterface* face = QAccessible::queryAccessibleInterface(widget);
        return face ? face->text(QAccessible::Name).trimmed() : QString();
    };
    EXPECT_EQ(nameOf(dialog.findChild<QWidget*>(QStringLiteral("leText"))), QStringLiteral("Menütext"));
    EXPECT_EQ(nameOf(dialog.findChild<QWidget*>(QStringLiteral("leFile"))), QStringLiteral("Dateiname"));
    EXPECT_EQ(nameOf(dialog.grid()), QStringLiteral("Einträge"));
    dialog.findChild<QRadioButton*>(QStringLiteral("rbSome"))->setChecked(true);
    QStringList unnamed;
    for (QWidget* widget : dialog.findChildren<QWidget*>()) {
        const bool control = qobject_cast<QAbstractButton*>(widget) || qobject_cast<QLineEdit*>(widget) ||
                             qobject_cast<QAbstractItemView*>(widget);
        if (control && widget->isVisibleTo(&dialog) && !widget->inherits("QHeaderView") &&
            nameOf(widget).isEmpty())
            unnamed << widget->objectName() + u'/' + widget->metaObject()->className();
    }
    EXPECT_TRUE(unnamed.isEmpty()) << unnamed.join(u' ').toStdString();
    auto* editor = dialog.findChild<QWidget*>(QStringLiteral("SGValuesEditor"));
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(nameOf(editor), QStringLiteral("Menütext"));
}
