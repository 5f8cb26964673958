// Deep and large files load without exhausting the stack and in a sensible time (the rebuild of
// a chain listed backwards would not finish if it cycled over the entries once per placement).
#include "reader_test_support.h"

#include <gtest/gtest.h>

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
