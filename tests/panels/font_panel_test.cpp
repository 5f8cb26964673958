#include "color_choice_panel.h"
#include "edit_state.h"
#include "font_panel.h"
#include "panel_test_support.h"

#include <QCheckBox>
#include <QVBoxLayout>

#include <memory>

using quilso::BlockKind;
using Names = std::vector<std::string>;

// Three font panels, one per menu, in one window as on the "Schrift" tab.
class FrameFontTest : public QObject {
    Q_OBJECT

    QWidget* window_ = nullptr;
    quilso::ProjectParams params_;
    EditState* state_ = nullptr;
    std::unique_ptr<ParamsEditor> editor_;
    FontPanel* panels_[3] = {};
    QLineEdit* outside_ = nullptr;

    FontPanel* panel(int kind = 0) { return panels_[kind]; }
    template <typename T> T* in(int kind, const char* name) { return control<T>(panels_[kind], name); }
    ColorChoicePanel* colorPanel(int kind, const char* name) { return in<ColorChoicePanel>(kind, name); }
    QLineEdit* colorField(int kind, const char* panelName, const char* field) {
        return control<QLineEdit>(colorPanel(kind, panelName), field);
    }
    void leave() { focusTo(outside_); }

private slots:
    void init() {
        params_ = {};
        window_ = new QWidget;
        state_ = new EditState(window_);
        auto* layout = new QVBoxLayout(window_);
        editor_ = std::make_unique<ParamsEditor>(&params_, state_);
        for (int kind = 0; kind < 3; ++kind) {
            panels_[kind] = new FontPanel(window_);
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

    void familySplitting_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<Names>("names");
        QTest::newRow("item") << "Arial, Helvetica, sans-serif" << Names{"Arial", "Helvetica", "sans-serif"};
        QTest::newRow("quotes and trailing blank")
            << "Verdana , 'Trebuchet MS, x', serif" << Names{"Verdana ", "'Trebuchet MS, x'", "serif"};
        QTest::newRow("double quotes") << "\"A, B\",C" << Names{"\"A, B\"", "C"};
        QTest::newRow("line break and empty names") << "a\nb,, ,\r\nc" << Names{"a", "b", "c"};
        QTest::newRow("only separators") << " , ,, " << Names{};
    }
    void familySplitting() {
        QFETCH(QString, text);
        QFETCH(Names, names);
        QCOMPARE(SplitFontFamilies(text.toStdString()), names);
    }

    void familyTypedIsStoredAtExit() {
        auto* family = in<QComboBox>(0, "cbFontFamily");
        focusTo(family);
        family->lineEdit()->selectAll();
        QTest::keyClicks(family->lineEdit(), "  Verdana , 'Trebuchet MS, x', serif ");
        QVERIFY(state_->editPending);
        QVERIFY(params_.css[0].fontFamilies.empty());
        state_->editValid = false;
        leave();
        QCOMPARE(params_.css[0].fontFamilies, (Names{"Verdana ", "'Trebuchet MS, x'", "serif"}));
        QVERIFY(state_->editValid);
        QVERIFY(!state_->editPending);
        QVERIFY(state_->projectModified());
        QVERIFY(params_.css[1].fontFamilies.empty());
    }

    void onlyAStoredChangeMarksTheProject() {
        // Typing in the family box is no change until the box is left.
        auto* family = in<QComboBox>(0, "cbFontFamily");
        focusTo(family);
        family->lineEdit()->selectAll();
        QTest::keyClicks(family->lineEdit(), "Verdana");
        QVERIFY(!state_->projectModified());
        leave();
        QVERIFY(state_->projectModified());

        // A refused hex entry that gets its old text back has changed nothing, also on a panel
        // that was never entered.
        state_->setProjectModified(false);
        QLineEdit* untouched = colorField(2, "frameFontColorChoice", "eHexColor");
        typeInto(untouched, "12345");
        leave();
        QCOMPARE(untouched->text(), QStringLiteral("000000"));
        QVERIFY(!state_->projectModified());
        leave(); // the second exit passes: the entered panel stores the black it shows
        state_->setProjectModified(false);
        for (int kind = 0; kind < 3; ++kind) {
            colorPanel(kind, "frameFontColorChoiceSelected")->showColor("336699");
            params_.css[kind].colorSelected = "336699";
            QLineEdit* hex = colorField(kind, "frameFontColorChoiceSelected", "eHexColor");
            const int beeps = state_->beepCount();
            typeInto(hex, "12345");
            leave();
            QCOMPARE(state_->beepCount(), beeps + 1);
            QCOMPARE(hex->text(), QStringLiteral("336699"));
            QVERIFY(!state_->projectModified());
            leave();
            QVERIFY2(!state_->projectModified(), qPrintable(QString::number(kind)));
        }
    }

    void familyRefusesWhatTheFileCannotHold() {
        auto* family = in<QComboBox>(0, "cbFontFamily");
        focusTo(family);
        family->lineEdit()->selectAll();
        QTest::keyClicks(family->lineEdit(), "Ari");
        const int beeps = state_->beepCount();
        for (const QString& ch : {QStringLiteral("\u2192"), QStringLiteral("\u20AC")}) {
            QTest::sendKeyEvent(QTest::Press, family->lineEdit(), Qt::Key_unknown, ch, Qt::NoModifier);
            QTest::sendKeyEvent(QTest::Release, family->lineEdit(), Qt::Key_unknown, ch, Qt::NoModifier);
        }
        QTest::keyClicks(family->lineEdit(), "l");
        QCOMPARE(family->currentText(), QStringLiteral("Ari\u20ACl"));
        QCOMPARE(state_->beepCount(), beeps + 1);
        leave();
        QCOMPARE(params_.css[0].fontFamilies, (Names{"Ari\x80l"}));
    }

    void familyRefusesWhatWouldEndItsRule() {
        auto* family = in<QComboBox>(0, "cbFontFamily");
        focusTo(family);
        family->lineEdit()->selectAll();
        const int beeps = state_->beepCount();
        QTest::keyClicks(family->lineEdit(), "Foo}B;a{r");
        QCOMPARE(family->currentText(), QStringLiteral("FooBar"));
        QCOMPARE(state_->beepCount(), beeps + 3);
        leave();
        QCOMPARE(params_.css[0].fontFamilies, (Names{"FooBar"}));
    }

    void familyChosenFromTheList() {
        auto* family = in<QComboBox>(1, "cbFontFamily");
        choose(family, 4);
        QCOMPARE(params_.css[1].fontFamilies, (Names{"Verdana", "Arial", "Helvetica", "sans-serif"}));
        QVERIFY(state_->projectModified());
    }

    void fontSizeFollowsTheUnitPattern() {
        auto* list = in<QComboBox>(2, "cbFontSize");
        auto* number = in<QLineEdit>(2, "eFontSize");
        QCOMPARE(list->count(), 19);
        QCOMPARE(list->currentText(), QString("mittel"));
        choose(list, list->findText("Pixel (px)"));
        QCOMPARE(params_.css[2].fontSizeUnit, std::string("px"));
        QVERIFY(number->isVisible());
        typeInto(number, "12.");
        leave();
        QCOMPARE(params_.css[2].fontSizeValue, std::string("12.0"));
        choose(list, list->findText("groß"));
        QCOMPARE(params_.css[2].fontSizeUnit, std::string("large"));
        QVERIFY(!number->isVisible());
        QCOMPARE(params_.css[2].fontSizeValue, std::string("12.0"));
        choose(list, 18);
        QCOMPARE(params_.css[2].fontSizeUnit, std::string("%"));
        // The sub menu's record is untouched.
        QVERIFY(params_.css[1].fontSizeUnit.empty());
    }

    void keywordLists() {
        choose(in<QComboBox>(0, "cbFontStyle"), 2);
        choose(in<QComboBox>(0, "cbFontVariant"), 1);
        choose(in<QComboBox>(0, "cbFontWeight"), 13);
        QCOMPARE(params_.css[0].fontStyle, std::string("oblique"));
        QCOMPARE(params_.css[0].fontVariant, std::string("small-caps"));
        QCOMPARE(params_.css[0].fontWeight, std::string("900"));
        QCOMPARE(in<QComboBox>(0, "cbFontWeight")->itemText(2), QString("dünner"));
    }

    void colourPanelsStoreOnExitOnlyWhenChanged() {
        params_.css[1].colorSelected = "000000";
        QLineEdit* hex = colorField(1, "frameFontColorChoiceSelected", "eHexColor");
        focusTo(hex);
        leave();
        QVERIFY(!state_->projectModified());
        typeInto(hex, "f80");
        leave();
        QCOMPARE(params_.css[1].colorSelected, std::string("FF8800"));
        QVERIFY(state_->projectModified());
        QVERIFY(params_.css[1].color.empty());
        QVERIFY(params_.css[0].colorSelected.empty());

        // A refused hex text keeps the focus in the panel: the record keeps its colour.
        typeInto(hex, "1234");
        leave();
        QCOMPARE(params_.css[1].colorSelected, std::string("FF8800"));
        QVERIFY(!state_->editValid);
    }

    void hoverActivation() {
        auto* active = in<QCheckBox>(0, "cbFontColorHoverActive");
        ColorChoicePanel* hover = colorPanel(0, "frameFontColorChoiceHover");
        QVERIFY(!active->isChecked());
        hover->showColor("123ABC");
        params_.css[0].colorHover = "123ABC";
        active->click(); // ticks
        QCOMPARE(params_.css[0].colorHover, std::string("123ABC"));
        QVERIFY(hover->isVisible());
        active->click(); // unticks
        QVERIFY(params_.css[0].colorHover.empty());
        QVERIFY(!hover->isVisible());
        QVERIFY(state_->projectModified());
        active->click();
        QCOMPARE(params_.css[0].colorHover, std::string("123ABC"));

        // A panel that never showed a colour stores the black it shows.
        in<QCheckBox>(1, "cbFontColorHoverActive")->click();
        QCOMPARE(params_.css[1].colorHover, std::string("000000"));
    }

    void readerSetsTheControls() {
        quilso::MenuStyle& css = params_.css[1];
        css.fontFamilies = {"Arial", "Times New Roman", "serif"};
        panel(1)->declarationRead(BlockKind::Item, "font-family", true);
        QCOMPARE(in<QComboBox>(1, "cbFontFamily")->currentText(), QString("Arial, Times New Roman, serif"));

        css.fontSizeUnit = "em";
        css.fontSizeValue = "1,2";
        panel(1)->declarationRead(BlockKind::Item, "font-size", true);
        QCOMPARE(in<QComboBox>(1, "cbFontSize")->currentIndex(), 10);
        QCOMPARE(in<QLineEdit>(1, "eFontSize")->text(), QString("1,2"));
        QVERIFY(in<QLineEdit>(1, "eFontSize")->isVisible());
        css.fontSizeUnit = "x-large";
        css.fontSizeValue = "10";
        panel(1)->declarationRead(BlockKind::Item, "font-size", true);
        QCOMPARE(in<QComboBox>(1, "cbFontSize")->currentIndex(), 5);
        QVERIFY(!in<QLineEdit>(1, "eFontSize")->isVisible());
        QCOMPARE(in<QLineEdit>(1, "eFontSize")->text(), QString("1,2")); // text unchanged
        css.fontSizeUnit = "vw"; // a unit the list does not offer: the list stays
        panel(1)->declarationRead(BlockKind::Item, "font-size", true);
        QCOMPARE(in<QComboBox>(1, "cbFontSize")->currentIndex(), 5);

        css.fontWeight = "bold";
        panel(1)->declarationRead(BlockKind::Item, "font-weight", true);
        QCOMPARE(in<QComboBox>(1, "cbFontWeight")->currentText(), QString("fett"));
        css.fontWeight = "950";
        panel(1)->declarationRead(BlockKind::Item, "font-weight", true);
        QCOMPARE(in<QComboBox>(1, "cbFontWeight")->currentText(), QString("fett"));
        css.fontStyle = "italic";
        panel(1)->declarationRead(BlockKind::Item, "font-style", true);
        QCOMPARE(in<QComboBox>(1, "cbFontStyle")->currentText(), QString("kursiv"));

        css.color = "aabbcc";
        panel(1)->declarationRead(BlockKind::Link, "color", true);
        QCOMPARE(colorPanel(1, "frameFontColorChoice")->hexColor(), std::string("aabbcc"));
        // A colour the reader skipped leaves the panel as it was.
        css.colorSelected = "zz";
        panel(1)->declarationRead(BlockKind::SelectedLink, "color", false);
        QVERIFY(!colorPanel(1, "frameFontColorChoiceSelected")->initialised());
        // Other menus' panels are untouched.
        QCOMPARE(in<QComboBox>(0, "cbFontSize")->currentIndex(), 3);
        QVERIFY(!state_->projectModified());
    }

    void readingTicksHoverExactlyWhenAColourIsStored() {
        params_.css[2].colorHover = "FF0000";
        panel(2)->declarationRead(BlockKind::Hover, "color", true);
        panel(2)->blockScanFinished();
        QVERIFY(in<QCheckBox>(2, "cbFontColorHoverActive")->isChecked());
        QVERIFY(colorPanel(2, "frameFontColorChoiceHover")->isVisible());
        QCOMPARE(colorPanel(2, "frameFontColorChoiceHover")->hexColor(), std::string("FF0000"));

        params_.css[2].colorHover.clear();
        panel(2)->blockScanFinished();
        QVERIFY(!in<QCheckBox>(2, "cbFontColorHoverActive")->isChecked());
        QVERIFY(!colorPanel(2, "frameFontColorChoiceHover")->isVisible());
        // The hidden panel keeps its colour for a later tick.
        QCOMPARE(colorPanel(2, "frameFontColorChoiceHover")->hexColor(), std::string("FF0000"));
    }
};

QTEST_MAIN(FrameFontTest)
#include "font_panel_test.moc"
