// A record put back whole (as undo does) must bring the style panels back to what they showed,
// without becoming an edit: the project stays unmarked and saves the bytes it saved before.
#include "app_test_support.h"

#include "border_panel.h"
#include "position_panel.h"
#include "style_panel.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>

using quilso::MenuKind;
using quilso::MenuMain;
using quilso::MenuStyle;
using quilso::MenuSub;

namespace {

// What the named controls of `panel` show: text or choice, tick, enabled, hidden. What hidden
// controls hold is left out (the cases check the few that matter).
QString controlsShown(QWidget* panel) {
    QStringList lines;
    for (QWidget* w : panel->findChildren<QWidget*>()) {
        const QString name = w->objectName();
        if (name.isEmpty() || name.startsWith(QStringLiteral("qt_"))) continue;
        const bool shown = w->isVisibleTo(panel);
        QString line = name + u':';
        if (!shown)
            line += QStringLiteral("hidden");
        else if (auto* edit = qobject_cast<QLineEdit*>(w))
            line += edit->text();
        else if (auto* list = qobject_cast<QComboBox*>(w); list && list->isEditable())
            line += list->currentText(); // its index is no choice of the user's
        else if (list)
            line += QString::number(list->currentIndex()) + u' ' + list->currentText();
        else if (auto* group = qobject_cast<RadioGroup*>(w))
            line += QString::number(group->itemIndex());
        else if (auto* box = qobject_cast<QAbstractButton*>(w); box && box->isCheckable())
            line += box->isChecked() ? u'x' : u'-';
        if (!w->isEnabled()) line += QStringLiteral(" disabled");
        lines << line;
    }
    if (auto* border = qobject_cast<BorderPanel*>(panel)) {
        const QImage& picture = border->picture();
        lines << QStringLiteral("picture:%1").arg(qHashBits(picture.constBits(), picture.sizeInBytes()));
    }
    return lines.join(u'\n');
}

// One state of a menu's record: the record, what its panels showed and the saved file.
struct Step {
    MenuStyle record;
    QString shown;
    QByteArray bytes;
};

// A shown main window on the shipped template, one menu's panel on top.
class RefreshFixture {
public:
    RefreshFixture(MenuKind kind, int tab) : kind_(kind) {
        form_ = data_.makeForm({QStringLiteral(QUILSO_SOURCE_DIR "/data/default.js")});
        form_->show();
        EXPECT_TRUE(QTest::qWaitForWindowActive(form_.get()));
        panel_ = form_->stylePages()->panel(kind, tab);
        // Bring the panel's page and its menu's tab to the front, so that it can take the focus.
        for (QWidget* w = panel_; w && w->parentWidget(); w = w->parentWidget())
            if (auto* tabs = qobject_cast<QTabWidget*>(w->parentWidget()->parentWidget()))
                tabs->setCurrentWidget(w);
        FileDialogs::queueFileName(data_.path(QStringLiteral("saved.js")));
        EXPECT_TRUE(document()->saveAs());
        MessageBoxes::takeShown();
    }

    ProjectDocument* document() const { return form_->document(); }
    template <typename T = QWidget> T* control(const char* name) const {
        T* widget = panel_->findChild<T*>(QLatin1String(name));
        if (!widget) ADD_FAILURE() << "no control " << name;
        return widget;
    }
    // A user's acts: an item of a list or radio group, a click, a text typed into a field (or a
    // colour panel's hex field) that the focus then leaves, so that its exit check runs.
    void choose(const char* name, int index) const {
        if (auto* list = control<QComboBox>(name)) {
            list->setCurrentIndex(index);
            emit list->activated(index);
        }
    }
    void chooseRadio(const char* name, int index) const {
        control<RadioGroup>(name)->findChildren<QRadioButton*>().at(index)->click();
    }
    void click(const char* name) const { control<QAbstractButton>(name)->click(); }
    void type(const char* name, const QString& text) const {
        QWidget* widget = control(name);
        auto* edit = qobject_cast<QLineEdit*>(widget);
        if (!edit) edit = widget->findChild<QLineEdit*>(QStringLiteral("eHexColor"));
        edit->setFocus(Qt::TabFocusReason);
        edit->selectAll();
        QTest::keyClicks(edit, text);
        panel_->parentWidget()->setFocus(Qt::TabFocusReason);
        QCoreApplication::processEvents();
    }

    Step take() const { return {document()->style(kind_), controlsShown(panel_), save()}; }

    // Puts `step`'s record back through the document: the panel shows it as it did, the
    // project stays unmarked and saves the same bytes.
    // `select` first chooses what the panel showed then, where it shows another part of the
    // record after the restore.
    void expectRestored(const Step& step, const char* what, const std::function<void()>& select = {}) const {
        SCOPED_TRACE(what);
        EXPECT_NE(document()->style(kind_), step.record) << "nothing to restore";
        document()->setModified(false);
        document()->restoreStyle(kind_, step.record);
        if (select) select();
        EXPECT_EQ(controlsShown(panel_).toStdString(), step.shown.toStdString());
        EXPECT_FALSE(document()->isModified());
        EXPECT_EQ(document()->style(kind_), step.record);
        EXPECT_EQ(save(), step.bytes);
    }

private:
    QByteArray save() const {
        EXPECT_TRUE(document()->save());
        QFile file(data_.path(QStringLiteral("saved.js")));
        file.open(QIODevice::ReadOnly);
        return WithoutSaveTime(file.readAll());
    }

    AppFixture data_;
    std::unique_ptr<MainWindow> form_;
    MenuKind kind_;
    StylePanel* panel_ = nullptr;
};

} // namespace

TEST(StyleRefresh, FontPanelFollowsKeywordAndNumberSizesColoursAndTheHoverBox) {
    RefreshFixture f(MenuSub, StylePages::FontTab); // the sub menu's size is the keyword "small"
    const Step keyword = f.take();
    f.choose("cbFontFamily", 2);
    f.choose("cbFontSize", 10 + 2); // px, after the ten keywords
    f.type("eFontSize", QStringLiteral("14"));
    f.choose("cbFontStyle", 1);
    f.choose("cbFontVariant", 1);
    f.choose("cbFontWeight", 3);
    f.type("frameFontColorChoice", QStringLiteral("123456"));
    f.click("cbFontColorHoverActive");
    f.type("frameFontColorChoiceHover", QStringLiteral("C0FFEE"));
    const Step changed = f.take();
    EXPECT_EQ(changed.record.colorHover, "C0FFEE");

    f.expectRestored(keyword, "back to the keyword size");
    f.expectRestored(changed, "forward to 14px and a hover colour");

    // The number a keyword size left in the record is what the field offers with the next unit;
    // a hover colour ticked anew starts at black, as in a project that never had one.
    f.expectRestored(keyword, "back once more");
    f.choose("cbFontSize", 10 + 2);
    EXPECT_EQ(f.control<QLineEdit>("eFontSize")->text().toStdString(),
              f.document()->style(MenuSub).fontSizeValue);
    f.click("cbFontColorHoverActive");
    EXPECT_EQ(f.document()->style(MenuSub).colorHover, "000000");
}

TEST(StyleRefresh, TextPanelShowsDecorationFlagsAndInheritance) {
    RefreshFixture f(MenuMain, StylePages::TextTab);
    const Step plain = f.take();
    f.click("cbTextDecorationUnderline");
    f.click("cbTextDecorationBlink");
    f.choose("cbTextAlign", 2);
    f.choose("cbTextLetterSpacing", 2 + 0); // em
    f.type("eTextLetterSpacing", QStringLiteral("-0,5"));
    const Step flags = f.take();
    f.click("cbTextDecorationInherit");
    const Step inherited = f.take();
    EXPECT_FALSE(inherited.record.textDecorationUnderline);

    f.expectRestored(flags, "flags without inheritance");
    f.expectRestored(inherited, "inherited: boxes off and disabled");
    f.expectRestored(plain, "as read");
}

TEST(StyleRefresh, PositionPanelShowsStaticAndAbsoluteWithOffsetsUnchanged) {
    RefreshFixture f(MenuSub, StylePages::PositionTab); // absolute in the template
    const Step read = f.take();
    f.chooseRadio("rgPosDirectionX", 1);
    f.chooseRadio("rgPosDirectionY", 1);
    f.choose("cbPosOffsetH", 1 + 2); // px
    f.type("ePosOffsetH", QStringLiteral("12"));
    f.choose("cbPosOffsetV", 1 + 0); // em
    f.type("ePosOffsetV", QStringLiteral("2"));
    f.chooseRadio("rgPosOverflow", 3);
    const Step offsets = f.take();
    f.chooseRadio("rgPosArt", 0); // static: the offsets go back to left/top, "automatisch"
    const Step staticBox = f.take();
    EXPECT_EQ(staticBox.record.offsetXUnit, "auto");

    f.expectRestored(offsets, "absolute, right and bottom");
    f.expectRestored(staticBox, "static");
    f.expectRestored(read, "as read");

    // A static box whose file placed it anyway (offsets after "position") keeps its offsets:
    // shown, out of reach, not reset as a read of "position: static" resets them.
    MenuStyle placed = read.record;
    placed.position = "static";
    placed.offsetXSide = "right";
    placed.offsetXValue = "5";
    placed.offsetXUnit = "px";
    f.document()->setModified(false);
    f.document()->restoreStyle(MenuSub, placed);
    EXPECT_EQ(f.document()->style(MenuSub), placed);
    EXPECT_FALSE(f.document()->isModified());
    EXPECT_EQ(f.control<RadioGroup>("rgPosDirectionX")->itemIndex(), 1);
    EXPECT_EQ(f.control<QComboBox>("cbPosOffsetH")->currentIndex(), 1 + 2);
    EXPECT_FALSE(f.control("cbPosOffsetH")->isEnabled());
}

TEST(StyleRefresh, BorderPanelShowsSidesThatDifferAndReturnsToTheBorderRing) {
    RefreshFixture f(MenuMain, StylePages::BorderTab); // four equal sides in the template
    const Step equal = f.take();
    f.choose("cbSide", 0); // left only
    f.choose("cbBorderStyle", 2);
    f.choose("cbBorderBreite", 4 + 2); // px, after the four keywords
    f.type("eBorderBreite", QStringLiteral("3"));
    f.type("frameBorderColorChoice", QStringLiteral("FF0000"));
    const Step left = f.take();
    EXPECT_NE(left.record.borderStyle[quilso::SideLeft], left.record.borderStyle[quilso::SideRight]);
    // A margin changed on its own ring; a record put back shows the ring and sides that differ.
    f.choose("cbRing", quilso::BoxMargin);
    f.choose("cbBorderBreite", 1); // inherit
    ASSERT_EQ(f.document()->style(MenuMain).boxUnit[quilso::BoxMargin][quilso::SideLeft], "inherit");

    auto* ring = f.control<QComboBox>("cbRing");
    auto* side = f.control<QComboBox>("cbSide");
    f.expectRestored(left, "left side differs", [&] {
        EXPECT_EQ(ring->currentIndex(), quilso::BoxMargin);
        EXPECT_EQ(side->currentIndex(), 0);
        f.choose("cbRing", quilso::BoxBorder);
    });
    f.expectRestored(equal, "as read", [&] {
        EXPECT_EQ(ring->currentIndex(), quilso::BoxBorder);
        EXPECT_EQ(side->currentText(), QStringLiteral("links"));
        f.choose("cbSide", 6); // all sides, as a read shows them
    });
}

TEST(StyleRefresh, BackgroundPanelShowsTheHoverBoxAndColours) {
    RefreshFixture f(MenuMain, StylePages::BackgroundTab);
    const Step read = f.take();
    f.choose("cbBackgroundColor", 1);        // inherit
    f.click("cbBackgroundColorHoverActive"); // the template has no hover background
    f.choose("cbBackgroundColorHover", 2);
    f.type("frameBackgroundColorHoverChoice", QStringLiteral("00FF80"));
    const Step hovering = f.take();
    EXPECT_EQ(hovering.record.backgroundColorHover, "00FF80");
    f.click("cbBackgroundColorHoverActive");
    const Step off = f.take();
    EXPECT_TRUE(off.record.backgroundColorHover.empty());

    f.expectRestored(hovering, "hover colour");
    f.expectRestored(off, "no hover background");
    f.expectRestored(read, "as read");
    // Ticked anew, the hover background starts as in a project that never had one.
    f.click("cbBackgroundColorHoverActive");
    EXPECT_EQ(f.document()->style(MenuMain).backgroundColorHover, "transparent");
}
