#include "app_test_support.h"
#include "large_memory.h"
#include "preview_window.h"
#include "site_tree_model.h"
#include "style_panel.h"
#include "ui_seams.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>
#include <QTreeView>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {
QByteArray fileBytes(const QString& path) {
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

// Adds an entry through the model, as the tree commands do, and marks the edit.
void editTree(MainWindow& form) {
    form.document()->insertEntry(form.document()->treeModel()->nodeOf({}), -1, {"Neu", "neu.htm"});
    form.document()->setModified(true);
}
} // namespace

TEST(FileCommands, StartWithoutArgumentOpensTheTemplateAsANewProject) {
    AppFixture data("XY");
    auto form = data.makeForm({}, false);
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    QTRY_VERIFY_WITH_TIMEOUT(!UiTestAccess::awaitsFirstActivation(*form), 2000);
    EXPECT_EQ(form->caption(), QStringLiteral("quilso: [neues Projekt]"));
    EXPECT_EQ(form->windowTitle(), QStringLiteral("quilso: [neues Projekt][*]"));
    EXPECT_EQ(TreeShape(form->document()->project().tree), "X Y");
    EXPECT_EQ(form->sitePage()->siteView()->model()->rowCount(), 2);
    EXPECT_FALSE(form->document()->isModified());
    EXPECT_TRUE(form->document()->fileName().isEmpty());
    EXPECT_EQ(form->document()->programInfo().functionsLines.at(0), "function quilso_library() {}");
    // "Speichern" on a new project asks for a name.
    form->document()->save();
    const auto requests = FileDialogs::takeRequests();
    ASSERT_EQ(requests.size(), 1);
    EXPECT_EQ(requests[0].filter, QStringLiteral("javascript (*.js)"));
    EXPECT_EQ(requests[0].defaultSuffix, QStringLiteral("js"));
    EXPECT_TRUE(requests[0].selectedFile.isEmpty());
}

TEST(FileCommands, StartWithAnArgumentLoadsThatFileUnderItsName) {
    AppFixture data;
    quilso::Project project;
    FillTopLevel(project.tree, "PQR");
    project.params.options.isTag = true;
    const QString path = data.path(QStringLiteral("seite.js"));
    WriteProjectFile(path, project);
    auto form = data.makeForm({path}, false);
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    QTRY_VERIFY_WITH_TIMEOUT(!UiTestAccess::awaitsFirstActivation(*form), 2000);
    EXPECT_EQ(form->caption(), QStringLiteral("quilso: ") + path);
    EXPECT_EQ(TreeShape(form->document()->project().tree), "P Q R");
    EXPECT_TRUE(form->findChild<QCheckBox*>(QStringLiteral("cbIsTag"))->isChecked());
    EXPECT_FALSE(form->document()->isModified()); // the reader's check box does not count
    EXPECT_EQ(form->document()->saveDialogFileName(), path);
}

TEST(FileCommands, SaveAsThenSaveWritesTheSameFileWithoutAskingAgain) {
    AppFixture data;
    auto form = data.makeForm();
    editTree(*form);
    const QString path = data.path(QStringLiteral("neu.js"));
    FileDialogs::queueFileName(path);
    EXPECT_TRUE(form->document()->saveAs());
    EXPECT_EQ(form->caption(), QStringLiteral("quilso: ") + path);
    EXPECT_FALSE(form->document()->isModified());
    EXPECT_FALSE(form->isWindowModified());
    QByteArray written = fileBytes(path);
    EXPECT_TRUE(written.contains("function quilso_library() {}"));
    EXPECT_TRUE(written.contains("Neu"));

    form->findChild<QCheckBox*>(QStringLiteral("cbIsTag"))->click();
    EXPECT_TRUE(form->document()->isModified()); // the option is a change too
    EXPECT_TRUE(form->isWindowModified());
    EXPECT_TRUE(form->document()->save());
    EXPECT_EQ(FileDialogs::takeRequests().size(), 1); // only the one of "Speichern unter"
    EXPECT_NE(fileBytes(path), written);
    EXPECT_FALSE(form->document()->isModified());
}

TEST(FileCommands, TreeEditsAloneAreGuardedByTheSaveFirstQuestion) {
    AppFixture data("AB");
    auto form = data.makeForm();
    form->sitePage()->siteView()->show();
    form->document()->newProject();
    EXPECT_TRUE(MessageBoxes::takeShown().isEmpty()); // unchanged: no question
    editTree(*form);
    MessageBoxes::queueAnswer(MessageBoxes::Cancel);
    form->document()->newProject();
    EXPECT_EQ(MessageBoxes::takeShown(), QStringList{QStringLiteral("question:Projekt vorher speichern?")});
    EXPECT_EQ(TreeShape(form->document()->project().tree), "A B Neu");
    MessageBoxes::queueAnswer(MessageBoxes::No);
    form->document()->newProject();
    EXPECT_EQ(TreeShape(form->document()->project().tree), "A B");
    EXPECT_FALSE(form->document()->isModified());
}

TEST(FileCommands, YesFollowedByACancelledOrFailedSaveKeepsTheProject) {
    AppFixture data("AB");
    auto form = data.makeForm();
    editTree(*form);
    // "Neu": yes, then the save dialog is cancelled.
    MessageBoxes::queueAnswer(MessageBoxes::Yes);
    form->document()->newProject();
    EXPECT_EQ(TreeShape(form->document()->project().tree), "A B Neu");
    EXPECT_TRUE(form->document()->isModified());
    EXPECT_EQ(FileDialogs::takeRequests().size(), 1);
    // "Öffnen": yes, then the save fails; the open dialog never shows.
    MessageBoxes::takeShown();
    MessageBoxes::queueAnswer(MessageBoxes::Yes);
    FileDialogs::queueFileName(data.path(QStringLiteral("fehlt/neu.js")));
    form->document()->open();
    EXPECT_EQ(FileDialogs::takeRequests().size(), 1);
    const QStringList shown = MessageBoxes::takeShown();
    ASSERT_EQ(shown.size(), 2);
    EXPECT_TRUE(
        shown[1].startsWith(QStringLiteral("error:Die Datei „") + data.path(QStringLiteral("fehlt/neu.js"))));
    EXPECT_TRUE(shown[1].contains(QStringLiteral("existiert nicht")));
    EXPECT_EQ(TreeShape(form->document()->project().tree), "A B Neu");
    // "Neu": yes and a good save: the command goes on.
    MessageBoxes::queueAnswer(MessageBoxes::Yes);
    FileDialogs::queueFileName(data.path(QStringLiteral("gut.js")));
    form->document()->newProject();
    EXPECT_EQ(TreeShape(form->document()->project().tree), "A B");
    EXPECT_TRUE(QFile::exists(data.path(QStringLiteral("gut.js"))));
    EXPECT_EQ(form->caption(), QStringLiteral("quilso: [neues Projekt]"));
}

TEST(FileCommands, ClosingAsksAndAFailedYesKeepsTheWindowOpen) {
    AppFixture data;
    auto form = data.makeForm();
    form->show();
    EXPECT_TRUE(form->close()); // unchanged: closes without asking
    form->show();
    editTree(*form);
    MessageBoxes::queueAnswer(MessageBoxes::Yes); // then the save dialog is cancelled
    EXPECT_FALSE(form->close());
    EXPECT_TRUE(form->isVisible());
    MessageBoxes::queueAnswer(MessageBoxes::Cancel);
    EXPECT_FALSE(form->close());
    MessageBoxes::queueAnswer(MessageBoxes::No);
    EXPECT_TRUE(form->close());
    EXPECT_EQ(MessageBoxes::takeShown().size(), 3);
}

TEST(FileCommands, AReadErrorNamesFileAndReasonAndLeavesTheProjectAsItWas) {
    AppFixture data("AB");
    auto form = data.makeForm();
    const QString missing = data.path(QStringLiteral("gibtsnicht.js"));
    FileDialogs::queueFileName(missing);
    form->document()->open();
    const QStringList shown = MessageBoxes::takeShown();
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown[0],
              QStringLiteral("error:Die Datei „%1“ kann nicht gelesen werden:\nDie Datei existiert nicht.")
                  .arg(missing));
    EXPECT_EQ(form->caption(), QStringLiteral("quilso: [neues Projekt]"));
    EXPECT_TRUE(form->document()->fileName().isEmpty());
    EXPECT_EQ(TreeShape(form->document()->project().tree), "A B");
}

TEST(FileCommands, AWriteErrorKeepsNameCaptionAndModifiedFlag) {
    AppFixture data;
    auto form = data.makeForm();
    QDir(data.path({})).mkdir(QStringLiteral("sub"));
    const QString path = data.path(QStringLiteral("sub/p.js"));
    FileDialogs::queueFileName(path);
    ASSERT_TRUE(form->document()->saveAs());
    const QByteArray before = fileBytes(path);
    editTree(*form);
    // The target turns into a directory: the save fails and says so.
    QFile::remove(path);
    QDir(data.path(QStringLiteral("sub"))).mkdir(QStringLiteral("p.js"));
    EXPECT_FALSE(form->document()->save());
    const QStringList shown = MessageBoxes::takeShown();
    ASSERT_EQ(shown.size(), 1);
    EXPECT_TRUE(
        shown[0].startsWith(QStringLiteral("error:Die Datei „%1“ kann nicht gespeichert werden:").arg(path)));
    EXPECT_TRUE(form->document()->isModified());
    EXPECT_EQ(form->caption(), QStringLiteral("quilso: ") + path);
    EXPECT_EQ(form->document()->fileName(), path);
    EXPECT_FALSE(before.isEmpty());
}

TEST(FileCommands, AnInvalidNumberBlocksOneTabChangeAndOneCommand) {
    AppFixture data;
    auto form = data.makeForm();
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    auto* pages = form->findChild<QTabWidget*>(QStringLiteral("PageControl1"));
    QWidget* fontPage = form->findChild<QWidget*>(QStringLiteral("tsFont"));
    pages->setCurrentWidget(fontPage);
    QWidget* panel = form->findChild<QWidget*>(QStringLiteral("frameFontM"));
    auto* unit = panel->findChild<QComboBox*>(QStringLiteral("cbFontSize"));
    unit->setCurrentIndex(12); // px: the number field shows
    emit unit->activated(12);
    auto* field = panel->findChild<QLineEdit*>(QStringLiteral("eFontSize"));
    field->setFocus();
    ASSERT_TRUE(field->hasFocus());
    field->selectAll();
    QTest::keyClicks(field, "12");
    unit->setFocus();
    field->setFocus();
    field->selectAll();
    QTest::keyClick(field, Qt::Key_Backspace);
    QTabBar* bar = pages->tabBar();
    const int fontTab = pages->currentIndex();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(fontTab + 1).center());
    EXPECT_EQ(pages->currentIndex(), fontTab); // refused once
    EXPECT_EQ(field->text(), QStringLiteral("12"));
    EXPECT_EQ(form->document()->editState()->beepCount(), 1);
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(fontTab + 1).center());
    EXPECT_EQ(pages->currentIndex(), fontTab + 1); // the second click goes through

    // The same for a file command; a valid entry is stored by the command, then saved.
    pages->setCurrentWidget(fontPage);
    field->setFocus();
    field->selectAll();
    QTest::keyClick(field, Qt::Key_Backspace);
    FileDialogs::queueFileName(data.path(QStringLiteral("x.js")));
    EXPECT_FALSE(form->document()->saveAs());
    EXPECT_EQ(FileDialogs::takeRequests().size(), 0);
    EXPECT_TRUE(field->hasFocus());
    field->selectAll();
    QTest::keyClicks(field, " ,5 ");
    FileDialogs::queueFileName(data.path(QStringLiteral("x.js")));
    EXPECT_TRUE(form->document()->saveAs());
    EXPECT_EQ(field->text(), QStringLiteral("0.5"));
    EXPECT_EQ(form->document()->style(quilso::MenuMain).fontSizeValue, "0.5");
    EXPECT_FALSE(form->document()->isModified()); // saved after the field was stored
}

TEST(FileCommands, HintsShowTheirLongPartInTheStatusLine) {
    AppFixture data;
    auto form = data.makeForm();
    auto* status = form->findChild<QStatusBar*>(QStringLiteral("StatusLine"));
    auto* newButton = form->findChild<QToolButton*>(QStringLiteral("SpeedButton1"));
    EXPECT_EQ(newButton->toolTip(), QStringLiteral("Neu"));
    form->showHint(QStringLiteral("Neue Datei"));
    EXPECT_EQ(status->currentMessage(), QStringLiteral("Neue Datei"));
    QEvent enter(QEvent::Enter);
    QCoreApplication::sendEvent(newButton, &enter);
    EXPECT_EQ(status->currentMessage(), QString());
    auto* preview = form->findChild<QToolButton*>(QStringLiteral("WebAnsichtButton"));
    QCoreApplication::sendEvent(preview, &enter);
    EXPECT_EQ(status->currentMessage(), QStringLiteral("Vorschau"));
    EXPECT_EQ(preview->toolTip(), QStringLiteral("Vorschau"));
    form->findChild<QAction*>(QStringLiteral("miOpen"))->hover();
    EXPECT_EQ(status->currentMessage(), QStringLiteral("Bestehende Datei öffnen"));
    EXPECT_EQ(form->findChild<QAction*>(QStringLiteral("miSaveAs"))->shortcut(),
              QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
    EXPECT_EQ(form->findChild<QAction*>(QStringLiteral("Vorschau1"))->shortcut(), QKeySequence(Qt::Key_F5));
}

TEST(FileCommands, PreviewNeedsAnExistingStartPage) {
    AppFixture data("AB");
    auto form = data.makeForm();
    // Never saved, and no folder chosen in a dialog yet: the built-in page shows the menus.
    form->showPreview();
    EXPECT_TRUE(MessageBoxes::takeShown().isEmpty());
    EXPECT_EQ(form->previewWindow()->windowTitle(), QStringLiteral("Vorschau: [neues Projekt]"));
    QDir(data.path({})).mkdir(QStringLiteral("site"));
    const QString project = data.path(QStringLiteral("site/p.js"));
    FileDialogs::queueFileName(project);
    ASSERT_TRUE(form->document()->saveAs());
    const QString page = QFileInfo(project).absolutePath() + QStringLiteral("/A.htm");
    form->showPreview();
    EXPECT_EQ(MessageBoxes::takeShown(),
              QStringList{QStringLiteral("info:Kann Datei ") + page + QStringLiteral(" nicht öffnen")});
    QFile html(page);
    ASSERT_TRUE(html.open(QIODevice::WriteOnly));
    html.write("<html><body>A</body></html>");
    html.close();
    form->showPreview();
    EXPECT_TRUE(MessageBoxes::takeShown().isEmpty());
    PreviewWindow* web = form->previewWindow();
    EXPECT_TRUE(web->isVisible());
    EXPECT_EQ(web->windowTitle(), QStringLiteral("Vorschau: ") + page);
    EXPECT_EQ(web->currentPath(), page);
    form->showHelp();
    EXPECT_EQ(web->windowTitle(), QStringLiteral("Hilfe - Inhalt"));
    EXPECT_EQ(web->currentPath(), data.path(QStringLiteral("hilfe.htm")));
}

TEST(MainWindow, StylePagesHoldOnePanelPerMenuWithTheirDifferences) {
    AppFixture data;
    auto form = data.makeForm();
    auto* pages = form->findChild<QTabWidget*>(QStringLiteral("PageControl1"));
    QStringList tabs;
    for (int i = 0; i < pages->count(); ++i)
        tabs << pages->tabText(i);
    EXPECT_EQ(tabs, (QStringList{QStringLiteral("Site-Struktur"), QStringLiteral("Schrift"),
                                 QStringLiteral("Text"), QStringLiteral("Position"), QStringLiteral("Rahmen"),
                                 QStringLiteral("Hintergrund"), QStringLiteral("Optionen")}));
    for (const char* frame : {"frameFont", "frameText", "framePos", "frameBorder", "frameBackground"}) {
        for (const char* menu : {"M", "UM", "BC"}) {
            const QString name = QString::fromLatin1(frame) + QString::fromLatin1(menu);
            EXPECT_NE(form->findChild<QWidget*>(name), nullptr) << name.toStdString();
        }
    }
    auto hidden = [&](const char* panel, const char* child) {
        QWidget* w = form->findChild<QWidget*>(QString::fromLatin1(panel))
                         ->findChild<QWidget*>(QString::fromLatin1(child));
        EXPECT_NE(w, nullptr) << panel << '/' << child;
        return w && w->isHidden();
    };
    EXPECT_TRUE(hidden("framePosUM", "rgPosClear"));
    EXPECT_TRUE(hidden("framePosUM", "rgPosFloat"));
    EXPECT_FALSE(hidden("framePosM", "rgPosClear"));
    EXPECT_TRUE(hidden("framePosBC", "gbPosBreite"));
    EXPECT_FALSE(hidden("framePosUM", "gbPosBreite"));
    EXPECT_EQ(form->stylePages()->panel(quilso::MenuSub, 2)->menuKind(), quilso::MenuSub);
}

TEST(MainWindow, AnEmptiedPanelNumberFieldHoldsBackOneTabChange) {
    AppFixture data;
    auto form = data.makeForm();
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    auto* pages = form->findChild<QTabWidget*>(QStringLiteral("PageControl1"));
    pages->setCurrentWidget(form->findChild<QWidget*>(QStringLiteral("tsFont")));
    auto* size = form->findChild<QWidget*>(QStringLiteral("frameFontM"))
                     ->findChild<QLineEdit*>(QStringLiteral("eFontSize"));
    ASSERT_NE(size, nullptr);
    size->setFocus();
    ASSERT_TRUE(size->hasFocus());
    const QString before = size->text();
    size->selectAll();
    QTest::keyClick(size, Qt::Key_Delete);
    ASSERT_TRUE(form->document()->editState()->editPending);
    QTabBar* bar = pages->tabBar();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(0).center());
    EXPECT_EQ(pages->currentWidget()->objectName(), QStringLiteral("tsFont"));
    EXPECT_EQ(size->text(), before);
    EXPECT_FALSE(form->document()->editState()->editPending);
    EXPECT_TRUE(form->document()->editState()->editValid);
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(0).center());
    EXPECT_EQ(pages->currentIndex(), 0);
}

TEST(FileCommands, ARelativeStartPathStaysTheSameFileWhenTheWorkingFolderChanges) {
    AppFixture data("AB");
    const QString previous = QDir::currentPath();
    QDir(data.path({})).mkdir(QStringLiteral("proj"));
    quilso::Project project;
    FillTopLevel(project.tree, "PQ");
    const QString absolute = data.path(QStringLiteral("proj/p.js"));
    WriteProjectFile(absolute, project);
    ASSERT_TRUE(QDir::setCurrent(data.path({})));
    auto form = data.makeForm({QStringLiteral("proj/p.js")});
    QDir::setCurrent(previous);
    EXPECT_EQ(form->document()->fileName(), absolute);
    EXPECT_EQ(form->document()->saveDialogFileName(), absolute);
    EXPECT_EQ(form->caption(), QStringLiteral("quilso: ") + absolute);
    editTree(*form);
    EXPECT_TRUE(form->document()->save());
    EXPECT_TRUE(fileBytes(absolute).contains("Neu"));
    EXPECT_FALSE(QFileInfo::exists(previous + QStringLiteral("/proj/p.js")));
}

TEST(FileCommands, MenuEntriesShowTheirHintsWhenHighlighted) {
    AppFixture data;
    auto form = data.makeForm();
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    auto* status = form->findChild<QStatusBar*>(QStringLiteral("StatusLine"));
    QMenu* file = form->menuBar()->actions().at(0)->menu();
    file->popup(form->mapToGlobal(QPoint(10, 10)));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(file));
    const QStringList hints = {QStringLiteral("Neue Datei"),
                               QStringLiteral("Neues Projekt aus den Seiten eines Ordners"),
                               QStringLiteral("Bestehende Datei öffnen"),
                               QStringLiteral("Datei speichern"),
                               QStringLiteral("Datei unter neuem Namen speichern"),
                               QStringLiteral("Menüs als statisches HTML in die Seiten schreiben"),
                               QStringLiteral("Diese Anwendung beenden")};
    for (const QString& hint : hints) {
        QTest::keyClick(file, Qt::Key_Down);
        EXPECT_EQ(status->currentMessage(), hint);
    }
    file->close();
}

TEST(FileCommands, OnlyRegularFilesAreOpened) {
    AppFixture data("AB");
    auto form = data.makeForm();
    const QString fifo = data.path(QStringLiteral("rohr.js"));
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    for (const QString& path : {fifo, QStringLiteral("/dev/zero")}) {
        FileDialogs::queueFileName(path);
        form->document()->open(); // would block on the pipe or eat all memory
        EXPECT_EQ(MessageBoxes::takeShown(),
                  QStringList{QStringLiteral("error:Die Datei „%1“ kann nicht gelesen werden:\n"
                                             "Der Name bezeichnet keine gewöhnliche Datei.")
                                  .arg(path)});
        EXPECT_EQ(TreeShape(form->document()->project().tree), "A B");
    }
}

TEST(FileCommands, ARefusedSaveShowsTheReasonAndKeepsTheProjectModified) {
    AppFixture data;
    auto form = data.makeForm();
    QDir(data.path({})).mkdir(QStringLiteral("weg"));
    const QString path = data.path(QStringLiteral("weg/p.js"));
    FileDialogs::queueFileName(path);
    ASSERT_TRUE(form->document()->saveAs());
    editTree(*form);
    QDir(data.path(QStringLiteral("weg"))).removeRecursively(); // fails as root too
    EXPECT_FALSE(form->document()->save());
    const QStringList shown = MessageBoxes::takeShown();
    ASSERT_EQ(shown.size(), 1);
    EXPECT_TRUE(shown[0].startsWith(
        QStringLiteral("error:Die Datei „%1“ kann nicht gespeichert werden:\n").arg(path)))
        << shown[0].toStdString();
    EXPECT_TRUE(form->document()->isModified());
    EXPECT_TRUE(form->isWindowModified());
    // A write-protected file is refused with the core's own sentence.
    QDir(data.path({})).mkdir(QStringLiteral("weg"));
    FileDialogs::queueFileName(path);
    ASSERT_TRUE(form->document()->saveAs());
    editTree(*form);
    ASSERT_EQ(chmod(QFile::encodeName(path).constData(), 0444), 0);
    EXPECT_FALSE(form->document()->save());
    EXPECT_EQ(
        MessageBoxes::takeShown(),
        QStringList{QStringLiteral("error:Die Datei „%1“ kann nicht gespeichert werden:\nDie Datei „%1“ ist "
                                   "schreibgeschützt.")
                        .arg(path)});
    EXPECT_TRUE(form->document()->isModified());
    // Whatever German sentence the core gives is shown as it is.
    EXPECT_EQ(WriteFailureText(path, "Die Datei „p.js“ ist schreibgeschützt."),
              QStringLiteral(
                  "Die Datei „%1“ kann nicht gespeichert werden:\nDie Datei „p.js“ ist schreibgeschützt.")
                  .arg(path));
}

TEST(FileCommands, TypedCharactersSurviveSavingAndReopening) {
    AppFixture data("AB");
    auto form = data.makeForm();
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    form->sitePage()->selectNodes({form->document()->treeModel()->nodeOf({})->child(0)},
                                  form->document()->treeModel()->nodeOf({})->child(0));
    auto* leText = form->findChild<QLineEdit*>(QStringLiteral("leText"));
    leText->setFocus();
    leText->selectAll();
    const QString typed = QStringLiteral("Neue Seite ω α ж ") + QString::fromUcs4(U"\U0001F600", 1) +
                          QStringLiteral(" Grüße ÄÖÜ");
    QTest::keyClicks(leText, "Neue Seite ");
    for (const QString& ch :
         {QStringLiteral("ω"), QStringLiteral(" "), QStringLiteral("α"), QStringLiteral(" "),
          QStringLiteral("ж"), QStringLiteral(" "), QString::fromUcs4(U"\U0001F600", 1), QStringLiteral(" "),
          QStringLiteral("G"), QStringLiteral("r"), QStringLiteral("ü"), QStringLiteral("ß"),
          QStringLiteral("e"), QStringLiteral(" "), QStringLiteral("Ä"), QStringLiteral("Ö"),
          QStringLiteral("Ü")}) {
        QTest::sendKeyEvent(QTest::Press, leText, Qt::Key_unknown, ch, Qt::NoModifier);
        QTest::sendKeyEvent(QTest::Release, leText, Qt::Key_unknown, ch, Qt::NoModifier);
    }
    ASSERT_EQ(leText->text(), typed);
    const QString path = data.path(QStringLiteral("zeichen.js"));
    FileDialogs::queueFileName(path);
    ASSERT_TRUE(form->document()->saveAs());
    const QByteArray first = fileBytes(path);
    ASSERT_TRUE(form->document()->load(path));
    const QModelIndex row0 = form->document()->treeModel()->index(0, 0);
    EXPECT_EQ(row0.data().toString(), typed);
    form->sitePage()->selectNodes({form->document()->treeModel()->nodeOf({})->child(0)},
                                  form->document()->treeModel()->nodeOf({})->child(0));
    EXPECT_EQ(leText->text(), typed);
    EXPECT_FALSE(form->document()->isModified());
    form->document()->setModified(true);
    ASSERT_TRUE(form->document()->save());
    EXPECT_EQ(WithoutSaveTime(fileBytes(path)), WithoutSaveTime(first));
    EXPECT_NE(WithoutSaveTime(first), first); // the time was there to be left out
}

TEST(FileCommands, AWindowKeepsNoFreedBlocksAfterOpeningALargeProject) {
    AppFixture data;
    quilso::Project project;
    for (int i = 0; i < 40000; ++i) // nodes and lists large enough for blocks of their own
        project.tree.append(project.tree.root(), "Eintrag " + std::to_string(i), "s.htm");
    const QString path = data.path(QStringLiteral("gross.js"));
    WriteProjectFile(path, project);
    auto form = data.makeForm({}, false);
    for (int round = 0; round < 2; ++round) { // the second read frees the first one's tree
        ASSERT_TRUE(form->document()->load(path));
        EXPECT_EQ(form->document()->project().tree.size(), 40000u);
        EXPECT_EQ(quilso::KeptLargeBytes(), 0u) << "round " << round;
    }
}

// A save that died while it rewrote the file in place left a complete copy beside it: opening
// offers it back, saving asks before it goes.
TEST(FileCommands, AFileASaveLeftHalfRewrittenOffersItsCompleteCopy) {
    AppFixture data("AB");
    auto form = data.makeForm();
    quilso::Project complete;
    FillTopLevel(complete.tree, "PQR");
    const QString path = data.path(QStringLiteral("seite.js"));
    const QString copy = data.path(QStringLiteral(".seite.js.quilso-complete-Ab12Cd"));
    WriteProjectFile(copy, complete);
    const QByteArray completeBytes = fileBytes(copy);
    QFile half(path);
    ASSERT_TRUE(half.open(QIODevice::WriteOnly));
    half.write(fileBytes(copy).left(300));
    half.close();
    const QString told = QStringLiteral("question:Das Speichern von „%1“ wurde unterbrochen; die Datei ist "
                                        "womöglich unvollständig. Die vollständige Fassung liegt in „%2“.\n")
                             .arg(path, copy);

    FileDialogs::queueFileName(path);
    MessageBoxes::queueAnswer(MessageBoxes::Cancel);
    form->document()->open();
    EXPECT_EQ(MessageBoxes::takeShown(),
              QStringList{told + QStringLiteral("Die vollständige Fassung wiederherstellen und öffnen? "
                                                "(„Nein“ öffnet die Datei, wie sie ist.)")});
    EXPECT_EQ(TreeShape(form->document()->project().tree), "A B");
    EXPECT_TRUE(form->document()->fileName().isEmpty());

    FileDialogs::queueFileName(path);
    MessageBoxes::queueAnswer(MessageBoxes::No);
    form->document()->open();
    EXPECT_EQ(MessageBoxes::takeShown().size(), 1);
    EXPECT_EQ(form->document()->fileName(), path);
    editTree(*form);
    MessageBoxes::queueAnswer(MessageBoxes::No);
    EXPECT_FALSE(form->document()->save());
    EXPECT_EQ(MessageBoxes::takeShown(),
              QStringList{told + QStringLiteral("Das Projekt trotzdem speichern? Die vollständige Fassung "
                                                "wird dann gelöscht.")});
    EXPECT_TRUE(form->document()->isModified());
    EXPECT_TRUE(QFile::exists(copy));

    form->document()->setModified(false);
    FileDialogs::queueFileName(path);
    MessageBoxes::queueAnswer(MessageBoxes::Yes);
    form->document()->open();
    EXPECT_EQ(MessageBoxes::takeShown().size(), 1);
    EXPECT_EQ(TreeShape(form->document()->project().tree), "P Q R");
    EXPECT_FALSE(QFile::exists(copy));
    EXPECT_EQ(fileBytes(path), completeBytes);

    // Once more half rewritten, now saved over with consent: the copy goes.
    WriteProjectFile(copy, complete);
    editTree(*form);
    MessageBoxes::queueAnswer(MessageBoxes::Yes);
    EXPECT_TRUE(form->document()->save());
    EXPECT_EQ(MessageBoxes::takeShown().size(), 1);
    EXPECT_FALSE(QFile::exists(copy));
    EXPECT_FALSE(form->document()->isModified());
}
