#include "publish.h"

#include "example_project.h"
#include "file_io.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <cstring>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>

using namespace quilso;
using namespace std::string_literals;
namespace fs = std::filesystem;

namespace {

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void writeFile(const fs::path& path, std::string_view bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

// The text between a kind's markers.
std::string block(const std::string& page, std::string_view kind, std::size_t from = 0) {
    const std::size_t start = page.find(StartMarker(kind), from);
    if (start == std::string::npos) return "<no block>";
    const std::size_t begin = start + StartMarker(kind).size();
    return page.substr(begin, page.find(EndMarker(kind), begin) - begin);
}

const char* const Page = "<!DOCTYPE html>\n<html><head><title>t</title>\n"
                         "<!-- quilso:css --><!-- /quilso:css -->\n</head><body>\n"
                         "<!-- quilso:bc --><!-- /quilso:bc -->\n"
                         "<!-- quilso:m --><!-- /quilso:m -->\n<p>Inhalt</p></body></html>\n";

// Files may not grow past `bytes` while it lives: writing more fails with EFBIG, even for a
// test run by root, whom file modes do not stop.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::signal(SIGXFSZ, SIG_IGN);
        ::getrlimit(RLIMIT_FSIZE, &saved_);
        rlimit limited = saved_;
        limited.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limited);
    }
    ~FileSizeLimit() { ::setrlimit(RLIMIT_FSIZE, &saved_); }

private:
    rlimit saved_{};
};

class Publish : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "quilso_publish_XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir = pattern;
        sample::makeExampleProject(project);
        project.tree.clear();
    }
    void TearDown() override { fs::remove_all(dir); }

    SiteNode* add(SiteNode* parent, const char* text, const char* file) {
        return project.tree.insert(parent ? parent : project.tree.root(), -1, {text, file});
    }
    PublishReport publish() { return PublishSite(project, (dir / "menu.js").string()); }
    std::string page(const char* name) const { return readFile(dir / name); }

    // Start, a folder entry with a page below it and one more level in a sub folder.
    void twoDepthSite() {
        add(nullptr, "Start", "index.htm");
        SiteNode* goods = add(nullptr, "Waren", "waren/");
        SiteNode* apples = add(goods,
                               "\xC4"
                               "pfel",
                               "waren/aepfel.htm");
        add(apples, "Tief", "waren/tief/t.htm");
        add(goods, "Birnen", "waren/birnen.htm");
        add(nullptr, "Kontakt", "kontakt.htm");
        for (const char* name : {"index.htm", "waren/index.htm", "waren/aepfel.htm", "waren/tief/t.htm",
                                 "waren/birnen.htm", "kontakt.htm"})
            writeFile(dir / name, Page);
    }

    fs::path dir;
    Project project;
};

} // namespace

TEST_F(Publish, PagesAtEveryDepthLinkRelativeToThemselves) {
    twoDepthSite();
    const PublishReport report = publish();
    ASSERT_EQ(report.pages.size(), 6u);
    EXPECT_EQ(report.pages[1].page, "waren/index.htm"); // the folder entry's index page
    EXPECT_EQ(report.count(PageStatus::Written), 6u);

    // Two folders down: every relative file name goes through two steps up.
    const std::string deep = page("waren/tief/t.htm");
    EXPECT_EQ(block(deep, "bc").substr(0, block(deep, "bc").find("<script")),
              "<nav class=\"quilso_bc_div\" aria-label=\"Navigationspfad\" "
              "data-quilso-published=\"bc\"><ul class=\"quilso_bc\">"
              "<li><a href=\"../../waren/\">Waren</a></li>"
              "<li><a href=\"../../waren/aepfel.htm\">&#196;pfel</a></li>"
              "<li><a href=\"../../waren/tief/t.htm\" id=\"bc_selected\" aria-current=\"page\">"
              "Tief</a></li></ul></nav>");
    // The main menu carries the sub menu in the current top-level item, the deeper level
    // nested in its parent's item.
    EXPECT_EQ(block(deep, "m"),
              "<nav class=\"quilso_m_div\" aria-label=\"Hauptmen&#252;\" "
              "data-quilso-published=\"m\"><ul class=\"quilso_m\">"
              "<li><a href=\"../../index.htm\">Start</a></li>"
              "<li><a href=\"../../waren/\">Waren</a><nav aria-label=\"Untermen&#252;\">"
              "<ul class=\"quilso_um\"><li><a href=\"../../waren/aepfel.htm\">&#196;pfel</a>"
              "<ul class=\"quilso_um\"><li><a href=\"../../waren/tief/t.htm\" id=\"um_selected\" "
              "aria-current=\"page\">Tief</a></li></ul></li>"
              "<li><a href=\"../../waren/birnen.htm\">Birnen</a></li></ul></nav></li>"
              "<li><a href=\"../../kontakt.htm\">Kontakt</a></li></ul></nav>");

    // The folder's index page is the folder entry's page; one step up.
    const std::string index = page("waren/index.htm");
    EXPECT_NE(block(index, "m")
                  .find("<a href=\"../waren/\" id=\"m_selected\" aria-current=\"page\">"
                        "Waren</a>"),
              std::string::npos);
    EXPECT_NE(block(index, "m").find("<a href=\"../index.htm\">Start</a>"), std::string::npos);

    // In the project's folder the file names stay as entered; no sub menu without children.
    const std::string contact = page("kontakt.htm");
    EXPECT_NE(block(contact, "m").find("<a href=\"waren/\">Waren</a></li>"), std::string::npos);
    EXPECT_EQ(block(contact, "m").find("quilso_um"), std::string::npos);
    EXPECT_NE(block(contact, "bc")
                  .find("{\"@type\":\"ListItem\",\"position\":1,\"name\":\"Kontakt\","
                        "\"item\":\"kontakt.htm\"}"),
              std::string::npos);
}

TEST_F(Publish, OnlyExistingPagesInsideTheFolderArePublished) {
    add(nullptr, "Start", "index.htm");
    add(nullptr, "Fehlt", "fehlt.htm");
    add(nullptr,
        "Drau\xDF"
        "en",
        "../draussen.htm");
    add(nullptr, "Extern", "https://example.org/index.htm");
    add(nullptr, "Wurzel", "/index.htm");
    add(nullptr, "Leerer Ordner", "leer/");
    add(nullptr, "Nochmal", "./index.htm?x=1#oben");
    add(nullptr, "Ohne Marken", "ohne.htm");
    add(nullptr, "Prozent", "mit%20leer.htm");
    writeFile(dir / "index.htm", Page);
    writeFile(dir / ".." / "draussen.htm", Page);
    fs::create_directories(dir / "leer");
    writeFile(dir / "ohne.htm", "<p>keine</p>");
    writeFile(dir / "mit leer.htm", Page);

    const PublishReport report = publish();
    std::vector<std::string> lines;
    for (const PageReport& p : report.pages)
        lines.push_back(p.page + ":" + std::to_string(static_cast<int>(p.reason)));
    const auto none = std::to_string(static_cast<int>(PageReason::None));
    const auto missing = std::to_string(static_cast<int>(PageReason::NotFound));
    const auto outside = std::to_string(static_cast<int>(PageReason::Outside));
    EXPECT_EQ(lines,
              (std::vector<std::string>{"index.htm:" + none, "fehlt.htm:" + missing,
                                        "../draussen.htm:" + outside, "leer/:" + missing,
                                        "ohne.htm:" + std::to_string(static_cast<int>(PageReason::NoMarkers)),
                                        "mit leer.htm:" + none}));
    EXPECT_EQ(readFile(dir / ".." / "draussen.htm"), Page);
    fs::remove(dir / ".." / "draussen.htm");
    EXPECT_EQ(page("ohne.htm"), "<p>keine</p>");
    // Absolute addresses are written as they are.
    const std::string m = block(page("index.htm"), "m");
    EXPECT_NE(m.find("<a href=\"https://example.org/index.htm\">"), std::string::npos);
    EXPECT_NE(m.find("<a href=\"/index.htm\">"), std::string::npos);
    EXPECT_NE(m.find("<a href=\"./index.htm?x=1#oben\">Nochmal</a>"), std::string::npos);
}

TEST_F(Publish, NothingOutsideTheFolderIsWrittenWhateverLeadsThere) {
    const fs::path outside = dir.parent_path() / (dir.filename().string() + "_outside");
    writeFile(outside / "target.htm", Page);
    writeFile(dir / "index.htm", Page);
    fs::create_symlink(outside / "target.htm", dir / "link_out.htm");
    fs::create_directory_symlink(outside, dir / "outdir");
    fs::create_symlink("index.htm", dir / "alias.htm");
    add(nullptr, "Link", "link_out.htm");
    add(nullptr, "Ordner", "outdir/target.htm");
    add(nullptr, "Kodiert", ("%2e%2E/" + outside.filename().string() + "/target.htm").c_str());
    add(nullptr, "Alias", "alias.htm");

    const PublishReport report = publish();
    std::vector<std::string> lines;
    for (const PageReport& p : report.pages)
        lines.push_back(p.page + ":" + std::to_string(static_cast<int>(p.status)) + ":" +
                        std::to_string(static_cast<int>(p.reason)));
    const auto skipped = std::to_string(static_cast<int>(PageStatus::Skipped));
    const auto outsideReason = std::to_string(static_cast<int>(PageReason::Outside));
    EXPECT_EQ(lines, (std::vector<std::string>{
                         "link_out.htm:" + skipped + ":" + outsideReason,
                         "outdir/target.htm:" + skipped + ":" + outsideReason,
                         "../" + outside.filename().string() + "/target.htm:" + skipped + ":" + outsideReason,
                         "alias.htm:" + std::to_string(static_cast<int>(PageStatus::Written)) + ":0"}));
    EXPECT_EQ(readFile(outside / "target.htm"), Page);
    EXPECT_NE(page("index.htm"), Page); // written where the link inside the folder leads
    EXPECT_TRUE(fs::is_symlink(dir / "alias.htm"));
    fs::remove_all(outside);
}

TEST_F(Publish, FolderEntriesFindEveryKindOfIndexPage) {
    add(nullptr, "Shop", "shop/");
    add(nullptr, "Blog", "blog");
    writeFile(dir / "shop" / "index.php", Page);
    writeFile(dir / "blog" / "index.shtml", Page);
    const PublishReport report = publish();
    ASSERT_EQ(report.pages.size(), 2u);
    EXPECT_EQ(report.pages[0].page, "shop/index.php");
    EXPECT_EQ(report.pages[1].page, "blog/index.shtml");
    EXPECT_EQ(report.count(PageStatus::Written), 2u);
}

TEST_F(Publish, UnsafeSchemesNeverBecomeLinks) {
    add(nullptr, "Start", "index.htm");
    add(nullptr, "Eins", " Java\tScript:alert(1)");
    add(nullptr, "Zwei", "VBSCRIPT:msgbox");
    add(nullptr, "Drei",
        "d\x01"
        "ata:text/html,<script>alert(2)</script>");
    add(nullptr, "", "java script:alert(3)"); // no text: no file name either
    add(nullptr, "Harmlos", "javascript.htm");
    writeFile(dir / "index.htm", Page);
    ASSERT_EQ(publish().pages.size(), 2u); // index.htm and the missing javascript.htm

    const std::string m = block(page("index.htm"), "m");
    EXPECT_NE(m.find("<li><span class=\"quilso_nolink\">Eins</span></li>"), std::string::npos);
    EXPECT_NE(m.find("<li><span class=\"quilso_nolink\">Zwei</span></li>"), std::string::npos);
    EXPECT_NE(m.find("<li><span class=\"quilso_nolink\">Drei</span></li>"), std::string::npos);
    EXPECT_NE(m.find("<li><span class=\"quilso_nolink\"></span></li>"), std::string::npos);
    EXPECT_NE(m.find("<a href=\"javascript.htm\">Harmlos</a>"), std::string::npos);
    EXPECT_EQ(m.find("alert"), std::string::npos);
    EXPECT_EQ(m.find("msgbox"), std::string::npos);
    // The style rules for links cover the text-only entries too.
    const std::string css = block(page("index.htm"), "css");
    EXPECT_NE(css.find(".quilso_m > li > a,\n.quilso_m > li > span.quilso_nolink {"), std::string::npos);
    EXPECT_NE(css.find(".quilso_bc li a#bc_selected,\n.quilso_bc li span.quilso_nolink#bc_selected {"),
              std::string::npos);
}

TEST_F(Publish, BrokenMarkersLeaveThePageUntouched) {
    add(nullptr, "A", "a.htm");
    add(nullptr, "B", "b.htm");
    add(nullptr, "C", "c.htm");
    add(nullptr, "D", "d.htm");
    const std::string unclosed = "<!-- quilso:css --><!-- /quilso:css --><!-- quilso:m -->alt";
    const std::string twice = "<!-- quilso:bc -->x<!-- quilso:bc -->y<!-- /quilso:bc -->";
    const std::string nested = "<!-- quilso:m --><!-- quilso:bc --><!-- /quilso:m --><!-- /quilso:bc -->";
    const std::string endOnly = "<p><!-- /quilso:m --></p>";
    writeFile(dir / "a.htm", unclosed);
    writeFile(dir / "b.htm", twice);
    writeFile(dir / "c.htm", nested);
    writeFile(dir / "d.htm", endOnly);

    const PublishReport report = publish();
    ASSERT_EQ(report.pages.size(), 4u);
    EXPECT_EQ(report.count(PageStatus::Skipped), 4u);
    EXPECT_EQ(report.pages[0].reason, PageReason::UnclosedMarker);
    EXPECT_EQ(report.pages[0].detail, "<!-- quilso:m -->");
    EXPECT_EQ(report.pages[1].reason, PageReason::UnclosedMarker);
    EXPECT_EQ(report.pages[1].detail, "<!-- quilso:bc -->");
    EXPECT_EQ(report.pages[2].reason, PageReason::NestedMarkers);
    EXPECT_EQ(report.pages[3].reason, PageReason::NoMarkers);
    EXPECT_EQ(page("a.htm"), unclosed);
    EXPECT_EQ(page("b.htm"), twice);
    EXPECT_EQ(page("c.htm"), nested);
}

// Marker text counts only where it stands as a comment of the page's markup, read as a browser
// reads the page. Anywhere else, filling it would break the page: the page stays as it is.
TEST_F(Publish, OnlyMarkersThatAreCommentsOfTheMarkupCount) {
    add(nullptr, "Start", "index.htm");
    const std::string m = "<!-- quilso:m --><!-- /quilso:m -->";
    struct Misplaced {
        const char* where;
        std::string page;
        MarkupPart place;
        const char* element;
    };
    const Misplaced misplaced[] = {
        {"script string", "<script>var s = '" + m + "';</script>" + m, MarkupPart::RawText, "script"},
        {"script without end", "<SCRIPT type=module>x = 1;\n" + m, MarkupPart::RawText, "SCRIPT"},
        {"script after a nested script in a comment",
         "<script><!-- document.write('<script></script>'); " + m + " --></script>", MarkupPart::RawText,
         "script"},
        {"style block", "<style>/* " + m + " */</style>", MarkupPart::RawText, "style"},
        {"text field", "<textarea name=t>" + m + "</textarea>", MarkupPart::EscapableRawText, "textarea"},
        {"title", "<title>" + m + "</title>", MarkupPart::EscapableRawText, "title"},
        {"quoted attribute", "<p title=\"" + m + "\">x</p>", MarkupPart::Tag, "p"},
        {"attribute with a '>' before it", "<a title='a>b' data-x=\"" + m + "\">", MarkupPart::Tag, "a"},
        {"unquoted attribute", "<img alt=" + m, MarkupPart::Tag, "img"},
        {"CDATA section", "<svg><![CDATA[" + m + "]]></svg>", MarkupPart::Cdata, ""},
        {"another comment", "<!-- alt: " + m + " -->", MarkupPart::Comment, ""},
        {"declaration", "<!DOCTYPE html " + m + ">", MarkupPart::Declaration, ""},
    };
    for (const Misplaced& c : misplaced) {
        SCOPED_TRACE(c.where);
        const PageRewrite result = RewritePage(c.page, project, 0, "index.htm");
        EXPECT_EQ(result.reason, PageReason::MisplacedMarker);
        EXPECT_EQ(result.detail.substr(0, 18), "<!-- quilso:m --> ");
        EXPECT_EQ(result.place, c.place);
        EXPECT_EQ(result.element, c.element);
        EXPECT_EQ(result.bytes, c.page);
    }

    // What only looks like one of those places leaves the marker a comment.
    const std::string fine[] = {
        "<script>if (a < b && c > d) x = '</scrip' + 't';</script>" + m,
        "<script><!-- document.write('<script><\\/script>'); --></script>" + m,
        "<script><!--></script>" + m,
        "<style>p::after { content: '>'; }</style><textarea></textarea><title>t</title>" + m,
        "<p title='x > y'\n>x</p>" + m + "<p class=a>y</p>",
        "<!---->" + m + "<!-->" + "<![CDATA[x]]>",
        "<noscript>" + m + "</noscript>",
    };
    for (const std::string& page : fine) {
        SCOPED_TRACE(page);
        const PageRewrite result = RewritePage(page, project, 0, "index.htm");
        EXPECT_EQ(result.reason, PageReason::None);
        EXPECT_NE(block(result.bytes, "m").find("Start"), std::string::npos);
    }

    // Published: the page is left alone and reported.
    const std::string page = "<script>var menu = \"" + m + "\";</script>\n" + m;
    writeFile(dir / "index.htm", page);
    const PublishReport report = publish();
    ASSERT_EQ(report.pages.size(), 1u);
    EXPECT_EQ(report.pages[0].status, PageStatus::Skipped);
    EXPECT_EQ(report.pages[0].reason, PageReason::MisplacedMarker);
    EXPECT_EQ(report.pages[0].detail, "<!-- quilso:m --> im Inhalt von <script>");
    EXPECT_EQ(this->page("index.htm"), page);
}

// Search engines expect an address on every entry of a trail but the last: an ancestor that is
// text only stays in the visible trail and is left out of the structured one.
TEST_F(Publish, TextOnlyAncestorsAreLeftOutOfTheStructuredTrail) {
    SiteNode* top = add(nullptr, "Start", "index.htm");
    SiteNode* group = add(top, "Gruppe", "javascript:void(0)");
    add(group, "Seite", "seite.htm");
    const std::string bytes = "<!-- quilso:bc --><!-- /quilso:bc -->";
    const std::string bc = block(RewritePage(bytes, project, 2, "seite.htm").bytes, "bc");
    EXPECT_NE(bc.find("<li><span class=\"quilso_nolink\">Gruppe</span></li>"), std::string::npos);
    EXPECT_EQ(bc.substr(bc.find("<script")),
              "<script type=\"application/ld+json\">{\"@context\":\"https://schema.org\","
              "\"@type\":\"BreadcrumbList\",\"itemListElement\":["
              "{\"@type\":\"ListItem\",\"position\":1,\"name\":\"Start\",\"item\":\"index.htm\"},"
              "{\"@type\":\"ListItem\",\"position\":2,\"name\":\"Seite\",\"item\":\"seite.htm\"}]}</script>");
}

// A page that asks for menus but that no entry names (a thank-you page, an archive) gets what
// the library gives a page outside the tree, the main menu without a current entry, and the
// report lists it after the tree's pages, folder by folder.
TEST_F(Publish, PagesWithMarkersInNoMenuGetTheMainMenuAndAreListed) {
    add(nullptr, "Start", "index.htm");
    SiteNode* goods = add(nullptr, "Waren", "waren/");
    add(goods, "Obst", "waren/obst.htm");
    writeFile(dir / "index.htm", Page);
    writeFile(dir / "waren/index.htm", Page);
    writeFile(dir / "waren/obst.htm", Page);
    writeFile(dir / "danke.htm", Page);
    writeFile(dir / "archiv/2020.html", Page);
    writeFile(dir / "archiv/kaputt.php", "<!-- quilso:m -->");
    writeFile(dir / "archiv/ohne.htm", "<p>ohne Marken</p>");
    writeFile(dir / ".entwurf/neu.htm", Page);          // hidden
    writeFile(dir / "notiz.txt", Page);                 // no page
    fs::create_symlink("index.htm", dir / "start.htm"); // the same page as an entry's

    const PublishReport report = publish();
    std::vector<std::string> lines;
    for (const PageReport& p : report.pages)
        lines.push_back(p.page + (p.inMenu ? "" : " (in keinem Men\xFC)") + ":" +
                        std::to_string(static_cast<int>(p.status)));
    EXPECT_EQ(lines, (std::vector<std::string>{"index.htm:0", "waren/index.htm:0", "waren/obst.htm:0",
                                               "danke.htm (in keinem Men\xFC):0",
                                               "archiv/2020.html (in keinem Men\xFC):0",
                                               "archiv/kaputt.php (in keinem Men\xFC):2"}));
    EXPECT_EQ(report.pages.back().reason, PageReason::UnclosedMarker);

    const std::string thanks = page("danke.htm");
    EXPECT_EQ(block(thanks, "m"), "<nav class=\"quilso_m_div\" aria-label=\"Hauptmen&#252;\" "
                                  "data-quilso-published=\"m\"><ul class=\"quilso_m\">"
                                  "<li><a href=\"index.htm\">Start</a></li>"
                                  "<li><a href=\"waren/\">Waren</a></li></ul></nav>");
    EXPECT_EQ(block(thanks, "bc"), "");
    EXPECT_NE(block(thanks, "css").find(".quilso_m li a"), std::string::npos);
    EXPECT_NE(block(page("archiv/2020.html"), "m").find("<a href=\"../index.htm\">Start</a>"),
              std::string::npos);
    EXPECT_EQ(page("archiv/ohne.htm"), "<p>ohne Marken</p>");
    EXPECT_EQ(page(".entwurf/neu.htm"), Page);
    EXPECT_EQ(page("notiz.txt"), Page);
    EXPECT_EQ(publish().count(PageStatus::Unchanged), 5u);
}

// Several entries naming one page: the page is reported once, where the tree first names it,
// however many pages the site has.
TEST_F(Publish, EveryPageIsReportedOnceWhereTheTreeFirstNamesIt) {
    for (int k = 0; k < 3000; ++k)
        add(nullptr, "Eintrag", ("seite" + std::to_string((k * 7) % 1000) + ".htm").c_str());
    const PublishReport report = publish();
    ASSERT_EQ(report.pages.size(), 1000u);
    for (int k = 0; k < 1000; ++k)
        ASSERT_EQ(report.pages[static_cast<std::size_t>(k)].page,
                  "seite" + std::to_string((k * 7) % 1000) + ".htm");
}

TEST_F(Publish, SecondRunLeavesUnchangedPagesAlone) {
    twoDepthSite();
    publish();
    struct stat before {};
    ASSERT_EQ(::stat((dir / "waren/aepfel.htm").c_str(), &before), 0);
    const std::string written = page("waren/aepfel.htm");

    const PublishReport again = publish();
    EXPECT_EQ(again.count(PageStatus::Unchanged), 6u);
    struct stat after {};
    ASSERT_EQ(::stat((dir / "waren/aepfel.htm").c_str(), &after), 0);
    EXPECT_EQ(before.st_ino, after.st_ino); // not even replaced by an equal copy
    EXPECT_EQ(page("waren/aepfel.htm"), written);

    // A changed entry text rewrites every page that shows it.
    project.tree.root()->child(2)->entry.text = "Kontaktformular";
    EXPECT_EQ(publish().count(PageStatus::Written), 6u);
}

TEST_F(Publish, LineBreaksInMenuTextsDoNotChangeThePagesLineEnds) {
    add(nullptr, "zwei\r\nZeilen", "index.htm");
    // The page's first line break comes after the blocks: what they hold must not decide.
    writeFile(dir / "index.htm", "<!-- quilso:m --><!-- /quilso:m --><!-- quilso:css --><!-- /quilso:css -->"
                                 "\n<p>x</p>\n");
    ASSERT_EQ(publish().count(PageStatus::Written), 1u);
    const std::string first = page("index.htm");
    EXPECT_EQ(block(first, "m").find_first_of("\r\n"), std::string::npos);
    EXPECT_NE(block(first, "m").find("zwei&#10;Zeilen"), std::string::npos);
    EXPECT_EQ(publish().count(PageStatus::Unchanged), 1u);
    EXPECT_EQ(page("index.htm"), first);
}

TEST_F(Publish, OutputIsAsciiAndBytesOutsideTheMarkersStay) {
    project.params.css[MenuMain].fontFamilies = {"B\xFC"
                                                 "cher Schrift",
                                                 "x</style><script>alert(1)</script>"};
    add(nullptr,
        "Gr\xFC\xDF"
        "e \x80 \x84so\x93 <b>",
        "index.htm");
    add(nullptr, "  ", "leer.htm"); // no visible text: the file name instead
    const std::string head = "<html>\r\n<head>\xE4\x00\xFF<!-- quilso:css -->"s;
    const std::string middle = "<!-- /quilso:css -->\r\n</head><body>\x80<!-- quilso:bc -->alt";
    const std::string tail = "<!-- /quilso:bc -->\r\n<!-- quilso:m --><!-- /quilso:m -->\xFE\r\n";
    const std::string bytes = head + middle + tail;
    writeFile(dir / "index.htm", bytes);
    ASSERT_EQ(publish().count(PageStatus::Written), 1u);

    const std::string out = page("index.htm");
    EXPECT_EQ(out.substr(0, head.size()), head);
    const std::string end = "<!-- /quilso:m -->\xFE\r\n";
    EXPECT_EQ(out.substr(out.size() - end.size()), end);
    EXPECT_NE(out.find(middle.substr(0, middle.size() - 3)), std::string::npos);
    for (const char* kind : {"css", "m", "bc"}) {
        const std::string inside = block(out, kind);
        for (char c : inside)
            ASSERT_LT(static_cast<unsigned char>(c), 0x80) << kind;
    }
    const std::string css = block(out, "css");
    // The page's line ends; no value can close the style element.
    EXPECT_EQ(css.substr(0, 9), "\r\n<style>");
    EXPECT_EQ(css.find("\n.quilso"), css.find("\r\n.quilso") + 1);
    EXPECT_NE(css.find("font-family:\"B\\FC cher Schrift\", x\\3C /style>\\3C script>"), std::string::npos);
    EXPECT_EQ(css.find("</style>"), css.size() - 10);

    const std::string m = block(out, "m");
    EXPECT_NE(m.find(">Gr&#252;&#223;e &#8364; &#8222;so&#8220; &#60;b&#62;</a>"), std::string::npos);
    EXPECT_NE(m.find("<a href=\"leer.htm\">leer.htm</a>"), std::string::npos);
    const std::string bc = block(out, "bc");
    EXPECT_NE(bc.find("\"name\":\"Gr\\u00fc\\u00dfe \\u20ac \\u201eso\\u201c \\u003cb\\u003e\""),
              std::string::npos);
}

TEST_F(Publish, MarkupTextsKeepOnlyHarmlessElements) {
    project.params.options.isTag = true;
    add(nullptr, "<b onclick=\"steal()\" title='a\"b'>fett</b> <i>offen", "index.htm");
    add(nullptr, "x</a><script>alert(1)</script><!-- /quilso:m --><img src=javascript:y alt=>", "b.htm");
    add(nullptr, "<svg><a href=x>z</a></svg><img src=&#106;avascript:z()><img src=\"ok.png\">", "c.htm");
    writeFile(dir / "index.htm", Page);
    publish();

    const std::string m = block(page("index.htm"), "m");
    // Quotes arrive encoded, as references inside unquoted values, which parse the same.
    EXPECT_NE(m.find("aria-current=\"page\"><b title=\"&#39;a&#34;b&#39;\">fett</b> <i>offen</i></a>"),
              std::string::npos);
    EXPECT_NE(m.find("<a href=\"b.htm\">x<img alt=\"\"></a>"), std::string::npos);
    // A scheme hidden behind a reference is still a scheme.
    EXPECT_NE(m.find("<a href=\"c.htm\">z<img><img src=\"&#34;ok.png&#34;\"></a>"), std::string::npos);
    EXPECT_EQ(m.find("script"), std::string::npos);
    EXPECT_EQ(m.find("avascript"), std::string::npos);
    EXPECT_EQ(m.find("steal"), std::string::npos);
    EXPECT_EQ(m.find("<!--"), std::string::npos);
}

TEST_F(Publish, RepeatedAndSeparateBlocks) {
    add(nullptr, "Start", "index.htm");
    SiteNode* goods = add(nullptr, "Waren", "waren.htm");
    add(goods, "Obst", "obst.htm");
    const std::string bytes = "<!-- quilso:bc --><!-- /quilso:bc --><!-- quilso:m --><!-- /quilso:m -->"
                              "<!-- quilso:um --><!-- /quilso:um --><!-- quilso:bc --><!-- /quilso:bc -->";
    const PageRewrite result = RewritePage(bytes, project, 2, "obst.htm");
    ASSERT_EQ(result.reason, PageReason::None);
    // A page with a sub menu block of its own: the main menu carries none.
    EXPECT_EQ(block(result.bytes, "m").find("quilso_um"), std::string::npos);
    EXPECT_EQ(block(result.bytes, "um"),
              "<nav aria-label=\"Untermen&#252;\" data-quilso-published=\"um\"><ul class=\"quilso_um\">"
              "<li><a href=\"obst.htm\" id=\"um_selected\" aria-current=\"page\">Obst</a></li></ul></nav>");
    // The trail twice: the second one without the id and with a landmark name of its own.
    const std::size_t second = result.bytes.find(EndMarker("bc"));
    const std::string again = block(result.bytes, "bc", second);
    EXPECT_NE(again.find("aria-label=\"Navigationspfad 2\""), std::string::npos);
    EXPECT_NE(again.find("<a href=\"obst.htm\" aria-current=\"page\">Obst</a>"), std::string::npos);
    EXPECT_NE(block(result.bytes, "bc").find("id=\"bc_selected\""), std::string::npos);

    // An entry without children gives no sub menu: its block stays empty.
    const PageRewrite top = RewritePage(bytes, project, 0, "index.htm");
    EXPECT_EQ(block(top.bytes, "um"), "");
}

TEST_F(Publish, PageThatCannotBeWrittenIsReportedAndTheRestGoesOn) {
    add(nullptr, "Gro\xDF", "gross.htm");
    add(nullptr, "Klein", "klein.htm");
    writeFile(dir / "gross.htm", Page); // the style sheet alone is larger than the limit
    writeFile(dir / "klein.htm", "<!-- quilso:m --><!-- /quilso:m -->");
    PublishReport report;
    {
        const FileSizeLimit limit(2048);
        report = publish();
    }
    ASSERT_EQ(report.pages.size(), 2u);
    EXPECT_EQ(report.pages[0].status, PageStatus::Failed);
    EXPECT_EQ(report.pages[0].reason, PageReason::WriteError);
    EXPECT_EQ(report.pages[0].detail, SystemErrorText(EFBIG));
    EXPECT_EQ(page("gross.htm"), Page);
    EXPECT_EQ(report.pages[1].status, PageStatus::Written);
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"gross.htm", "klein.htm"})); // no temporary file left
}

// The preview's form of a page: every published block becomes what renders that kind live; a page
// whose markers do not pair up stays as it is.
TEST(LiveMenus, PublishedBlocksGiveWayToTheLibrary) {
    const std::pair<std::string, std::string> cases[] = {
        {"<head><!-- quilso:css --><style>a{}</style><!-- /quilso:css --></head>",
         "<head><!-- quilso:css --><script>if (typeof quilso_css === \"function\") quilso_css();</script>"
         "<!-- /quilso:css --></head>"},
        {"<!-- quilso:bc --><nav>alt</nav><!-- /quilso:bc -->x<!-- quilso:m --><nav>alt</nav><!-- /quilso:m "
         "-->",
         "<!-- quilso:bc --><div data-quilso=\"bc\"></div><!-- /quilso:bc -->x"
         "<!-- quilso:m --><div data-quilso=\"m\"></div><!-- /quilso:m -->"},
        {"<!-- quilso:um --><!-- /quilso:um -->",
         "<!-- quilso:um --><div data-quilso=\"um\"></div><!-- /quilso:um -->"},
        {"<body>keine Marken</body>", "<body>keine Marken</body>"},
        {"<!-- quilso:m --><nav>offen</nav>", "<!-- quilso:m --><nav>offen</nav>"},
    };
    for (const auto& [page, shown] : cases)
        EXPECT_EQ(WithLiveMenus(page), shown) << page;
}

// An editor or a script that changes a page while it is being published wins: the page keeps
// the edit and is reported, whichever part of the page's state the edit changed.
TEST_F(Publish, APageEditedWhileItIsPublishedKeepsTheEdit) {
    struct Edit {
        const char* what;
        std::function<void(const fs::path&)> make;
        std::string expected;
    };
    const std::string appended = std::string(Page) + "<p>neu</p>\n";
    std::string sameSize = Page;
    sameSize.replace(sameSize.find("Inhalt"), 6, "Andres");
    const Edit edits[] = {
        {"appended", [](const fs::path& file) { std::ofstream(file, std::ios::app) << "<p>neu</p>\n"; },
         appended},
        {"saved as a new file of the same size",
         [&](const fs::path& file) {
             writeFile(file.string() + ".neu", sameSize);
             fs::rename(file.string() + ".neu", file);
         },
         sameSize},
        {"rewritten in place at the same size, later",
         [&](const fs::path& file) {
             std::fstream(file, std::ios::in | std::ios::out | std::ios::binary) << sameSize;
             const timespec later[2] = {{0, UTIME_OMIT}, {::time(nullptr) + 60, 0}};
             ::utimensat(AT_FDCWD, file.c_str(), later, 0);
         },
         sameSize},
    };
    add(nullptr, "Start", "index.htm");
    add(nullptr, "Danach", "danach.htm");
    for (const Edit& edit : edits) {
        SCOPED_TRACE(edit.what);
        writeFile(dir / "index.htm", Page);
        writeFile(dir / "danach.htm", Page);
        PublishHooks hooks;
        std::vector<PageReport> lines;
        hooks.pageDone = [&](const PageReport& line) { lines.push_back(line); };
        hooks.pageRead = [&](const std::string& file) {
            if (fs::path(file).filename() == "index.htm") edit.make(file);
        };
        const PublishCounts counts = PublishSite(project, (dir / "menu.js").string(), hooks);
        EXPECT_EQ(page("index.htm"), edit.expected);
        ASSERT_EQ(lines.size(), 2u);
        EXPECT_EQ(lines[0].status, PageStatus::Skipped);
        EXPECT_EQ(lines[0].reason, PageReason::ChangedMeanwhile);
        EXPECT_EQ(lines[1].status, PageStatus::Written); // the others go on
        EXPECT_EQ(counts.count(PageStatus::Skipped), 1u);
        std::size_t files = 0;
        for (const auto& entry : fs::directory_iterator(dir))
            files += entry.is_regular_file() ? 1 : 0;
        EXPECT_EQ(files, 2u); // no temporary file left
    }
}
