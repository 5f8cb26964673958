#include "app_test_support.h"
#include "link_check_dialog.h"
#include "link_checker.h"
#include "new_from_folder.h"
#include "site_tree_model.h"
#include "ui_seams.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QIcon>
#include <QListWidget>
#include <QProgressDialog>
#include <QPushButton>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QTreeView>

#include <QUndoStack>

#include <gtest/gtest.h>

namespace {

void writePage(const QString& path, const QByteArray& bytes = {}) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(bytes);
}

// Lets the checker's timer and worker run until the marks are shown.
bool waitForCheck(LinkChecker& checker) {
    QElapsedTimer clock;
    clock.start();
    do {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        if (!checker.isChecking()) {
            QCoreApplication::processEvents();
            if (!checker.isChecking()) return true;
        }
        QThread::msleep(5);
    } while (clock.elapsed() < 5000);
    return false;
}

QString tooltip(MainWindow& form, quilso::SiteNode* node) {
    return form.document()
        ->treeModel()
        ->data(form.document()->treeModel()->indexOf(node), Qt::ToolTipRole)
        .toString();
}
bool hasIcon(MainWindow& form, quilso::SiteNode* node) {
    return !form.document()
                ->treeModel()
                ->data(form.document()->treeModel()->indexOf(node), Qt::DecorationRole)
                .value<QIcon>()
                .isNull();
}

// A project saved as site/menu.js over the template's entries A..D, of which only A and C exist.
class SiteFolderApp : public ::testing::Test {
protected:
    void SetUp() override {
        form = data.makeForm();
        form->linkChecker()->setDelay(1);
        site = data.path(QStringLiteral("site"));
        writePage(site + QStringLiteral("/A.htm"), "<script src=\"menu.js\"></script>");
        writePage(site + QStringLiteral("/C.htm"));
        FileDialogs::queueFileName(site + QStringLiteral("/menu.js"));
        ASSERT_TRUE(form->document()->saveAs());
        ASSERT_TRUE(waitForCheck(*form->linkChecker()));
    }
    void TearDown() override {
        LinkCheckDialog::setRunner({});
        SetFolderChooser({});
        MessageBoxes::takeShown();
    }
    quilso::SiteNode* top(int row) { return form->document()->treeModel()->nodeOf({})->child(row); }

    AppFixture data{"ABCD"};
    std::unique_ptr<MainWindow> form;
    QString site;
};

TEST_F(SiteFolderApp, MissingPagesAreMarkedAndFollowEveryChange) {
    LinkChecker& checker = *form->linkChecker();
    EXPECT_EQ(checker.markCount(), 2u);
    EXPECT_FALSE(hasIcon(*form, top(0)));
    EXPECT_EQ(tooltip(*form, top(0)), QStringLiteral("A.htm"));
    EXPECT_TRUE(hasIcon(*form, top(1)));
    EXPECT_EQ(tooltip(*form, top(1)), QStringLiteral("Datei nicht gefunden: B.htm"));

    // The page appears, and an entry changes: the next check finds it.
    writePage(site + QStringLiteral("/B.htm"));
    top(0)->entry.file = "fehlt.htm";
    form->document()->treeModel()->entryChanged(top(0));
    ASSERT_TRUE(waitForCheck(checker));
    EXPECT_TRUE(hasIcon(*form, top(0)));
    EXPECT_FALSE(hasIcon(*form, top(1)));

    // A removed node's place taken by a new entry must not show the old mark.
    quilso::SiteNode* d = top(3);
    form->document()->treeModel()->removeSiblings({d});
    quilso::SiteNode* fresh = form->document()->treeModel()->insertEntry(
        form->document()->treeModel()->nodeOf({}), -1, {"E", "C.htm"});
    EXPECT_FALSE(hasIcon(*form, fresh));
    ASSERT_TRUE(waitForCheck(checker));
    EXPECT_FALSE(hasIcon(*form, fresh));
    EXPECT_EQ(checker.markCount(), 1u);

    // Opening another project replaces the tree and its marks.
    FileDialogs::queueFileName(data.path(QStringLiteral("default.js")));
    form->document()->open();
    ASSERT_TRUE(waitForCheck(checker));
    EXPECT_EQ(checker.siteDirectory(), QDir(data.path(QString())).absolutePath());
    EXPECT_EQ(checker.markCount(), 4u);
}

// A removed entry's mark goes with it at once: the entry's memory may be reused or freed (a
// deleted step dropped from the history) before the next check, which would read it.
TEST_F(SiteFolderApp, MarksLeaveWithTheirEntries) {
    LinkChecker& checker = *form->linkChecker();
    ASSERT_EQ(checker.markCount(), 2u);                // B and D
    form->document()->removeEntries({top(1), top(3)}); // not adjacent: one relayout
    EXPECT_EQ(checker.markCount(), 0u);
    form->document()->undoStack()->undo();
    ASSERT_TRUE(waitForCheck(checker));
    EXPECT_EQ(checker.markCount(), 2u);
    form->document()->removeEntries({top(3)}); // one row
    EXPECT_EQ(checker.markCount(), 1u);
    ASSERT_TRUE(waitForCheck(checker));
    EXPECT_EQ(checker.markCount(), 1u);
}

TEST_F(SiteFolderApp, LinkCheckListsFindingsAndSelectsTheChosenEntry) {
    QStringList rows;
    LinkCheckDialog::setRunner([&](LinkCheckDialog& dialog) {
        for (int i = 0; i < dialog.findingList()->count(); ++i)
            rows << dialog.findingList()->item(i)->text();
        // A page in no menu belongs to no entry: choosing it keeps the dialog open.
        QListWidget* list = dialog.findingList();
        emit list->itemActivated(list->item(rows.size() - 1));
        EXPECT_EQ(dialog.result(), 0);
        emit list->itemActivated(list->item(1));
    });
    writePage(site + QStringLiteral("/alt.htm"));
    form->findChild<QAction*>(QStringLiteral("miCheckLinks"))->trigger();
    ASSERT_GE(rows.size(), 4);
    EXPECT_EQ(rows[0], QStringLiteral("B: Datei nicht gefunden: B.htm"));
    EXPECT_EQ(rows[1], QStringLiteral("C: Seite bindet menu.js nicht ein: C.htm"));
    EXPECT_EQ(rows[2], QStringLiteral("D: Datei nicht gefunden: D.htm"));
    EXPECT_EQ(rows[3], QStringLiteral("Seite in keinem Menü: alt.htm"));
    EXPECT_EQ(form->sitePage()->focusedNode(), top(2));
}

// A page deleted on disk: F7 and the window getting the focus back both bring the marks in line
// with what "Links prüfen" lists.
TEST_F(SiteFolderApp, F7AndActivationRefreshTheMarks) {
    LinkCheckDialog::setRunner([](LinkCheckDialog&) {});
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    ASSERT_TRUE(waitForCheck(*form->linkChecker()));
    ASSERT_FALSE(hasIcon(*form, top(0)));
    QFile::remove(site + QStringLiteral("/A.htm"));
    QTest::keyClick(form.get(), Qt::Key_F7);
    ASSERT_TRUE(waitForCheck(*form->linkChecker()));
    EXPECT_TRUE(hasIcon(*form, top(0)));

    // Away to another program's window and back.
    QFile::remove(site + QStringLiteral("/C.htm"));
    QWidget elsewhere;
    elsewhere.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&elsewhere));
    ASSERT_TRUE(waitForCheck(*form->linkChecker()));
    EXPECT_FALSE(hasIcon(*form, top(2)));
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    ASSERT_TRUE(waitForCheck(*form->linkChecker()));
    EXPECT_TRUE(hasIcon(*form, top(2)));
}

TEST(SiteFolderCommands, NewFromFolderAsksFirstAndBuildsAnUnsavedProject) {
    AppFixture data("AB");
    auto form = data.makeForm();
    form->linkChecker()->setDelay(1);
    const QString site = data.path(QStringLiteral("meine site"));
    writePage(site + QStringLiteral("/index.htm"), "<title>Start | Verein</title>");
    writePage(site + QStringLiteral("/über uns/index.html"), "<title>Über uns | Verein</title>");
    writePage(site + QStringLiteral("/über uns/vorstand.htm"), "<title>Vorstand | Verein</title>");
    writePage(site + QStringLiteral("/über uns/kasse.htm"),
              "<title>&lt;b&gt;Kasse&lt;/b&gt; | Verein</title>");
    int asked = 0;
    SetFolderChooser([&](QWidget*) {
        ++asked;
        return site;
    });

    // Unsaved changes: "Abbrechen" on the question stops before the folder dialog.
    form->document()->treeModel()->insertEntry(form->document()->treeModel()->nodeOf({}), -1,
                                               {"Neu", "neu.htm"});
    form->document()->setModified(true);
    MessageBoxes::queueAnswer(MessageBoxes::Cancel);
    form->findChild<QAction*>(QStringLiteral("miNewFromFolder"))->trigger();
    EXPECT_EQ(asked, 0);
    EXPECT_EQ(TreeShape(form->document()->project().tree), "A B Neu");
    EXPECT_EQ(MessageBoxes::takeShown(), QStringList{QStringLiteral("question:Projekt vorher speichern?")});

    MessageBoxes::queueAnswer(MessageBoxes::No);
    ASSERT_TRUE(NewProjectFromFolder(*form, *form->linkChecker()));
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(TreeShape(form->document()->project().tree), "Start \xDC"
                                                           "ber uns[&lt;b>Kasse&lt;/b> Vorstand]");
    EXPECT_EQ(form->document()->treeModel()->nodeOf({})->child(1)->entry.file, "\xFC"
                                                                               "ber uns/index.html");
    EXPECT_TRUE(form->document()->fileName().isEmpty());
    EXPECT_TRUE(form->document()->isModified());
    EXPECT_EQ(form->linkChecker()->siteDirectory(), site);
    ASSERT_TRUE(waitForCheck(*form->linkChecker()));
    EXPECT_EQ(form->linkChecker()->markCount(), 0u);

    // Saving proposes the folder the file names are relative to.
    FileDialogs::takeRequests();
    FileDialogs::queueFileName(site + QStringLiteral("/menu.js"));
    ASSERT_TRUE(form->document()->save());
    const auto requests = FileDialogs::takeRequests();
    ASSERT_EQ(requests.size(), 1);
    EXPECT_EQ(requests[0].selectedFile, site + QStringLiteral("/menu.js"));
    EXPECT_FALSE(form->document()->isModified());

    // After that save, "Neu" asks nothing; the new project has no folder to look in.
    form->document()->newProject();
    EXPECT_EQ(MessageBoxes::pendingAnswers(), 0);
    EXPECT_TRUE(form->linkChecker()->siteDirectory().isEmpty());
    SetFolderChooser({});
}

// Numbers in names count as numbers: Ordner2 before Ordner10.
TEST(SiteFolderCommands, NewFromFolderSortsNumbersNaturally) {
    AppFixture data("AB");
    auto form = data.makeForm();
    const QString site = data.path(QStringLiteral("nummern"));
    writePage(site + QStringLiteral("/index.htm"), "<title>Start</title>");
    for (const char* name : {"Ordner10", "Ordner2", "Ordner1"})
        writePage(site + QStringLiteral("/%1/index.htm").arg(QLatin1String(name)),
                  "<title>" + QByteArray(name) + "</title>");
    for (const char* name : {"Seite 10", "Seite 9", "Seite 100"})
        writePage(site + QStringLiteral("/%1.htm").arg(QLatin1String(name)),
                  "<title>" + QByteArray(name) + "</title>");
    SetFolderChooser([&](QWidget*) { return site; });
    ASSERT_TRUE(NewProjectFromFolder(*form, *form->linkChecker()));
    SetFolderChooser({});
    EXPECT_EQ(TreeShape(form->document()->project().tree),
              "Start Ordner1 Ordner2 Ordner10 Seite 9 Seite 10 Seite 100");
}

// Presses the progress dialog's cancel button the moment the dialog is shown, as a quick user
// would; the import runs on meanwhile and must still stop.
class CancelOnShow : public QObject {
public:
    int shown = 0;
    int widthForTitle = 0;
    bool eventFilter(QObject* object, QEvent* event) override {
        if (event->type() == QEvent::Show &&
            object->objectName() == QStringLiteral("ProgressNewFromFolder")) {
            ++shown;
            // The caption whole beside the title bar's icon and buttons.
            auto* progress = static_cast<QWidget*>(object);
            QFont bold = progress->font();
            bold.setBold(true);
            widthForTitle = progress->width() - QFontMetrics(bold).horizontalAdvance(progress->windowTitle());
            if (auto* button = object->findChild<QPushButton*>()) button->click();
        }
        return false;
    }
};

TEST(SiteFolderCommands, LargeFolderShowsProgressAndCancelKeepsTheProject) {
    AppFixture data("AB");
    auto form = data.makeForm();
    const QString site = data.path(QStringLiteral("gross"));
    for (int i = 0; i < ProgressDialogPages + 20; ++i)
        writePage(site + QStringLiteral("/seite%1.htm").arg(i), "<title>Seite</title>");
    SetFolderChooser([&](QWidget*) { return site; });
    CancelOnShow canceller;
    qApp->installEventFilter(&canceller);
    EXPECT_FALSE(NewProjectFromFolder(*form, *form->linkChecker()));
    qApp->removeEventFilter(&canceller);
    EXPECT_EQ(canceller.shown, 1);
    EXPECT_GE(canceller.widthForTitle, 200);
    EXPECT_EQ(TreeShape(form->document()->project().tree), "A B");
    EXPECT_FALSE(form->document()->isModified());
    EXPECT_EQ(form->findChild<QProgressDialog*>(QStringLiteral("ProgressNewFromFolder")), nullptr);

    // Without a cancel the same folder becomes the project, the dialog gone again; a chain of
    // folders without index pages takes no longer than its pages.
    QString deep = site;
    for (int level = 0; level < 40; ++level)
        deep += QStringLiteral("/ebene%1").arg(level);
    writePage(deep + QStringLiteral("/tief.htm"), "<title>Tief</title>");
    ASSERT_TRUE(NewProjectFromFolder(*form, *form->linkChecker()));
    EXPECT_EQ(form->document()->project().tree.size(),
              static_cast<std::size_t>(ProgressDialogPages + 20 + 40 + 1));
    EXPECT_EQ(form->findChild<QProgressDialog*>(QStringLiteral("ProgressNewFromFolder")), nullptr);
    EXPECT_TRUE(form->document()->isModified());

    // An empty folder is refused with a message.
    QDir().mkpath(data.path(QStringLiteral("leer")));
    SetFolderChooser([&](QWidget*) { return data.path(QStringLiteral("leer")); });
    MessageBoxes::takeShown();
    MessageBoxes::queueAnswer(MessageBoxes::No);
    EXPECT_FALSE(NewProjectFromFolder(*form, *form->linkChecker()));
    const QStringList shown = MessageBoxes::takeShown();
    ASSERT_EQ(shown.size(), 2);
    EXPECT_TRUE(shown[1].contains(QStringLiteral("gibt es keine Seiten"))) << shown[1].toStdString();
    SetFolderChooser({});
}

} // namespace
