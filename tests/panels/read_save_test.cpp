// A project file read through the panels and saved again unchanged gives the same bytes: every
// control the reader sets holds exactly what the file said, so storing the controls back changes
// nothing.
#include "color_choice_panel.h"
#include "edit_state.h"
#include "font_panel.h"
#include "panel_test_support.h"
#include "reader.h"
#include "text_panel.h"
#include "writer.h"

#include <QCheckBox>
#include <QHBoxLayout>

using namespace quilso;

namespace {

// Line lists, so a failure names the first line that differs.
QList<QByteArray> lines(const std::string& bytes) {
    return QByteArray::fromStdString(bytes).split('\n');
}

// Sends what the reader read to the font and text panel of the declaration's menu.
class PanelObserver : public ReadObserver {
public:
    std::vector<StylePanel*> panels[MenuKindCount];
    void declarationRead(MenuKind kind, BlockKind block, std::string_view property, bool stored) override {
        for (StylePanel* panel : panels[kind])
            panel->declarationRead(block, property, stored);
    }
    void blockScanFinished() override {
        for (auto& list : panels)
            for (StylePanel* panel : list)
                panel->blockScanFinished();
    }
};

// Font and text settings that differ from the panels' initial states in every menu.
void fillFontAndText(MenuStyle& css, int kind) {
    const char* families[] = {"Verdana", "Trebuchet MS", "sans-serif"};
    css.fontFamilies.assign(std::begin(families), std::begin(families) + 1 + kind);
    css.fontSizeValue = kind == 0 ? "0,8" : "10";
    css.fontSizeUnit = kind == 0 ? "em" : kind == 1 ? "x-small" : "larger";
    css.fontStyle = kind == 1 ? "oblique" : "italic";
    css.fontVariant = "small-caps";
    css.fontWeight = kind == 2 ? "600" : "bold";
    css.color = kind == 0 ? "1a2b3c" : "804020";
    css.colorSelected = "FF0000";
    css.colorHover = kind == 0 ? "00ff80" : "";
    css.letterSpacingValue = kind == 0 ? "-1" : "0";
    css.letterSpacingUnit = kind == 0 ? "px" : "inherit";
    css.wordSpacingValue = kind == 1 ? "0.5" : "0";
    css.wordSpacingUnit = kind == 1 ? "em" : "inherit";
    css.lineHeightValue = kind == 0 ? "1.4" : "0";
    css.lineHeightUnit = kind == 0 ? "" : kind == 1 ? "inherit" : "normal";
    css.textIndentValue = kind == 2 ? "0" : "5";
    css.textIndentUnit = kind == 2 ? "inherit" : "%";
    css.verticalAlignValue = kind == 1 ? "-2" : "0";
    css.verticalAlignUnit = kind == 1 ? "pt" : kind == 0 ? "text-top" : "middle";
    css.textAlign = kind == 2 ? "justify" : "center";
    css.direction = "rtl";
    css.textTransform = "uppercase";
    css.whiteSpace = kind == 0 ? "nowrap" : "pre";
    css.textDecorationUnderline = kind == 0;
    css.textDecorationBlink = kind == 0;
    css.textDecorationInherit = kind == 1;
}

} // namespace

class ReadSaveTest : public QObject {
    Q_OBJECT

private slots:
    void readThenSavedUnchangedGivesTheSameBytes() {
        ProgramInfo program;
        program.functionsLines = {"// library"};
        Project original;
        for (int kind = 0; kind < MenuKindCount; ++kind)
            fillFontAndText(original.params.css[kind], kind);
        original.tree.insert(original.tree.root(), -1, SiteEntry{"Start", "index.htm"});
        // The reader's canonical form of that project: the file as the program itself saves it.
        Project canonical;
        ReadObserver none;
        ReadProjectText(BuildMenuScriptText(original, program, "stamp"), canonical, none);
        const std::string file = BuildMenuScriptText(canonical, program, "stamp");

        QWidget window;
        EditState state;
        auto* layout = new QHBoxLayout(&window);
        Project loaded;
        PanelObserver observer;
        ParamsEditor editor(&loaded.params, &state);
        FontPanel* fonts[MenuKindCount];
        TextPanel* texts[MenuKindCount];
        for (int kind = 0; kind < MenuKindCount; ++kind) {
            fonts[kind] = new FontPanel(&window);
            texts[kind] = new TextPanel(&window);
            fonts[kind]->setup(MenuKind(kind), &editor, &state);
            texts[kind]->setup(MenuKind(kind), &editor, &state);
            observer.panels[kind] = {fonts[kind], texts[kind]};
            layout->addWidget(fonts[kind]);
            layout->addWidget(texts[kind]);
        }
        auto* outside = new QLineEdit(&window);
        layout->addWidget(outside);
        window.show();
        window.activateWindow();

        ReadProjectText(file, loaded, observer);
        QCOMPARE(lines(BuildMenuScriptText(loaded, program, "stamp")), lines(file));

        // Spot checks that the controls really moved away from their initial states.
        QCOMPARE(control<QComboBox>(fonts[0], "cbFontFamily")->currentText(), QString("Verdana"));
        QCOMPARE(control<QComboBox>(fonts[2], "cbFontFamily")->currentText(),
                 QString("Verdana, Trebuchet MS, sans-serif"));
        QCOMPARE(control<QLineEdit>(fonts[0], "eFontSize")->text(), QString("0,8"));
        QCOMPARE(control<QComboBox>(texts[0], "cbTextLineHeight")->currentIndex(), 2);
        QVERIFY(control<QCheckBox>(fonts[0], "cbFontColorHoverActive")->isChecked());
        QVERIFY(!control<QCheckBox>(fonts[1], "cbFontColorHoverActive")->isChecked());
        QVERIFY(!control<QCheckBox>(texts[1], "cbTextDecorationUnderline")->isEnabled());

        // Now store every control back as a user would: choose each list's shown item again,
        // retype the family text, pass through every visible field and colour panel, and
        // store every check box's state.
        for (QWidget* panel :
             std::initializer_list<QWidget*>{fonts[0], fonts[1], fonts[2], texts[0], texts[1], texts[2]}) {
            for (QComboBox* list : panel->findChildren<QComboBox*>()) {
                if (list->objectName() == "cobColorSelect") continue; // colours pass through their fields
                if (list->isEditable()) {
                    const QString text = list->currentText();
                    focusTo(list);
                    list->lineEdit()->selectAll();
                    QTest::keyClicks(list->lineEdit(), text);
                    focusTo(outside);
                } else if (list->currentIndex() >= 0) {
                    emit list->activated(list->currentIndex());
                }
            }
            for (QLineEdit* edit : panel->findChildren<QLineEdit*>()) {
                if (!edit->isVisible() || edit->parent()->inherits("QComboBox")) continue;
                focusTo(edit);
                focusTo(outside);
                QVERIFY2(state.editValid, qPrintable(edit->objectName()));
            }
            for (QCheckBox* box : panel->findChildren<QCheckBox*>()) {
                // Re-storing the shown state (toggling "vererbt" twice would clear the others).
                if (box->isEnabled()) emit box->clicked(box->isChecked());
            }
        }
        QVERIFY(state.projectModified());
        QCOMPARE(state.beepCount(), 0);
        const std::string saved = BuildMenuScriptText(loaded, program, "stamp");
        QCOMPARE(lines(saved), lines(file));
    }
};

QTEST_MAIN(ReadSaveTest)
#include "read_save_test.moc"
