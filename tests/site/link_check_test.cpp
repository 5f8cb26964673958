#include "link_check.h"
#include "site_test_support.h"

using namespace quilso;
namespace fs = std::filesystem;

namespace {

std::string describe(const std::vector<Finding>& findings) {
    std::string out;
    for (const Finding& f : findings)
        out += std::to_string(f.entry) + " " + DisplayUtf8(f.where) + ": " + DisplayUtf8(f.message) + "\n";
    return out;
}

class LinkCheck : public sitetest::SiteFolder {
protected:
    void makeSite() {
        put("index.htm", "<html><head><script src=\"menu.js\"></script></head></html>");
        put("produkte/index.htm", "<SCRIPT type=\"text/javascript\" SRC='../menu.js?v=2'></SCRIPT>");
        put("produkte/teil-a.htm", "<script\n  src=/menu.js defer></script>");
        put("produkte/teil-b.htm", "<script data-src=\"menu.js\"></script><script src=\"other.js\"></script>"
                                   "<script>var src = 'menu.js';</script>");
        put("über uns.htm", "<script src=\"https://cdn.beispiel.de/x/menu.js\"></script>");
        put("alt/verwaist.htm", "");
        put(".entwurf.htm", "");
        put("bilder/logo.png", "");
        put("unten/sub/seite.htm", "<script src=\"../../menu.js\"></script>");
    }
    void makeTree() {
        SiteNode* root = tree.root();
        tree.insert(root, -1, {"Start", "index.htm"});
        SiteNode* products = tree.insert(root, -1, {"Produkte", "produkte/"});
        tree.insert(products, -1, {"Teil A", "produkte/teil-a.htm#oben"});
        tree.insert(products, -1, {"Teil B", "produkte/teil-b.htm"});
        tree.insert(products, -1, {"Teil C", "produkte/teil-c.htm"});
        tree.insert(products, -1, {"  ", "produkte/teil-a.htm"});
        tree.insert(root, -1,
                    {"\xDC"
                     "ber uns",
                     "\xFC"
                     "ber uns.htm"});
        tree.insert(root, -1, {"About", "%C3%BCber%20uns.htm"});
        tree.insert(root, -1, {"Logo", "bilder/logo.png"});
        tree.insert(root, -1, {"Extern", "https://beispiel.de/x.htm"});
        tree.insert(root, -1, {"Mail", "mailto:info@beispiel.de"});
        tree.insert(root, -1, {"B\xF6se", " JaVa\tScript:alert(1)"});
        tree.insert(root, -1, {"Daten", "DATA:text/html,x"});
        tree.insert(root, -1, {"Leer", ""});
        tree.insert(root, -1, {"Anker", "#oben"});
        tree.insert(root, -1, {"Wurzel", "/impressum.htm"});
        tree.insert(root, -1, {"Tief", "unten\\sub\\seite.htm"});
    }
    SiteTree tree;
};

TEST_F(LinkCheck, EveryKindOfFindingInTreeOrder) {
    makeSite();
    makeTree();
    const auto findings = CheckSiteLinks(tree, {dir / "menu.js", {}});
    EXPECT_EQ(describe(findings), "3 Produkte › Teil B: Seite bindet menu.js nicht ein: produkte/teil-b.htm\n"
                                  "4 Produkte › Teil C: Datei nicht gefunden: produkte/teil-c.htm\n"
                                  "5 Produkte › (ohne Text): Menütext fehlt\n"
                                  "11 Böse: Unsichere Adresse:  JaVa\tScript:alert(1)\n"
                                  "12 Daten: Unsichere Adresse: DATA:text/html,x\n"
                                  "13 Leer: Dateiname fehlt\n"
                                  "-1 : Seite in keinem Menü: alt/verwaist.htm\n");
    ASSERT_EQ(findings.size(), 7u);
    EXPECT_EQ(findings[1].kind, FindingKind::MissingPage);
    EXPECT_EQ(findings[1].file, "produkte/teil-c.htm");
    EXPECT_EQ(std::count_if(findings.begin(), findings.end(), IsBrokenLink), 3);
}

TEST_F(LinkCheck, SiteFolderApartFromTheProject) {
    makeSite();
    makeTree();
    // The project lives elsewhere: no page loads it, and nothing is found relative to its folder.
    const fs::path elsewhere = dir / "build" / "menu.js";
    fs::create_directories(elsewhere.parent_path());
    const auto findings = CheckSiteLinks(tree, {elsewhere, dir});
    const auto missingScript = std::count_if(findings.begin(), findings.end(), [](const Finding& f) {
        return f.kind == FindingKind::MissingScript;
    });
    // Every checked page but the one on another host, which counts by its file name.
    EXPECT_EQ(missingScript, 6);
    EXPECT_EQ(std::count_if(findings.begin(), findings.end(),
                            [](const Finding& f) { return f.kind == FindingKind::MissingPage; }),
              1);

    const auto relative = CheckSiteLinks(tree, {elsewhere, {}});
    EXPECT_EQ(std::count_if(relative.begin(), relative.end(),
                            [](const Finding& f) { return f.kind == FindingKind::MissingPage; }),
              10);
}

TEST_F(LinkCheck, LinkStatusOfSingleNames) {
    put("ordner/index.php", "");
    put("ohne/bild.png", "");
    put("a b.htm", "");
    put("a\\b.htm", "");
    fs::path resolved;
    EXPECT_EQ(CheckLink("ordner", dir, &resolved), LinkStatus::Present);
    EXPECT_EQ(resolved, dir / "ordner" / "index.php");
    EXPECT_EQ(CheckLink("ohne/", dir), LinkStatus::Missing);
    EXPECT_EQ(CheckLink("a b.htm", dir), LinkStatus::Present);
    EXPECT_EQ(CheckLink("a%20b.htm?x#y", dir), LinkStatus::Present);
    EXPECT_EQ(CheckLink("./ordner/../a b.htm", dir), LinkStatus::Present);
    EXPECT_EQ(CheckLink("A B.htm", dir), LinkStatus::Missing);
    EXPECT_EQ(CheckLink(StoredFileNameFromUtf8("a\\b.htm"), dir), LinkStatus::Present);
    EXPECT_EQ(CheckLink(" \t", dir), LinkStatus::Empty);
    EXPECT_EQ(CheckLink("?q=1", dir), LinkStatus::NotChecked);
    EXPECT_EQ(CheckLink("//cdn.de/x.htm", dir), LinkStatus::NotChecked);
    EXPECT_EQ(CheckLink("vb\x01script:x", dir), LinkStatus::Unsafe);
}

// Only a script element of the page's markup loads the file: not one in a comment, nor the text
// of a script, a style sheet, a text area or a title, nor a tag written into an attribute value.
TEST_F(LinkCheck, OnlyScriptElementsOfTheMarkupCount) {
    const std::pair<std::string_view, bool> pages[] = {
        {"<!-- <script src=\"menu.js\"></script> -->", false},
        {"<!-- alt: --><script src=\"menu.js\"></script>", true},
        {"<!--> <script src=\"menu.js\"></script>", true},
        {"<!-- <script src=\"menu.js\"></script>", false},
        {"<!-- a -- b --!><script src=menu.js></script>", true},
        {"<script>document.write('<script src=\"menu.js\"><\\/script>')</script>", false},
        {"<script>var a = '<!--';</script><script src=\"menu.js\"></script>", true},
        {"<SCRIPT>x()</SCRIPT ><script src=\"menu.js\"></script>", true},
        {"<style>/* <script src=\"menu.js\"></script> */</style>", false},
        {"<textarea><script src=\"menu.js\"></script></textarea>", false},
        {"<title><script src=\"menu.js\"></script></title>", false},
        {"<div title=\"<script src='menu.js'>\"></div>", false},
        {"<div title=\"<!--\"><script src=\"menu.js\"></script><!-- -->", true},
        {"<![CDATA[ x ]]><script src=\"menu.js\"></script>", true},
        {"<p>a < b</p><script src=\"menu.js\"></script>", true},
    };
    for (const auto& [page, includes] : pages) {
        put("seite.htm", page);
        SiteTree tree;
        tree.insert(tree.root(), -1, {"Seite", "seite.htm"});
        const auto findings = CheckSiteLinks(tree, {dir / "menu.js", {}});
        EXPECT_EQ(findings.empty(), includes) << page << "\n" << describe(findings);
    }
}

TEST_F(LinkCheck, PagesOutsideTheFolderAreBrokenWhateverLeadsThere) {
    const fs::path site = dir / "site";
    put("site/index.htm", "<script src=\"menu.js\"></script>");
    put("outside/target.htm", "<script src=\"../site/menu.js\"></script>");
    put("site2/x.htm", "");
    fs::create_directory_symlink("../outside", site / "outdir");
    fs::create_symlink("../outside/target.htm", site / "link_out.htm");
    fs::create_symlink("/etc/passwd", site / "passwd.htm");
    fs::create_symlink("index.htm", site / "alias.htm");
    fs::create_symlink("loop.htm", site / "loop.htm");
    SiteNode* root = tree.root();
    tree.insert(root, -1, {"Start", "index.htm"});
    tree.insert(root, -1, {"Alias", "alias.htm"});
    tree.insert(root, -1, {"Schatten", "../../../../../../etc/shadow"});
    tree.insert(root, -1, {"Link", "link_out.htm"});
    tree.insert(root, -1, {"Ordner", "outdir/target.htm"});
    tree.insert(root, -1, {"Ordner fehlt", "outdir/fehlt.htm"});
    tree.insert(root, -1, {"Kodiert", "%2e%2E/outside/target.htm"});
    tree.insert(root, -1,
                {"Zur\xFC"
                 "ck",
                 "a\\..\\..\\outside\\target.htm"});
    tree.insert(root, -1, {"Nachbar", "../site2/x.htm"});
    tree.insert(root, -1, {"Schleife", "loop.htm"});
    const auto findings = CheckSiteLinks(tree, {site / "menu.js", {}});
    EXPECT_EQ(describe(findings),
              "2 Schatten: Datei liegt außerhalb des Ordners: ../../../../../../etc/shadow\n"
              "3 Link: Datei liegt außerhalb des Ordners: link_out.htm\n"
              "4 Ordner: Datei liegt außerhalb des Ordners: outdir/target.htm\n"
              "5 Ordner fehlt: Datei liegt außerhalb des Ordners: outdir/fehlt.htm\n"
              "6 Kodiert: Datei liegt außerhalb des Ordners: %2e%2E/outside/target.htm\n"
              "7 Zurück: Datei liegt außerhalb des Ordners: a\\..\\..\\outside\\target.htm\n"
              "8 Nachbar: Datei liegt außerhalb des Ordners: ../site2/x.htm\n"
              "9 Schleife: Datei nicht gefunden: loop.htm\n");
    EXPECT_EQ(std::count_if(findings.begin(), findings.end(), IsBrokenLink), 8);
}

TEST_F(LinkCheck, SiteFolderReachedThroughALink) {
    put("real/index.htm", "<script src=\"menu.js\"></script>");
    put("real/shop/index.php", "<script src=\"../menu.js\"></script>");
    fs::create_directory_symlink("real", dir / "linked");
    tree.insert(tree.root(), -1, {"Start", "index.htm"});
    tree.insert(tree.root(), -1, {"Shop", "shop/"});
    EXPECT_EQ(describe(CheckSiteLinks(tree, {dir / "linked" / "menu.js", {}})), "");
    EXPECT_EQ(describe(CheckSiteLinks(tree, {dir / "elsewhere" / "menu.js", dir / "linked"})),
              "0 Start: Seite bindet menu.js nicht ein: index.htm\n"
              "1 Shop: Seite bindet menu.js nicht ein: shop/\n");
}

// An entry is named by its position and the last levels of its branch, each text cut to a
// readable length: a deep chain or long texts give findings of bounded size.
TEST(EntryPathText, NamesTheLastLevelsOfTheBranch) {
    SiteTree tree;
    SiteNode* a = tree.insert(tree.root(), -1, {"Produkte", "p.htm"});
    SiteNode* b = tree.insert(a, -1, {"", "x.htm"});
    SiteNode* c = tree.insert(b, -1, {"Teil &#8594; A", "c.htm"});
    SiteNode* d = tree.insert(c, -1, {"Unten", "d.htm"});
    SiteNode* e = tree.insert(d, -1, {std::string(70, 'x') + "&#8594;", "e.htm"});
    SiteNode* f = tree.insert(e, -1, {std::string(45, 'y') + "&#8594;z", "f.htm"});
    EXPECT_EQ(EntryPath(a), "Produkte");
    EXPECT_EQ(DisplayUtf8(EntryPath(c)), "Produkte › (ohne Text) › Teil → A");
    EXPECT_EQ(DisplayUtf8(EntryPath(d)), "… › (ohne Text) › Teil → A › Unten");
    // A reference is kept whole or left out, never cut.
    EXPECT_EQ(DisplayUtf8(EntryPath(f)),
              "… › Unten › " + std::string(48, 'x') + "… › " + std::string(45, 'y') + "…");
}

TEST(EntryPathText, FindingsOfADeepChainStayShort) {
    SiteTree tree;
    SiteNode* parent = tree.root();
    for (int depth = 0; depth < 3000; ++depth)
        parent = tree.insert(parent, -1, {"Ebene " + std::to_string(depth), "fehlt.htm"});
    const fs::path nowhere = fs::temp_directory_path() / "quilso_no_such_site";
    const auto findings = CheckSiteLinks(tree, {nowhere / "menu.js", {}});
    ASSERT_EQ(findings.size(), 3000u);
    EXPECT_EQ(findings.front().where, "Ebene 0");
    EXPECT_EQ(DisplayUtf8(findings.back().where), "… › Ebene 2997 › Ebene 2998 › Ebene 2999");
    for (const Finding& finding : findings)
        EXPECT_LE(finding.where.size(), 40u) << finding.entry;
}

// The message names a file by at most its first 1,000 bytes; the finding keeps the whole name.
TEST(EntryPathText, MessagesCutLongFileNames) {
    SiteTree tree;
    const std::string longName = std::string(3000, 'x') + ".htm";
    tree.insert(tree.root(), -1, {"Lang", longName});
    tree.insert(tree.root(), -1, {"Kurz", std::string(1000, 'y')});
    const fs::path nowhere = fs::temp_directory_path() / "quilso_no_such_site";
    const auto findings = CheckSiteLinks(tree, {nowhere / "menu.js", {}});
    ASSERT_EQ(findings.size(), 2u);
    EXPECT_EQ(findings[0].message, "Datei nicht gefunden: " + std::string(1000, 'x') + "\x85");
    EXPECT_EQ(findings[0].file, longName);
    EXPECT_EQ(findings[1].message, "Datei nicht gefunden: " + std::string(1000, 'y'));
}

} // namespace
