// Loading a saved project through the reader, with the position, border and background panels
// showing what it reads, and saving it again must give the same bytes: the panels' reactions to
// reading (static reset, border refresh, hover switch) may not change the model.
#include "background_panel.h"
#include "border_panel.h"
#include "file_io.h"
#include "model_json.h"
#include "panel_test_support.h"
#include "position_panel.h"
#include "project.h"
#include "reader.h"
#include "writer.h"

#include <QtTest>

#include <memory>
#include <string>
#include <vector>

using namespace quilso;

namespace {

// What the main window does with the reader's reports, for these three panels.
class PanelObserver : public ReadObserver {
public:
    PanelObserver(ProjectParams& params, EditState& editState) : editor(&params, &editState) {
        for (int k = 0; k < MenuKindCount; ++k) {
            panels[k] = {std::make_unique<PositionPanel>(), std::make_unique<BorderPanel>(),
                         std::make_unique<BackgroundPanel>()};
            for (auto& panel : panels[k])
                panel->setup(MenuKind(k), &editor, &editState);
            static_cast<BorderPanel*>(panels[k][1].get())->initialise();
        }
    }
    void declarationRead(MenuKind kind, BlockKind block, std::string_view property, bool stored) override {
        for (auto& panel : panels[kind])
            panel->declarationRead(block, property, stored);
    }
    void blockScanFinished() override {
        for (auto& menu : panels)
            for (auto& panel : menu)
                panel->blockScanFinished();
    }
    ParamsEditor editor;
    std::array<std::unique_ptr<StylePanel>, 3> panels[MenuKindCount];
};

std::string joined(const std::vector<std::string>& lines) {
    std::string bytes;
    for (const std::string& line : lines)
        bytes += line + "\r\n";
    return bytes;
}

std::string save(const Project& project, const ProgramInfo& program) {
    std::vector<std::string> lines;
    BuildMenuScript(project, program, "01.02.2003 04:05:06", lines);
    return joined(lines);
}

} // namespace

class PanelsRoundTripTest : public QObject {
    Q_OBJECT

    ProgramInfo program;
    std::string defaultJson;

    void loadDefaults(Project& p) { ProjectFromJson(defaultJson, p); }
    // The default project with the cases the panels react to while reading.
    void loadVaried(Project& p) {
        loadDefaults(p);
        MenuStyle& sub = p.params.css[MenuSub];
        sub.position = "static";
        sub.offsetXSide = "right";
        sub.offsetXUnit = "px";
        sub.offsetXValue = "7";
        sub.borderStyle[SideTop] = "dashed";
        sub.boxUnit[BoxMargin][SideLeft] = "auto";
        sub.boxValue[BoxMargin][SideLeft] = "0";
        sub.backgroundColorHover = "inherit";
        sub.backgroundColor = "ab12CD";
        MenuStyle& bc = p.params.css[MenuBreadcrumb];
        bc.position = "absolute";
        bc.offsetYSide = "bottom";
        bc.offsetYUnit = "em";
        bc.offsetYValue = "-1,5";
        bc.overflow = "scroll";
        for (int s = 0; s < BoxSideCount; ++s) {
            bc.boxUnit[BoxBorder][s] = "%";
            bc.boxValue[BoxBorder][s] = "3";
        }
        bc.backgroundColorHover = "00ff00";
        bc.backgroundColorSelected = "transparent";
    }

private slots:
    void initTestCase() {
        defaultJson = ReadFileBytes(QUILSO_SOURCE_DIR "/data/default.json");
        program.functionsLines = ReadLines(QUILSO_SOURCE_DIR "/web/quilso_functions.js");
        QVERIFY(!program.functionsLines.empty());
    }

    void loadingThenSavingGivesTheSameBytes() {
        for (bool vary : {false, true}) {
            Project source;
            vary ? loadVaried(source) : loadDefaults(source);
            const std::string bytes = save(source, program);
            Project loaded;
            EditState editState;
            PanelObserver observer(loaded.params, editState);
            ReadProjectText(bytes, loaded, observer);
            QCOMPARE(save(loaded, program), bytes);
        }
    }

    // The same panels read one project after the other: what the first left in the panels
    // (border selection, static position, hover switch) does not leak into the second.
    void panelsKeepNoStateAcrossLoads() {
        Project loaded;
        EditState editState;
        PanelObserver observer(loaded.params, editState);
        Project varied, defaults;
        loadVaried(varied);
        loadDefaults(defaults);
        const std::string first = save(varied, program);
        const std::string second = save(defaults, program);
        ReadProjectText(first, loaded, observer);
        ReadProjectText(second, loaded, observer);
        // The sub menu's border sides differ in the first file and agree in the second.
        auto* border = static_cast<BorderPanel*>(observer.panels[MenuSub][1].get());
        QCOMPARE(int(border->selectedSides()), 15);
        QCOMPARE(loaded.params.css[MenuSub].position, std::string("absolute"));
        ReadProjectText(first, loaded, observer);
        QCOMPARE(save(loaded, program), first);
    }
};

QTEST_MAIN(PanelsRoundTripTest)
#include "panels_round_trip_test.moc"
