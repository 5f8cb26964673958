// What is typed into the style panels' fields reaches the project exactly once, as one step of
// its own, whichever command comes next: the window is driven by mouse and keys on the shipped
// template, as a new user meets it.
#include "app_test_support.h"
#include "preview_window.h"
#include "style_panel.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <QUndoStack>

#include <gtest/gtest.h>

#include <functional>

using quilso::MenuKind;
using quilso::MenuMain;
using quilso::MenuStyle;

namespace {

class FieldEntry : public ::testing::Test {
protected:
    AppFixture data;
    std::unique_ptr<MainWindow> form;
    ProjectDocument* document = nullptr;

    void SetUp() override {
        // The shipped template as the new project.
        QFile::remove(data.path(QStringLiteral("default.js")));
        ASSERT_TRUE(QFile::copy(QStringLiteral(QUILSO_SOURCE_DIR "/data/default.js"),
                                data.path(QStringLiteral("default.js"))));
        restart();
    }
    void TearDown() override {
        MessageBoxes::takeShown();
        FileDialogs::takeRequests();
        FileDialogs::setTestMode(true);
    }
    void restart() {
        form.reset();
        form = data.makeForm();
        document = form->document();
        form->show();
        form->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
        MessageBoxes::takeShown();
        FileDialogs::takeRequests();
    }

    // Clicks the tabs that bring `kind`'s panel of `tab` to the front.
    StylePanel* showPanel(MenuKind kind, int tab) {
        StylePanel* panel = form->stylePages()->panel(kind, tab);
        std::vector<std::pair<QTabWidget*, QWidget*>> chain;
        for (QWidget* w = panel; w->parentWidget(); w = w->parentWidget())
            if (auto* tabs = qobject_cast<QTabWidget*>(w->parentWidget()->parentWidget()))
                chain.insert(chain.begin(), {tabs, w});
        for (auto [tabs, page] : chain) {
            QTabBar* bar = tabs->tabBar();
            QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(tabs->indexOf(page)).center());
            EXPECT_EQ(tabs->currentWidget(), page);
        }
        return panel;
    }
    // Clicks the tab of the options page and ticks its one box.
    QCheckBox* tickTagOption() {
        auto* pages = control<QTabWidget>(form.get(), "PageControl1");
        QTabBar* bar = pages->tabBar();
        QWidget* options = control(form.get(), "tsProperties");
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(pages->indexOf(options)).center());
        auto* isTag = control<QCheckBox>(options, "cbIsTag");
        QTest::mouseClick(isTag, Qt::LeftButton, {}, QPoint(5, isTag->height() / 2));
        EXPECT_TRUE(isTag->isChecked());
        return isTag;
    }
    template <typename T = QWidget> T* control(QWidget* parent, const char* path) {
        QWidget* at = parent;
        for (const QString& name : QString::fromLatin1(path).split(u'/')) {
            at = at ? at->findChild<QWidget*>(name) : nullptr;
        }
        T* widget = qobject_cast<T*>(at);
        if (!widget) ADD_FAILURE() << "no control " << path;
        return widget;
    }
    // Clicks into the field, selects its text and types over it.
    void typeInto(QLineEdit* edit, const char* text) {
        QTest::mouseClick(edit, Qt::LeftButton);
        EXPECT_TRUE(edit->hasFocus()) << edit->objectName().toStdString();
        edit->selectAll();
        QTest::keyClicks(edit, text);
    }
    // A key pressed wherever the focus is.
    void press(Qt::Key key, Qt::KeyboardModifiers modifiers = {}) {
        QWidget* focus = QApplication::focusWidget();
        QTest::keyClick(focus ? focus : form.get(), key, modifiers);
    }
    // A list item chosen as a pick from the open list does.
    void choose(QComboBox* list, int index) {
        list->setFocus(Qt::MouseFocusReason);
        list->setCurrentIndex(index);
        emit list->activated(index);
    }
    static QByteArray fileBytes(const QString& path) {
        QFile file(path);
        file.open(QIODevice::ReadOnly);
        return file.readAll();
    }
    QAction* action(const char* name) { return form->findChild<QAction*>(QString::fromLatin1(name)); }
    QString undoText() { return action("aUndo")->text(); }
    QString redoText() { return action("aRedo")->text(); }
    int steps() { return document->undoStack()->count(); }
    const MenuStyle& mainStyle() { return document->style(MenuMain); }
};

} // namespace

TEST_F(FieldEntry, EveryCommandFirstStoresTheColourBeingTyped) {
    struct Command {
        const char* name;
        std::function<void()> run;
        // What shows that the command ran after storing the colour.
        std::function<void()> check;
        // Gives the command something to do (undo and redo are not offered otherwise).
        std::function<void()> prepare = [] {};
    };
    const QString saved = data.path(QStringLiteral("saved.js"));
    auto savedFileHoldsIt = [&] { EXPECT_TRUE(fileBytes(saved).contains("336699")); };
    auto asked = [&] {
        EXPECT_EQ(MessageBoxes::takeShown(),
                  QStringList{QStringLiteral("question:Projekt vorher speichern?")});
    };
    const std::vector<Command> commands = {
        {"Speichern", [&] { press(Qt::Key_S, Qt::ControlModifier); }, savedFileHoldsIt},
        {"Speichern unter", [&] { press(Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier); },
         savedFileHoldsIt},
        {"Veröffentlichen", [&] { action("miPublish")->trigger(); }, savedFileHoldsIt},
        {"Rückgängig", [&] { press(Qt::Key_Z, Qt::ControlModifier); },
         [&] {
             // Stored as a step of its own, which the undo then took back.
             EXPECT_EQ(redoText(), QStringLiteral("&Wiederholen: Schriftfarbe"));
             EXPECT_NE(mainStyle().color, "336699");
             EXPECT_TRUE(document->project().params.options.isTag);
             press(Qt::Key_Y, Qt::ControlModifier);
         },
         [&] { tickTagOption(); }},
        {"Wiederholen", [&] { press(Qt::Key_Y, Qt::ControlModifier); },
         [&] { EXPECT_FALSE(document->project().params.options.isTag); },
         [&] {
             tickTagOption();
             press(Qt::Key_Z, Qt::ControlModifier);
         }},
        // Without a site folder the preview says so instead of showing a page.
        {"Vorschau", [&] { press(Qt::Key_F5); },
         [&] { EXPECT_TRUE(form->findChild<PreviewWindow*>() || !MessageBoxes::takeShown().isEmpty()); }},
        {"Links prüfen", [&] { press(Qt::Key_F7); }, [&] { EXPECT_EQ(MessageBoxes::takeShown().size(), 1); }},
        {"Neu", [&] { press(Qt::Key_N, Qt::ControlModifier); }, asked},
        {"Öffnen", [&] { press(Qt::Key_O, Qt::ControlModifier); }, asked},
        {"Schließen", [&] { form->close(); }, asked},
    };
    for (const Command& command : commands) {
        SCOPED_TRACE(command.name);
        restart();
        command.prepare();
        StylePanel* panel = showPanel(MenuMain, StylePages::FontTab);
        FileDialogs::queueFileName(saved);
        typeInto(control<QLineEdit>(panel, "frameFontColorChoice/eHexColor"), "336699");
        command.run();
        command.check();
        EXPECT_EQ(mainStyle().color, "336699");
        EXPECT_EQ(undoText(), QStringLiteral("&Rückgängig: Schriftfarbe"));
    }
}

TEST_F(FieldEntry, ARefusedEntryStopsTheCommandWithTheFieldsOwnRefusal) {
    const QString saved = data.path(QStringLiteral("saved.js"));
    const std::vector<std::pair<const char*, std::function<void()>>> commands = {
        {"Speichern", [&] { press(Qt::Key_S, Qt::ControlModifier); }},
        {"Rückgängig", [&] { press(Qt::Key_Z, Qt::ControlModifier); }},
        {"Vorschau", [&] { press(Qt::Key_F5); }},
        {"Links prüfen", [&] { press(Qt::Key_F7); }},
        {"Schließen", [&] { form->close(); }},
    };
    for (const auto& [name, run] : commands) {
        SCOPED_TRACE(name);
        restart();
        QCheckBox* isTag = tickTagOption();
        StylePanel* panel = showPanel(MenuMain, StylePages::FontTab);
        auto* hex = control<QLineEdit>(panel, "frameFontColorChoice/eHexColor");
        const QString before = hex->text();
        FileDialogs::queueFileName(saved);
        typeInto(hex, "3366"); // four digits: no colour
        const int beeps = document->editState()->beepCount();
        run();
        EXPECT_EQ(document->editState()->beepCount(), beeps + 1);
        EXPECT_EQ(hex->text(), before);
        EXPECT_TRUE(hex->hasFocus());
        // Nothing ran: no file, no preview, no dialog, the option still ticked, the window open.
        EXPECT_FALSE(QFile::exists(saved));
        EXPECT_EQ(form->findChild<PreviewWindow*>(), nullptr);
        EXPECT_TRUE(MessageBoxes::takeShown().isEmpty());
        EXPECT_TRUE(isTag->isChecked());
        EXPECT_TRUE(form->isVisible());
        // The next attempt goes through.
        if (std::string_view(name) == "Rückgängig") {
            run();
            EXPECT_FALSE(isTag->isChecked());
        }
        FileDialogs::takeRequests();
    }
}

TEST_F(FieldEntry, SaveAsAfterTheColourListTookTheFocusSavesTheColour) {
    StylePanel* panel = showPanel(MenuMain, StylePages::FontTab);
    typeInto(control<QLineEdit>(panel, "frameFontColorChoice/eHexColor"), "336699");
    press(Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), control(panel, "frameFontColorChoice/cobColorSelect"));
    // The real save dialog: a name typed into it and Return.
    const QString saved = data.path(QStringLiteral("named.js"));
    FileDialogs::setTestMode(false);
    QTimer::singleShot(0, [saved] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        ASSERT_NE(name, nullptr);
        name->setText(saved);
        QTest::keyClick(name, Qt::Key_Return);
    });
    press(Qt::Key_S, Qt::ControlModifier);
    FileDialogs::setTestMode(true);
    EXPECT_EQ(document->fileName(), saved);
    EXPECT_TRUE(fileBytes(saved).contains("color:#336699;"));
    EXPECT_FALSE(document->isModified());
    EXPECT_EQ(undoText(), QStringLiteral("&Rückgängig: Schriftfarbe"));
}

TEST_F(FieldEntry, AColourIsAStepOnceItsFieldIsLeftOrItsListEntryPicked) {
    QCheckBox* isTag = tickTagOption();
    ASSERT_EQ(undoText(), QStringLiteral("&Rückgängig: HTML-Tag-Option"));
    const std::string colourBefore = mainStyle().color;

    StylePanel* panel = showPanel(MenuMain, StylePages::FontTab);
    auto* hex = control<QLineEdit>(panel, "frameFontColorChoice/eHexColor");
    typeInto(hex, "FF0000");
    press(Qt::Key_Tab); // on to the colour list, still inside the colour panel
    EXPECT_EQ(mainStyle().color, "FF0000");
    EXPECT_EQ(undoText(), QStringLiteral("&Rückgängig: Schriftfarbe"));
    press(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(mainStyle().color, colourBefore);
    EXPECT_EQ(hex->text().toStdString(), colourBefore);
    EXPECT_TRUE(isTag->isChecked());
    EXPECT_TRUE(document->isModified());
    EXPECT_EQ(redoText(), QStringLiteral("&Wiederholen: Schriftfarbe"));
    press(Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(mainStyle().color, "FF0000");

    // A colour picked from the list (an arrow key in the closed list) is a step at once.
    auto* selectedList = control<QComboBox>(panel, "frameFontColorChoiceSelected/cobColorSelect");
    selectedList->setFocus(Qt::TabFocusReason);
    const std::string selectedBefore = document->style(MenuMain).colorSelected;
    const int count = steps();
    press(Qt::Key_Up);
    EXPECT_EQ(steps(), count + 1);
    EXPECT_NE(document->style(MenuMain).colorSelected, selectedBefore);
    EXPECT_EQ(document->style(MenuMain).colorSelected,
              control<QLineEdit>(panel, "frameFontColorChoiceSelected/eHexColor")->text().toStdString());
    EXPECT_TRUE(selectedList->hasFocus());

    // Ctrl+Z in a field still being typed stores the entry as its own step, then takes it back.
    typeInto(hex, "00FF00");
    press(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(mainStyle().color, "FF0000");
    EXPECT_EQ(hex->text(), QStringLiteral("FF0000"));
    EXPECT_EQ(redoText(), QStringLiteral("&Wiederholen: Schriftfarbe"));
    press(Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(mainStyle().color, "00FF00");
    EXPECT_EQ(hex->text(), QStringLiteral("00FF00"));
}

TEST_F(FieldEntry, CtrlZOutsideAFieldsOwnTypingIsTheProgramsUndo) {
    QTreeView* view = form->sitePage()->siteView();
    // The template's tree is empty: a click into it puts in the sample site, a second click
    // selects its first entry.
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, QPoint(20, 20));
    ASSERT_GT(view->model()->rowCount(), 0);
    const QModelIndex first = view->model()->index(0, 0);
    view->scrollTo(first);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(first).center());
    ASSERT_EQ(form->sitePage()->selectedEntries().size(), 1u);
    auto firstText = [&] {
        return std::string(std::string_view(document->project().tree.root()->child(0)->entry.text));
    };
    const std::string text = firstText();
    auto* menuText = control<QLineEdit>(form.get(), "tsExplorer/leText");
    QTest::mouseClick(menuText, Qt::LeftButton);
    QTest::keyClick(menuText, Qt::Key_End);
    QTest::keyClicks(menuText, "Q");
    ASSERT_EQ(firstText(), text + "Q");
    ASSERT_EQ(undoText(), QStringLiteral("&Rückgängig: Menütext ändern"));
    press(Qt::Key_Tab);
    ASSERT_NE(QApplication::focusWidget(), menuText);
    press(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(firstText(), text);
    EXPECT_EQ(menuText->text().toStdString(), text);
    // Back in the field with nothing typed there since, the key is the program's too.
    QTest::mouseClick(menuText, Qt::LeftButton);
    press(Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(firstText(), text + "Q");
    press(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(firstText(), text);
}

TEST_F(FieldEntry, ADecimalCommaIsStoredAsAPointAndAFilesCommaStillReads) {
    StylePanel* panel = showPanel(MenuMain, StylePages::FontTab);
    auto* size = control<QLineEdit>(panel, "eFontSize");
    ASSERT_EQ(mainStyle().fontSizeUnit, "pt");
    typeInto(size, "1,5");
    press(Qt::Key_Tab);
    EXPECT_EQ(mainStyle().fontSizeValue, "1.5");
    EXPECT_EQ(size->text(), QStringLiteral("1.5"));
    const QString saved = data.path(QStringLiteral("saved.js"));
    FileDialogs::queueFileName(saved);
    press(Qt::Key_S, Qt::ControlModifier);
    QByteArray bytes = fileBytes(saved);
    EXPECT_TRUE(bytes.contains("font-size:1.5pt;"));

    // A file written with a comma reads as it always did; passing through the field keeps it.
    bytes.replace("font-size:1.5pt;", "font-size:20,5pt;");
    const QString comma = data.path(QStringLiteral("comma.js"));
    QFile file(comma);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    file.close();
    FileDialogs::queueFileName(comma);
    press(Qt::Key_O, Qt::ControlModifier);
    ASSERT_EQ(document->fileName(), comma);
    panel = showPanel(MenuMain, StylePages::FontTab);
    EXPECT_EQ(mainStyle().fontSizeValue, "20,5");
    EXPECT_EQ(size->text(), QStringLiteral("20,5"));
    QTest::mouseClick(size, Qt::LeftButton);
    press(Qt::Key_Tab);
    EXPECT_EQ(mainStyle().fontSizeValue, "20,5");
    EXPECT_EQ(steps(), 0);
}

TEST_F(FieldEntry, PassingThroughAFieldWithoutAChangeAddsNoStep) {
    // A number field's exit marks the project even so; that mark stays, without a step.
    StylePanel* font = showPanel(MenuMain, StylePages::FontTab);
    QTest::mouseClick(control(font, "eFontSize"), Qt::LeftButton);
    press(Qt::Key_Tab);
    EXPECT_EQ(steps(), 0);
    EXPECT_TRUE(document->isModified());

    QStringList visited;
    QStringList stepped;
    for (int tab = 0; tab < StylePages::PanelTabCount; ++tab) {
        for (int kind = 0; kind < quilso::MenuKindCount; ++kind) {
            StylePanel* panel = showPanel(MenuKind(kind), tab);
            for (QLineEdit* edit : panel->findChildren<QLineEdit*>()) {
                if (!edit->isVisible() || !edit->isEnabled()) continue;
                const QString name =
                    panel->objectName() + u'/' +
                    (edit->objectName().isEmpty() ? edit->parentWidget()->objectName() : edit->objectName());
                const int before = steps();
                QTest::mouseClick(edit, Qt::LeftButton);
                ASSERT_TRUE(edit->hasFocus()) << name.toStdString();
                press(Qt::Key_Tab);
                visited << name;
                if (steps() != before) stepped << name + u' ' + document->undoStack()->undoText();
            }
        }
    }
    EXPECT_TRUE(stepped.isEmpty()) << stepped.join(QStringLiteral(", ")).toStdString();
    // Every number field in sight, the colour fields and the family lists.
    EXPECT_GE(visited.size(), 29) << visited.join(u' ').toStdString();
    EXPECT_TRUE(visited.contains(QStringLiteral("frameFontUM/cbFontFamily")));
    EXPECT_TRUE(visited.contains(QStringLiteral("frameBorderM/eBorderBreite")));
    EXPECT_TRUE(visited.contains(QStringLiteral("frameBorderM/eHexColor")));
}

TEST_F(FieldEntry, UndoAndRedoOfABorderChangeShowTheSidesItChanged) {
    StylePanel* panel = showPanel(MenuMain, StylePages::BorderTab);
    auto* ring = control<QComboBox>(panel, "cbRing");
    auto* sides = control<QComboBox>(panel, "cbSide");
    auto* width = control<QLineEdit>(panel, "eBorderBreite");
    choose(ring, quilso::BoxPadding);
    choose(sides, 5); // "oben + unten"
    const QString widthBefore = width->text();
    typeInto(width, "7");
    press(Qt::Key_Tab);
    ASSERT_EQ(mainStyle().boxValue[quilso::BoxPadding][quilso::SideTop], "7");
    // Elsewhere on the box before the undo.
    choose(ring, quilso::BoxMargin);
    choose(sides, 0);

    auto expectShown = [&](const QString& value) {
        EXPECT_EQ(ring->currentText(), QStringLiteral("Innenabstand"));
        EXPECT_EQ(sides->currentText(), QStringLiteral("oben + unten"));
        EXPECT_EQ(width->text(), value);
        EXPECT_TRUE(width->isVisible());
    };
    press(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(mainStyle().boxValue[quilso::BoxPadding][quilso::SideTop], widthBefore.toStdString());
    expectShown(widthBefore);
    press(Qt::Key_Y, Qt::ControlModifier);
    expectShown(QStringLiteral("7"));

    // A border colour of two sides: undo shows the border ring with those two sides.
    choose(ring, quilso::BoxBorder);
    choose(sides, 4); // "links + rechts"
    typeInto(control<QLineEdit>(panel, "frameBorderColorChoice/eHexColor"), "FF0000");
    press(Qt::Key_Tab);
    ASSERT_EQ(mainStyle().borderColor[quilso::SideRight], "FF0000");
    choose(ring, quilso::BoxPadding);
    press(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(ring->currentText(), QStringLiteral("Rahmen"));
    EXPECT_EQ(sides->currentText(), QStringLiteral("links + rechts"));
    EXPECT_NE(control<QLineEdit>(panel, "frameBorderColorChoice/eHexColor")->text(),
              QStringLiteral("FF0000"));
}
