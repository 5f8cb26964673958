#include "app_test_support.h"
#include "publish_dialog.h"
#include "site_tree_model.h"
#include "ui_seams.h"

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>

#include <gtest/gtest.h>

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
} // namespace

TEST(PublishCommand, SavesFirstThenWritesThePagesAndShowsTheReport) {
    AppFixture data("AB");
    auto form = data.makeForm();
    QAction* publish = form->findChild<QAction*>(QStringLiteral("miPublish"));
    ASSERT_NE(publish, nullptr);
    const QByteArray page = "<body><!-- quilso:m --><!-- /quilso:m --></body>";
    writeBytes(data.path(QStringLiteral("A.htm")), page);

    // Never saved: saving cancelled, nothing is published.
    publish->trigger();
    EXPECT_EQ(fileBytes(data.path(QStringLiteral("A.htm"))), page);
    EXPECT_EQ(form->findChild<PublishDialog*>(), nullptr);

    // An entry added since: the pages show the saved state, the new entry included.
    form->document()->insertEntry(form->document()->treeModel()->nodeOf({}), -1, {"Neu", "neu.htm"});
    form->document()->setModified(true);
    FileDialogs::queueFileName(data.path(QStringLiteral("site.js")));
    MessageBoxes::queueAnswer(MessageBoxes::Yes); // "Projekt vorher speichern?"
    publish->trigger();
    EXPECT_FALSE(form->document()->isModified());
    EXPECT_TRUE(QFile::exists(data.path(QStringLiteral("site.js"))));
    const QByteArray written = fileBytes(data.path(QStringLiteral("A.htm")));
    EXPECT_TRUE(written.contains("<a href=\"A.htm\" id=\"m_selected\" aria-current=\"page\">A</a>"));
    EXPECT_TRUE(written.contains("<a href=\"neu.htm\">Neu</a>"));

    auto* dialog = form->findChild<PublishDialog*>();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->findChild<QLabel*>(QStringLiteral("lSummary"))->text(),
              QStringLiteral("3 Seiten: 1 geschrieben, 0 unverändert, 2 übersprungen, 0 fehlgeschlagen"));
    EXPECT_EQ(dialog->findChild<QPlainTextEdit*>(QStringLiteral("mPages"))->toPlainText(),
              QStringLiteral("geschrieben: A.htm\nübersprungen: B.htm (nicht gefunden)\n"
                             "übersprungen: neu.htm (nicht gefunden)"));
    dialog->close();
}

TEST(PublishCommand, ReasonsReadInGerman) {
    using quilso::PageReason;
    using quilso::PageStatus;
    EXPECT_EQ(PublishDialog::pageLine(
                  {"a/ü.htm", PageStatus::Skipped, PageReason::UnclosedMarker, "<!-- quilso:bc -->"}),
              QStringLiteral("übersprungen: a/ü.htm („<!-- quilso:bc -->“ ohne Endmarkierung)"));
    EXPECT_EQ(PublishDialog::pageLine({"x.htm", PageStatus::Failed, PageReason::WriteError, "No space"}),
              QStringLiteral("fehlgeschlagen: x.htm (kann nicht geschrieben werden: No space)"));
    EXPECT_EQ(PublishDialog::pageLine({"x.htm", PageStatus::Unchanged, PageReason::None, {}}),
              QStringLiteral("unverändert: x.htm"));
    EXPECT_EQ(
        PublishDialog::pageLine({"x.htm", PageStatus::Skipped, PageReason::ChangedMeanwhile, {}}),
        QStringLiteral("übersprungen: x.htm (während des Veröffentlichens geändert, nicht überschrieben)"));
    EXPECT_EQ(
        PublishDialog::pageLine(
            {"x.htm", PageStatus::Skipped, PageReason::MisplacedMarker, "<!-- quilso:m --> im Tag <p>"}),
        QStringLiteral("übersprungen: x.htm (<!-- quilso:m --> im Tag <p>, nicht als Kommentar der Seite)"));
    quilso::PageReport thanks{"danke.htm", PageStatus::Written, PageReason::None, {}};
    thanks.inMenu = false;
    EXPECT_EQ(PublishDialog::pageLine(thanks), QStringLiteral("geschrieben: danke.htm (in keinem Menü)"));
    thanks.status = PageStatus::Skipped;
    thanks.reason = PageReason::NoMarkers;
    EXPECT_EQ(PublishDialog::pageLine(thanks),
              QStringLiteral("übersprungen: danke.htm (in keinem Menü; keine Markierungskommentare)"));
}
