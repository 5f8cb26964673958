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
