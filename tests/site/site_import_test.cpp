#include "page_lookup.h"
#include "site_import.h"
#include "site_test_support.h"

#include "file_io.h"
#include "project.h"

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
    EXPECT_EQ(titles({"A \x96 Firma", " \x96 Firma"}), "A \x96 Firma; \x96 Firma;Y;");
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
</urlset>)");
    SiteTree tree;
    const auto summary = ImportSite(sitemap, dir / "anderswo", tree);
    ASSERT_TRUE(summary);
    EXPECT_EQ(summary->pages, 6u);
    EXPECT_EQ(summary->folders, 4u);
    EXPECT_EQ(shape(tree), "Startseite | ./\n"
                           "A | a/b/tief.htm\n"
                           "  B | a/b/tief.htm\n"
                           "    Tief | a/b/tief.htm\n"
                           "Kontakt | kontakt.htm\n"
                           "Produkte | produkte/\n"
                           "  Teil-a | produkte/teil-a.htm\n"
                           "über uns | über uns/team.html\n"
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

} // namespace
