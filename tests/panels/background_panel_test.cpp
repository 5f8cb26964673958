#include "background_panel.h"
#include "box_panels_fixture.h"
#include "color_choice_panel.h"

#include <QCheckBox>
#include <QtTest>

using namespace quilso;

class FrameBackgroundTest : public QObject {
    Q_OBJECT

    PanelHost host;
    std::unique_ptr<BackgroundPanel> panel;

    MenuStyle& css(MenuKind kind = MenuMain) { return host.params.css[kind]; }
    QComboBox* combo(const char* name) { return control<QComboBox>(panel.get(), name); }
    ColorChoicePanel* colour(const char* name) { return control<ColorChoicePanel>(panel.get(), name); }
    QCheckBox* active() { return control<QCheckBox>(panel.get(), "cbBackgroundColorHoverActive"); }

private slots:
    void init() {
        host.params = {};
        panel = host.make<BackgroundPanel>();
    }
    void cleanup() { panel.reset(); }

    void listChoicesStoreAndShowThePanel() {
        auto* list = combo("cbBackgroundColor");
        auto* panelColour = colour("frameBackgroundColorChoice");
        QCOMPARE(list->currentText(), QStringLiteral("transparent"));
        QVERIFY(panelColour->isVisible());
        panelColour->showColor("a0b0c0");
        choose(list, 1);
        QCOMPARE(css().backgroundColor, std::string("inherit"));
        QVERIFY(!panelColour->isVisible());
        choose(list, 2); // the hidden panel kept its colour
        QCOMPARE(css().backgroundColor, std::string("a0b0c0"));
        QVERIFY(panelColour->isVisible());
        choose(list, 0);
        QCOMPARE(css().backgroundColor, std::string("transparent"));

        choose(combo("cbBackgroundColorSelected"), 1);
        QCOMPARE(css().backgroundColorSelected, std::string("inherit"));
        QVERIFY(!colour("frameBackgroundColorSelectedChoice")->isVisible());
    }

    void choosingColourValueOnAnUntouchedPanelStoresBlack() {
        for (auto [list, field] :
             {std::pair{"cbBackgroundColor", &MenuStyle::backgroundColor},
              std::pair{"cbBackgroundColorSelected", &MenuStyle::backgroundColorSelected}}) {
            choose(combo(list), 2);
            QCOMPARE(css().*field, std::string("000000"));
        }
        active()->click();
        choose(combo("cbBackgroundColorHover"), 2);
        QCOMPARE(css().backgroundColorHover, std::string("000000"));
        QCOMPARE(control<QLineEdit>(colour("frameBackgroundColorHoverChoice"), "eHexColor")->text(),
                 QStringLiteral("000000"));
    }

    void leavingAColourPanelStoresOnlyAChange() {
        auto* selectedColour = colour("frameBackgroundColorSelectedChoice");
        selectedColour->showColor("336699");
        css().backgroundColorSelected = "336699";
        host.editState.setProjectModified(false);
        auto* hex = control<QLineEdit>(selectedColour, "eHexColor");
        focusTo(hex);
        focusTo(combo("cbBackgroundColor"));
        QVERIFY(!host.editState.projectModified());

        typeAndLeave(hex, QStringLiteral("ABC"), combo("cbBackgroundColor"));
        QCOMPARE(css().backgroundColorSelected, std::string("AABBCC"));
        QVERIFY(host.editState.projectModified());
        QCOMPARE(css(MenuSub).backgroundColorSelected, std::string());
    }

    void hoverSwitch() {
        auto* list = combo("cbBackgroundColorHover");
        auto* hoverColour = colour("frameBackgroundColorHoverChoice");
        QVERIFY(!active()->isChecked());
        QVERIFY(list->isVisible());
        hoverColour->showColor("112233");
        list->setCurrentIndex(2);
        QTest::mouseClick(active(), Qt::LeftButton);
        QVERIFY(active()->isChecked());
        QCOMPARE(css().backgroundColorHover, std::string("112233"));
        QVERIFY(list->isVisible());
        QVERIFY(hoverColour->isVisible());

        QTest::mouseClick(active(), Qt::LeftButton);
        QCOMPARE(css().backgroundColorHover, std::string());
        QVERIFY(!list->isVisible());
        QVERIFY(!hoverColour->isVisible());

        list->setCurrentIndex(1);
        QTest::mouseClick(active(), Qt::LeftButton);
        QCOMPARE(css().backgroundColorHover, std::string("inherit"));
        QVERIFY(list->isVisible());
        QVERIFY(!hoverColour->isVisible());
    }

    void readerSetsListsAndTheHoverSwitch() {
        css().backgroundColor = "inherit";
        panel->declarationRead(BlockKind::Item, "background-color", true);
        QCOMPARE(combo("cbBackgroundColor")->currentIndex(), 1);
        QVERIFY(!colour("frameBackgroundColorChoice")->isVisible());
        css().backgroundColorSelected = "ff8800";
        panel->declarationRead(BlockKind::SelectedLink, "background-color", true);
        QCOMPARE(combo("cbBackgroundColorSelected")->currentIndex(), 2);
        QCOMPARE(colour("frameBackgroundColorSelectedChoice")->hexColor(), std::string("ff8800"));
        QVERIFY(colour("frameBackgroundColorSelectedChoice")->isVisible());
        // Other properties of the same blocks are not this panel's.
        css().backgroundColor = "transparent";
        panel->declarationRead(BlockKind::Item, "color", true);
        QCOMPARE(combo("cbBackgroundColor")->currentIndex(), 1);

        css().backgroundColorHover = "00ff00";
        panel->declarationRead(BlockKind::Hover, "background-color", true);
        panel->blockScanFinished();
        QVERIFY(active()->isChecked());
        QCOMPARE(combo("cbBackgroundColorHover")->currentIndex(), 2);
        QVERIFY(combo("cbBackgroundColorHover")->isVisible());
        QVERIFY(colour("frameBackgroundColorHoverChoice")->isVisible());

        css().backgroundColorHover.clear();
        panel->blockScanFinished();
        QVERIFY(!active()->isChecked());
        QVERIFY(!combo("cbBackgroundColorHover")->isVisible());
        QVERIFY(!colour("frameBackgroundColorHoverChoice")->isVisible());
    }

    void instancesAreIndependent() {
        auto sub = host.make<BackgroundPanel>(MenuSub);
        choose(control<QComboBox>(sub.get(), "cbBackgroundColor"), 1);
        QCOMPARE(css(MenuSub).backgroundColor, std::string("inherit"));
        QCOMPARE(css(MenuMain).backgroundColor, std::string());
        QCOMPARE(css(MenuBreadcrumb).backgroundColor, std::string());
    }
};

QTEST_MAIN(FrameBackgroundTest)
#include "background_panel_test.moc"
