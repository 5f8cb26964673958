#include "background_panel.h"
#include "box_panels_fixture.h"
#include "color_choice_panel.h"
#include "contrast_label.h"
#include "font_panel.h"

#include <QCheckBox>
#include <QtTest>

using namespace quilso;

// The contrast labels beside the colour panels of the font and background panels.
class ContrastLabelTest : public QObject {
    Q_OBJECT

    PanelHost host;

    MenuStyle& css() { return host.params.css[MenuMain]; }
    static ContrastLabel* label(QWidget* panel, const char* name) {
        return control<ContrastLabel>(panel, name);
    }

private slots:
    void init() {
        host.params = {};
        css().color = "333333";
        css().backgroundColor = "FFFFFF";
        css().colorSelected = "FFFFFF";
        css().backgroundColorSelected = "777777";
    }

    void fontLabelsShowEachStateAndFollowTyping() {
        auto panel = host.make<FontPanel>();
        auto* normal = label(panel.get(), "lFontContrast");
        auto* selected = label(panel.get(), "lFontContrastSelected");
        auto* hover = label(panel.get(), "lFontContrastHover");
        QCOMPARE(normal->text(), QStringLiteral("Kontrast 12,6:1"));
        QVERIFY(!normal->isWarning());
        QCOMPARE(selected->text(), QStringLiteral("\u26A0 Kontrast 4,4:1"));
        QVERIFY(selected->isWarning());
        // No hover colour: the normal colour on the normal background is what shows.
        QCOMPARE(hover->text(), normal->text());

        // Typing a colour changes the label before the colour is stored.
        auto* colour = control<ColorChoicePanel>(panel.get(), "frameFontColorChoice");
        colour->showColor("333333");
        auto* hex = control<QLineEdit>(colour, "eHexColor");
        focusTo(hex);
        hex->selectAll();
        QTest::keyClicks(hex, QStringLiteral("AAAAAA"));
        QTRY_VERIFY_WITH_TIMEOUT(normal->isWarning(), 500);
        QCOMPARE(normal->text(), QStringLiteral("\u26A0 Kontrast 2,3:1"));
        QCOMPARE(css().color, std::string("333333"));
        focusTo(control<QComboBox>(panel.get(), "cbFontStyle"));
        QCOMPARE(css().color, std::string("AAAAAA"));
        QCOMPARE(hover->text(), normal->text());

        // A hover colour of its own.
        control<QCheckBox>(panel.get(), "cbFontColorHoverActive")->click();
        QCOMPARE(css().colorHover, std::string("000000"));
        QCOMPARE(hover->text(), QStringLiteral("Kontrast 21,0:1"));
    }

    void backgroundChoicesLookOutward() {
        auto panel = host.make<BackgroundPanel>();
        auto* normal = label(panel.get(), "lContrastBackgroundColorChoice");
        auto* selected = label(panel.get(), "lContrastBackgroundColorSelectedChoice");
        QCOMPARE(selected->text(), QStringLiteral("\u26A0 Kontrast 4,4:1"));
        // "vererbt" for the current page: the item's white background shows through.
        choose(control<QComboBox>(panel.get(), "cbBackgroundColorSelected"), 1);
        QCOMPARE(css().backgroundColorSelected, std::string("inherit"));
        QCOMPARE(selected->text(), QStringLiteral("\u26A0 Kontrast 1,0:1"));

        auto* colour = control<ColorChoicePanel>(panel.get(), "frameBackgroundColorChoice");
        choose(control<QComboBox>(panel.get(), "cbBackgroundColor"), 2);
        typeAndLeave(control<QLineEdit>(colour, "eHexColor"), QStringLiteral("000080"),
                     control<QComboBox>(panel.get(), "cbBackgroundColor"));
        QCOMPARE(css().backgroundColor, std::string("000080"));
        QCOMPARE(selected->text(), QStringLiteral("Kontrast 16,0:1"));
        QVERIFY(normal->isWarning());
        QCOMPARE(normal->toolTip().left(33), QStringLiteral("Schrift #333333 auf Hintergrund #"));
    }

    void hiddenLabelCatchesUpWhenShown() {
        auto panel = host.make<FontPanel>();
        auto* normal = label(panel.get(), "lFontContrast");
        panel->hide();
        // Another tab changed the background while this one was hidden.
        css().backgroundColor = "000000";
        panel->show();
        QCOMPARE(normal->text(), QStringLiteral("Kontrast 1,6:1").prepend(QStringLiteral("\u26A0 ")));
    }
};

QTEST_MAIN(ContrastLabelTest)
#include "contrast_label_test.moc"
