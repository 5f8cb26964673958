#include "border_panel.h"
#include "box_panels_fixture.h"
#include "color_choice_panel.h"

#include <QGroupBox>
#include <QtTest>

#include <set>

using namespace quilso;
namespace bp = boxpicture;

namespace {

constexpr int W = 200, H = 130, R = 18;

QPoint seed(int part, int side) {
    return bp::SeedPoint(part, side, W, H, R);
}

// Gives every side of every part the same width, and the border one colour and style.
void fillBox(MenuStyle& css, const std::string& unit, const std::string& value) {
    for (int p = 0; p < BoxPartCount; ++p)
        for (int s = 0; s < BoxSideCount; ++s) {
            css.boxUnit[p][s] = unit;
            css.boxValue[p][s] = value;
        }
    for (int s = 0; s < BoxSideCount; ++s) {
        css.borderColor[s] = "FF0000";
        css.borderStyle[s] = "solid";
    }
}

} // namespace

class FrameBorderTest : public QObject {
    Q_OBJECT

    PanelHost host;
    std::unique_ptr<BorderPanel> panel;
    BoxPictureView* picture = nullptr;
    QComboBox *cbRing = nullptr, *cbSide = nullptr, *cbBorderBreite = nullptr, *cbBorderStyle = nullptr;
    QLineEdit* eBorderBreite = nullptr;

    MenuStyle& css() { return host.params.css[MenuMain]; }
    QRgb at(QPoint p) const { return panel->picture().pixel(p); }
    void click(QPoint p) { QTest::mouseClick(picture, Qt::LeftButton, {}, p); }
    // The sides of `part` that the picture shows marked.
    int marked(int part) const {
        int bits = 0;
        for (int s = 0; s < BoxSideCount; ++s)
            if (panel->picture().pixel(seed(part, s)) == bp::SkyBlue) bits |= 1 << s;
        return bits;
    }

private slots:
    void init() {
        host.params = {};
        fillBox(css(), "px", "2");
        panel = host.make<BorderPanel>();
        panel->initialise();
        picture = control<BoxPictureView>(panel.get(), "iBorderSelect");
        cbRing = control<QComboBox>(panel.get(), "cbRing");
        cbSide = control<QComboBox>(panel.get(), "cbSide");
        cbBorderBreite = control<QComboBox>(panel.get(), "cbBorderBreite");
        cbBorderStyle = control<QComboBox>(panel.get(), "cbBorderStyle");
        eBorderBreite = control<QLineEdit>(panel.get(), "eBorderBreite");
        QVERIFY(picture && cbRing && cbSide && cbBorderBreite && cbBorderStyle && eBorderBreite);
    }
    void cleanup() { panel.reset(); }

    void pictureIsDrawnAsRingsAroundCream() {
        const QImage& img = panel->picture();
        QCOMPARE(img.size(), QSize(W, H));
        QCOMPARE(img.pixel(0, 0), bp::Black);
        QCOMPARE(img.pixel(W - 1, H - 1), bp::Black);
        QCOMPARE(img.pixel(9, 60), bp::Silver);
        QCOMPARE(img.pixel(18, 60), bp::Black); // ring boundary
        QCOMPARE(img.pixel(36, 60), bp::Black);
        QCOMPARE(img.pixel(54, 60), bp::Black); // centre outline
        QCOMPARE(img.pixel(100, 65), bp::Cream);
        QCOMPARE(img.pixel(30, 30), bp::Black); // diagonal
        QCOMPARE(img.pixel(W - 1 - 30, 30), bp::Black);
        QCOMPARE(marked(0) | marked(1) | marked(2), 0);
        // Set-up runs once: a second call does not wipe marks.
        panel->refreshFromRecord();
        panel->initialise();
        QCOMPARE(marked(BoxBorder), 15);
    }

    // Every silver pixel lies in exactly one of the twelve trapezoids, and the hit test names
    // that trapezoid's side and ring.
    void hitTestAgreesWithThePicture() {
        QImage img(W, H, QImage::Format_RGB32);
        bp::DrawBoxPicture(img, R);
        QImage covered(W, H, QImage::Format_RGB32);
        covered.fill(0);
        for (int part = 0; part < 3; ++part)
            for (int side = 0; side < 4; ++side) {
                QImage copy = img;
                const QPoint s = seed(part, side);
                QCOMPARE(copy.pixel(s), bp::Silver);
                bp::FloodFillSurface(copy, s.x(), s.y(), bp::SkyBlue);
                for (int y = 0; y < H; ++y)
                    for (int x = 0; x < W; ++x) {
                        if (copy.pixel(x, y) != bp::SkyBlue) continue;
                        QCOMPARE(covered.pixel(x, y) & 0xFFFFFF, 0u);
                        covered.setPixel(x, y, 0xFFFFFFFF);
                        const bp::Hit hit = bp::HitTest(x, y, W, H, R);
                        if (hit.side != side || hit.ring != part)
                            QFAIL(qPrintable(QStringLiteral("pixel %1,%2").arg(x).arg(y)));
                    }
            }
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x)
                if (img.pixel(x, y) == bp::Silver) QCOMPARE(covered.pixel(x, y), 0xFFFFFFFFu);
    }

    void hitTestBoundariesAndTies() {
        struct Case {
            int x, y, side, ring;
        } cases[] = {
            {0, 60, SideLeft, 0},
            {17, 60, SideLeft, 0},
            {18, 60, SideLeft, 1},
            {35, 60, SideLeft, 1},
            {36, 60, SideLeft, 2},
            {53, 60, SideLeft, 2},
            {199, 60, SideRight, 0},
            {182, 60, SideRight, 0},
            {181, 60, SideRight, 1},
            {100, 0, SideTop, 0},
            {100, 18, SideTop, 1},
            {100, 129, SideBottom, 0},
            {100, 111, SideBottom, 1},
            // Equal distance to both edges counts as left or right.
            {10, 10, SideLeft, 0},
            {11, 10, SideTop, 0},
            {189, 10, SideRight, 0},
            {188, 10, SideTop, 0},
            {10, 119, SideLeft, 0},
            {189, 119, SideRight, 0},
            {100, 65, SideBottom, 3},
        };
        for (const Case& c : cases) {
            const bp::Hit hit = bp::HitTest(c.x, c.y, W, H, R);
            QVERIFY2(
                hit.side == c.side && hit.ring == c.ring,
                qPrintable(QStringLiteral("%1,%2 -> %3/%4").arg(c.x).arg(c.y).arg(hit.side).arg(hit.ring)));
        }
    }

    void refreshAfterReadingEqualAndUnequalSides() {
        panel->refreshFromRecord();
        QCOMPARE(panel->selectedPart(), int(BoxBorder));
        QCOMPARE(int(panel->selectedSides()), 15);
        QCOMPARE(cbRing->currentText(), QStringLiteral("Rahmen"));
        QCOMPARE(cbSide->currentText(), QStringLiteral("alle Seiten"));
        QCOMPARE(marked(BoxBorder), 15);
        QCOMPARE(cbBorderBreite->currentText(), QStringLiteral("px"));
        QCOMPARE(eBorderBreite->text(), QStringLiteral("2"));
        QVERIFY(eBorderBreite->isVisible());
        QCOMPARE(cbBorderStyle->currentText(), QStringLiteral("durchgezogene Linie"));
        auto* colour = control<ColorChoicePanel>(panel.get(), "frameBorderColorChoice");
        QCOMPARE(colour->hexColor(), std::string("FF0000"));
        QVERIFY(colour->isVisible());

        // The user moves to the padding's top side; then a project with one odd side is read.
        click(seed(BoxPadding, SideTop));
        QCOMPARE(marked(BoxPadding), 4);
        css().borderStyle[SideBottom] = "dotted";
        panel->refreshFromRecord();
        QCOMPARE(marked(BoxPadding), 0);
        QCOMPARE(marked(BoxMargin), 0);
        QCOMPARE(marked(BoxBorder), 1);
        QCOMPARE(int(panel->selectedSides()), 1);
        QCOMPARE(cbSide->currentText(), QStringLiteral("links"));
        QVERIFY(control<QGroupBox>(panel.get(), "gbBorderColor")->isVisible());
        QVERIFY(control<QGroupBox>(panel.get(), "gbBorderStyle")->isVisible());
    }

    void clickingAnotherRingMovesTheSelection() {
        panel->refreshFromRecord();
        click(seed(BoxMargin, SideLeft));
        QCOMPARE(panel->selectedPart(), int(BoxMargin));
        QCOMPARE(int(panel->selectedSides()), 1);
        QCOMPARE(marked(BoxBorder), 0);
        QCOMPARE(marked(BoxMargin), 1);
        QCOMPARE(cbRing->currentText(), QStringLiteral("Außenabstand"));
        QCOMPARE(cbSide->currentText(), QStringLiteral("links"));
        QCOMPARE(cbBorderBreite->count(), 11);
        QCOMPARE(cbBorderBreite->itemText(0), QStringLiteral("automatisch"));
        QCOMPARE(cbBorderBreite->currentText(), QStringLiteral("px"));
        QVERIFY(!control<QGroupBox>(panel.get(), "gbBorderColor")->isVisible());
        QVERIFY(!control<QGroupBox>(panel.get(), "gbBorderStyle")->isVisible());
        QCOMPARE(QApplication::focusWidget(), cbRing);
    }

    void addingASideShowsCommonOrMixedValues() {
        panel->refreshFromRecord();
        click(seed(BoxMargin, SideLeft));
        click(seed(BoxMargin, SideTop)); // left + top is no item of the side list
        QCOMPARE(int(panel->selectedSides()), 5);
        QCOMPARE(cbSide->currentIndex(), -1);
        QCOMPARE(marked(BoxMargin), 5);
        QCOMPARE(cbBorderBreite->currentText(), QStringLiteral("px"));
        QCOMPARE(QApplication::focusWidget(), cbSide);

        css().boxValue[BoxMargin][SideBottom] = "7";
        click(seed(BoxMargin, SideBottom));
        QCOMPARE(int(panel->selectedSides()), 13);
        QCOMPARE(cbBorderBreite->currentIndex(), -1);
        QCOMPARE(eBorderBreite->text(), QStringLiteral("0"));
        QVERIFY(!eBorderBreite->isVisible());

        // Removing the odd side again brings back the common value.
        click(seed(BoxMargin, SideBottom));
        QCOMPARE(int(panel->selectedSides()), 5);
        QCOMPARE(marked(BoxMargin), 5);
        QCOMPARE(cbBorderBreite->currentText(), QStringLiteral("px"));
    }

    void lastSideCannotBeDeselectedAndStrayReleasesAreIgnored() {
        panel->refreshFromRecord();
        choose(cbSide, 2); // oben
        QCOMPARE(marked(BoxBorder), 4);
        click(seed(BoxBorder, SideTop));
        QCOMPARE(int(panel->selectedSides()), 4);
        QCOMPARE(marked(BoxBorder), 4);
        // Black lines and the cream centre change nothing.
        click(QPoint(18, 60));
        click(QPoint(30, 30));
        click(QPoint(100, 65));
        QCOMPARE(int(panel->selectedSides()), 4);
        QCOMPARE(panel->selectedPart(), int(BoxBorder));
        QCOMPARE(marked(BoxBorder), 4);
        QCOMPARE(marked(BoxMargin) | marked(BoxPadding), 0);
    }

    void doubleClickTogglesOnce() {
        panel->refreshFromRecord();
        choose(cbSide, 0); // links
        // What the window system delivers for a double click.
        const QPoint p = seed(BoxBorder, SideRight);
        QTest::mousePress(picture, Qt::LeftButton, {}, p);
        QTest::mouseRelease(picture, Qt::LeftButton, {}, p);
        QTest::mouseDClick(picture, Qt::LeftButton, {}, p);
        QTest::mouseRelease(picture, Qt::LeftButton, {}, p);
        QCOMPARE(int(panel->selectedSides()), 3);
        QCOMPARE(marked(BoxBorder), 3);
        // The next single click works again.
        click(seed(BoxBorder, SideRight));
        QCOMPARE(int(panel->selectedSides()), 1);
        QCOMPARE(marked(BoxBorder), 1);
    }

    void listsMoveTheMarks() {
        panel->refreshFromRecord();
        choose(cbSide, 5); // oben + unten
        QCOMPARE(marked(BoxBorder), 12);
        choose(cbRing, BoxPadding);
        QCOMPARE(marked(BoxBorder), 0);
        QCOMPARE(marked(BoxPadding), 12);
        QCOMPARE(cbBorderBreite->count(), 10);
        QCOMPARE(cbBorderBreite->itemText(0), QStringLiteral("vererbt"));
    }

    void keywordWidthStoresZeroForEverySide() {
        host.editState.setProjectModified(false);
        panel->refreshFromRecord();
        choose(cbSide, 4);         // links + rechts
        choose(cbBorderBreite, 1); // mittel
        for (int s : {SideLeft, SideRight}) {
            QCOMPARE(css().boxUnit[BoxBorder][s], std::string("medium"));
            QCOMPARE(css().boxValue[BoxBorder][s], std::string("0"));
        }
        QCOMPARE(css().boxUnit[BoxBorder][SideTop], std::string("px"));
        QVERIFY(!eBorderBreite->isVisible());
        QCOMPARE(eBorderBreite->text(), QStringLiteral("0"));
        QVERIFY(host.editState.projectModified());

        // A unit keeps the field's text as every selected side's value.
        click(seed(BoxMargin, SideTop));
        click(seed(BoxMargin, SideBottom));
        eBorderBreite->setText(QStringLiteral("4.5"));
        choose(cbBorderBreite, 2 + 4); // margin: cm
        for (int s : {SideTop, SideBottom}) {
            QCOMPARE(css().boxUnit[BoxMargin][s], std::string("cm"));
            QCOMPARE(css().boxValue[BoxMargin][s], std::string("4.5"));
        }
        QCOMPARE(css().boxUnit[BoxMargin][SideLeft], std::string("px"));
        QVERIFY(eBorderBreite->isVisible());
    }

    void openingAListInTheMixedStateUnifiesTheSides() {
        css().boxValue[BoxBorder][SideRight] = "9";
        css().borderColor[SideRight] = "00FF00";
        css().borderStyle[SideRight] = "dashed";
        css().boxUnit[BoxBorder][SideLeft] = "em";
        panel->refreshFromRecord();
        choose(cbSide, 4); // links + rechts
        QCOMPARE(cbBorderBreite->currentIndex(), -1);
        QCOMPARE(cbBorderStyle->currentIndex(), -1);
        cbBorderStyle->showPopup();
        cbBorderStyle->hidePopup();
        QCOMPARE(css().boxUnit[BoxBorder][SideRight], std::string("em"));
        QCOMPARE(css().boxValue[BoxBorder][SideRight], std::string("2"));
        QCOMPARE(css().borderColor[SideRight], std::string("FF0000"));
        QCOMPARE(css().borderStyle[SideRight], std::string("solid"));
        QCOMPARE(css().boxValue[BoxBorder][SideTop], std::string("2")); // not selected
        QCOMPARE(cbBorderBreite->currentText(), QStringLiteral("em"));
        QCOMPARE(cbBorderStyle->currentText(), QStringLiteral("durchgezogene Linie"));

        // Outside the mixed state opening a list changes nothing.
        css().boxValue[BoxBorder][SideBottom] = "5";
        choose(cbSide, 3);
        cbBorderBreite->showPopup();
        cbBorderBreite->hidePopup();
        QCOMPARE(css().boxValue[BoxBorder][SideBottom], std::string("5"));
    }

    void styleAndColourGoToEverySelectedSide() {
        panel->refreshFromRecord();
        choose(cbSide, 5); // oben + unten
        host.editState.setProjectModified(false);
        choose(cbBorderStyle, 0); // kein Rahmen
        QCOMPARE(css().borderStyle[SideTop], std::string("none"));
        QCOMPARE(css().borderStyle[SideBottom], std::string("none"));
        QCOMPARE(css().borderStyle[SideLeft], std::string("solid"));
        auto* colour = control<ColorChoicePanel>(panel.get(), "frameBorderColorChoice");
        QVERIFY(!colour->isVisible());
        choose(cbBorderStyle, 4);
        QCOMPARE(css().borderStyle[SideTop], std::string("double"));
        QVERIFY(colour->isVisible());
        QVERIFY(host.editState.projectModified());

        colour->showColor("123456");
        auto* hex = control<QLineEdit>(colour, "eHexColor");
        focusTo(hex);
        QVERIFY(hex->hasFocus());
        focusTo(cbSide);
        QVERIFY(cbSide->hasFocus());
        QCOMPARE(css().borderColor[SideTop], std::string("123456"));
        QCOMPARE(css().borderColor[SideBottom], std::string("123456"));
        QCOMPARE(css().borderColor[SideLeft], std::string("FF0000"));
    }

    void percentBorderWidthShowsNoItem() {
        for (int s = 0; s < BoxSideCount; ++s)
            css().boxUnit[BoxBorder][s] = "%";
        panel->refreshFromRecord();
        QCOMPARE(int(panel->selectedSides()), 15);
        QCOMPARE(cbBorderBreite->currentIndex(), -1);
        QVERIFY(eBorderBreite->isVisible());
        QCOMPARE(cbBorderStyle->currentText(), QStringLiteral("durchgezogene Linie"));
        // The margin does offer "%".
        choose(cbRing, BoxMargin);
        QCOMPARE(cbBorderBreite->currentText(), QStringLiteral("px"));
    }

    void widthFieldCommitsToEverySelectedSide() {
        panel->refreshFromRecord();
        choose(cbSide, 6);
        typeAndLeave(eBorderBreite, QStringLiteral("3,5"), cbSide);
        // The filter turns the comma into a point.
        for (int s = 0; s < BoxSideCount; ++s)
            QCOMPARE(css().boxValue[BoxBorder][s], std::string("3.5"));
        QVERIFY(host.editState.editValid);
        QVERIFY(!host.editState.editPending);

        // Letters are dropped by the filter; an empty field is refused at exit.
        focusTo(eBorderBreite);
        eBorderBreite->selectAll();
        QTest::keyClick(eBorderBreite, Qt::Key_Backspace);
        QVERIFY(host.editState.editPending);
        QTest::keyClicks(eBorderBreite, QStringLiteral("x"));
        QCOMPARE(eBorderBreite->text(), QString());
        const int beeps = host.editState.beepCount();
        focusTo(cbSide);
        QVERIFY(!host.editState.editValid);
        QCOMPARE(host.editState.beepCount(), beeps + 1);
        QCOMPARE(eBorderBreite->text(), QStringLiteral("3.5"));
        QCOMPARE(css().boxValue[BoxBorder][SideLeft], std::string("3.5"));
    }

    // A click on the picture moves the focus before it changes the selection, so a width being
    // typed goes to the sides it was typed for.
    void pendingWidthGoesToTheOldSelection() {
        panel->refreshFromRecord();
        choose(cbSide, 0); // links
        focusTo(eBorderBreite);
        eBorderBreite->clear();
        QTest::keyClicks(eBorderBreite, QStringLiteral("8"));
        click(seed(BoxMargin, SideTop));
        QCOMPARE(css().boxValue[BoxBorder][SideLeft], std::string("8"));
        QCOMPARE(css().boxValue[BoxMargin][SideTop], std::string("2"));
        QCOMPARE(panel->selectedPart(), int(BoxMargin));
        QCOMPARE(eBorderBreite->text(), QStringLiteral("2"));
    }

    void unfilteredWidthFieldRaisesNoPendingEdit() {
        panel->setWidthFieldFiltered(false);
        panel->refreshFromRecord();
        focusTo(eBorderBreite);
        eBorderBreite->clear();
        QTest::keyClicks(eBorderBreite, QStringLiteral("7,5"));
        QCOMPARE(eBorderBreite->text(), QStringLiteral("7,5")); // no key filter
        QVERIFY(!host.editState.editPending);
        focusTo(cbSide); // the exit handler still stores, with a decimal point
        QCOMPARE(css().boxValue[BoxBorder][SideBottom], std::string("7.5"));
    }

    void unfilteredWidthFieldTakesPlainDecimalsOnly() {
        panel->setWidthFieldFiltered(false);
        panel->refreshFromRecord();
        for (const char* bad : {"nan", "inf", "-inf", "1e5", "0x10", "1.5.2", "1,5,2", "+", "-", "1 2"}) {
            const int beeps = host.editState.beepCount();
            typeAndLeave(eBorderBreite, QString::fromLatin1(bad), cbSide);
            QVERIFY2(host.editState.beepCount() == beeps + 1, bad);
            QVERIFY2(!host.editState.editValid, bad);
            QCOMPARE(css().boxValue[BoxBorder][SideBottom], std::string("2"));
            QCOMPARE(eBorderBreite->text(), QStringLiteral("2"));
        }
        for (const auto& [good, stored] :
             {std::pair{"-3", "-3"}, {"+4", "+4"}, {"0.25", "0.25"}, {"12,5", "12.5"}, {"7", "7"}}) {
            typeAndLeave(eBorderBreite, QString::fromLatin1(good), cbSide);
            QVERIFY2(host.editState.editValid, good);
            QCOMPARE(css().boxValue[BoxBorder][SideBottom], std::string(stored));
        }
    }
};

QTEST_MAIN(FrameBorderTest)
#include "border_panel_test.moc"
