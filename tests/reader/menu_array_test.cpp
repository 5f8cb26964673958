// Menu lines: which are accepted, how their texts are decoded, and the tree rebuilt from them.
#include "reader_internal.h"
#include "reader_test_support.h"

#include <gtest/gtest.h>

#include <array>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <random>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace quilso;
using namespace quilso::test;

namespace {
std::string Entry(std::string_view number, std::string_view text, std::string_view file,
                  std::string_view next, std::string_view parent, std::string_view child) {
    return "ca[" + std::string(number) + "] = new cr(\"" + std::string(text) + "\", \"" + std::string(file) +
           "\", " + std::string(next) + ", " + std::string(parent) + ", " + std::string(child) + ");\r\n";
}

std::string LoadShape(const std::string& text) {
    Project p;
    Load(text, p);
    return Shape(p.tree);
}

// The tree of the menu lines when every entry goes through the table and the rebuild.
std::string RebuiltShape(const std::string& text) {
    Project p;
    ReadObserver none;
    reader::MenuTable table;
    table.stream.active = false;
    std::string blockLines;
    reader::LineCursor lines(text);
    reader::CollectLines(lines, table, blockLines);
    reader::ReadContext ctx{p, none, {}};
    reader::ReadMenuArray(ctx, table);
    return Shape(p.tree);
}

std::string Link(int link) {
    return link == -1 ? "cs" : std::to_string(link);
}
} // namespace

TEST(MenuLines, WriterOrderRebuildsTheTree) {
    EXPECT_EQ(LoadShape("var cs = 4;\r\nvar ca = new Array(cs);\r\n\r\nfunction menuinit()\t{\r\n" +
                        Entry("0", "Home", "index.htm", "1", "cs", "cs") +
                        Entry("1", "Produkte", "p.htm", "3", "cs", "2") +
                        Entry("2", "Filialen", "f.htm", "cs", "1", "cs") +
                        Entry("3", "Kontakt", "k.htm", "cs", "cs", "cs") + "}\r\n"),
              "Home(index.htm) Produkte(p.htm) [Filialen(f.htm)] Kontakt(k.htm)");
}

TEST(MenuLines, OnlyWellFormedLinesBecomeEntriesAndNumberingFollowsThem) {
    // Entry numbers are positions among accepted lines: a skipped line shifts the later ones.
    const std::string text =
        Entry("0", "A", "a", "1", "cs", "cs") + "ca[1] = new cr(\"bad\", \"seven\", cs, cs);\r\n" +
        "ca[1] = new cr(\"bad\", \"nine\", cs, cs, cs, cs);\r\n" + Entry("x", "bad", "", "cs", "cs", "cs") +
        Entry("-1", "bad", "", "cs", "cs", "cs") + "ca[1] = old cr(\"bad\", \"\", cs, cs, cs);\r\n" +
        Entry("1", "bad", "", "1 ", "cs", "cs") + Entry("1", "bad", "", "0x1", "cs", "cs") +
        Entry("1", "bad", "", "2147483648", "cs", "cs") + Entry("1", "bad", "", "-1", "cs", "cs") +
        "  xca[1] = new cr(\"bad\", \"\", cs, cs, cs);\r\n" + Entry("+7", "B", "b", "cs", "cs", "+02") +
        Entry("7", "C", "c", "cs", "0", "cs") + " ca[ 9] = new cr(\"D\",\"d\",cs,cs,cs) ;;\r\n" +
        "\tca[9] = new cr(\"bad\", \"\", cs, cs, cs);\r\n";
    EXPECT_EQ(LoadShape(text), "A(a) B(b) [C(c)] D(d)");
}

TEST(MenuLines, DuplicateBracketNumbersAreSeparateEntries) {
    EXPECT_EQ(LoadShape(Entry("0", "A", "a", "1", "cs", "cs") + Entry("0", "B", "b", "cs", "cs", "cs")),
              "A(a) B(b)");
}

TEST(MenuLines, TextsAreUnescapedThenHtmlDecodedFilesOnlyUnescaped) {
    Project p;
    Load(Entry("0", "&#34;Hi&#34;&nbsp; &amp; &#228;\\x22\\u00E4\\\\", "a&#34;b\\x22\\u20AC.htm", "1", "cs",
               "cs") +
             "ca[1] = new cr(\"x, (y)\", \"f(1),2.htm\", 2, cs, cs);\r\n" +
             "ca[2] = new cr(plain&#228;, plain\\x41, cs, cs, cs);\r\n",
         p);
    ASSERT_EQ(p.tree.size(), 3u);
    EXPECT_EQ(p.tree.root()->child(0)->entry.text, "\"Hi\"  &amp; \xE4\"\xE4\\");
    EXPECT_EQ(p.tree.root()->child(0)->entry.file, "a&#34;b\"\x80.htm");
    EXPECT_EQ(p.tree.root()->child(1)->entry.text, "x, (y)");
    EXPECT_EQ(p.tree.root()->child(1)->entry.file, "f(1),2.htm");
    // Pieces without quotes are decoded all the same.
    EXPECT_EQ(p.tree.root()->child(2)->entry.text, "plain\xE4");
    EXPECT_EQ(p.tree.root()->child(2)->entry.file, "plainA");
}

TEST(MenuLines, NoTopLevelEntryGivesAnEmptyTree) {
    Project p;
    Load(Entry("0", "Old", "", "cs", "cs", "cs"), p);
    ASSERT_EQ(p.tree.size(), 1u);
    Load(Entry("0", "A", "a", "1", "1", "cs") + Entry("1", "B", "b", "cs", "0", "cs"), p);
    EXPECT_TRUE(p.tree.empty());
    EXPECT_EQ(p.tree.size(), 0u);
}

TEST(MenuLines, LinksNamingNoEntryCountAsNone) {
    // A parent out of range makes the first top-level entry; so does a negative one.
    EXPECT_EQ(LoadShape(Entry("0", "A", "a", "cs", "5", "1") + Entry("1", "B", "b", "99", "0", "-7")),
              "A(a) [B(b)]");
    EXPECT_EQ(LoadShape(Entry("0", "A", "a", "cs", "0", "cs") + Entry("1", "B", "b", "cs", "-3", "0")),
              "B(b) [A(a)]");
}

TEST(MenuLines, UnreachableEntriesAreAppendedAtTheTopLevel) {
    // C and D link to each other only, E links to nothing: none is reachable from A.
    EXPECT_EQ(LoadShape(Entry("0", "A", "a", "cs", "cs", "cs") + Entry("1", "C", "c", "2", "1", "cs") +
                        Entry("2", "D", "d", "1", "1", "cs") + Entry("3", "E", "e", "cs", "1", "3")),
              "A(a) C(c) D(d) E(e)");
}

TEST(MenuLines, LinesInReverseOrderGiveTheSameTree) {
    EXPECT_EQ(LoadShape(Entry("3", "Kontakt", "k", "cs", "cs", "cs") +
                        Entry("2", "Filialen", "f", "cs", "1", "cs") +
                        Entry("1", "Produkte", "p", "0", "cs", "1") +
                        Entry("0", "Home", "h", "2", "cs", "cs")),
              "Home(h) Produkte(p) [Filialen(f)] Kontakt(k)");
}

TEST(MenuLines, WriterShapeShortcutAgreesWithTheGeneralSplit) {
    // Lines near the writer's shape, damaged at random: wherever the shortcut takes a line, the
    // general split must take it too, with the same pieces.
    std::mt19937 rng(8);
    const std::string alphabet = "ca[]0123456789 =newcr(),\";'\\&#sx";
    int taken = 0;
    for (int round = 0; round < 40000; ++round) {
        std::string line = "ca[" + std::to_string(rng() % 1000) + "] = new cr(\"T" +
                           std::to_string(rng() % 50) + "\", \"f.htm\", " +
                           (rng() % 2 ? "cs" : std::to_string(rng() % 2000000000u)) + ", cs, " +
                           std::to_string(rng() % 100) + ");";
        for (unsigned k = rng() % 3; k > 0; --k) {
            const std::size_t at = rng() % (line.size() + 1);
            switch (rng() % 3) {
            case 0:
                line.insert(at, 1, alphabet[rng() % alphabet.size()]);
                break;
            case 1:
                if (at < line.size()) line.erase(at, 1);
                break;
            default:
                if (at < line.size()) line[at] = alphabet[rng() % alphabet.size()];
                break;
            }
        }
        reader::MenuPieces fast, general;
        if (!reader::SplitWriterMenuLine(line, fast)) continue;
        ++taken;
        ASSERT_TRUE(reader::SplitMenuLine(line, general)) << line;
        EXPECT_EQ(fast.text, general.text) << line;
        EXPECT_EQ(fast.file, general.file) << line;
        EXPECT_EQ(fast.nextSibling, general.nextSibling) << line;
        EXPECT_EQ(fast.parent, general.parent) << line;
        EXPECT_EQ(fast.firstChild, general.firstChild) << line;
    }
    EXPECT_GT(taken, 10000);
}

TEST(MenuLines, NodesMadeWhileReadingGiveTheRebuiltTree) {
    // Small trees in the writer's shape, many of them damaged in one link or in their line order:
    // wherever the nodes are made as the lines come, and wherever that stops part way, the tree
    // must be the one the table and the rebuild give.
    std::mt19937 rng(10);
    int streamedWhole = 0;
    for (int round = 0; round < 4000; ++round) {
        const int n = 1 + static_cast<int>(rng() % 8);
        std::vector<int> parent(static_cast<std::size_t>(n), -1);
        std::vector<std::vector<int>> children(static_cast<std::size_t>(n) + 1);
        for (int e = 1; e < n; ++e) {
            // The parent is an ancestor of the entry before (or the root), so the numbers are
            // the writer's display order.
            std::vector<int> chain{-1};
            for (int a = e - 1; a >= 0; a = parent[static_cast<std::size_t>(a)])
                chain.push_back(a);
            parent[static_cast<std::size_t>(e)] = chain[rng() % chain.size()];
        }
        for (int e = 0; e < n; ++e)
            children[static_cast<std::size_t>(parent[static_cast<std::size_t>(e)] + 1)].push_back(e);
        std::vector<std::array<int, 3>> links(static_cast<std::size_t>(n)); // next, parent, child
        for (const auto& siblings : children)
            for (std::size_t k = 0; k < siblings.size(); ++k) {
                auto& l = links[static_cast<std::size_t>(siblings[k])];
                l[0] = k + 1 < siblings.size() ? siblings[k + 1] : -1;
                l[1] = parent[static_cast<std::size_t>(siblings[k])];
                const auto& own = children[static_cast<std::size_t>(siblings[k]) + 1];
                l[2] = own.empty() ? -1 : own.front();
            }
        if (rng() % 2) {
            const int values[] = {-1, -4, 0, 1, 2, n - 1, n, n + 3};
            links[rng() % links.size()][rng() % 3] = values[rng() % std::size(values)];
        }
        std::vector<std::string> lines;
        for (int e = 0; e < n; ++e) {
            const auto& l = links[static_cast<std::size_t>(e)];
            // Every third text needs decoding, so that texts move from nodes back into the table.
            const std::string text = (e % 3 == 0 ? "M&#252;" : "T") + std::to_string(e);
            lines.push_back(Entry(std::to_string(e), text, "f" + std::to_string(e) + ".htm", Link(l[0]),
                                  Link(l[1]), Link(l[2])));
        }
        if (rng() % 4 == 0 && n > 1) std::swap(lines[rng() % lines.size()], lines[rng() % lines.size()]);
        std::string text;
        for (const std::string& line : lines)
            text += line;

        Project streamed;
        ReadObserver none;
        reader::MenuTable table;
        std::string blockLines;
        reader::LineCursor cursor(text);
        reader::CollectLines(cursor, table, blockLines);
        streamedWhole += table.stream.complete(table.size(), table.firstParent);
        reader::ReadContext ctx{streamed, none, {}};
        reader::ReadMenuArray(ctx, table);
        const std::string rebuilt = RebuiltShape(text);
        ASSERT_EQ(Shape(streamed.tree), rebuilt) << text;
        // A whole read keeps no links while it streams, and reads again where the stream ends.
        ASSERT_EQ(LoadShape(text), rebuilt) << text;
    }
    // Both ways were taken often.
    EXPECT_GT(streamedWhole, 1000);
    EXPECT_LT(streamedWhole, 3500);
}

namespace {
// The tree and the entry count of `text` read from a file (in blocks) with the given longest line,
// or the error's reason.
std::string ShapeFromFile(const std::string& text, std::size_t maxLine) {
    const auto path = std::filesystem::temp_directory_path() / "quilso-menu-lines-ahead-test.js";
    std::ofstream(path, std::ios::binary) << text;
    const int fd = ::open(path.c_str(), O_RDONLY);
    std::string shape;
    try {
        Project p;
        ReadObserver none;
        reader::MenuTable table;
        table.stream.active = false;
        std::string blockLines;
        reader::LineCursor lines(fd, path.string(), maxLine);
        reader::CollectLines(lines, table, blockLines);
        shape = std::to_string(table.size()) + ": ";
        reader::ReadContext ctx{p, none, {}};
        reader::ReadMenuArray(ctx, table);
        shape += Shape(p.tree);
    } catch (const FileError& e) {
        shape = "error: " + e.reason();
    }
    ::close(fd);
    std::filesystem::remove(path);
    return shape;
}

// The same, one line at a time as the cursor splits them.
std::string ShapeLineByLine(const std::string& text) {
    Project p;
    ReadObserver none;
    reader::MenuTable table;
    table.stream.active = false;
    reader::LineCursor lines(text);
    std::string_view line;
    while (lines.next(line))
        reader::ReadMenuLine(line, table);
    const std::string count = std::to_string(table.size()) + ": ";
    reader::ReadContext ctx{p, none, {}};
    reader::ReadMenuArray(ctx, table);
    return count + Shape(p.tree);
}
} // namespace

TEST(MenuLines, LinesTakenAheadEndWhereTheCursorEndsThem) {
    // Writer-shaped lines are split where they lie in the read block, their ends found on the
    // way. Over several blocks, with line ends of every kind, line ends inside the texts, lines
    // cut short and lines across block boundaries, the entries must be those of the lines the
    // cursor gives.
    std::mt19937 rng(21);
    const char* ends[] = {"\r\n", "\r\n", "\r\n", "\n", "\r", ""};
    std::string text;
    for (int e = 0; text.size() < (std::size_t(3) << 17) + 5000; ++e) {
        std::string line =
            Entry(std::to_string(e), "T" + std::to_string(e), "f.htm", Link(e + 1), "cs", "cs");
        line.resize(line.size() - 2);
        switch (rng() % 8) {
        case 0:
            line.insert(line.find('T') + 1, rng() % 2 ? "\r" : "\n");
            break;
        case 1:
            line.insert(line.rfind('f'), rng() % 2 ? "\r\n" : "\n");
            break;
        case 2:
            line.resize(rng() % line.size());
            break;
        default:
            break;
        }
        text += line + ends[rng() % std::size(ends)];
    }
    const std::string expected = ShapeLineByLine(text);
    EXPECT_GT(std::stoi(expected), 3000);
    EXPECT_EQ(ShapeFromFile(text, std::size_t(1) << 20), expected);

    // A writer-shaped line longer than the longest allowed is refused like any other.
    // (The first line of a file comes through the cursor: nothing is read ahead yet.)
    const std::string first = Entry("0", "A", "a.htm", "1", "cs", "cs");
    const std::string longLine = Entry("1", std::string(300, 'x'), "b.htm", "cs", "cs", "cs");
    EXPECT_EQ(ShapeFromFile(first + longLine, 200), "error: Zeile zu lang");
    EXPECT_EQ(ShapeFromFile(first + longLine, 400), "2: A(a.htm) " + std::string(300, 'x') + "(b.htm)");
}

TEST(MenuLines, FirstTopLevelEntryIsTheFirstWhoseParentNamesNone) {
    // A parent link past the last entry names none, which is known only at the end: with parent
    // links 7, 0, 9 and "cs" the first top-level entry depends on how many entries follow.
    const auto firstTopLevel = [](int count) {
        const char* parents[] = {"7", "0", "9", "cs"};
        std::string text;
        for (int e = 0; e < count; ++e)
            text += Entry(std::to_string(e), "T", "f.htm", "cs", e < 4 ? parents[e] : "cs", "cs");
        reader::MenuTable table;
        table.stream.active = false;
        std::string blockLines;
        reader::LineCursor lines(text);
        reader::CollectLines(lines, table, blockLines);
        table.finish();
        return table.firstTopLevel();
    };
    EXPECT_EQ(firstTopLevel(0), -1);
    EXPECT_EQ(firstTopLevel(2), 0);
    EXPECT_EQ(firstTopLevel(4), 0);
    EXPECT_EQ(firstTopLevel(8), 2);
    EXPECT_EQ(firstTopLevel(10), 3);
}

TEST(MenuLines, FilesOutOfOrderReadFromDiskAndFromAPipe) {
    // The last two lines swapped: the nodes made while reading stop only there. A file on disk is
    // read a second time; a pipe cannot be, so its links are kept as they come.
    std::string inOrder, swapped;
    for (int e = 0; e < 300; ++e)
        inOrder += Entry(std::to_string(e), "T" + std::to_string(e), "f.htm",
                         e + 1 < 300 ? Link(e + 1) : "cs", "cs", "cs");
    const std::size_t last = inOrder.rfind("ca["), beforeLast = inOrder.rfind("ca[", last - 1);
    swapped =
        inOrder.substr(0, beforeLast) + inOrder.substr(last) + inOrder.substr(beforeLast, last - beforeLast);
    const auto path = std::filesystem::temp_directory_path() / "quilso-out-of-order-test.js";
    for (const std::string& text : {inOrder, swapped}) {
        const std::string expected = RebuiltShape(text);
        ReadObserver none;
        std::ofstream(path, std::ios::binary) << text;
        Project fromDisk;
        ReadProjectFile(path.string(), fromDisk, none);
        EXPECT_EQ(Shape(fromDisk.tree), expected);

        std::filesystem::remove(path);
        ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
        std::thread writer([&] { std::ofstream(path, std::ios::binary) << text; });
        Project fromPipe;
        ReadProjectFile(path.string(), fromPipe, none);
        writer.join();
        EXPECT_EQ(Shape(fromPipe.tree), expected);
        std::filesystem::remove(path);
    }
}
