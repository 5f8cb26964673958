// The gallery of looks: trying one on, applying it as one step, undoing it and cancelling.
#include "app_test_support.h"

#include "contrast_label.h"
#include "file_io.h"
#include "live_preview.h"
#include "looks.h"
#include "reader.h"
#include "style_gallery_dialog.h"
#include "style_panel.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QInputDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUndoStack>

#include <gtest/gtest.h>

#include <cstdlib>

using quilso::MenuKindCount;

namespace {

const QString ShippedLooks = QStringLiteral(QUILSO_SOURCE_DIR "/data/styles");

// What the fifteen style panels show in their fields, lists and boxes; what hidden or unnamed
// controls hold is left out, as the user does not see it.
QString panelsShown(const MainWindow& form) {
    QStringList lines;
    for (int k = 0; k < MenuKindCount; ++k) {
        for (int tab = 0; tab < 5; ++tab) {
            // The border panel shows the part and sides a step changed, so after a step its
            // selection differs from a freshly opened file's; the values are compared through the
            // document's records.
            if (tab == 3) continue;
            StylePanel* panel = form.stylePages()->panel(quilso::MenuKind(k), tab);
            for (QWidget* w : panel->findChildren<QWidget*>()) {
                if (w->objectName().isEmpty() || !w->isVisibleTo(panel)) continue;
                QString line = QStringLiteral("%1/%2/%3:").arg(k).arg(tab).arg(w->objectName());
                if (auto* edit = qobject_cast<QLineEdit*>(w))
                    line += edit->text();
                else if (auto* list = qobject_cast<QComboBox*>(w))
                    line += list->currentText();
                else if (auto* box = qobject_cast<QAbstractButton*>(w); box && box->isCheckable())
                    line += box->isChecked() ? u'x' : u'-';
                else
                    continue;
                lines << line;
            }
        }
    }
    return lines.join(u'\n');
}

class StyleGallery : public ::testing::Test {
protected:
    void SetUp() override {
        // A fixed save time, so that two saves of one project give the same bytes.
        qputenv("SOURCE_DATE_EPOCH", "1796568663");
        qputenv("XDG_DATA_HOME", userData_.path().toUtf8());
        form_ = data_.makeForm({QStringLiteral(QUILSO_SOURCE_DIR "/data/default.js")});
        form_->show();
        FileDialogs::queueFileName(data_.path(QStringLiteral("saved.js")));
        ASSERT_TRUE(document()->saveAs());
        MessageBoxes::takeShown();
    }
    void TearDown() override {
        qunsetenv("SOURCE_DATE_EPOCH");
        qunsetenv("XDG_DATA_HOME");
    }

    ProjectDocument* document() const { return form_->document(); }
    QString userDir() const { return QString::fromStdString(quilso::UserLooksDir().string()); }
    QByteArray saved() const {
        QFile file(data_.path(QStringLiteral("saved.js")));
        file.open(QIODevice::ReadOnly);
        return file.readAll();
    }
    std::unique_ptr<StyleGalleryDialog> gallery() const {
        return std::make_unique<StyleGalleryDialog>(
            document(), ShippedLooks, userDir(), [] {}, form_.get());
    }
    const quilso::Look& shipped(const char* name) {
        shippedLooks_ = quilso::ListLooks(ShippedLooks.toStdString(), {});
        const quilso::Look* look = quilso::FindLook(shippedLooks_, name);
        if (!look) throw std::runtime_error(name);
        return *look;
    }
    // A second window that opened a file holding `look`'s styles: what its panels show is what
    // applying the look must show.
    QString panelsOfFileWith(const quilso::Look& look) {
        quilso::Project project;
        quilso::ReadObserver ignore;
        quilso::ReadProjectFile(QUILSO_SOURCE_DIR "/data/default.js", project, ignore);
        quilso::ApplyLook(look, project.params);
        WriteProjectFile(data_.path(QStringLiteral("look.js")), project);
        auto other = data_.makeForm({data_.path(QStringLiteral("look.js"))});
        return panelsShown(*other);
    }

    QTemporaryDir userData_;
    AppFixture data_;
    std::unique_ptr<MainWindow> form_;
    std::vector<quilso::Look> shippedLooks_;
};

} // namespace

TEST_F(StyleGallery, AppliedLookIsOneStepThatUndoesToTheSameBytes) {
    const QByteArray before = saved();
    const QString panelsBefore = panelsShown(*form_);
    const int steps = document()->undoStack()->count();
    const quilso::Look& dark = shipped("Dunkel");
    const QString darkPanels = panelsOfFileWith(dark);
    ASSERT_NE(darkPanels, panelsBefore);

    auto dialog = gallery();
    ASSERT_TRUE(dialog->chooseLook(QStringLiteral("Hell")));
    ASSERT_TRUE(dialog->chooseLook(QStringLiteral("Dunkel")));
    // Tried on without a step of its own.
    EXPECT_EQ(document()->undoStack()->count(), steps);
    EXPECT_EQ(panelsShown(*form_).toStdString(), darkPanels.toStdString());
    dialog->findChild<QAbstractButton*>(QStringLiteral("ApplyLookButton"))->click();
    EXPECT_EQ(dialog->result(), QDialog::Accepted);

    ASSERT_EQ(document()->undoStack()->count(), steps + 1);
    EXPECT_EQ(document()->undoStack()->undoText(), QStringLiteral("Stilvorlage \u201EDunkel\u201C"));
    for (int k = 0; k < MenuKindCount; ++k)
        EXPECT_EQ(document()->project().params.css[k], dark.css[k]) << k;
    EXPECT_EQ(panelsShown(*form_).toStdString(), darkPanels.toStdString());
    EXPECT_TRUE(document()->isModified());

    ASSERT_TRUE(document()->save());
    quilso::Project written;
    quilso::ReadObserver ignore;
    quilso::ReadProjectFile(data_.path(QStringLiteral("saved.js")).toStdString(), written, ignore);
    for (int k = 0; k < MenuKindCount; ++k)
        EXPECT_EQ(written.params.css[k], dark.css[k]) << k;
    EXPECT_EQ(TreeShape(written.tree), TreeShape(document()->project().tree));

    document()->undoStack()->undo();
    EXPECT_EQ(panelsShown(*form_).toStdString(), panelsBefore.toStdString());
    ASSERT_TRUE(document()->save());
    EXPECT_EQ(saved(), before);
}

TEST_F(StyleGallery, CancelLeavesTheProjectAsItWas) {
    const quilso::ProjectParams params = document()->project().params;
    const QString panelsBefore = panelsShown(*form_);
    const int steps = document()->undoStack()->count();

    auto dialog = gallery();
    ASSERT_TRUE(dialog->chooseLook(QStringLiteral("Karteireiter")));
    // Tried on: the project, and so the preview's menu script, show it while the gallery is open.
    EXPECT_EQ(document()->project().params.css[quilso::MenuMain],
              shipped("Karteireiter").css[quilso::MenuMain]);
    const QByteArray tabColour = QByteArrayLiteral("6B7280"); // the tab bar's border, in no other look
    EXPECT_TRUE(form_->livePreview()->menuScript().toUpper().contains(tabColour));
    ASSERT_TRUE(dialog->chooseLook(QStringLiteral("Seitenleiste")));
    dialog->findChild<QAbstractButton*>(QStringLiteral("CancelLookButton"))->click();

    EXPECT_EQ(dialog->result(), QDialog::Rejected);
    EXPECT_EQ(document()->project().params, params);
    EXPECT_FALSE(form_->livePreview()->menuScript().toUpper().contains(tabColour));
    // Not even a step to redo is left behind.
    EXPECT_EQ(document()->undoStack()->count(), steps);
    EXPECT_EQ(document()->undoStack()->index(), steps);
    EXPECT_FALSE(document()->isModified());
    EXPECT_EQ(panelsShown(*form_).toStdString(), panelsBefore.toStdString());
}

TEST_F(StyleGallery, OwnLooksAreSavedAndAWeakOneCarriesTheWarning) {
    // "Als Stilvorlage speichern..." answered with a name.
    QTimer::singleShot(0, [] {
        auto* ask = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(ask, nullptr);
        ask->setTextValue(QStringLiteral("Blass"));
        ask->accept();
    });
    document()->editStyle(quilso::MenuMain, "Farbe", [](quilso::MenuStyle& s) { s.colorHover = "AAAAAA"; });
    ASSERT_TRUE(SaveProjectAsLook(document(), ShippedLooks, userDir(), form_.get()));

    auto dialog = gallery();
    const auto& looks = dialog->looks();
    ASSERT_FALSE(looks.back().builtIn);
    EXPECT_EQ(looks.back().name, "Blass");
    auto* list = dialog->findChild<QListWidget*>(QStringLiteral("LookList"));
    EXPECT_TRUE(list->item(list->count() - 1)->text().startsWith(QStringLiteral("\u26A0 Blass")))
        << list->item(list->count() - 1)->text().toStdString();
    EXPECT_FALSE(list->item(0)->text().startsWith(QStringLiteral("\u26A0")));

    ASSERT_TRUE(dialog->chooseLook(QStringLiteral("Blass")));
    auto* hover = dialog->findChild<ContrastLabel*>(QStringLiteral("LookContrast_m_hover"));
    ASSERT_NE(hover, nullptr);
    EXPECT_TRUE(hover->isWarning());
    EXPECT_TRUE(dialog->findChild<QAbstractButton*>(QStringLiteral("RemoveLookButton"))->isEnabled());
    ASSERT_TRUE(dialog->chooseLook(QStringLiteral("Hell")));
    EXPECT_FALSE(hover->isWarning());
    EXPECT_FALSE(dialog->findChild<QAbstractButton*>(QStringLiteral("RemoveLookButton"))->isEnabled());

    // A shipped look's name is refused.
    QTimer::singleShot(0, [] {
        auto* ask = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(ask, nullptr);
        ask->setTextValue(QStringLiteral("Hell"));
        ask->accept();
    });
    EXPECT_FALSE(SaveProjectAsLook(document(), ShippedLooks, userDir(), form_.get()));
    EXPECT_EQ(MessageBoxes::takeShown().join(u'|'),
              QStringLiteral("error:") + BuiltInNameText(QStringLiteral("Hell")));
    dialog->reject();
}

// Each look's picture is drawn from its records: different looks, different pictures.
TEST_F(StyleGallery, PicturesComeFromTheLooks) {
    const auto looks = quilso::ListLooks(ShippedLooks.toStdString(), {});
    QSet<size_t> pictures;
    for (const quilso::Look& look : looks) {
        const QImage picture = DrawLookPicture(look.css);
        EXPECT_FALSE(picture.isNull());
        pictures.insert(qHashBits(picture.constBits(), picture.sizeInBytes()));
    }
    EXPECT_EQ(pictures.size(), looks.size());
}

// The user's look renamed and removed from the gallery; the shipped ones cannot be.
TEST_F(StyleGallery, OwnLookIsRenamedAndRemovedInTheGallery) {
    quilso::SaveLook(userDir().toStdString(), "Alt", document()->project().params);
    auto dialog = gallery();
    ASSERT_TRUE(dialog->chooseLook(QStringLiteral("Alt")));
    QTimer::singleShot(0, [] {
        auto* ask = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(ask, nullptr);
        ask->setTextValue(QStringLiteral("Neu"));
        ask->accept();
    });
    dialog->findChild<QAbstractButton*>(QStringLiteral("RenameLookButton"))->click();
    EXPECT_EQ(dialog->looks().back().name, "Neu");
    EXPECT_TRUE(QFile::exists(userDir() + QStringLiteral("/Neu.json")));
    EXPECT_FALSE(QFile::exists(userDir() + QStringLiteral("/Alt.json")));

    ASSERT_TRUE(dialog->chooseLook(QStringLiteral("Neu")));
    MessageBoxes::queueAnswer(MessageBoxes::Yes);
    dialog->findChild<QAbstractButton*>(QStringLiteral("RemoveLookButton"))->click();
    EXPECT_FALSE(QFile::exists(userDir() + QStringLiteral("/Neu.json")));
    EXPECT_TRUE(dialog->looks().back().builtIn);
    dialog->reject();
}
