#include "box_panels_fixture.h"
#include "position_panel.h"

#include <QRadioButton>
#include <QtTest>

using namespace quilso;

class FramePositionTest : public QObject {
    Q_OBJECT

    PanelHost host;
    std::unique_ptr<PositionPanel> panel;

    MenuStyle& css() { return host.params.css[MenuMain]; }
    RadioGroup* group(const char* name) { return control<RadioGroup>(panel.get(), name); }
    QComboBox* combo(const char* name) { return control<QComboBox>(panel.get(), name); }
    QLineEdit* edit(const char* name) { return control<QLineEdit>(panel.get(), name); }
    // A user's click on item `index` of a radio group.
    void clickRadio(const char* name, int index) {
        auto buttons = group(name)->findChildren<QRadioButton*>();
        buttons.at(index)->click();
    }

private slots:
    void init() {
        host.params = {};
        panel = host.make<PositionPanel>();
    }
    void cleanup() { panel.reset(); }

    void startsStaticWithHiddenOffsets() {
        QCOMPARE(group("rgPosArt")->itemIndex(), 0);
        QVERIFY(!group("rgPosDirectionX")->isEnabled());
        QVERIFY(!combo("cbPosOffsetH")->isEnabled());
        QCOMPARE(combo("cbPosOffsetV")->currentText(), QStringLiteral("automatisch"));
        QCOMPARE(combo("cbPosBreite")->count(), 10);
        QCOMPARE(combo("cbPosBreite")->itemText(9), QStringLiteral("Prozent (%)"));
        for (const char* name : {"ePosOffsetH", "ePosOffsetV", "ePosBreite", "ePosHoehe"})
            QVERIFY(!edit(name)->isVisible());
        QCOMPARE(edit("ePosBreite")->text(), QStringLiteral("100"));
        QCOMPARE(edit("ePosHoehe")->text(), QStringLiteral("20"));
    }

    void staticAfterAbsoluteResetsTheOffsets() {
        clickRadio("rgPosArt", 2);
        QCOMPARE(css().position, std::string("absolute"));
        QVERIFY(group("rgPosDirectionX")->isEnabled());
        QVERIFY(combo("cbPosOffsetV")->isEnabled());
        clickRadio("rgPosDirectionX", 1);
        clickRadio("rgPosDirectionY", 1);
        choose(combo("cbPosOffsetH"), 3);
        choose(combo("cbPosOffsetV"), 1);
        QCOMPARE(css().offsetXSide, std::string("right"));
        QCOMPARE(css().offsetYSide, std::string("bottom"));
        QCOMPARE(css().offsetXUnit, std::string("px"));
        QCOMPARE(css().offsetYUnit, std::string("em"));
        QVERIFY(edit("ePosOffsetH")->isVisible());
        css().offsetXValue = "12";

        clickRadio("rgPosArt", 1); // relativ keeps the choices
        QCOMPARE(group("rgPosDirectionX")->itemIndex(), 1);
        QCOMPARE(combo("cbPosOffsetH")->currentIndex(), 3);
        QVERIFY(edit("ePosOffsetH")->isVisible());

        host.editState.setProjectModified(false);
        clickRadio("rgPosArt", 0);
        QCOMPARE(css().position, std::string("static"));
        QCOMPARE(css().offsetXSide, std::string("left"));
        QCOMPARE(css().offsetYSide, std::string("top"));
        QCOMPARE(css().offsetXUnit, std::string("auto"));
        QCOMPARE(css().offsetYUnit, std::string("auto"));
        QCOMPARE(css().offsetXValue, std::string("12")); // the number stays
        QCOMPARE(group("rgPosDirectionX")->itemIndex(), 0);
        QCOMPARE(group("rgPosDirectionY")->itemIndex(), 0);
        QCOMPARE(combo("cbPosOffsetH")->currentIndex(), 0);
        QCOMPARE(combo("cbPosOffsetV")->currentIndex(), 0);
        QVERIFY(!edit("ePosOffsetH")->isVisible());
        QVERIFY(!edit("ePosOffsetV")->isVisible());
        for (const char* name : {"rgPosDirectionX", "rgPosDirectionY"})
            QVERIFY(!group(name)->isEnabled());
        for (const char* name : {"cbPosOffsetH", "cbPosOffsetV"})
            QVERIFY(!combo(name)->isEnabled());
        QVERIFY(host.editState.projectModified());
    }

    void radioGroupsStoreTheirKeywords() {
        clickRadio("rgPosOverflow", 3);
        clickRadio("rgPosClear", 3);
        clickRadio("rgPosFloat", 2);
        QCOMPARE(css().overflow, std::string("scroll"));
        QCOMPARE(css().clear, std::string("both"));
        QCOMPARE(css().cssFloat, std::string("right"));
    }

    void setPosArtByName() {
        panel->setPositionTypeByName("fixed");
        QCOMPARE(group("rgPosArt")->itemIndex(), 3);
        QVERIFY(combo("cbPosOffsetH")->isEnabled());
        panel->setPositionTypeByName("Fixed"); // unknown (case-sensitive): choice unchanged
        QCOMPARE(group("rgPosArt")->itemIndex(), 3);
        panel->setPositionTypeByName("static");
        QCOMPARE(css().offsetXUnit, std::string("auto"));
        QVERIFY(!combo("cbPosOffsetH")->isEnabled());
        css().offsetYUnit = "px";
        panel->setPositionTypeByName("sticky"); // unknown, but the static reset still runs
        QCOMPARE(group("rgPosArt")->itemIndex(), 0);
        QCOMPARE(css().offsetYUnit, std::string("auto"));
    }

    void unitListsStoreAndShowTheField() {
        choose(combo("cbPosBreite"), 3);
        QCOMPARE(css().widthUnit, std::string("px"));
        QVERIFY(edit("ePosBreite")->isVisible());
        choose(combo("cbPosBreite"), 9);
        QCOMPARE(css().widthUnit, std::string("%"));
        choose(combo("cbPosBreite"), 0);
        QCOMPARE(css().widthUnit, std::string("auto"));
        QVERIFY(!edit("ePosBreite")->isVisible());
    }

    void numberFieldsFilterAndCommit() {
        clickRadio("rgPosArt", 2);
        choose(combo("cbPosOffsetH"), 3);
        choose(combo("cbPosBreite"), 3);
        choose(combo("cbPosHoehe"), 3);
        QWidget* elsewhere = combo("cbPosBreite");

        typeAndLeave(edit("ePosOffsetH"), QStringLiteral("-5"), elsewhere);
        QCOMPARE(css().offsetXValue, std::string("-5"));
        typeAndLeave(edit("ePosBreite"), QStringLiteral("-5,5,"), elsewhere);
        QCOMPARE(edit("ePosBreite")->text(), QStringLiteral("5.5")); // no sign, one point
        QCOMPARE(css().widthValue, std::string("5.5"));

        css().heightValue = "20";
        QLineEdit* height = edit("ePosHoehe");
        focusTo(height);
        height->clear();
        QTest::keyClicks(height, QStringLiteral("."));
        QVERIFY(host.editState.editPending);
        focusTo(elsewhere);
        QCOMPARE(css().heightValue, std::string("0.0")); // a lone separator is completed
        focusTo(height);
        height->clear();
        QTest::keyClick(height, Qt::Key_Backspace);
        focusTo(elsewhere);
        QVERIFY(!host.editState.editValid);
        QVERIFY(!host.editState.editPending);
        QCOMPARE(height->text(), QStringLiteral("0.0"));
        QCOMPARE(css().heightValue, std::string("0.0"));
    }

    void readerShowsWhatItRead() {
        css().position = "absolute";
        panel->declarationRead(BlockKind::Container, "position", true);
        QCOMPARE(group("rgPosArt")->itemIndex(), 2);
        css().offsetXSide = "right";
        css().offsetXValue = "-3";
        css().offsetXUnit = "pt";
        panel->declarationRead(BlockKind::Container, "right", true);
        QCOMPARE(group("rgPosDirectionX")->itemIndex(), 1);
        QCOMPARE(combo("cbPosOffsetH")->currentIndex(), 7);
        QCOMPARE(edit("ePosOffsetH")->text(), QStringLiteral("-3"));
        QVERIFY(edit("ePosOffsetH")->isVisible());
        // A refused value still sets the side.
        css().offsetYSide = "bottom";
        panel->declarationRead(BlockKind::Container, "bottom", false);
        QCOMPARE(group("rgPosDirectionY")->itemIndex(), 1);
        QCOMPARE(combo("cbPosOffsetV")->currentIndex(), 0);
        QVERIFY(!edit("ePosOffsetV")->isVisible());

        css().widthUnit = "auto";
        css().widthValue = "150";
        panel->declarationRead(BlockKind::Item, "width", true);
        QCOMPARE(combo("cbPosBreite")->currentIndex(), 0);
        QVERIFY(!edit("ePosBreite")->isVisible());
        css().heightUnit = "em";
        css().heightValue = "1.5";
        panel->declarationRead(BlockKind::Item, "height", true);
        QCOMPARE(combo("cbPosHoehe")->currentIndex(), 1);
        QCOMPARE(edit("ePosHoehe")->text(), QStringLiteral("1.5"));
        css().overflow = "hidden";
        panel->declarationRead(BlockKind::Item, "overflow", true);
        QCOMPARE(group("rgPosOverflow")->itemIndex(), 1);
        css().clear = "left";
        css().cssFloat = "right";
        panel->declarationRead(BlockKind::OuterBox, "clear", true);
        panel->declarationRead(BlockKind::OuterBox, "float", true);
        QCOMPARE(group("rgPosClear")->itemIndex(), 1);
        QCOMPARE(group("rgPosFloat")->itemIndex(), 2);
        // Reading sets no pending edit.
        QVERIFY(!host.editState.editPending);
    }
};

QTEST_MAIN(FramePositionTest)
#include "position_panel_test.moc"
