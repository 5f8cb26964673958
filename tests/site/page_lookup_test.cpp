#include "page_lookup.h"
#include "site_test_support.h"

using namespace quilso;
namespace fs = std::filesystem;
using namespace std::string_view_literals;

namespace {

const char* resultName(PageLookupResult result) {
    switch (result) {
    case PageLookupResult::Empty:
        return "empty";
    case PageLookupResult::Unsafe:
        return "unsafe";
    case PageLookupResult::NotCheckable:
        return "not checkable";
    case PageLookupResult::Found:
        return "found";
    case PageLookupResult::Missing:
        return "missing";
    case PageLookupResult::Outside:
        return "outside";
    }
    return "";
}

class PageLookupTest : public sitetest::SiteFolder {
protected:
    // The site in "site", a neighbour whose name starts like it, and a folder outside.
    void makeSite() {
        site = dir / "site";
        put("site/index.htm", "");
        put("site/a b.htm", "");
        put("site/\xC3\xBC"
            "ber.htm",
            "");
        put("site/a\\b.htm", "");
        put("site/100%.htm", "");
        put("site/shop/index.php", "");
        put("site/blog/index.html", "");
        put("site/blog/index.php", "");
        put("site/leer/bild.png", "");
        put("site/tief/a/b/c.htm", "");
        put("site2/x.htm", "");
        put("outside/target.htm", "");
        put("outside/index.htm", "");
        fs::create_directory_symlink("../outside", site / "outdir");
        fs::create_directory_symlink("shop", site / "laden");
        fs::create_symlink("../outside/target.htm", site / "link_out.htm");
        fs::create_symlink("/etc/passwd", site / "passwd.htm");
        fs::create_symlink("index.htm", site / "alias.htm");
        fs::create_symlink("fehlt.htm", site / "dangling.htm");
        fs::create_symlink("loop.htm", site / "loop.htm");
        fs::create_directory(site / "verlinkt");
        fs::create_symlink("../../outside/index.htm", site / "verlinkt" / "index.htm");
    }
    fs::path site;
};

TEST_F(PageLookupTest, EveryKindOfFileName) {
    makeSite();
    struct Case {
        const char* file;
        const char* result;
        std::string_view relative;
        const char* real; // relative to the test folder; "" when nothing is found
    };
    const Case cases[] = {
        {"", "empty", "", ""},
        {" \t\r\n", "empty", "", ""},
        {" JaVa\tScript:alert(1)", "unsafe", "", ""},
        {"DATA:text/html,x", "unsafe", "", ""},
        {"jav\nascript:x", "unsafe", "", ""},
        {"https://beispiel.de/x.htm", "not checkable", "", ""},
        {"mailto:info@beispiel.de", "not checkable", "", ""},
        {"/index.htm", "not checkable", "", ""},
        {"//cdn.de/x.htm", "not checkable", "", ""},
        {"\\\\server\\x.htm", "not checkable", "", ""},
        {"#oben", "not checkable", "", ""},
        {"?q=1", "not checkable", "", ""},
        // Pages and folders inside.
        {"index.htm", "found", "index.htm", "site/index.htm"},
        {" index.htm\t", "found", "index.htm", "site/index.htm"},
        {"a b.htm", "found", "a b.htm", "site/a b.htm"},
        {"a%20b.htm?x#y", "found", "a b.htm", "site/a b.htm"},
        {"\xFC"
         "ber.htm",
         "found",
         "\xC3\xBC"
         "ber.htm",
         "site/\xC3\xBC"
         "ber.htm"},
        {"%C3%BCber.htm", "found",
         "\xC3\xBC"
         "ber.htm",
         "site/\xC3\xBC"
         "ber.htm"},
        {"a%5Cb.htm", "found", "a\\b.htm", "site/a\\b.htm"},
        {"100%25.htm", "found", "100%.htm", "site/100%.htm"},
        {"./tief/a/../a/b/c.htm", "found", "tief/a/b/c.htm", "site/tief/a/b/c.htm"},
        {"tief\\a\\b\\c.htm", "found", "tief/a/b/c.htm", "site/tief/a/b/c.htm"},
        {"tief//a/b/c.htm", "found", "tief/a/b/c.htm", "site/tief/a/b/c.htm"},
        {"tief%2Fa%2fb/c.htm", "found", "tief/a/b/c.htm", "site/tief/a/b/c.htm"},
        {"tief\\a\\..\\a\\b\\c.htm#x", "found", "tief/a/b/c.htm", "site/tief/a/b/c.htm"},
        {"shop/", "found", "shop/index.php", "site/shop/index.php"},
        {"shop", "found", "shop/index.php", "site/shop/index.php"},
        {"blog/", "found", "blog/index.html", "site/blog/index.html"},
        {"./", "found", "index.htm", "site/index.htm"},
        {".", "found", "index.htm", "site/index.htm"},
        {"tief/..", "found", "index.htm", "site/index.htm"},
        {"alias.htm", "found", "alias.htm", "site/index.htm"},
        {"laden/", "found", "laden/index.php", "site/shop/index.php"},
        // Missing.
        {"fehlt.htm", "missing", "fehlt.htm", ""},
        {"INDEX.HTM", "missing", "INDEX.HTM", ""},
        {"leer/", "missing", "leer/", ""},
        {"index.htm/", "missing", "index.htm/", ""},
        {"index.htm/x.htm", "missing", "index.htm/x.htm", ""},
        {"dangling.htm", "missing", "dangling.htm", ""},
        {"loop.htm", "missing", "loop.htm", ""},
        {"index.htm%00.png", "missing", "index.htm\0.png"sv, ""},
        // Outside: by the name, or by a link on the way.
        {"../site2/x.htm", "outside", "../site2/x.htm", ""},
        {"../../../../../../etc/shadow", "outside", "../../../../../../etc/shadow", ""},
        {"tief/../../outside/target.htm", "outside", "../outside/target.htm", ""},
        {"%2e%2E/outside/target.htm", "outside", "../outside/target.htm", ""},
        {"tief%2F..%2F..%2Foutside/target.htm", "outside", "../outside/target.htm", ""},
        {".%2e/outside/", "outside", "../outside/", ""},
        {"..\\outside\\target.htm", "outside", "../outside/target.htm", ""},
        {"..", "outside", "../", ""},
        {"link_out.htm", "outside", "link_out.htm", ""},
        {"passwd.htm", "outside", "passwd.htm", ""},
        {"outdir/target.htm", "outside", "outdir/target.htm", ""},
        {"outdir/fehlt.htm", "outside", "outdir/fehlt.htm", ""},
        {"outdir/", "outside", "outdir/", ""},
        {"verlinkt/", "outside", "verlinkt/index.htm", ""},
    };
    const SitePageFinder finder(site);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const PageLookup page = finder.find(c.file);
        EXPECT_STREQ(resultName(page.result), c.result);
        EXPECT_EQ(page.relative, c.relative);
        EXPECT_EQ(page.real, *c.real ? fs::canonical(dir) / c.real : fs::path());
    }
}

// A name longer than any file system here takes is missing without a look on disk, but like any
// other name it is left behind by a ".." after it.
TEST_F(PageLookupTest, NamesNoFileCanHave) {
    makeSite();
    const SitePageFinder finder(site);
    const std::string overlong(256, 'x');
    EXPECT_EQ(finder.find(overlong + ".htm").result, PageLookupResult::Missing);
    EXPECT_EQ(finder.find("tief/" + overlong + "/../../index.htm").real, fs::canonical(site / "index.htm"));
    EXPECT_EQ(finder.find(overlong + "/../../x.htm").result, PageLookupResult::Outside);
    // Names of many kilobytes, which are walked before they are decoded whole.
    const std::string huge(20000, 'x');
    EXPECT_EQ(finder.find(huge + ".htm").result, PageLookupResult::Missing);
    EXPECT_EQ(finder.find("tief/" + huge + "/../../index.htm").real, fs::canonical(site / "index.htm"));
    EXPECT_EQ(finder.find(huge + "/../../x.htm").result, PageLookupResult::Outside);
    std::string escapedUps;
    for (int i = 0; i < 3000; ++i)
        escapedUps += "%2e%2E%2F";
    EXPECT_EQ(finder.find(escapedUps + "x.htm").result, PageLookupResult::Outside);
    std::string deep;
    for (int i = 0; i < 10000; ++i)
        deep += "a/";
    EXPECT_EQ(finder.find(deep + "b.htm").result, PageLookupResult::Missing);
    std::string back;
    for (int i = 0; i < 10000; ++i)
        back += "..\\";
    EXPECT_EQ(finder.find(deep + back + "index.htm").real, fs::canonical(site / "index.htm"));
}

TEST_F(PageLookupTest, SiteFolderThroughALinkAndTheFolderItselfFound) {
    makeSite();
    fs::create_directory_symlink("site", dir / "zugang");
    // The folder's real path is the one compared: a link to the site folder finds its pages,
    // and its links out of it are still out.
    const SitePageFinder finder(dir / "zugang" / ".");
    EXPECT_EQ(finder.root(), fs::canonical(site));
    EXPECT_TRUE(finder.find("shop/").found());
    EXPECT_EQ(finder.find("link_out.htm").result, PageLookupResult::Outside);
    EXPECT_TRUE(finder.contains(site));
    EXPECT_TRUE(finder.contains(site / "x" / "y.htm"));
    EXPECT_FALSE(finder.contains(dir / "site2" / "x.htm"));
    EXPECT_FALSE(finder.contains(dir));
    // A path a server received, already decoded.
    EXPECT_EQ(finder.findPath("100%.htm").relative, "100%.htm");
    EXPECT_TRUE(finder.findPath("100%.htm").found());
    EXPECT_EQ(finder.findPath("").relative, "index.htm");
    EXPECT_EQ(finder.findPath("shop").relative, "shop/index.php");
    EXPECT_EQ(finder.findPath("a/../../site/index.htm").result, PageLookupResult::Outside);
    // A folder that is not there finds nothing, not even what lies outside.
    EXPECT_EQ(FindEntryPage("index.htm", dir / "fehlt").result, PageLookupResult::Missing);
    EXPECT_EQ(FindEntryPage("../site/index.htm", dir / "fehlt").result, PageLookupResult::Outside);
}

} // namespace
