#include "color_choice_panel.h"
#include "edit_state.h"
#include "panel_test_support.h"

#include <QCheckBox>
#include <QLabel>
#include <QVBoxLayout>

// The panel inside a window with one control outside it, so the focus can leave the panel.
class ColorChoiceTest : public QObject {
    Q_OBJECT

    QWidget* window_ = nullptr;
    ColorChoicePanel* panel_ = nullptr;
    QLineEdit* outside_ = nullptr;
    EditState* state_ = nullptr;
    int exits_ = 0;

    QLineEdit* field(const char* name) { return control<QLineEdit>(panel_, name); }
    QComboBox* list() { return control<QComboBox>(panel_, "cobColorSelect"); }
    void leave() { focusTo(outside_); }
    QStringList fields() {
        return {field("eHexColor")->text(), field("eRedColor")->text(), field("eGreenColor")->text(),
                field("eBlueColor")->text()};
    }

private slots:
    void init() {
        window_ = new QWidget;
        state_ = new EditState(window_);
        auto* layout = new QVBoxLayout(window_);
        panel_ = new ColorChoicePanel(window_);
        panel_->setEditState(state_);
        outside_ = new QLineEdit(window_);
        layout->addWidget(panel_);
        layout->addWidget(outside_);
        exits_ = 0;
        connect(panel_, &ColorChoicePanel::exited, this, [this] { ++exits_; });
        window_->show();
        window_->activateWindow();
        focusTo(outside_);
    }
    void cleanup() {
        delete window_;
        ColorChoicePanel::setColorDialog(nullptr);
    }

    void startsUninitialisedAndEnteringStartsBlack() {
        QVERIFY(!panel_->initialised());
        QVERIFY(panel_->hexColor().empty());
        QCOMPARE(fields(), (QStringList{"000000", "0", "0", "0"}));
        focusTo(field("eRedColor"));
        QVERIFY(panel_->initialised());
        QCOMPARE(panel_->hexColor(), std::string("000000"));
        leave();
        QCOMPARE(exits_, 1);
    }

    void shortHexIsDoubledAndSplitIntoComponents() {
        typeInto(field("eHexColor"), "abc");
        QCOMPARE(field("eHexColor")->text(), QString("ABC"));
        QVERIFY(state_->editPending);
        leave();
        QCOMPARE(fields(), (QStringList{"AABBCC", "170", "187", "204"}));
        QCOMPARE(panel_->hexColor(), std::string("AABBCC"));
        QCOMPARE(panel_->red(), 170);
        QVERIFY(state_->editValid);
        QVERIFY(!state_->editPending);
        QCOMPARE(list()->currentIndex(), 0); // not a named colour: the custom entry
        QCOMPARE(list()->itemData(0).toUInt(), 0xAABBCCu);
    }

    void acceptedFieldsForgetTheirUndoHistory() {
        for (const char* name : {"eHexColor", "eRedColor", "eGreenColor", "eBlueColor"}) {
            const QString before = field(name)->text();
            typeInto(field(name), name == QByteArray("eHexColor") ? "123456" : "12");
            leave();
            const QString accepted = field(name)->text();
            focusTo(field(name));
            QTest::keyClick(field(name), Qt::Key_Z, Qt::ControlModifier);
            QVERIFY2(field(name)->text() == accepted, name);
            QVERIFY(accepted != before);
            leave();
        }
    }

    void hexOfWrongLengthIsRefused() {
        panel_->showColor("336699");
        typeInto(field("eHexColor"), "12G4"); // G is dropped by the key filter
        QCOMPARE(field("eHexColor")->text(), QString("124"));
        QTest::keyClicks(field("eHexColor"), "5");
        leave();
        QCOMPARE(state_->beepCount(), 1);
        QVERIFY(!state_->editValid);
        QVERIFY(!state_->editPending);
        QCOMPARE(field("eHexColor")->text(), QString("336699"));
        QVERIFY(field("eHexColor")->hasFocus());
        QCOMPARE(exits_, 0); // the focus never left the panel
        QCOMPARE(panel_->hexColor(), std::string("336699"));
    }

    void componentsReplaceTheirPair() {
        focusTo(field("eHexColor"));
        typeInto(field("eRedColor"), "255");
        leave();
        QCOMPARE(panel_->hexColor(), std::string("FF0000"));
        QCOMPARE(field("eHexColor")->text(), QString("FF0000"));
        QCOMPARE(list()->currentText(), QString("Rot"));

        typeInto(field("eGreenColor"), "007");
        leave();
        QCOMPARE(panel_->green(), 7);
        QCOMPARE(panel_->hexColor(), std::string("FF0700"));
        QCOMPARE(field("eGreenColor")->text(), QString("007")); // typed text stays as typed
    }

    void componentRefusals_data() {
        QTest::addColumn<QString>("typed");
        QTest::newRow("above 255") << "256";
        QTest::newRow("empty") << "";
        QTest::newRow("comma only") << ",";
        QTest::newRow("comma in number") << "1,5";
    }
    void componentRefusals() {
        QFETCH(QString, typed);
        panel_->showColor("102030");
        QLineEdit* blue = field("eBlueColor");
        focusTo(blue);
        blue->selectAll();
        if (typed.isEmpty())
            QTest::keyClick(blue, Qt::Key_Backspace);
        else
            QTest::keyClicks(blue, typed);
        leave();
        QCOMPARE(state_->beepCount(), 1);
        QVERIFY(!state_->editValid);
        QCOMPARE(blue->text(), QString("48"));
        QVERIFY(blue->hasFocus());
        QCOMPARE(panel_->hexColor(), std::string("102030"));
    }

    void componentKeyFilterTurnsPointIntoOneComma() {
        QLineEdit* red = field("eRedColor");
        typeInto(red, "1.,x-2");
        QCOMPARE(red->text(), QString("1,2"));
    }

    void pastedTextIsFilteredLikeTyping() {
        panel_->showColor("000000");
        QLineEdit* hex = field("eHexColor");
        focusTo(hex);
        hex->selectAll();
        hex->insert("fe");                    // text arriving without keystrokes, as from the clipboard
        QCOMPARE(hex->text(), QString("FE")); // lower case taken as typing would
        hex->selectAll();
        hex->insert("zz12");
        QCOMPARE(hex->text(), QString("FE"));
        QCOMPARE(state_->beepCount(), 1);
        hex->selectAll();
        hex->insert("a0b0c0");
        QLineEdit* red = field("eRedColor");
        focusTo(red);
        red->selectAll();
        red->insert("-5");
        QCOMPARE(panel_->hexColor(), std::string("A0B0C0"));
        QCOMPARE(red->text(), QString("160"));
        QCOMPARE(state_->beepCount(), 2);
    }

    void enterMovesToTheNextField() {
        focusTo(field("eRedColor"));
        QTest::keyClicks(field("eRedColor"), "12");
        QTest::keyClick(field("eRedColor"), Qt::Key_Return);
        QVERIFY(field("eGreenColor")->hasFocus());
        QCOMPARE(panel_->red(), 12);
    }

    void namedColourFromTheList() {
        focusTo(list());
        const int index = list()->findText(QStringLiteral("Grünblau"));
        QVERIFY(index > 0);
        const bool pendingBefore = state_->editPending;
        choose(list(), index);
        QCOMPARE(panel_->hexColor(), std::string("008080"));
        QCOMPARE(fields(), (QStringList{"008080", "0", "128", "128"}));
        QCOMPARE(state_->editPending, pendingBefore);
    }

    void customColourFromTheDialog() {
        QColor offered;
        ColorChoicePanel::setColorDialog([&offered](const QColor& initial, QWidget*) {
            offered = initial;
            return std::optional<QColor>(QColor(0x12, 0x34, 0x56));
        });
        panel_->showColor("C0C0C0");
        QCOMPARE(list()->currentText(), QString("Silber"));
        choose(list(), 0);
        QCOMPARE(offered, QColor(0xC0, 0xC0, 0xC0));
        QCOMPARE(panel_->hexColor(), std::string("123456"));
        QCOMPARE(fields(), (QStringList{"123456", "18", "52", "86"}));
        QCOMPARE(list()->currentIndex(), 0);

        // Cancelling keeps the colour and its list entry.
        ColorChoicePanel::setColorDialog([](const QColor&, QWidget*) { return std::optional<QColor>(); });
        panel_->showColor("FFFFFF");
        choose(list(), 0);
        QCOMPARE(panel_->hexColor(), std::string("FFFFFF"));
        QCOMPARE(list()->currentText(), QString("Weiß"));
    }

    void setColorKeepsTextAndSurvivesEntering() {
        panel_->showColor("33669a");
        QCOMPARE(panel_->hexColor(), std::string("33669a"));
        QCOMPARE(fields(), (QStringList{"33669a", "51", "102", "154"}));
        QCOMPARE(list()->currentIndex(), 0);
        focusTo(field("eBlueColor")); // an unchanged pair keeps its letter case
        leave();
        QCOMPARE(panel_->hexColor(), std::string("33669a"));
        QVERIFY(state_->editValid);
        panel_->showColor("0000ff");
        QCOMPARE(list()->currentText(), QString("Blau"));
    }

    void setNoColorThenListStartsFromBlack() {
        panel_->showColor("AABBCC");
        panel_->showNoColor();
        QVERIFY(panel_->isHidden());
        QCOMPARE(panel_->red(), -1);
        QCOMPARE(fields(), (QStringList{"", "", "", ""}));
        QCOMPARE(list()->currentIndex(), -1);
        panel_->show();
        choose(list(), list()->findText("Gelb"));
        QCOMPARE(panel_->hexColor(), std::string("FFFF00"));
    }

    // The captions share their measurements between panels; they must still take exactly the
    // room a plain label with their text takes, also after a font change.
    void captionsMeasureAsPlainLabels() {
        const auto captions = panel_->findChildren<QLabel*>();
        QCOMPARE(captions.size(), 4);
        for (int pointSize : {0, 15}) {
            if (pointSize) {
                QFont font = panel_->font();
                font.setPointSize(pointSize);
                panel_->setFont(font);
            }
            for (QLabel* caption : captions) {
                QLabel plain(caption->text());
                plain.setFont(caption->font());
                QCOMPARE(caption->sizeHint(), plain.sizeHint());
                QCOMPARE(caption->minimumSizeHint(), plain.minimumSizeHint());
            }
        }
    }

    // Swatches are shared between panels, but a custom colour stays with the panel it was chosen on.
    void customSwatchStaysWithItsPanel() {
        auto swatchColour = [](QComboBox* list, int index) {
            return list->itemIcon(index).pixmap(14, 14).toImage().pixel(7, 7) & 0xFFFFFF;
        };
        ColorChoicePanel other(window_);
        QComboBox* otherList = control<QComboBox>(&other, "cobColorSelect");
        ColorChoicePanel::setColorDialog(
            [](const QColor&, QWidget*) { return std::optional<QColor>(QColor(0x12, 0x34, 0x56)); });
        choose(list(), 0);
        QCOMPARE(swatchColour(list(), 0), 0x123456u);
        QCOMPARE(swatchColour(otherList, 0), 0x000000u);
        const int teal = otherList->findText(QStringLiteral("Grünblau"));
        QCOMPARE(swatchColour(otherList, teal), 0x008080u);
        QCOMPARE(swatchColour(list(), teal), 0x008080u);
    }
};

QTEST_MAIN(ColorChoiceTest)
#include "color_choice_test.moc"
