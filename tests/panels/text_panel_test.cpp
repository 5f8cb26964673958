#include "edit_state.h"
#include "panel_test_support.h"
#include "text_panel.h"

#include <QCheckBox>
#include <QVBoxLayout>

#include <memory>

using quilso::BlockKind;

class FrameTextTest : public QObject {
    Q_OBJECT

    QWidget* window_ = nullptr;
    quilso::ProjectParams params_;
    EditState* state_ = nullptr;
    std::unique_ptr<ParamsEditor> editor_;
    TextPanel* panels_[3] = {};
    QLineEdit* outside_ = nullptr;

    template <typename T> T* in(int kind, const char* name) { return control<T>(panels_[kind], name); }
    QCheckBox* box(int kind, const char* name) { return in<QCheckBox>(kind, name); }
    void leave() { focusTo(outside_); }

private slots:
    void init() {
        params_ = {};
        window_ = new QWidget;
        state_ = new EditState(window_);
        auto* layout = new QVBoxLayout(window_);
        editor_ = std::make_unique<ParamsEditor>(&params_, state_);
        for (int kind = 0; kind < 3; ++kind) {
            panels_[kind] = new TextPanel(window_);
            panels_[kind]->setup(quilso::MenuKind(kind), editor_.get(), state_);
            layout->addWidget(panels_[kind]);
        }
        outside_ = new QLineEdit(window_);
        layout->addWidget(outside_);
        window_->show();
        window_->activateWindow();
        focusTo(outside_);
    }
    void cleanup() { delete window_; }

    void unitListsOfferTheirItems() {
        QCOMPARE(in<QComboBox>(0, "cbTextLetterSpacing")->count(), 10); // no percent
        QCOMPARE(in<QComboBox>(0, "cbTextWordSpacing")->count(), 10);
        QCOMPARE(in<QComboBox>(0, "cbTextLineHeight")->count(), 12);
        QCOMPARE(in<QComboBox>(0, "cbTextIndent")->count(), 10);
        QCOMPARE(in<QComboBox>(0, "cbTextVerticalAlign")->count(), 17);
        QCOMPARE(in<QComboBox>(0, "cbTextIndent")->itemText(9), QString("Prozent (%)"));
        QCOMPARE(in<QComboBox>(0, "cbTextWordSpacing")->currentText(), QString("normal"));
        QCOMPARE(in<QComboBox>(0, "cbTextIndent")->currentText(), QString("vererbt"));
        QCOMPARE(in<QComboBox>(0, "cbTextLetterSpacing")->currentIndex(), -1);
    }

    void unitChoicesStoreAndShowTheNumber() {
        auto* lineHeight = in<QComboBox>(1, "cbTextLineHeight");
        auto* number = in<QLineEdit>(1, "eTextLineHeight");
        params_.css[1].lineHeightUnit = "em";
        choose(lineHeight, 2);
        QCOMPARE(params_.css[1].lineHeightUnit, std::string(""));
        QVERIFY(number->isVisible());
        choose(lineHeight, 0);
        QCOMPARE(params_.css[1].lineHeightUnit, std::string("normal"));
        QVERIFY(!number->isVisible());

        auto* vertical = in<QComboBox>(1, "cbTextVerticalAlign");
        choose(vertical, vertical->findText("Oben"));
        QCOMPARE(params_.css[1].verticalAlignUnit, std::string("top"));
        choose(vertical, vertical->findText("Fußlinie"));
        QCOMPARE(params_.css[1].verticalAlignUnit, std::string("bottom"));
        QVERIFY(!in<QLineEdit>(1, "eTextVerticalAlign")->isVisible());
        choose(vertical, vertical->findText("Pixel (px)"));
        QCOMPARE(params_.css[1].verticalAlignUnit, std::string("px"));
        QVERIFY(in<QLineEdit>(1, "eTextVerticalAlign")->isVisible());

        choose(in<QComboBox>(1, "cbTextIndent"), 9);
        QCOMPARE(params_.css[1].textIndentUnit, std::string("%"));
        QVERIFY(params_.css[0].textIndentUnit.empty());
    }

    void minusOnlyWhereASignedNumberIsAllowed() {
        auto* letter = in<QLineEdit>(0, "eTextLetterSpacing");
        typeInto(letter, "1-");
        QCOMPARE(letter->text(), QString("1"));
        QTest::keyClick(letter, Qt::Key_Home);
        QTest::keyClicks(letter, "--");
        QCOMPARE(letter->text(), QString("-1"));
        QTest::keyClick(letter, Qt::Key_End);
        QTest::keyClicks(letter, ".5,");
        leave();
        QCOMPARE(params_.css[0].letterSpacingValue, std::string("-1.5"));
        QVERIFY(state_->projectModified());

        auto* line = in<QLineEdit>(0, "eTextLineHeight");
        typeInto(line, "-1,2");
        QCOMPARE(line->text(), QString("1,2"));
        leave();
        QCOMPARE(params_.css[0].lineHeightValue, std::string("1.2")); // stored with a point
    }

    void invalidNumberIsRefusedOnce() {
        auto* indent = in<QLineEdit>(2, "eTextIndent");
        typeInto(indent, "4");
        leave();
        typeInto(indent, "-");
        QVERIFY(state_->editPending);
        leave();
        QCOMPARE(state_->beepCount(), 1);
        QVERIFY(!state_->editValid);
        QVERIFY(!state_->editPending);
        QCOMPARE(indent->text(), QString("4"));
        QCOMPARE(params_.css[2].textIndentValue, std::string("4"));
    }

    void keywordLists() {
        choose(in<QComboBox>(0, "cbTextAlign"), 3);
        choose(in<QComboBox>(0, "cbTextDirection"), 1);
        choose(in<QComboBox>(0, "cbTextTransform"), 2);
        choose(in<QComboBox>(0, "cbTextWhiteSpace"), 2);
        QCOMPARE(params_.css[0].textAlign, std::string("justify"));
        QCOMPARE(params_.css[0].direction, std::string("rtl"));
        QCOMPARE(params_.css[0].textTransform, std::string("lowercase"));
        QCOMPARE(params_.css[0].whiteSpace, std::string("nowrap"));
    }

    void inheritDecorationRule() {
        box(0, "cbTextDecorationUnderline")->click();
        box(0, "cbTextDecorationBlink")->click();
        QVERIFY(params_.css[0].textDecorationUnderline);
        QVERIFY(params_.css[0].textDecorationBlink);
        box(0, "cbTextDecorationInherit")->click();
        QVERIFY(params_.css[0].textDecorationInherit);
        for (const char* name : {"cbTextDecorationUnderline", "cbTextDecorationOverline",
                                 "cbTextDecorationLineThrough", "cbTextDecorationBlink"}) {
            QVERIFY(!box(0, name)->isChecked());
            QVERIFY(!box(0, name)->isEnabled());
        }
        QVERIFY(!params_.css[0].textDecorationUnderline);
        QVERIFY(!params_.css[0].textDecorationBlink);
        box(0, "cbTextDecorationInherit")->click();
        QVERIFY(!params_.css[0].textDecorationInherit);
        QVERIFY(box(0, "cbTextDecorationUnderline")->isEnabled());
        QVERIFY(!box(0, "cbTextDecorationUnderline")->isChecked());
        // Another menu's boxes are independent.
        QVERIFY(box(1, "cbTextDecorationUnderline")->isEnabled());
    }

    void readerSetsTheControls() {
        quilso::MenuStyle& css = params_.css[2];
        TextPanel* panel = panels_[2];
        css.letterSpacingUnit = "px";
        css.letterSpacingValue = "-2";
        panel->declarationRead(BlockKind::Item, "letter-spacing", true);
        QCOMPARE(in<QComboBox>(2, "cbTextLetterSpacing")->currentText(), QString("Pixel (px)"));
        QCOMPARE(in<QLineEdit>(2, "eTextLetterSpacing")->text(), QString("-2"));
        css.letterSpacingUnit = "inherit";
        css.letterSpacingValue = "0";
        panel->declarationRead(BlockKind::Item, "letter-spacing", true);
        QCOMPARE(in<QComboBox>(2, "cbTextLetterSpacing")->currentIndex(), 1);
        QVERIFY(!in<QLineEdit>(2, "eTextLetterSpacing")->isVisible());

        css.lineHeightUnit = "";
        css.lineHeightValue = "1.5";
        panel->declarationRead(BlockKind::Item, "line-height", true);
        QCOMPARE(in<QComboBox>(2, "cbTextLineHeight")->currentIndex(), 2);
        QVERIFY(in<QLineEdit>(2, "eTextLineHeight")->isVisible());
        css.lineHeightUnit = "%";
        panel->declarationRead(BlockKind::Item, "line-height", true);
        QCOMPARE(in<QComboBox>(2, "cbTextLineHeight")->currentIndex(), 11);

        css.wordSpacingUnit = "%"; // no percent item: shown as "normal"
        panel->declarationRead(BlockKind::Item, "word-spacing", true);
        QCOMPARE(in<QComboBox>(2, "cbTextWordSpacing")->currentIndex(), 0);
        QVERIFY(!in<QLineEdit>(2, "eTextWordSpacing")->isVisible());

        css.verticalAlignUnit = "text-top";
        panel->declarationRead(BlockKind::Item, "vertical-align", true);
        QCOMPARE(in<QComboBox>(2, "cbTextVerticalAlign")->currentText(), QString("Oberkante Schrift"));
        css.textIndentUnit = "cm";
        css.textIndentValue = "1,5";
        panel->declarationRead(BlockKind::Item, "text-indent", true);
        QCOMPARE(in<QComboBox>(2, "cbTextIndent")->currentText(), QString("Zentimeter (cm)"));
        QCOMPARE(in<QLineEdit>(2, "eTextIndent")->text(), QString("1,5"));

        css.direction = "rtl";
        panel->declarationRead(BlockKind::Item, "direction", true);
        QCOMPARE(in<QComboBox>(2, "cbTextDirection")->currentIndex(), 1);
        css.whiteSpace = "pre";
        panel->declarationRead(BlockKind::Link, "white-space", true);
        QCOMPARE(in<QComboBox>(2, "cbTextWhiteSpace")->currentIndex(), 1);

        css.textDecorationUnderline = true;
        css.textDecorationBlink = true;
        panel->declarationRead(BlockKind::Link, "text-decoration", true);
        QVERIFY(box(2, "cbTextDecorationUnderline")->isChecked());
        QVERIFY(box(2, "cbTextDecorationBlink")->isChecked());
        QVERIFY(!box(2, "cbTextDecorationOverline")->isChecked());
        css.textDecorationInherit = true;
        panel->declarationRead(BlockKind::Link, "text-decoration", true);
        QVERIFY(!box(2, "cbTextDecorationUnderline")->isChecked());
        QVERIFY(!box(2, "cbTextDecorationUnderline")->isEnabled());
        QVERIFY(!css.textDecorationUnderline);

        // The same property name in the wrong block is not this panel's business.
        css.textAlign = "center";
        panel->declarationRead(BlockKind::Item, "text-align", true);
        QCOMPARE(in<QComboBox>(2, "cbTextAlign")->currentIndex(), 0);
        QCOMPARE(in<QComboBox>(0, "cbTextLetterSpacing")->currentIndex(), -1);
    }
};

QTEST_MAIN(FrameTextTest)
#include "text_panel_test.moc"
