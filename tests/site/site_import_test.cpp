#include "page_lookup.h"
#include "site_import.h"
#include "site_test_support.h"

#include "cp1252.h"
#include "file_io.h"
#include "project.h"
#include "value_helpers.h"

#include <cctype>
#include <map>

using namespace quilso;
namespace fs = std::filesystem;
using sitetest::shape;

namespace {

class Import : public sitetest::SiteFolder {
protected:
    // A small company site: pages in UTF-8 and Windows-1252, titles with references and odd
    // white space, index pages at two depths, a folder without one, names with umlauts and
    // spaces, and things that must be left out.
    void makeSite() {
        put("index.htm", "<html><head><meta charset=\"utf-8\"><title>Start – Beispiel GmbH</title></head>"
                         "<body><svg><title>Logo</title></svg></body></html>");
        put("kontakt.html", "<title>\n  Kontakt\n   &amp; Anfahrt – Beispiel GmbH </title>");
        put("impressum.php", "<?php echo 'no title here'; ?>");
        put(".versteckt.htm", "<title>Versteckt – Beispiel GmbH</title>");
        put(".git/config.htm", "<title>Git – Beispiel GmbH</title>");
        put("bilder/logo.png", "PNG");
        put("produkte/index.html", "<TITLE>Produkte &ndash; Beispiel GmbH</TITLE>");
        put("produkte/zubehör.htm",
            "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=iso-8859-1\">"
            "<title>Zubeh\xF6r \x96 Beispiel GmbH</title>");
        put("produkte/Änderungen.htm",
            "<!-- <title>Alt</title> --><title>Änderungen – Beispiel GmbH</title>");
        put("produkte/anleitung.HTM", "<title>Anleitung &#8211; Beispiel GmbH</title>");
        put("produkte/geräte/index.htm", "<title>Geräte &#x2192; Übersicht – Beispiel GmbH</title>");
        put("produkte/geräte/pumpe 2.htm", "<title>Pumpe 2 – Beispiel GmbH</title>");
        put("über uns/team.htm", "<title>Team – Beispiel GmbH</title>");
        put("über uns/geschichte.shtml", "<title>Geschichte – Beispiel GmbH</title>");
    }
};

TEST_F(Import, FolderBecomesTreeWithTitlesInMenuOrder) {
    makeSite();
    SiteTree tree;
    tree.insert(tree.root(), -1, {"Alt", "alt.htm"});
    const auto summary = ImportSite(dir, dir, tree);
    ASSERT_TRUE(summary);
    EXPECT_EQ(summary->pages, 11u);
    EXPECT_EQ(summary->folders, 3u);
    EXPECT_EQ(summary->skipped, 3u); // .versteckt.htm, .git, bilder
    EXPECT_EQ(shape(tree), "Start | index.htm\n"
                           "Impressum | impressum.php\n"
                           "Kontakt & Anfahrt | kontakt.html\n"
                           "Produkte | produkte/index.html\n"
                           "  Änderungen | produkte/Änderungen.htm\n"
                           "  Anleitung | produkte/anleitung.HTM\n"
                           "  Geräte → Übersicht | produkte/geräte/index.htm\n"
                           "    Pumpe 2 | produkte/geräte/pumpe 2.htm\n"
                           "  Zubehör | produkte/zubehör.htm\n"
                           "über uns | über uns/geschichte.shtml\n"
                           "  Geschichte | über uns/geschichte.shtml\n"
                           "  Team | über uns/team.htm\n");
    // Stored as the application stores typed text: Windows-1252 bytes, a reference for the arrow.
    const SiteNode* devices = tree.root()->child(3)->child(2);
    EXPECT_EQ(devices->entry.text, "Ger\xE4te &#8594; \xDC"
                                   "bersicht");
    EXPECT_EQ(devices->entry.file, "produkte/ger\xE4te/index.htm");
}

TEST_F(Import, FileNamesAreRelativeToTheProjectFolder) {
    put("index.htm", "<title>Start</title>");
    put("a/b.htm", "<title>B</title>");
    put("100% Ω#1.htm", "");
    SiteTree tree;
    ASSERT_TRUE(ImportSite(dir, dir / "js", tree));
    // Two titles without a shared suffix keep their text; the untitled page is named by its file.
    EXPECT_EQ(shape(tree), "Start | ../index.htm\n"
                           "100% Ω#1 | ../100%25 %CE%A9%231.htm\n"
                           "A | ../a/b.htm\n"
                           "  B | ../a/b.htm\n");
}

TEST_F(Import, LinksOutOfTheFolderAreSkippedAndNamed) {
    const fs::path site = dir / "site";
    put("site/index.htm", "<title>Start</title>");
    put("site/echt.htm", "<title>Echt</title>");
    put("outside/geheim.htm", "<title>Geheim</title>");
    put("outside/tief/auch.htm", "<title>Auch</title>");
    fs::create_symlink("/etc/passwd", site / "passwd.htm");
    fs::create_symlink("../outside/geheim.htm", site / "link_out.htm");
    fs::create_symlink("echt.htm", site / "kopie.htm");
    fs::create_symlink("kreis.htm", site / "kreis.htm");
    fs::create_directory_symlink("../outside", site / "outdir");
    SiteTree tree;
    const auto summary = ImportSite(site, site, tree);
    ASSERT_TRUE(summary);
    EXPECT_EQ(shape(tree), "Start | index.htm\n"
                           "Echt | echt.htm\n"
                           "Echt | kopie.htm\n");
    EXPECT_EQ(summary->pages, 3u);
    EXPECT_EQ(summary->outside, (std::vector<std::string>{"link_out.htm", "outdir/", "passwd.htm"}));
}

TEST_F(Import, FolderEntryIsTheIndexPageAFolderAddressFinds) {
    put("shop/index.php", "<title>Laden</title>");
    put("shop/kasse.htm", "<title>Kasse</title>");
    put("blog/index.php", "<title>Alt</title>");
    put("blog/index.html", "<title>Blog</title>");
    SiteTree tree;
    ASSERT_TRUE(ImportSite(dir, dir, tree));
    for (const char* folder : {"shop/", "blog/"})
        EXPECT_EQ(tree.root()->child(folder[0] == 'b' ? 0 : 1)->entry.file.str(),
                  FindEntryPage(folder, dir).relative);
    EXPECT_EQ(shape(tree), "Blog | blog/index.html\n"
                           "  Alt | blog/index.php\n"
                           "Laden | shop/index.php\n"
                           "  Kasse | shop/kasse.htm\n");
}

TEST_F(Import, UnreadableFolderIsAnErrorAndCancelLeavesTheTree) {
    SiteTree tree;
    tree.insert(tree.root(), -1, {"Alt", "alt.htm"});
    EXPECT_THROW(ImportSite(dir / "fehlt", dir, tree), FileError);

    for (int i = 0; i < 200; ++i)
        put("seite" + std::to_string(i) + ".htm", "<title>S</title>");
    std::size_t calls = 0, lastTotal = 0;
    const auto summary = ImportSite(dir, dir, tree, [&](std::size_t done, std::size_t total) {
        ++calls;
        lastTotal = total;
        return done < 100;
    });
    EXPECT_FALSE(summary);
    EXPECT_EQ(lastTotal, 200u);
    EXPECT_EQ(calls, 3u); // at 0, 64 and 128 pages
    EXPECT_EQ(shape(tree), "Alt | alt.htm\n");
}

TEST(ImportTitles, SharedSuffixIsRemovedOnlyWhenEveryTitleHasIt) {
    const auto titles = [](std::vector<std::string> texts) {
        ImportedFolder root;
        for (auto& text : texts)
            root.pages.push_back({"x.htm", text, true, {}});
        // An untitled page's text is not a title and does not take part.
        root.pages.push_back({"y.htm", "Y", false, {}});
        RemoveSharedTitleSuffix(root);
        std::string out;
        for (const auto& page : root.pages)
            out += page.text + ";";
        return out;
    };
    EXPECT_EQ(titles({"A | Firma", "B | Firma"}), "A;B;Y;");
    // The longest shared suffix goes, across separators.
    EXPECT_EQ(titles({"A - Shop | Firma", "B - Shop | Firma"}), "A;B;Y;");
    EXPECT_EQ(titles({"A - Shop | Firma", "B | Firma"}), "A - Shop;B;Y;");
    // One title without it, or one that is nothing but it, keeps all.
    EXPECT_EQ(titles({"A | Firma", "B | Andere"}), "A | Firma;B | Andere;Y;");
    EXPECT_EQ(titles({"A – Firma", " – Firma"}), "A – Firma; – Firma;Y;");
    EXPECT_EQ(titles({"A | Firma"}), "A | Firma;Y;");
    // A separator without spaces is part of a word.
    EXPECT_EQ(titles({"A-Firma", "B-Firma"}), "A-Firma;B-Firma;Y;");
}

TEST_F(Import, SitemapGivesTreeFromAddresses) {
    const fs::path sitemap = put("sitemap.xml", R"(<?xml version="1.0" encoding="UTF-8"?>
<urlset xmlns="http://www.sitemaps.org/schemas/sitemap/0.9">
  <url><loc>https://www.beispiel.de/shop/</loc></url>
  <url><loc>https://www.beispiel.de/shop/kontakt.htm</loc><lastmod>2026-01-01</lastmod></url>
  <url><loc>https://www.beispiel.de/shop/produkte/</loc></url>
  <url><loc> https://www.beispiel.de/shop/produkte/teil-a.htm?x=1&amp;y=2 </loc></url>
  <url><loc>https://www.beispiel.de/shop/%C3%BCber%20uns/team.html</loc></url>
  <url><loc>https://www.beispiel.de/shop/kontakt.htm#anfahrt</loc></url>
  <url><loc>https://www.beispiel.de/shop/a/b/tief.htm</loc></url>
  <url><loc>https://www.beispiel.de/shop/über uns/geschichte.htm</loc></url>
</urlset>)");
    SiteTree tree;
    const auto summary = ImportSite(sitemap, dir / "anderswo", tree);
    ASSERT_TRUE(summary);
    EXPECT_EQ(summary->pages, 7u);
    EXPECT_EQ(summary->folders, 4u);
    EXPECT_EQ(shape(tree), "Startseite | ./\n"
                           "A | a/b/tief.htm\n"
                           "  B | a/b/tief.htm\n"
                           "    Tief | a/b/tief.htm\n"
                           "Kontakt | kontakt.htm\n"
                           "Produkte | produkte/\n"
                           "  Teil-a | produkte/teil-a.htm\n"
                           "über uns | über uns/geschichte.htm\n"
                           "  Geschichte | über uns/geschichte.htm\n"
                           "  Team | über uns/team.html\n");
}

TEST(ImportSitemap, AddressesWithoutCommonFolderAndEmptyMaps) {
    ImportSummary summary;
    SiteTree tree;
    BuildImportedTree(ParseSitemap("<urlset></urlset>", summary), tree);
    EXPECT_TRUE(tree.empty());
    EXPECT_EQ(summary.pages, 0u);

    summary = {};
    BuildImportedTree(ParseSitemap("<loc>https://x.de/a/eins.htm</loc><loc>https://x.de/b/zwei.htm</loc>"
                                   "<loc>https://x.de</loc><loc></loc>",
                                   summary),
                      tree);
    EXPECT_EQ(summary.skipped, 1u);
    EXPECT_EQ(shape(tree), "Startseite | ./\n"
                           "A | a/eins.htm\n"
                           "  Eins | a/eins.htm\n"
                           "B | b/zwei.htm\n"
                           "  Zwei | b/zwei.htm\n");
}

// What a browser shows for a stored menu text: the writer's encoding, then the text of the
// markup. Markup that would make an element is returned as "<markup>", so a test sees it.
std::string shownText(std::string_view stored, bool isTag) {
    const std::string written = HtmlEncode(stored, isTag);
    for (std::size_t i = 0; i + 1 < written.size(); ++i) {
        const char next = written[i + 1];
        if (written[i] == '<' &&
            (std::isalpha(static_cast<unsigned char>(next)) || next == '/' || next == '!' || next == '?'))
            return "<markup>";
    }
    std::u32string text;
    for (unsigned char c : written)
        text += Cp1252ToUnicode(c);
    return EncodeUtf8(DecodeHtmlReferences(text));
}

// Every entry's text as the browser shows it, by file name.
std::map<std::string, std::string> shownTexts(const SiteTree& tree, bool isTag) {
    std::map<std::string, std::string> shown;
    tree.forEachPreorder([&](const SiteNode* node, int) {
        const std::string text(std::string_view(node->entry.text));
        shown[DisplayUtf8(node->entry.file)] = shownText(text, isTag);
        // A saved file read back gives the same text.
        EXPECT_EQ(HtmlDecode(HtmlEncode(text, isTag)), text);
    });
    return shown;
}

TEST_F(Import, BrowserShowsTheTitleTextWhateverTheTagOption) {
    struct Case {
        const char* titleMarkup; // as the page's source spells it
        const char* shown;       // the title's text
    };
    const Case cases[] = {
        {"&lt;img src=x onerror=alert(document.domain)&gt;", "<img src=x onerror=alert(document.domain)>"},
        {"AT&amp;T &amp;copy; Q&amp;A: &amp;lt;b&amp;gt;", "AT&T &copy; Q&A: &lt;b&gt;"},
        {"&amp;#60;b&amp;#62; &amp;#1078; &amp;nbsp;", "&#60;b&#62; &#1078; &nbsp;"},
        {"Tom &amp; Jerry &amp;", "Tom & Jerry &"},
        {"Preise &lt; 10 &euro; &gt; 5 &lt;!-- x --&gt; &lt;/p&gt;", "Preise < 10 € > 5 <!-- x --> </p>"},
        {"Fett <b onmouseover=x()>x</b>", "Fett <b onmouseover=x()>x</b>"},
        {"&quot;Жизнь&quot; &#39;100%&#39;", "\"Жизнь\" '100%'"},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i)
        put("seite" + std::to_string(i) + ".htm",
            std::string("<meta charset=utf-8><title>") + cases[i].titleMarkup + "</title>");
    SiteTree tree;
    ASSERT_TRUE(ImportSite(dir, dir, tree));
    for (const bool isTag : {false, true}) {
        const auto shown = shownTexts(tree, isTag);
        for (std::size_t i = 0; i < std::size(cases); ++i)
            EXPECT_EQ(shown.at("seite" + std::to_string(i) + ".htm"), cases[i].shown)
                << cases[i].titleMarkup << (isTag ? " with" : " without") << " the tag option";
    }
}

TEST(ImportSitemap, BrowserShowsTheAddressTextWhateverTheTagOption) {
    ImportSummary summary;
    SiteTree tree;
    BuildImportedTree(ParseSitemap("<loc>https://x.de/&lt;img src=x onerror=alert(1)&gt;.htm</loc>"
                                   "<loc>https://x.de/&lt;b&gt;%26amp%3B/a&amp;amp;b.htm</loc>",
                                   summary),
                      tree);
    for (const bool isTag : {false, true})
        EXPECT_EQ(shownTexts(tree, isTag),
                  (std::map<std::string, std::string>{
                      {"<b>&amp;/a&amp;b.htm", "A&amp;b"},
                      {"<img src=x onerror=alert(1)>.htm", "<img src=x onerror=alert(1)>"}}))
            << (isTag ? "with" : "without") << " the tag option";
    // The folder's entry is named by the folder.
    EXPECT_EQ(shownText(tree.root()->child(0)->entry.text, true), "<b>&amp;");
}

TEST_F(Import, TitlesSortByTheirTextNotByTheirReferences) {
    put("a.htm", "<meta charset=utf-8><title>T жизнь</title>");
    put("b.htm", "<title>T 100%</title>");
    put("c.htm", "<title>T &amp;Zeichen</title>");
    put("d.htm", "<title>T &lt;Zeichen&gt;</title>");
    put("e.htm", "<title>T Zebra</title>");
    put("f.htm", "<title>T &auml;hnlich</title>");
    SiteTree tree;
    ASSERT_TRUE(ImportSite(dir, dir, tree));
    std::string files;
    tree.forEachPreorder(
        [&](const SiteNode* node, int) { files += std::string(std::string_view(node->entry.file)) + " "; });
    EXPECT_EQ(files, "c.htm b.htm d.htm f.htm e.htm a.htm ");
}

// Each folder's entry links to the first page in menu order below it: a chain of folders
// without index pages is walked once, not once for every way up.
TEST_F(Import, DeepFoldersWithoutIndexPagesAreWalkedOnce) {
    std::string path;
    for (int level = 0; level < 60; ++level) {
        path += "ebene" + std::to_string(level) + "/";
        put(path + "zz.htm", "");
    }
    SiteTree tree;
    const auto summary = ImportSite(dir, dir, tree);
    ASSERT_TRUE(summary);
    EXPECT_EQ(summary->pages, 60u);
    EXPECT_EQ(summary->folders, 60u);
    const SiteNode* node = tree.root();
    std::string expectedFolder;
    for (int level = 0; level < 60; ++level) {
        ASSERT_EQ(node->childCount(), level == 0 ? 1 : 2);
        expectedFolder += "ebene" + std::to_string(level) + "/";
        // "Ebene…" sorts before "Zz": the sub folder comes first, and leads to the deepest page.
        node = node->child(0);
        EXPECT_EQ(std::string(std::string_view(node->entry.text)), "Ebene" + std::to_string(level));
        EXPECT_EQ(std::string(std::string_view(node->entry.file)), path + "zz.htm");
        EXPECT_EQ(std::string(std::string_view(node->children().back()->entry.file)),
                  expectedFolder + "zz.htm");
    }
}

TEST(ImportSitemap, DeepAddressesAndDuplicatesAnywhere) {
    // 20,000 folders in one address: no recursion may follow them.
    std::string deep = "<loc>https://x.de/";
    for (int level = 0; level < 20000; ++level)
        deep += "a/";
    deep += "b.htm</loc><loc>https://x.de/c.htm</loc>";
    ImportSummary summary;
    SiteTree tree;
    BuildImportedTree(ParseSitemap(deep, summary), tree);
    EXPECT_EQ(summary.pages, 2u);
    EXPECT_EQ(summary.folders, 20000u);
    EXPECT_EQ(tree.size(), 20002u);
    // Every folder links to the one page below them all: its 40 KB name is kept once, not 20,000
    // times.
    const SiteNode* first = tree.root()->child(0);
    const SiteNode* last = first;
    while (last->childCount() > 0)
        last = last->child(0);
    EXPECT_EQ(std::string_view(first->entry.file).size(), 40005u);
    EXPECT_EQ(std::string_view(first->entry.file).data(), std::string_view(last->entry.file).data());

    // The same page named twice, however far apart and however its address ends, counts once; of a
    // folder's own address and its index page the one listed first is the folder's entry.
    summary = {};
    BuildImportedTree(
        ParseSitemap("<loc>https://x.de/s/a/index.htm</loc><loc>https://x.de/s/b.htm</loc>"
                     "<loc>https://x.de/s/a/</loc><loc>https://x.de/s/c.htm</loc>"
                     "<loc>https://x.de/s/b.htm?x=1</loc><loc>https://x.de/s/a/index.htm#y</loc>"
                     "<loc>https://x.de/s/a/</loc><loc>https://x.de/s/b.htm</loc>",
                     summary),
        tree);
    EXPECT_EQ(summary.pages, 4u);
    EXPECT_EQ(summary.folders, 1u);
    EXPECT_EQ(shape(tree), "B | b.htm\n"
                           "C | c.htm\n"
                           "Index | a/index.htm\n"
                           "  A | a/\n");
}

} // namespace
