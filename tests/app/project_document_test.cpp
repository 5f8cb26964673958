#include "app_test_support.h"
#include "site_tree_model.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

using quilso::MenuMain;
using quilso::MenuStyle;
using quilso::MenuSub;
using quilso::SiteNode;

namespace {

// A document on the fixture's template (entries A B C D), read as a new project.
struct DocumentFixture {
    AppFixture data;
    ProjectDocument document{data.path(QStringLiteral("default.js")),
                             data.path(QStringLiteral("quilso_functions.js"))};
    DocumentFixture() {
        document.loadTemplate();
        MessageBoxes::takeShown();
        FileDialogs::takeRequests();
    }
    SiteNode* top(int row) { return document.treeModel()->nodeOf({})->child(row); }
    std::string shape() const { return TreeShape(document.project().tree); }
};

} // namespace

TEST(ProjectDocument, StyleEditsMarkTheProjectAndReportOnlyRealChanges) {
    DocumentFixture f;
    QSignalSpy changed(&f.document, &ProjectDocument::styleChanged);
    ASSERT_FALSE(f.document.isModified());

    // Storing what is there already still marks the project, but tells no listener.
    const std::string width = f.document.style(MenuMain).widthValue;
    EXPECT_FALSE(f.document.editStyle(MenuMain, "Breite", [&](MenuStyle& s) { s.widthValue = width; }));
    EXPECT_TRUE(f.document.isModified());
    EXPECT_EQ(changed.count(), 0);

    EXPECT_TRUE(f.document.editStyle(MenuSub, "Breite", [](MenuStyle& s) { s.widthValue = "321"; }));
    ASSERT_EQ(changed.count(), 1);
    EXPECT_EQ(changed.takeFirst().at(0).value<quilso::MenuKind>(), MenuSub);
    EXPECT_EQ(f.document.style(MenuSub).widthValue, "321");
    EXPECT_NE(f.document.style(MenuMain).widthValue, "321");

    // Follow-up values of the controls change the record without marking the project.
    f.document.setModified(false);
    f.document.adjustStyle(MenuMain, [](MenuStyle& s) { s.offsetXUnit = "em"; });
    EXPECT_FALSE(f.document.isModified());
    EXPECT_EQ(f.document.style(MenuMain).offsetXUnit, "em");
    EXPECT_EQ(changed.count(), 1);

    f.document.setTagOption(!f.document.project().params.options.isTag);
    EXPECT_TRUE(f.document.isModified());
}

TEST(ProjectDocument, TreeChangesMarkTheProjectOnlyWhenSomethingMoved) {
    DocumentFixture f;
    EXPECT_EQ(f.shape(), "A B C D");

    // Refused moves change nothing and leave the project unmarked.
    EXPECT_FALSE(f.document.moveEntriesUp({f.top(0)}));
    EXPECT_FALSE(f.document.moveEntriesDown({f.top(3)}));
    EXPECT_FALSE(f.document.indentEntries({f.top(0)}));
    EXPECT_FALSE(f.document.outdentEntries({f.top(1)}));
    EXPECT_FALSE(f.document.setEntryText(f.top(0), "A"));
    EXPECT_FALSE(f.document.isModified());

    // Filling the fields may change a text's form without that counting as an edit.
    EXPECT_TRUE(f.document.setEntryText(f.top(0), "A2", false));
    EXPECT_FALSE(f.document.isModified());
    EXPECT_TRUE(f.document.setEntryText(f.top(0), "A", true));
    EXPECT_TRUE(f.document.isModified());

    f.document.setModified(false);
    EXPECT_TRUE(f.document.moveEntriesDown({f.top(1), f.top(2)}));
    EXPECT_EQ(f.shape(), "A D B C");
    EXPECT_TRUE(f.document.isModified());
    EXPECT_TRUE(f.document.indentEntries({f.top(2), f.top(3)}));
    EXPECT_EQ(f.shape(), "A D[B C]");
    EXPECT_TRUE(f.document.moveEntriesUp({f.top(1)->child(1)}));
    EXPECT_EQ(f.shape(), "A D[C B]");
    EXPECT_TRUE(f.document.outdentEntries({f.top(1)->child(0)}));
    EXPECT_EQ(f.shape(), "A D[B] C");
    f.document.removeEntries({f.top(1)});
    EXPECT_EQ(f.shape(), "A C");
    f.document.insertEntry(f.top(1), -1, {"X", "x.htm"});
    EXPECT_EQ(f.shape(), "A C[X]");
}

TEST(ProjectDocument, EntriesMoveAnywhereButIntoThemselves) {
    DocumentFixture f;
    ASSERT_TRUE(f.document.indentEntries({f.top(2)}));
    ASSERT_EQ(f.shape(), "A B[C] D");
    f.document.setModified(false);

    // Into their own subtree, or onto the place they hold: refused, project unmarked.
    EXPECT_FALSE(f.document.moveEntriesTo({f.top(1)}, f.top(1)->child(0), 0));
    EXPECT_FALSE(f.document.moveEntriesTo({f.top(1)}, f.top(1), -1));
    EXPECT_FALSE(f.document.moveEntriesTo({f.top(0), f.top(1)}, f.top(0)->parent(), 0));
    EXPECT_FALSE(f.document.isModified());

    // Non-adjacent siblings arrive as one run in their order, with their subtrees.
    EXPECT_TRUE(f.document.moveEntriesTo({f.top(1), f.top(2)}, f.top(0), -1));
    EXPECT_EQ(f.shape(), "A[B[C] D]");
    EXPECT_TRUE(f.document.isModified());
    EXPECT_TRUE(f.document.moveEntriesTo({f.top(0)->child(1)}, f.top(0)->parent(), 0));
    EXPECT_EQ(f.shape(), "D A[B[C]]");
    EXPECT_TRUE(f.document.moveEntriesTo({f.top(1)->child(0)->child(0)}, f.top(0)->parent(), 99));
    EXPECT_EQ(f.shape(), "D A[B] C");
}

TEST(ProjectDocument, ARestoredRecordIsShownAgainWithoutMarkingTheProject) {
    DocumentFixture f;
    QSignalSpy restored(&f.document, &ProjectDocument::styleRestored);
    MenuStyle record = f.document.style(MenuSub);
    record.widthValue = "77";
    f.document.restoreStyle(MenuSub, record);
    EXPECT_EQ(f.document.style(MenuSub).widthValue, "77");
    ASSERT_EQ(restored.count(), 1);
    EXPECT_EQ(restored.takeFirst().at(0).value<quilso::MenuKind>(), MenuSub);
    EXPECT_FALSE(f.document.isModified());
    f.document.restoreStyle(MenuSub, record);
    EXPECT_EQ(restored.count(), 0);
}

TEST(ProjectDocument, TheSaveQuestionDecidesWhetherChangesMayBeDropped) {
    DocumentFixture f;
    QSignalSpy captions(&f.document, &ProjectDocument::captionChanged);
    EXPECT_TRUE(f.document.confirmDiscard()); // unchanged: nothing to ask
    EXPECT_TRUE(MessageBoxes::takeShown().isEmpty());

    f.document.markModified();
    MessageBoxes::queueAnswer(MessageBoxes::Cancel);
    EXPECT_FALSE(f.document.confirmDiscard());
    MessageBoxes::queueAnswer(MessageBoxes::No);
    EXPECT_TRUE(f.document.confirmDiscard());
    EXPECT_TRUE(f.document.isModified()); // not saving keeps the changes marked
    EXPECT_EQ(MessageBoxes::takeShown().size(), 2);

    // "Ja" on a new project asks for a name; cancelling that keeps the command from going on.
    MessageBoxes::queueAnswer(MessageBoxes::Yes);
    EXPECT_FALSE(f.document.confirmDiscard());
    EXPECT_EQ(FileDialogs::takeRequests().size(), 1);
    EXPECT_TRUE(f.document.isModified());

    const QString path = f.data.path(QStringLiteral("saved.js"));
    MessageBoxes::queueAnswer(MessageBoxes::Yes);
    FileDialogs::queueFileName(path);
    EXPECT_TRUE(f.document.confirmDiscard());
    EXPECT_FALSE(f.document.isModified());
    EXPECT_EQ(f.document.fileName(), path);
    ASSERT_EQ(captions.count(), 1);
    EXPECT_EQ(captions.takeFirst().at(0).toString(), QStringLiteral("quilso: ") + path);

    EXPECT_EQ(MessageBoxes::takeShown().size(), 2); // the two questions answered "Ja"

    // A file that cannot be read leaves name and state as they were.
    f.document.markModified();
    EXPECT_FALSE(f.document.load(f.data.path(QStringLiteral("missing.js"))));
    EXPECT_EQ(f.document.fileName(), path);
    EXPECT_TRUE(f.document.isModified());
    EXPECT_EQ(MessageBoxes::takeShown().size(), 1);
    EXPECT_TRUE(f.document.load(path));
    EXPECT_FALSE(f.document.isModified());
    EXPECT_EQ(f.shape(), "A B C D");
}

TEST(ProjectDocument, AFileThatIsNoMenuScriptIsNotOpenedAndDroppedLinesShowInOneBox) {
    DocumentFixture f;
    const QString page = f.data.path(QStringLiteral("index.htm"));
    {
        QFile file(page);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("<!DOCTYPE html>\n<html><body><p>Hallo</p></body></html>\n");
    }
    EXPECT_FALSE(f.document.load(page));
    EXPECT_EQ(MessageBoxes::takeShown(),
              QStringList{QStringLiteral("error:„%1“ ist keine Menüskriptdatei.").arg(page)});
    EXPECT_EQ(f.shape(), "A B C D");
    EXPECT_TRUE(f.document.fileName().isEmpty());

    const QString lost = f.data.path(QStringLiteral("lost.js"));
    {
        QFile file(lost);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        for (int i = 0; i < 3; ++i)
            file.write(QByteArray("ca[") + QByteArray::number(i) +
                       "] = new cr(\"a\", \"a.htm\", cs, 0, cs);\r\n");
        file.write("ca[3] = new cr(\"a\", \"a.htm\", cs, cs, 99999999999);\r\n");
    }
    EXPECT_TRUE(f.document.load(lost));
    EXPECT_EQ(MessageBoxes::takeShown(),
              QStringList{QStringLiteral("info:Beim Öffnen von „%1“ wurden Zeilen übergangen:\n"
                                         "1 Menüzeile nicht gelesen (keine gültige Menüzeile): Zeile 4.\n"
                                         "3 Einträge nicht in den Baum übernommen (kein Eintrag der obersten "
                                         "Ebene): Zeilen 1, 2, 3.")
                              .arg(lost)});
}
