#include "reader.h"
#include "reader_internal.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <random>
#include <string>
#include <tuple>
#include <unistd.h>
#include <vector>

using namespace quilso;
using Strings = std::vector<std::string>;

namespace {
Strings Split(std::string_view text, std::string_view separators, std::string_view skipped) {
    Strings pieces;
    const int count = SplitPieces(text, separators, skipped, pieces);
    EXPECT_EQ(count, static_cast<int>(pieces.size()));
    return pieces;
}

Strings Lines(std::string_view text) {
    reader::LineCursor cursor(text);
    Strings out;
    std::string_view line;
    while (cursor.next(line))
        out.emplace_back(line);
    return out;
}
} // namespace

TEST(SplitPieces, SkipsSeparatorRunsAndLeadingSkippedCharacters) {
    EXPECT_TRUE(Split("", ",", " ").empty());
    EXPECT_EQ(Split(",,a,,b,", ",", ""), (Strings{"a", "b"}));
    // Skipped characters go only at a piece's start; trailing ones stay.
    EXPECT_EQ(Split("  a b ,  c", ",", " "), (Strings{"a b ", "c"}));
    // CR and LF end a piece and are passed over at a piece's start.
    EXPECT_EQ(Split("a\r\n\nb\rc", ",", ""), (Strings{"a", "b", "c"}));
    // NUL is an ordinary character.
    EXPECT_EQ(Split(std::string_view("a\0b,c", 5), ",", ""), (Strings{std::string("a\0b", 3), "c"}));
}

TEST(SplitPieces, QuotesGroupUpToTheMatchingQuote) {
    EXPECT_EQ(Split("\"a,b\",'c,d'", ",", ""), (Strings{"\"a,b\"", "'c,d'"}));
    // The other kind of quote inside a run is ordinary; CR and LF do not end a quoted run.
    EXPECT_EQ(Split("\"it's, ok\",x", ",", ""), (Strings{"\"it's, ok\"", "x"}));
    EXPECT_EQ(Split("'a\r\nb',c", ",", ""), (Strings{"'a\r\nb'", "c"}));
    // A quote in the middle of a piece opens a run too; an unclosed run takes the rest.
    EXPECT_EQ(Split("x\"a,b\"y,z", ",", ""), (Strings{"x\"a,b\"y", "z"}));
    EXPECT_EQ(Split("a,'b,c", ",", ""), (Strings{"a", "'b,c"}));
}

TEST(ExtractCssText, TakesTheQuotedTextOfWriterLines) {
    EXPECT_EQ(ExtractCssText("  c = c + '  width:150px;';"), "  width:150px;");
    EXPECT_EQ(ExtractCssText("  c = c + '.quilso_m li {';"), ".quilso_m li {");
    EXPECT_EQ(ExtractCssText("\t c=c+'.x';  \r"), ".x");
    // Separators inside the quoted text do not split it.
    EXPECT_EQ(ExtractCssText("c = c + 'a=b+c:d';"), "a=b+c:d");
}

TEST(ExtractCssText, RejectsOtherLineShapes) {
    EXPECT_EQ(ExtractCssText(""), "");
    EXPECT_EQ(ExtractCssText("  c = \"\";"), "");           // reset line
    EXPECT_EQ(ExtractCssText("  c = c + '}';"), "");        // neither ':' nor '.'
    EXPECT_EQ(ExtractCssText("  document.write(c);"), "");  // does not begin with c
    EXPECT_EQ(ExtractCssText("  C = c + '.x';"), "");       // case-sensitive
    EXPECT_EQ(ExtractCssText("  c = d + '.x';"), "");       // second split must start with c
    EXPECT_EQ(ExtractCssText("  cc = c + '.x';"), "");      // first piece must be c alone
    EXPECT_EQ(ExtractCssText("  c = c + '.x' = 1;"), "");   // three pieces
    EXPECT_EQ(ExtractCssText("  c = c + '.x' + 'y';"), ""); // three pieces
    EXPECT_EQ(ExtractCssText("  c = c + \".x\";"), "");     // not single-quoted
    EXPECT_EQ(ExtractCssText("ca[0] = new cr(\"a.b\", \"x\", cs, cs, cs);"), "");
}

TEST(ExtractCssText, UndoesJavaScriptEscapes) {
    EXPECT_EQ(ExtractCssText(R"(c = c + 'a\\b.';)"), "a\\b.");
    EXPECT_EQ(ExtractCssText(R"(c = c + '.\x27\x41\x0a';)"), ".'A\n");
    EXPECT_EQ(ExtractCssText(R"(c = c + '.\u00E4\u20AC\u0081';)"), ".\xE4\x80\x81");
    // A code point without a Windows-1252 byte keeps its six characters; so does a broken escape.
    EXPECT_EQ(ExtractCssText(R"(c = c + '.\u4E2D';)"), ".\\u4E2D");
    EXPECT_EQ(ExtractCssText(R"(c = c + '.\x4g\u12';)"), ".\\x4g\\u12");
    EXPECT_EQ(ExtractCssText(R"(c = c + '.\n';)"), ".\\n");
    // Escapes left to right: "\\x41" is a backslash followed by "x41".
    EXPECT_EQ(ExtractCssText(R"(c = c + '.\\x41';)"), ".\\x41");
}

TEST(ExtractCssText, QuotesInsideTheText) {
    // Doubled quotes of older files are one quote; a single quote ends the text.
    EXPECT_EQ(ExtractCssText("c = c + 'font-family:Ann''s;';"), "font-family:Ann's;");
    EXPECT_EQ(ExtractCssText("c = c + '.a'b';"), ".a");
    // Without a closing quote the last character is taken for it.
    EXPECT_EQ(ExtractCssText("c = c + '.abc"), ".ab");
    EXPECT_EQ(ExtractCssText("c = c + '.\\x41"), ".");
    EXPECT_EQ(ExtractCssText("c = c + '.\\x41x"), ".A");
}

TEST(LineCursor, EndsLinesAtCrLfLoneCrAndLoneLf) {
    EXPECT_TRUE(Lines("").empty());
    EXPECT_EQ(Lines("a\r\nb\rc\nd"), (Strings{"a", "b", "c", "d"}));
    EXPECT_EQ(Lines("a\r\n"), (Strings{"a"}));
    EXPECT_EQ(Lines("\r\n\r\n"), (Strings{"", ""}));
    EXPECT_EQ(Lines("a\n\rb\r\r\nc"), (Strings{"a", "", "b", "", "c"}));
    EXPECT_EQ(Lines("a\rb\rc\r\nd\n"), (Strings{"a", "b", "c", "d"}));
}

TEST(LineCursor, FileReadInBlocksGivesTheSameLines) {
    // Lines that straddle the 1 MB blocks, a CR LF split between two blocks, and a line longer
    // than a block.
    constexpr std::size_t Block = 1 << 20;
    std::string text(Block - 1, 'a');
    text += "\r\nb\rc\n";
    std::mt19937 rng(3);
    const char* ends[] = {"\r\n", "\r", "\n"};
    while (text.size() < 2 * Block + 100)
        text += std::string(rng() % 200, 'x') + ends[rng() % 3];
    text += std::string(3 * Block, 'y') + "\r";
    text += "last";
    const auto path = std::filesystem::temp_directory_path() / "quilso-line-cursor-test.txt";
    std::ofstream(path, std::ios::binary) << text;
    const int fd = ::open(path.c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    reader::LineCursor cursor(fd, path.string());
    Strings fromFile;
    std::string_view line;
    while (cursor.next(line))
        fromFile.emplace_back(line);
    ::close(fd);
    std::filesystem::remove(path);
    const Strings expected = Lines(text);
    ASSERT_EQ(fromFile.size(), expected.size());
    EXPECT_TRUE(fromFile == expected);
    EXPECT_EQ(fromFile[0].size(), Block - 1);
    EXPECT_EQ(fromFile[1], "b");
    EXPECT_EQ(fromFile.back(), "last");
}

namespace {
// The lines of `text` read from a file with the given longest line, or the error's reason.
Strings LinesFromFile(const std::string& text, std::size_t maxLine) {
    const auto path = std::filesystem::temp_directory_path() / "quilso-line-limit-test.txt";
    std::ofstream(path, std::ios::binary) << text;
    const int fd = ::open(path.c_str(), O_RDONLY);
    Strings lines;
    try {
        reader::LineCursor cursor(fd, path.string(), maxLine);
        std::string_view line;
        while (cursor.next(line))
            lines.emplace_back(line.size() > 20 ? std::to_string(line.size()) : std::string(line));
    } catch (const FileError& e) {
        lines = {"error: " + e.reason()};
        EXPECT_EQ(e.problem(), FileProblem::LineTooLong);
    }
    ::close(fd);
    std::filesystem::remove(path);
    return lines;
}
} // namespace

TEST(LineCursor, LinesLongerThanTheLimitAreRefused) {
    // A limit beyond the first block, so the block has to grow up to it but not past it.
    constexpr std::size_t Limit = (3 << 20) / 2;
    const std::string atLimit(Limit, 'a');
    const std::string over(Limit + 1, 'a');
    for (const std::string end : {"\r\n", "\r", "\n", ""}) {
        if (!end.empty()) {
            EXPECT_EQ(LinesFromFile("x\n" + atLimit + end + "y", Limit),
                      (Strings{"x", std::to_string(Limit), "y"}))
                << end.size();
            EXPECT_EQ(LinesFromFile("x\n" + over + end + "y", Limit), (Strings{"error: Zeile zu lang"}))
                << end.size();
        }
        // The last line, with or without its line end.
        EXPECT_EQ(LinesFromFile(atLimit + end, Limit), (Strings{std::to_string(Limit)})) << end.size();
        EXPECT_EQ(LinesFromFile(over + end, Limit), (Strings{"error: Zeile zu lang"})) << end.size();
    }
    // A short limit inside the first block is held as well.
    EXPECT_EQ(LinesFromFile("12345\n123456\n", 5), (Strings{"error: Zeile zu lang"}));
    EXPECT_EQ(LinesFromFile("12345\r\n1\r", 5), (Strings{"12345", "1"}));

    // Endless input without a line end stops at the limit instead of filling the memory.
    const int zero = ::open("/dev/zero", O_RDONLY);
    ASSERT_GE(zero, 0);
    reader::LineCursor endless(zero, "/dev/zero", 3 << 20);
    std::string_view line;
    EXPECT_THROW(endless.next(line), FileError);
    ::close(zero);
}

TEST(ReadProjectFile, RegularFilesOnlyWhenAsked) {
    ::alarm(20); // a read that waited for the FIFO's writer would hang here
    const auto fifo = std::filesystem::temp_directory_path() / "quilso-read-fifo";
    std::filesystem::remove(fifo);
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    Project project;
    ReadObserver none;
    for (const std::string& name : {fifo.string(), std::string("/dev/null")}) {
        try {
            ReadProjectFile(name, project, none, FileKinds::RegularOnly);
            ADD_FAILURE() << name << " was read";
        } catch (const FileError& e) {
            EXPECT_EQ(e.problem(), FileProblem::NotRegularFile) << name;
            EXPECT_EQ(std::string(e.what()), "„" + name + "“ ist keine gewöhnliche Datei.");
        }
    }
    ::alarm(0);
    std::filesystem::remove(fifo);
    project.tree.insert(project.tree.root(), -1, {"stays", "a.htm"});
    ReadProjectFile("/dev/null", project, none); // any file by default: an empty one
    EXPECT_TRUE(project.tree.empty());
}

TEST(BlockScanFilter, KeepsEveryLineTheScanCanReactTo) {
    std::string scratch;
    for (const char* kept : {"  c = c + '.x';", "  c = c + '}';", "x } y", "*/", "/* options", "istag=1",
                             "ca[0] = new cr(\"}\", ...);"})
        EXPECT_TRUE(reader::MattersToBlockScan(kept, scratch)) << kept;
    for (const char* dropped :
         {"", "  c = \"\";", "  c = c + '';", "ca[0] = new cr(\"a\", \"b\", cs, cs, cs);", "/* project",
          "lastsave=1", "function menuinit()\t{"})
        EXPECT_FALSE(reader::MattersToBlockScan(dropped, scratch)) << dropped;
}

// Menu lines in the writer's shape are tested only from their first text to the end of the
// second; a word in either text, or one spanning the two, must still keep the line.
TEST(BlockScanFilter, WriterShapedMenuLinesKeepWordsInTheirTexts) {
    for (const auto& [text, file, kept] : std::initializer_list<std::tuple<std::string, std::string, bool>>{
             {"options", "a.htm", true},
             {"a", "istag.htm", true},
             {"x*", "/y", false}, // "*" and "/" apart, with the quotes between them
             {"*/", "", true},
             {"", "}", true},
             {"plain", "plain.htm", false},
             {"a long menu text of many words", "and/a/long/path/to/the/page.htm", false},
             {"a long menu text of many words", "and/a/long/path/to/the/options.htm", true}}) {
        const std::string line = "ca[0] = new cr(\"" + text + "\", \"" + file + "\", cs, cs, cs);";
        reader::MenuTable table;
        std::string blockLines;
        reader::LineCursor lines(line);
        reader::CollectLines(lines, table, blockLines);
        EXPECT_EQ(table.size(), 1u) << line;
        EXPECT_EQ(blockLines, kept ? line + "\n" : "") << line;
        std::string scratch;
        EXPECT_EQ(reader::MattersToBlockScan(line, scratch), kept) << line;
    }
}

// The words are found in lines long enough to be tested many places at a time, wherever they
// stand, also across those groups of places; near misses and lone first letters are not words.
TEST(BlockScanFilter, FindsWordsAtEveryPlaceOfALongLine) {
    std::string scratch;
    for (const std::string word : {"}", "*/", "options", "istag"})
        for (std::size_t at = 0; at <= 40; ++at) {
            const std::string line = std::string(at, 'x') + word + std::string(40 - at, 'x');
            EXPECT_TRUE(reader::MattersToBlockScan(line, scratch)) << line;
        }
    for (const std::string miss : {"*", "/*", "option", "optionS", "istaG", "ista", "is", "op", "oi*i*o"})
        for (std::size_t at = 0; at <= 40; ++at) {
            const std::string line = std::string(at, 'x') + miss + std::string(40 - at, 'y');
            EXPECT_FALSE(reader::MattersToBlockScan(line, scratch)) << line;
        }
}
