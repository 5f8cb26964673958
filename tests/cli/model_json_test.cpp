#include "example_project.h"
#include "model_json.h"

#include <gtest/gtest.h>

using namespace quilso;

namespace {

std::string allBytes(int shift) {
    std::string s;
    for (int b = 0; b < 256; ++b)
        s += static_cast<char>((b + shift) & 0xFF);
    return s;
}

// Every byte a CSS value may hold: all but those that would end its declaration or rule.
std::string cssBytes(int shift) {
    std::string s = allBytes(shift);
    std::erase_if(s, [](char c) { return c == ';' || c == '{' || c == '}'; });
    return s;
}

// Every field gets its own value, so a field missing from either direction shows up.
MenuStyle distinctCss(int seed) {
    MenuStyle css;
    int n = seed;
    auto next = [&] { return "v" + std::to_string(n++); };
    for (std::string* s : {&css.clear,
                           &css.cssFloat,
                           &css.position,
                           &css.offsetXSide,
                           &css.offsetXValue,
                           &css.offsetXUnit,
                           &css.offsetYSide,
                           &css.offsetYValue,
                           &css.offsetYUnit,
                           &css.widthValue,
                           &css.widthUnit,
                           &css.heightValue,
                           &css.heightUnit,
                           &css.overflow,
                           &css.letterSpacingValue,
                           &css.letterSpacingUnit,
                           &css.lineHeightValue,
                           &css.lineHeightUnit,
                           &css.direction,
                           &css.textAlign,
                           &css.textIndentValue,
                           &css.textIndentUnit,
                           &css.textTransform,
                           &css.wordSpacingValue,
                           &css.wordSpacingUnit,
                           &css.verticalAlignValue,
                           &css.verticalAlignUnit,
                           &css.whiteSpace,
                           &css.fontSizeValue,
                           &css.fontSizeUnit,
                           &css.fontStyle,
                           &css.fontVariant,
                           &css.fontWeight,
                           &css.color,
                           &css.colorSelected,
                           &css.backgroundColorSelected,
                           &css.colorHover,
                           &css.backgroundColorHover,
                           &css.backgroundColor})
        *s = next();
    // Units come from the panels' lists, as distinct as those allow.
    const auto unit = [&](std::vector<std::string_view> choices) {
        choices.insert(choices.end(), CssUnits.begin(), CssUnits.end() - 1);
        return std::string(choices[static_cast<std::size_t>(n++) % choices.size()]);
    };
    const std::vector<std::pair<std::string*, std::vector<std::string_view>>> unitFields = {
        {&css.offsetXUnit, {"auto"}},
        {&css.offsetYUnit, {"auto"}},
        {&css.widthUnit, {"auto"}},
        {&css.heightUnit, {"auto"}},
        {&css.letterSpacingUnit, {"normal", "inherit"}},
        {&css.wordSpacingUnit, {"normal", "inherit"}},
        {&css.lineHeightUnit, {"normal", "inherit", ""}},
        {&css.textIndentUnit, {"inherit"}},
        {&css.verticalAlignUnit, {"baseline", "text-top"}},
        {&css.fontSizeUnit, {"xx-small", "larger"}}};
    for (const auto& [field, keywords] : unitFields)
        *field = unit(keywords);
    for (int p = 0; p < BoxPartCount; ++p)
        for (int s = 0; s < BoxSideCount; ++s) {
            css.boxValue[p][s] = next();
            css.boxUnit[p][s] = unit({"inherit"});
        }
    for (int s = 0; s < BoxSideCount; ++s) {
        css.borderColor[s] = next();
        css.borderStyle[s] = next();
    }
    css.fontFamilies = {next(), cssBytes(seed), ""};
    css.textDecorationUnderline = seed & 1;
    css.textDecorationOverline = seed & 2;
    css.textDecorationLineThrough = seed & 4;
    css.textDecorationBlink = seed & 8;
    css.textDecorationInherit = seed & 16;
    return css;
}

std::vector<SiteEntry> entries(const SiteTree& tree) {
    std::vector<SiteEntry> list;
    tree.forEachPreorder([&](const SiteNode* node, int depth) {
        list.push_back({std::to_string(depth) + ":" + node->entry.text, node->entry.file});
    });
    return list;
}

} // namespace

TEST(ModelJson, EveryFieldAndByteSurvivesDumpAndBuild) {
    Project project;
    project.params.options.isTag = true;
    for (int k = 0; k < MenuKindCount; ++k)
        project.params.css[k] = distinctCss(k * 7 + 3);
    SiteNode* a = project.tree.insert(project.tree.root(), -1, {allBytes(0), allBytes(128)});
    SiteNode* b = project.tree.insert(a, -1, {"", ""});
    project.tree.insert(b, -1, {"\"quoted\" \\ back", "x"});
    project.tree.insert(a, -1, {"sibling", "y"});
    project.tree.insert(project.tree.root(), -1, {"last", "z"});

    Project back;
    ProjectFromJson(ProjectToJson(project), back);
    EXPECT_EQ(back.params, project.params);
    EXPECT_EQ(entries(back.tree), entries(project.tree));
    EXPECT_EQ(ProjectToJson(back), ProjectToJson(project));
}

TEST(ModelJson, MissingKeysAreEmpty) {
    Project project;
    ProjectFromJson(R"({"css": [{"color": "FF0000"}, {}, {}], "tree": [{"text": "A"}]})", project);
    EXPECT_FALSE(project.params.options.isTag);
    EXPECT_EQ(project.params.css[0].color, "FF0000");
    EXPECT_EQ(project.params.css[0].fontFamilies.size(), 0u);
    ASSERT_EQ(project.tree.size(), 1u);
    EXPECT_EQ(project.tree.root()->child(0)->entry.file, "");
}

TEST(ModelJson, ShapeErrorsNameThePlaceAndChangeNothing) {
    Project project;
    sample::makeExampleProject(project);
    const std::string before = ProjectToJson(project);
    const std::pair<const char*, const char*> cases[] = {
        {"{", "not valid JSON"},
        {"[]", "model"},
        {R"({"isTag": "yes"})", "isTag"},
        {R"({"colour": 1})", "colour: unknown key"},
        {R"({"css": [{}, {}]})", "css: expected 3"},
        {R"({"css": [{}, {"fontSize": "1"}, {}]})", "css[1].fontSize: unknown key"},
        {R"({"css": [{}, {}, {"boxUnit": [["px","em","%","pt"], ["px"], ["px","em","%","pt"]]}]})",
         "css[2].boxUnit[1]"},
        {R"({"css": [{"borderColor": ["a","b","c",4]}, {}, {}]})", "css[0].borderColor[3]"},
        {R"({"tree": [{"text": "a", "children": [{}, {"file": "\u2192"}]}]})", "tree[0].children[1].file"},
        {R"({"tree": [{"text": "a", "children": [{"kids": []}]}]})", "tree[0].children[0].kids"},
        {R"({"tree": {"text": "a"}})", "tree: expected an array"},
        {"{\"tree\": [{\"text\": \"\xFF\"}]}", "not valid JSON"}, // not UTF-8
        {R"({"isTag": 1e999})", "not valid JSON"},                // a number no double holds
        {R"({"css": [{"clear": -99999999999999999999999e99999}, {}, {}]})", "not valid JSON"},
    };
    for (const auto& [json, message] : cases) {
        try {
            ProjectFromJson(json, project);
            ADD_FAILURE() << "accepted: " << json;
        } catch (const ModelError& e) {
            EXPECT_NE(std::string(e.what()).find(message), std::string::npos) << e.what();
        }
        EXPECT_EQ(ProjectToJson(project), before);
    }
}

TEST(ModelJson, ValuesThatWouldEndTheirRuleAndUnitsNoPanelOffersAreRefused) {
    Project project;
    sample::makeExampleProject(project);
    const std::string before = ProjectToJson(project);
    const std::pair<const char*, const char*> refused[] = {
        {R"({"css": [{"fontFamilies": ["Foo}Bar", "Arial"]}, {}, {}]})", "css[0].fontFamilies[0]"},
        {R"({"css": [{"widthUnit": "px;}"}, {}, {}]})", "css[0].widthUnit"},
        {R"({"css": [{}, {"color": "#FF0000;"}, {}]})", "css[1].color"},
        {R"({"css": [{}, {}, {"backgroundColor": "{"}]})", "css[2].backgroundColor"},
        {R"({"css": [{"boxValue": [["1","2","3","4{"], ["1","2","3","4"], ["1","2","3","4"]]}, {}, {}]})",
         "css[0].boxValue[0][3]"},
        {R"({"css": [{"borderStyle": ["solid","solid","solid","solid;color:red"]}, {}, {}]})",
         "css[0].borderStyle[3]"},
        {R"({"css": [{"fontSizeUnit": "vw"}, {}, {}]})", "css[0].fontSizeUnit"},
        {R"({"css": [{"letterSpacingUnit": "%"}, {}, {}]})", "css[0].letterSpacingUnit"},
        {R"({"css": [{"heightUnit": "normal"}, {}, {}]})", "css[0].heightUnit"},
        {R"({"css": [{"boxUnit": [["px","px","px","px"], ["%","px","px","px"], ["px","px","px","px"]]}, {}, {}]})",
         "css[0].boxUnit[1][0]"},
        {R"({"css": [{"boxUnit": [["px","px","px","px"], ["px","px","px","px"], ["px","px","px","auto"]]}, {}, {}]})",
         "css[0].boxUnit[2][3]"},
    };
    for (const auto& [json, place] : refused) {
        try {
            ProjectFromJson(json, project);
            ADD_FAILURE() << "accepted: " << json;
        } catch (const ModelError& e) {
            EXPECT_TRUE(std::string(e.what()).starts_with(std::string(place) + ":")) << e.what();
        }
        EXPECT_EQ(ProjectToJson(project), before);
    }
    ProjectFromJson(R"({"css": [{"widthUnit": "auto", "heightUnit": "%", "lineHeightUnit": "",
                                 "fontSizeUnit": "larger", "letterSpacingUnit": "inherit",
                                 "fontFamilies": ["Foo Bar", "a:b,c"]},
                                {"boxUnit": [["auto","inherit","em",""], ["thin","medium","pc","inherit"],
                                             ["inherit","%","px","mm"]]}, {}]})",
                    project);
    EXPECT_EQ(project.params.css[0].fontSizeUnit, "larger");
    EXPECT_EQ(project.params.css[1].boxUnit[BoxBorder][SideRight], "medium");
}

TEST(ModelJson, CharactersOutsideTheCodePageAreRefusedButC1ControlsPass) {
    Project project;
    ProjectFromJson(R"({"tree": [{"text": "\u20ac\u0081\u009d\u00e4"}]})", project);
    EXPECT_EQ(project.tree.root()->child(0)->entry.text, "\x80\x81\x9D\xE4");
    EXPECT_THROW(ProjectFromJson(R"({"tree": [{"text": "\u0100"}]})", project), ModelError);
    EXPECT_THROW(ProjectFromJson(R"({"css": [{"color": "\ud83d\ude00"}, {}, {}]})", project), ModelError);
}

TEST(ModelJson, DeepChainWithoutRecursion) {
    constexpr int depth = 100000;
    std::string json = R"({"tree": )";
    for (int i = 0; i < depth; ++i)
        json += R"([{"text": "n", "children": )";
    json += "[]";
    for (int i = 0; i < depth; ++i)
        json += "}]";
    json += "}";
    Project project;
    ProjectFromJson(json, project);
    EXPECT_EQ(project.tree.size(), static_cast<std::size_t>(depth));
    const std::string dumped = ProjectToJson(project);
    Project again;
    ProjectFromJson(dumped, again);
    EXPECT_EQ(again.tree.size(), static_cast<std::size_t>(depth));
    EXPECT_EQ(ProjectToJson(again), dumped);
}
