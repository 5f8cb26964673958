// Write, read, write: the reader gives back what the writer wrote.
#include "cp1252.h"
#include "example_project.h"
#include "reader_test_support.h"
#include "value_helpers.h"

#include <gtest/gtest.h>

#include <algorithm>
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

namespace {
// What a page shows of a menu text written as the string literal `literal` (without its
// quotes): the script's escapes undone into characters, the markup parsed with its character
// references decoded. A character a reference names is kept apart from markup: "&lt;" in the
// result is a '<' shown as text, a '<' is a tag. Runs of white space show as one space, and a
// no-break space as a space.
std::u32string ShownText(std::string_view literal) {
    std::u32string script;
    for (std::size_t i = 0; i < literal.size(); ++i) {
        const char c = literal[i];
        if (c == '\\' && i + 1 < literal.size()) {
            const char kind = literal[i + 1];
            const std::size_t digits = kind == 'x' ? 2 : kind == 'u' ? 4 : 0;
            if (digits != 0) {
                script += static_cast<char32_t>(
                    std::stoul(std::string(literal.substr(i + 2, digits)), nullptr, 16));
                i += 1 + digits;
            } else {
                script += static_cast<char32_t>(static_cast<unsigned char>(kind));
                ++i;
            }
        } else {
            script += Cp1252ToUnicode(static_cast<unsigned char>(c));
        }
    }
    // A string of UTF-16 units: pairs join, lone surrogates show as the replacement character.
    std::u32string chars;
    for (std::size_t i = 0; i < script.size(); ++i) {
        const char32_t unit = script[i];
        if (unit >= 0xD800 && unit < 0xDC00 && i + 1 < script.size() && script[i + 1] >= 0xDC00 &&
            script[i + 1] < 0xE000) {
            chars += 0x10000 + ((unit - 0xD800) << 10) + (script[i + 1] - 0xDC00);
            ++i;
        } else {
            chars += unit >= 0xD800 && unit < 0xE000 ? char32_t(0xFFFD) : unit;
        }
    }
    std::u32string shown;
    const auto show = [&](char32_t c) {
        if (c == '<')
            shown += U"&lt;";
        else if (c == '>')
            shown += U"&gt;";
        else if (c == '&')
            shown += U"&amp;";
        else if (c == 0xA0 || c == ' ' || c == '\t' || c == '\n' || c == '\r') {
            if (shown.empty() || shown.back() != ' ') shown += ' ';
        } else
            shown += c;
    };
    static const std::pair<std::u32string_view, char32_t> named[] = {{U"&amp;", '&'},   {U"&lt;", '<'},
                                                                     {U"&gt;", '>'},    {U"&quot;", '"'},
                                                                     {U"&apos;", '\''}, {U"&nbsp;", 0xA0}};
    for (std::size_t i = 0; i < chars.size();) {
        const std::u32string_view at = std::u32string_view(chars).substr(i);
        if (at.starts_with(U"&#")) {
            const bool hex = at.size() > 2 && (at[2] == 'x' || at[2] == 'X');
            std::size_t end = hex ? 3 : 2;
            const auto digit = [hex](char32_t d) -> int {
                if (d >= '0' && d <= '9') return static_cast<int>(d - '0');
                if (hex && d >= 'a' && d <= 'f') return static_cast<int>(d - 'a' + 10);
                if (hex && d >= 'A' && d <= 'F') return static_cast<int>(d - 'A' + 10);
                return -1;
            };
            std::uint32_t value = 0;
            for (; end < at.size() && digit(at[end]) >= 0; ++end)
                value = std::min<std::uint32_t>(
                    value * (hex ? 16 : 10) + static_cast<std::uint32_t>(digit(at[end])), 0x110000);
            if (end > (hex ? 3u : 2u)) {
                if (value >= 0x80 && value < 0xA0) value = Cp1252ToUnicode(static_cast<unsigned char>(value));
                if (value == 0 || value >= 0x110000 || (value >= 0xD800 && value < 0xE000)) value = 0xFFFD;
                show(value);
                i += end + (end < at.size() && at[end] == ';' ? 1 : 0);
                continue;
            }
        }
        bool matched = false;
        for (const auto& [name, c] : named)
            if (at.starts_with(name)) {
                show(c);
                i += name.size();
                matched = true;
                break;
            }
        if (matched) continue;
        if (at[0] == '<' || at[0] == '>')
            shown += at[0]; // markup
        else
            show(at[0]);
        ++i;
    }
    return shown;
}

// The literal of the first menu text in a file.
std::string_view FirstMenuLiteral(std::string_view file) {
    const std::string_view opening = "ca[0] = new cr(\"";
    const std::size_t start = file.find(opening) + opening.size();
    return file.substr(start, file.find('"', start) - start);
}
} // namespace

TEST(RoundTrip, ReadingAndWritingAgainKeepsWhatThePageShows) {
    const struct {
        bool isTag;
        std::string literal;
    } cases[] = {
        {true, "&#60;img src=x onerror=alert(1)&#62;"},
        {true, "&#38;lt;b&#38;gt; &#62; &#65;&#38;"},
        {true, "<b>Fett</b> &#34;x&#34; &#39;y&#39; \\u00E4 &#228; a &nbsp;b &#160;"},
        {true, "&#x3C;script&#x3E; &lt;i&gt; &#1234; &#0060;"},
        {true, "Seite \\u0100 \\uD83D\\uDE00"},
        {false, "&#60;b&#62; &#34;Zitat&#34; &#228; &#969;"},
        {false, "\\u0100 und \\u20AC und \\u00E4"},
        {false, "Lachen: \\uD83D\\uDE00."},
        {false, "allein \\uD800 und \\uDE00x\\uD83D"},
        {false, "\\uD83D\\uD83D\\uDE00"},
    };
    for (const auto& c : cases) {
        const std::string file = std::string("/* options\r\nistag=") + (c.isTag ? "true" : "false") +
                                 "\r\n*/\r\nca[0] = new cr(\"" + c.literal +
                                 "\", \"a.htm\", cs, cs, cs);\r\n";
        Project read;
        Load(file, read);
        ASSERT_EQ(read.tree.size(), 1u) << c.literal;
        const std::string saved = BuildMenuScriptText(read, ProgramInfo{}, Stamp);
        const std::string_view again = FirstMenuLiteral(saved);
        EXPECT_EQ(ShownText(again), ShownText(c.literal)) << c.literal << "\nwritten as " << again;
        // And from then on the file stays as it is.
        Project reread;
        Load(saved, reread);
        EXPECT_EQ(BuildMenuScriptText(reread, ProgramInfo{}, Stamp), saved) << c.literal;
    }
}
