#include "cp1252.h"
#include "example_project.h"
#include "file_io.h"
#include "script_sections.h"
#include "value_helpers.h"
#include "writer.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>

using namespace quilso;
namespace fs = std::filesystem;

namespace {

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// The lines of the menu array between the function head and its closing brace.
std::vector<std::string> entryLines(const Project& project) {
    std::vector<std::string> lines;
    BuildMenuScript(project, ProgramInfo{}, "x", lines);
    auto head = std::find(lines.begin(), lines.end(), "function menuinit()\t{");
    EXPECT_NE(head, lines.end());
    auto end = std::find(head, lines.end(), "}");
    return {head + 1, end};
}

class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        if (value)
            ::setenv(name, value, 1);
        else
            ::unsetenv(name);
    }
    ~ScopedEnv() {
        if (old_)
            ::setenv(name_, old_->c_str(), 1);
        else
            ::unsetenv(name_);
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

} // namespace

TEST(MenuScript, SampleProjectIsWrittenByteForByte) {
    Project project;
    sample::makeExampleProject(project);
    const std::string text = BuildMenuScriptText(project, sample::exampleProgram(), "06.12.2026 14:51:03");
    const std::string golden = readFile(fs::path(QUILSO_WRITER_GOLDEN) / "example.js");
    ASSERT_FALSE(golden.empty());
    EXPECT_EQ(text, golden);

    std::vector<std::string> lines{"kept"};
    BuildMenuScript(project, sample::exampleProgram(), "06.12.2026 14:51:03", lines);
    EXPECT_EQ(lines.front(), "kept");
    EXPECT_EQ(SplitLines(golden).size() + 1, lines.size());
    EXPECT_EQ(lines.back(), "}");
}

TEST(MenuScript, EmptyTreeAndHeaders) {
    Project project;
    project.params.options.isTag = true;
    ProgramInfo program;
    program.edition = "Pro";
    program.version = "9.9";
    const std::string text = BuildMenuScriptText(project, program, "01.01.2000");
    const std::string head = "/* application\r\nprogram=quilso\r\nedition=Pro\r\nversion=9.9\r\n*/\r\n\r\n"
                             "/* project\r\nlastsave=01.01.2000\r\n*/\r\n\r\n";
    EXPECT_EQ(text.substr(0, head.size()), head);
    EXPECT_NE(text.find("/* options\r\nistag=true\r\n*/\r\n\r\n/* CSS-Init */\r\n"), std::string::npos);
    const std::string tail = "/* menu */\r\nvar cs = 0;\r\nvar ca = new Array(cs);\r\n\r\n"
                             "function menuinit()\t{\r\n}\r\n\r\n";
    ASSERT_GE(text.size(), tail.size());
    EXPECT_EQ(text.substr(text.size() - tail.size()), tail);
}

TEST(MenuArray, LinksAreDisplayNumbers) {
    Project project;
    SiteTree& t = project.tree;
    SiteNode* a = t.insert(t.root(), -1, {"A", "a"});
    SiteNode* b = t.insert(a, -1, {"B", "b"});
    t.insert(b, -1, {"C", "c"});
    t.insert(a, -1, {"D", "d"});
    SiteNode* e = t.insert(t.root(), -1, {"E", "e"});
    t.insert(e, -1, {"F", "f"});
    t.insert(e, -1, {"G", "g"});
    EXPECT_EQ(entryLines(project), (std::vector<std::string>{
                                       "ca[0] = new cr(\"A\", \"a\", 4, cs, 1);",
                                       "ca[1] = new cr(\"B\", \"b\", 3, 0, 2);",
                                       "ca[2] = new cr(\"C\", \"c\", cs, 1, cs);",
                                       "ca[3] = new cr(\"D\", \"d\", cs, 0, cs);",
                                       "ca[4] = new cr(\"E\", \"e\", cs, cs, 5);",
                                       "ca[5] = new cr(\"F\", \"f\", 6, 4, cs);",
                                       "ca[6] = new cr(\"G\", \"g\", cs, 4, cs);",
                                   }));
}

TEST(MenuArray, HostileTextsStayInsideTheirLiterals) {
    Project project;
    SiteTree& t = project.tree;
    t.insert(t.root(), -1, {"<b>\"Fish\" & 'Chips'</b>  \\\x80\xE4\r\n", "a\"b\\c'd\xE4\x81.htm"});
    project.params.options.isTag = false;
    EXPECT_EQ(
        entryLines(project).at(0),
        "ca[0] = new cr(\"&#60;b&#62;&#34;Fish&#34; & &#39;Chips&#39;&#60;/b&#62; &nbsp;\\\\\\u20AC&#228;"
        "\\x0D\\x0A\", \"a\\x22b\\\\c'd\\u00E4\\u0081.htm\", cs, cs, cs);");
    project.params.options.isTag = true;
    EXPECT_EQ(entryLines(project).at(0).substr(0, 30), "ca[0] = new cr(\"<b>&#34;Fish&#");
}

TEST(JsEscape, OnlyWhatWouldBreakTheLiteral) {
    EXPECT_EQ(JsEscape("O'Brien \"x\"", '\''), "O\\x27Brien \"x\"");
    EXPECT_EQ(JsEscape("O'Brien \"x\"", '"'), "O'Brien \\x22x\\x22");
    EXPECT_EQ(JsEscape("a\\b", '"'), "a\\\\b");
    EXPECT_EQ(JsEscape(std::string("\0\x1F\x7F ~", 5), '"'), "\\x00\\x1F\x7F ~");
    EXPECT_EQ(JsEscape("\x80\x9F\xA0\xE4\xFF", '"'), "\\u20AC\\u0178\\u00A0\\u00E4\\u00FF");
    EXPECT_EQ(JsEscape("", '\''), "");
    // Every byte produces plain ASCII.
    std::string all;
    for (int b = 0; b < 256; ++b)
        all += static_cast<char>(b);
    for (unsigned char c : JsEscape(all, '\''))
        EXPECT_LT(c, 0x80);
}

TEST(JsEscape, FusedMenuTextMatchesEncodeThenEscape) {
    std::mt19937 random(7);
    const std::string alphabet = std::string("  \"'<>&\\ab\x80\x9F\xA0\xFF\r\n\t") + std::string(1, '\0');
    for (int round = 0; round < 2000; ++round) {
        std::string text;
        const int length = static_cast<int>(random() % 12);
        for (int i = 0; i < length; ++i)
            text += alphabet[random() % alphabet.size()];
        for (bool isTag : {false, true}) {
            std::string fused;
            AppendMenuText(fused, text, isTag);
            EXPECT_EQ(fused, JsEscape(HtmlEncode(text, isTag), '"')) << text;
        }
    }
}

TEST(JsEscape, LongTextsMatchEscapingByteByByte) {
    // Texts long enough to be scanned in several blocks, mostly plain with the odd byte that needs
    // escaping anywhere, double spaces across block edges included.
    const auto reference = [](std::string_view text, char quote) {
        std::string out;
        char code[8];
        for (const char c : text) {
            const auto byte = static_cast<unsigned char>(c);
            if (c == '\\') {
                out += "\\\\";
            } else if (byte < 0x20 || c == quote) {
                std::snprintf(code, sizeof code, "\\x%02X", byte);
                out += code;
            } else if (byte >= 0x80) {
                std::snprintf(code, sizeof code, "\\u%04X", static_cast<unsigned>(Cp1252ToUnicode(byte)));
                out += code;
            } else {
                out += c;
            }
        }
        return out;
    };
    std::mt19937 random(11);
    const std::string rare = std::string(" \"'<>&\\\x80\xFF\x1F\x7F\t") + std::string(1, '\0');
    const auto randomText = [&] {
        std::string text;
        const int length = static_cast<int>(random() % 50);
        for (int i = 0; i < length; ++i) {
            const unsigned pick = random() % 16;
            text += pick < 2 ? rare[random() % rare.size()] : pick < 4 ? ' ' : static_cast<char>('a' + pick);
        }
        return text;
    };
    for (int round = 0; round < 3000; ++round) {
        const std::string text = randomText();
        for (const char quote : {'"', '\''})
            ASSERT_EQ(JsEscape(text, quote), reference(text, quote)) << text;
        for (const bool isTag : {false, true}) {
            std::string fused;
            AppendMenuText(fused, text, isTag);
            ASSERT_EQ(fused, reference(HtmlEncode(text, isTag), '"')) << text;
        }
    }
    // The same inside menu lines, where a text's whole buffer is read; 120 entries, so that the
    // display numbers gain digits on the way.
    for (const bool isTag : {false, true}) {
        Project project;
        project.params.options.isTag = isTag;
        std::vector<std::string> expected;
        for (int i = 0; i < 120; ++i) {
            SiteEntry entry{randomText(), randomText()};
            expected.push_back("ca[" + std::to_string(i) + "] = new cr(\"" +
                               reference(HtmlEncode(entry.text, isTag), '"') + "\", \"" +
                               reference(entry.file, '"') + "\", " +
                               (i < 119 ? std::to_string(i + 1) : "cs") + ", cs, cs);");
            // Every third entry's texts go into the tree's text store, as a read puts them,
            // where the bytes after a text belong to the next one.
            if (i % 3 == 0)
                project.tree.append(project.tree.root(), entry.text, entry.file);
            else
                project.tree.insert(project.tree.root(), -1, std::move(entry));
        }
        EXPECT_EQ(entryLines(project), expected);
    }
}

TEST(MenuScript, LibraryWithoutFinalBreakStillEndsInCrLf) {
    const fs::path lib = fs::temp_directory_path() / "quilso_writer_lib.js";
    std::ofstream(lib, std::ios::binary) << "function cr() {}\nvar last = 1;";
    ProgramInfo program;
    program.functionsLines = ReadLines(lib.string());
    fs::remove(lib);
    const std::string text = BuildMenuScriptText(Project{}, program, "x");
    const std::string tail = "}\r\n\r\nfunction cr() {}\r\nvar last = 1;\r\n";
    EXPECT_EQ(text.substr(text.size() - tail.size()), tail);
}

TEST(MenuArray, DeepChainAndMillionEntriesWithoutRecursion) {
    Project chain;
    SiteNode* node = chain.tree.root();
    for (int i = 0; i < 100000; ++i)
        node = chain.tree.insert(node, -1, {"x", "y"});
    std::string text = BuildMenuScriptText(chain, ProgramInfo{}, "x");
    EXPECT_NE(text.find("var cs = 100000;\r\n"), std::string::npos);
    EXPECT_NE(text.find("ca[0] = new cr(\"x\", \"y\", cs, cs, 1);\r\n"), std::string::npos);
    EXPECT_NE(text.find("ca[99999] = new cr(\"x\", \"y\", cs, 99998, cs);\r\n}\r\n"), std::string::npos);

    // 1,000 top-level entries with 999 children each.
    Project wide;
    for (int i = 0; i < 1000; ++i) {
        SiteNode* top = wide.tree.insert(wide.tree.root(), -1, {"t", "f"});
        for (int j = 0; j < 999; ++j)
            wide.tree.insert(top, -1, {"c", "f"});
    }
    text = BuildMenuScriptText(wide, ProgramInfo{}, "x");
    EXPECT_NE(text.find("var cs = 1000000;\r\n"), std::string::npos);
    EXPECT_NE(text.find("ca[998000] = new cr(\"t\", \"f\", 999000, cs, 998001);\r\n"), std::string::npos);
    EXPECT_NE(text.find("ca[998999] = new cr(\"c\", \"f\", cs, 998000, cs);\r\n"), std::string::npos);
    EXPECT_NE(text.find("ca[999999] = new cr(\"c\", \"f\", cs, 999000, cs);\r\n}\r\n"), std::string::npos);
}

TEST(LastSave, SourceDateEpochIsReproducible) {
    {
        ScopedEnv env("SOURCE_DATE_EPOCH", "1700000000");
        EXPECT_EQ(LastSaveStamp(), "14.11.2023 22:13:20");
    }
    {
        ScopedEnv env("SOURCE_DATE_EPOCH", "86400");
        EXPECT_EQ(LastSaveStamp(), "02.01.1970"); // midnight: the date alone
    }
    {
        ScopedEnv env("SOURCE_DATE_EPOCH", nullptr);
        const std::string now = LastSaveStamp();
        ASSERT_TRUE(now.size() == 10 || now.size() == 19) << now;
        EXPECT_EQ(now[2], '.');
        EXPECT_EQ(now[5], '.');
    }
}

TEST(MenuScript, SavingTwiceGivesTheSameBytesAndFailuresThrow) {
    ScopedEnv env("SOURCE_DATE_EPOCH", "1700000000");
    Project project;
    sample::makeExampleProject(project);
    const fs::path dir = fs::temp_directory_path() / "quilso_writer_save";
    fs::create_directories(dir);
    const fs::path file = dir / "menu.js";
    WriteMenuScript(file.string(), project, sample::exampleProgram());
    const std::string first = readFile(file);
    WriteMenuScript(file.string(), project, sample::exampleProgram());
    EXPECT_EQ(readFile(file), first);
    EXPECT_EQ(first, BuildMenuScriptText(project, sample::exampleProgram(), "14.11.2023 22:13:20"));
    EXPECT_THROW(WriteMenuScript((dir / "missing" / "menu.js").string(), project, ProgramInfo{}), FileError);
    fs::remove_all(dir);
}

TEST(MenuScript, LargeSaveWrittenInPiecesMatchesTheBuiltText) {
    ScopedEnv env("SOURCE_DATE_EPOCH", "1700000000");
    // Several megabytes of entries and a long library, so the save passes its buffer on many times.
    Project project;
    ProgramInfo program;
    for (int i = 0; i < 3000; ++i)
        program.functionsLines.push_back("// " + std::string(400, 'a' + i % 26));
    std::vector<SiteNode*> nodes;
    for (int k = 0; k < 60000; ++k) {
        SiteNode* parent = k < 10 ? project.tree.root() : nodes[static_cast<std::size_t>(k / 10 - 1)];
        nodes.push_back(project.tree.insert(
            parent, -1, {"Men\xFC \"" + std::to_string(k) + "\"", "s" + std::to_string(k) + ".htm"}));
    }
    const fs::path file = fs::temp_directory_path() / "quilso_writer_pieces.js";
    WriteMenuScript(file.string(), project, program);
    const std::string saved = readFile(file);
    fs::remove(file);
    const std::string built = BuildMenuScriptText(project, program, LastSaveStamp());
    ASSERT_GT(built.size(), std::size_t(4) << 20);
    EXPECT_EQ(saved.size(), built.size());
    EXPECT_TRUE(saved == built);
}

TEST(MenuScript, TextsLongerThanAPieceAreWrittenInPartsAsTheBuiltText) {
    ScopedEnv env("SOURCE_DATE_EPOCH", "1700000000");
    // Parts of a long text meet at every kind of byte, runs of spaces among them, whose second
    // space onwards becomes "&nbsp;" also where a part begins.
    std::string text;
    for (int i = 0; i < 400000; ++i) {
        static const char pattern[] = "ab  <\"\xE4 \\'  x\x01>   ";
        text += pattern[i % (sizeof pattern - 1)];
    }
    const std::string spaces(300000, ' ');
    for (const bool isTag : {false, true}) {
        Project project;
        project.params.options.isTag = isTag;
        project.tree.insert(project.tree.root(), -1, {text, text.substr(1000)});
        project.tree.insert(project.tree.root(), -1, {"x" + spaces, spaces});
        project.tree.insert(project.tree.root(), -1, {"kurz", "k.htm"});
        std::string written;
        WriteMenuScriptTo([&](std::string_view piece) { written += piece; }, project, ProgramInfo{});
        const std::string built = BuildMenuScriptText(project, ProgramInfo{}, LastSaveStamp());
        EXPECT_EQ(written.size(), built.size());
        EXPECT_TRUE(written == built) << "isTag " << isTag;
    }
}
