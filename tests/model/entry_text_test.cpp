#include "entry_text.h"
#include "site_tree.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

using namespace quilso;

namespace {
// Texts around the size where they stop fitting inside, with bytes of every kind.
std::vector<std::string> samples() {
    std::vector<std::string> texts{"", "a", std::string("\0x\0", 3),
                                   "Men\xFC"
                                   "eintrag 1"};
    for (std::size_t n : {14, 15, 16, 17, 31, 32, 33, 200})
        texts.push_back(std::string(n, static_cast<char>('A' + n % 26)));
    texts.push_back(std::string(15, '\0'));
    texts.push_back(std::string(16, '\xFF'));
    return texts;
}
} // namespace

TEST(EntryText, HoldsEveryTextByValueAcrossCopiesMovesAndAssignments) {
    for (const std::string& text : samples()) {
        EntryText a(text);
        EXPECT_EQ(a.size(), text.size());
        EXPECT_EQ(a.view(), text);
        EXPECT_EQ(a.empty(), text.empty());
        EXPECT_GE(a.readable(), a.size());

        EntryText copy(a);
        EntryText moved(std::move(a));
        EXPECT_EQ(copy, text);
        EXPECT_EQ(moved, text);

        for (const std::string& other : samples()) {
            EntryText target(other);
            target = copy;
            EXPECT_EQ(target, text);
            target = other;
            EXPECT_EQ(target, other);
            target = EntryText(text);
            EXPECT_EQ(target, text);
        }
    }
}

TEST(EntryText, AssignmentFromPartOfItselfKeepsTheBytes) {
    for (std::size_t n : {10, 15, 16, 40}) {
        std::string text;
        for (std::size_t i = 0; i < n; ++i)
            text += static_cast<char>('a' + i % 26);
        EntryText t(text);
        t = t.view().substr(1);
        EXPECT_EQ(t, text.substr(1));
        t = t;
        EXPECT_EQ(t, text.substr(1));
    }
}

TEST(EntryText, ComparesAndJoinsLikeAString) {
    const EntryText text("Seite");
    EXPECT_TRUE(text == "Seite");
    EXPECT_TRUE(std::string("Seite") == text);
    EXPECT_FALSE(text == std::string_view("Seit"));
    EXPECT_EQ(text + ".htm", "Seite.htm");
    EXPECT_EQ("../" + text, "../Seite");
    std::ostringstream out;
    out << text;
    EXPECT_EQ(out.str(), "Seite");
}

TEST(EntryText, TextsInATreesStoreStayWithTheTreeAndCopiesOutliveIt) {
    const std::string longText(40, 'x'), longFile = "unterordner/eine-lange-seite.htm";
    SiteEntry copied;
    {
        SiteTree tree;
        SiteNode* kept = tree.append(tree.root(), longText, longFile);
        SiteNode* shortOne = tree.append(tree.root(), "kurz", "k.htm");
        EXPECT_EQ(kept->entry.text, longText);
        EXPECT_EQ(shortOne->entry.file, "k.htm");
        // Read beyond its end in blocks of sixteen, a stored text must lie in readable memory.
        EXPECT_GE(kept->entry.text.readable(), kept->entry.text.size() + 16);

        // A tree's texts move with its nodes when trees swap.
        SiteTree other;
        other.swap(tree);
        EXPECT_EQ(other.root()->child(0)->entry.file, longFile);
        copied = other.root()->child(0)->entry;
        SiteEntry moved = std::move(other.root()->child(0)->entry);
        EXPECT_EQ(moved.text, longText);

        // Giving a stored text a new value frees nothing of the store's.
        other.root()->child(1)->entry.text = longText + "!";
        other.root()->child(1)->entry.text = "neu";
        EXPECT_EQ(other.root()->child(1)->entry.text, "neu");
    }
    // The trees and their stores are gone; the copy holds its own bytes.
    EXPECT_EQ(copied.text, longText);
    EXPECT_EQ(copied.file, longFile);
}

TEST(EntryText, TextsMadeForANodeKeepEveryLength) {
    // Short texts are written in pieces that overlap, differently by length; every length up to
    // past the inside capacity, with no two bytes alike, must come out whole.
    SiteTree built, appended;
    SiteTree::Builder builder(built);
    std::vector<std::string> texts;
    for (std::size_t n = 0; n <= 20; ++n) {
        std::string text;
        for (std::size_t i = 0; i < n; ++i)
            text += static_cast<char>('a' + i);
        texts.push_back(text);
        builder.add(text, text + "!");
        // Texts held inside: their bytes are copied at once.
        appended.appendStored(appended.root(), EntryText::Refer(text.substr(0, 15)),
                              EntryText::Refer("f" + text.substr(0, 9)));
    }
    builder.finish();
    for (std::size_t n = 0; n <= 20; ++n) {
        const SiteEntry& made = built.root()->child(static_cast<int>(n))->entry;
        EXPECT_EQ(made.text, texts[n]);
        EXPECT_EQ(made.file, texts[n] + "!");
        EXPECT_EQ(appended.root()->child(static_cast<int>(n))->entry.text, texts[n].substr(0, 15));
        EXPECT_EQ(appended.root()->child(static_cast<int>(n))->entry.file, "f" + texts[n].substr(0, 9));
    }
}
