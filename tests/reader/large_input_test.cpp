// Deep and large files load without exhausting the stack and in a sensible time (the rebuild of
// a chain listed backwards would not finish if it cycled over the entries once per placement).
#include "large_memory.h"
#include "reader_test_support.h"

#include <gtest/gtest.h>

#include <vector>

using namespace quilso;
using namespace quilso::test;

namespace {
std::string Link(long number) {
    return number < 0 ? "cs" : std::to_string(number);
}

std::string EntryLine(long i, long next, long parent, long child) {
    return "ca[" + std::to_string(i) + "] = new cr(\"Eintrag " + std::to_string(i) + "\", \"seite" +
           std::to_string(i) + ".htm\", " + Link(next) + ", " + Link(parent) + ", " + Link(child) + ");\r\n";
}
} // namespace

TEST(LargeInput, ChainOfOneHundredThousandLevelsListedBackwards) {
    constexpr long depth = 100000;
    std::string text;
    // Line k holds the entry at depth - 1 - k: the deepest entry comes first.
    for (long k = 0; k < depth; ++k)
        text += EntryLine(k, -1, k + 1 < depth ? k + 1 : -1, k > 0 ? k - 1 : -1);
    Project project;
    Load(text, project);
    ASSERT_EQ(project.tree.size(), static_cast<std::size_t>(depth));
    const SiteNode* node = project.tree.root();
    long levels = 0;
    while (node->childCount() == 1) {
        node = node->child(0);
        ++levels;
    }
    EXPECT_EQ(levels, depth);
    EXPECT_EQ(node->entry.text, "Eintrag 0");
    EXPECT_EQ(project.tree.root()->child(0)->entry.file, "seite" + std::to_string(depth - 1) + ".htm");

    // Written again and read back, the chain keeps its shape.
    const std::string written = BuildMenuScriptText(project, ProgramInfo{}, "x");
    Project again;
    Load(written, again);
    EXPECT_EQ(BuildMenuScriptText(again, ProgramInfo{}, "x"), written);
}

TEST(LargeInput, OneMillionEntries) {
    constexpr long count = 1000000;
    std::string text;
    text.reserve(static_cast<std::size_t>(count) * 80);
    // Groups of ten: a top-level entry followed by its nine children.
    for (long i = 0; i < count; ++i) {
        const bool top = i % 10 == 0;
        const long group = i - i % 10;
        const long next =
            top ? (group + 10 < count ? group + 10 : -1) : (i % 10 < 9 && i + 1 < count ? i + 1 : -1);
        text += EntryLine(i, next, top ? -1 : group, top && i + 1 < count ? i + 1 : -1);
    }
    Project project;
    Load(text, project);
    ASSERT_EQ(project.tree.size(), static_cast<std::size_t>(count));
    ASSERT_EQ(project.tree.root()->childCount(), count / 10);
    const SiteNode* last = project.tree.root()->child(count / 10 - 1);
    ASSERT_EQ(last->childCount(), 9);
    EXPECT_EQ(last->child(8)->entry.text, "Eintrag " + std::to_string(count - 1));
}

namespace {
// Groups of `fanOut`: a top-level entry and its children, every text long enough to be kept
// outside the node; the lines listed backwards if asked, so that the links are rebuilt.
std::string GroupsFile(long count, long fanOut, const std::string& word, bool backwards) {
    const auto line = [&](long entry) { return backwards ? count - 1 - entry : entry; };
    const auto link = [&](long entry) { return entry < 0 ? std::string("cs") : std::to_string(line(entry)); };
    std::vector<std::string> lines(static_cast<std::size_t>(count));
    for (long i = 0; i < count; ++i) {
        const long group = i - i % fanOut;
        const bool top = i == group;
        const long next = top ? (group + fanOut < count ? group + fanOut : -1)
                              : (i % fanOut < fanOut - 1 && i + 1 < count ? i + 1 : -1);
        lines[static_cast<std::size_t>(line(i))] =
            "ca[" + std::to_string(line(i)) + "] = new cr(\"" + word + " Men&#252;eintrag " +
            std::to_string(i) + "\", \"ordner/" + word + "-" + std::to_string(i) + ".htm\", " + link(next) +
            ", " + link(top ? -1 : group) + ", " + link(top && i + 1 < count ? i + 1 : -1) + ");\r\n";
    }
    std::string text;
    for (const std::string& l : lines)
        text += l;
    return text;
}
} // namespace

// A read gets the memory of the projects freed before it, their bytes still in it: what it
// makes of a file must be what a read into fresh memory makes of it.
TEST(LargeInput, ReadsOneAfterAnotherGiveWhatAFreshReadGives) {
    const std::string files[] = {GroupsFile(60000, 10, "Erster", false),
                                 GroupsFile(45000, 7, "Zweiter", true),
                                 GroupsFile(60000, 3, "Dritter", true)};
    const auto written = [](const std::string& file) {
        Project project;
        Load(file, project);
        return BuildMenuScriptText(project, ProgramInfo{}, "x");
    };
    std::vector<std::string> fresh;
    for (const std::string& file : files) {
        ReleaseKeptLargeBlocks();
        fresh.push_back(written(file));
    }
    ASSERT_NE(fresh[1].find("ca[44999] = new cr(\"Zweiter Men"), std::string::npos);
    for (int round = 0; round < 2; ++round)
        for (std::size_t i = 0; i < std::size(files); ++i)
            EXPECT_EQ(written(files[i]), fresh[i]) << "file " << i << ", round " << round;
    // With a project still open, the next read gets the rest.
    Project open;
    Load(files[0], open);
    EXPECT_EQ(written(files[2]), fresh[2]);
    EXPECT_EQ(BuildMenuScriptText(open, ProgramInfo{}, "x"), fresh[0]);
}
