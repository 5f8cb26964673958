// Write, read, write: the reader gives back what the writer wrote.
#include "example_project.h"
#include "reader_test_support.h"
#include "value_helpers.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

using namespace quilso;
using namespace quilso::test;

namespace {
const std::string Stamp = "06.12.2026 14:51:03";

std::string ReadFileBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// Bytes a user could type or paste, weighted towards those that need escaping somewhere.
std::string HostileText(std::mt19937& rng, std::size_t maxLength) {
    static const std::string special = "\"'\\,()[];:{}= &#<>%\r\n\t";
    static const std::vector<std::string> fragments = {"&#1;",  "&#1234;", "&#x41;",  "&amp;", "&#;",
                                                       "&#6a;", "\\x41",   "\\u00E4", "''",    "\"\"",
                                                       "ca[0]", "*/",      "cs"};
    std::string out;
    const std::size_t length = rng() % (maxLength + 1);
    while (out.size() < length) {
        switch (rng() % 6) {
        case 0:
            out += special[rng() % special.size()];
            break;
        case 1:
            out += static_cast<char>(rng() % 32);
            break; // control bytes, NUL included
        case 2:
            out += static_cast<char>(0x80 + rng() % 128);
            break; // upper half, 0x81 .. 0x9D too
        case 3:
            out += fragments[rng() % fragments.size()];
            break;
        default:
            out += static_cast<char>('a' + rng() % 26);
            break;
        }
    }
    return out;
}

// A menu text the HTML coding gives back unchanged: references the user typed come back decoded.
std::string MenuText(std::mt19937& rng) {
    for (;;) {
        std::string text = HostileText(rng, 24);
        if (HtmlDecode(HtmlEncode(text, false)) == text && HtmlDecode(HtmlEncode(text, true)) == text)
            return text;
    }
}

// Family names keep apart only without separators of the family list and the declaration, and
// without a quote, which would group the rest of the declaration into one piece.
std::string FamilyName(std::mt19937& rng) {
    std::string name;
    while (name.empty()) {
        for (char c : HostileText(rng, 10))
            if (static_cast<unsigned char>(c) > 32 &&
                std::string_view(",;:\"'}{").find(c) == std::string_view::npos)
                name += c;
    }
    if (rng() % 3 == 0) name.insert(name.size() / 2, " "); // written in double quotes
    return name;
}

void RandomProject(std::mt19937& rng, Project& project) {
    sample::makeExampleProject(project);
    project.tree.clear();
    project.params.options.isTag = rng() % 2;
    for (MenuStyle& css : project.params.css) {
        css.fontFamilies.clear();
        for (unsigned k = rng() % 4; k > 0; --k)
            css.fontFamilies.push_back(FamilyName(rng));
    }
    // Random shape: each entry goes under a random node of the path to the last one.
    std::vector<SiteNode*> path{project.tree.root()};
    const unsigned entries = rng() % 40;
    for (unsigned i = 0; i < entries; ++i) {
        path.resize(1 + rng() % path.size());
        path.push_back(project.tree.insert(path.back(), -1, {MenuText(rng), HostileText(rng, 16)}));
    }
}
} // namespace

TEST(RoundTrip, TheExampleFileReadsBackIntoItsProject) {
    const std::string golden = ReadFileBytes(std::filesystem::path(QUILSO_WRITER_GOLDEN) / "example.js");
    ASSERT_FALSE(golden.empty());
    Project read;
    Load(golden, read);
    EXPECT_EQ(BuildMenuScriptText(read, sample::exampleProgram(), Stamp), golden);

    // Field by field: a number under a keyword unit comes back as its row's default; the sub
    // menu's outer box and the decoration words under "inherit" are not written.
    Project expected;
    sample::makeExampleProject(expected);
    EXPECT_EQ(Shape(read.tree), Shape(expected.tree));
    for (MenuStyle& css : expected.params.css) {
        css.heightValue = css.heightUnit == "auto" ? "30" : css.heightValue;
        css.letterSpacingValue = "0";
        css.wordSpacingValue = "0";
        css.verticalAlignValue = "0";
    }
    expected.params.css[MenuSub].fontSizeValue = "10";
    expected.params.css[MenuSub].clear.clear();
    expected.params.css[MenuSub].cssFloat.clear();
    expected.params.css[MenuBreadcrumb].textDecorationOverline = false;
    for (int k = 0; k < MenuKindCount; ++k)
        EXPECT_EQ(read.params.css[k], expected.params.css[k]) << "menu " << k;
    EXPECT_EQ(read.params.options, expected.params.options);
}

TEST(RoundTrip, HostileTextsGiveIdenticalBytes) {
    std::mt19937 rng(4242);
    const ProgramInfo program = sample::exampleProgram();
    for (int round = 0; round < 300; ++round) {
        Project original;
        RandomProject(rng, original);
        const std::string first = BuildMenuScriptText(original, program, Stamp);
        Project read;
        Load(first, read);
        const std::string second = BuildMenuScriptText(read, program, Stamp);
        ASSERT_EQ(first, second) << "round " << round;
        ASSERT_EQ(Shape(read.tree), Shape(original.tree)) << "round " << round;
        for (int k = 0; k < MenuKindCount; ++k)
            ASSERT_EQ(read.params.css[k].fontFamilies, original.params.css[k].fontFamilies);
    }
}

TEST(RoundTrip, ReferencesTypedIntoATextComeBackDecoded) {
    Project project;
    project.tree.insert(project.tree.root(), -1, {"a&nbsp;b &#34;c&#34; &#065;", "x&#34;.htm"});
    const std::string first = BuildMenuScriptText(project, ProgramInfo{}, Stamp);
    Project read;
    Load(first, read);
    ASSERT_EQ(read.tree.size(), 1u);
    EXPECT_EQ(read.tree.root()->child(0)->entry.text, "a b \"c\" A");
    EXPECT_EQ(read.tree.root()->child(0)->entry.file, "x&#34;.htm");
    // From the decoded text on, the file is stable.
    const std::string second = BuildMenuScriptText(read, ProgramInfo{}, Stamp);
    Project again;
    Load(second, again);
    EXPECT_EQ(BuildMenuScriptText(again, ProgramInfo{}, Stamp), second);
}

TEST(RoundTrip, ReferencesBeyondAByteSurviveReopeningAndSaving) {
    // How a text with characters Windows-1252 lacks reaches the file: as the references the
    // window stores for them, here omega, alpha, zhe and a grinning face.
    Project project;
    project.tree.insert(project.tree.root(), -1, {"Neue Seite &#969; &#945;&#1078; &#128512; \xE4", "a.htm"});
    const std::string first = BuildMenuScriptText(project, ProgramInfo{}, Stamp);
    Project read;
    Load(first, read);
    ASSERT_EQ(read.tree.size(), 1u);
    EXPECT_EQ(read.tree.root()->child(0)->entry.text, "Neue Seite &#969; &#945;&#1078; &#128512; \xE4");
    const std::string second = BuildMenuScriptText(read, ProgramInfo{}, Stamp);
    EXPECT_EQ(second.substr(second.find("ca[0]")), first.substr(first.find("ca[0]")));
}

TEST(RoundTrip, SavedFileReadsBackThroughTheFileSystem) {
    std::mt19937 rng(99);
    Project original;
    RandomProject(rng, original);
    const auto path = std::filesystem::temp_directory_path() / "quilso-reader-round-trip.js";
    ::setenv("SOURCE_DATE_EPOCH", "1700000000", 1);
    WriteMenuScript(path.string(), original, sample::exampleProgram());
    const std::string stamp = LastSaveStamp();
    ::unsetenv("SOURCE_DATE_EPOCH");
    Project read;
    ReadObserver none;
    ReadProjectFile(path.string(), read, none);
    const std::string saved = ReadFileBytes(path);
    std::filesystem::remove(path);
    EXPECT_EQ(BuildMenuScriptText(read, sample::exampleProgram(), stamp), saved);
}
