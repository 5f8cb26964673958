// Static menus for visitors without JavaScript and for search engines: every page of the site
// tree that exists in the project's folder gets its three menus (and, where it asks for it, the
// style sheet) written between marker comments, with its own current entry baked in.
#pragma once

#include "markup_scan.h"
#include "project.h"

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace quilso {

enum class PageStatus { Written, Unchanged, Skipped, Failed };

enum class PageReason {
    None,
    NotFound,         // the entry names a page that does not exist
    Outside,          // the entry's page lies outside the project's folder (a link may lead there)
    NoMarkers,        // the page holds none of the marker comments
    UnclosedMarker,   // a start marker without its end marker; detail: the start marker
    NestedMarkers,    // a block starts inside another one; detail: the inner start marker
    ReadError,        // detail: the system's reason
    WriteError,       // detail: the system's reason
    ChangedMeanwhile, // the page was changed after it was read: its edit is kept, not published
    MisplacedMarker,  // a marker that is no comment of the page's markup (inside a script, a
                      // style sheet, a text field, a tag, ...); detail: the marker and where it
                      // lies ("<!-- quilso:m --> im Inhalt von <script>")
};

struct PageReport {
    // Relative to the project's folder, '/' between folders, as on disk (the index page for a
    // folder entry that has one); "../" steps for a page above the folder.
    std::string page;
    PageStatus status = PageStatus::Skipped;
    PageReason reason = PageReason::None;
    std::string detail;
    bool inMenu = true; // false for a page with markers that no entry names
};

struct PublishReport {
    // In site-tree order, each page once; then the pages with markers that no entry names.
    std::vector<PageReport> pages;
    std::size_t count(PageStatus status) const;
};

// Where a misplaced marker lies, as the German phrase the reports show: "im Inhalt von
// <script>", "im Tag <div>", "in einem CDATA-Abschnitt". ASCII apart from the element's name.
std::string MarkerPlaceText(MarkupPart place, std::string_view element);

// The start and end marker comment of a block kind ("m", "um", "bc", "css").
std::string StartMarker(std::string_view kind);
std::string EndMarker(std::string_view kind);

// The new bytes of one page whose current entry is `entry` (its number in site-tree order) and
// whose path relative to the project's folder is `pagePath`. Only the bytes between marker
// pairs change, and a marker counts only where it stands as a comment of the page's markup.
// `reason` is None, NoMarkers, UnclosedMarker, NestedMarkers or MisplacedMarker (then also
// `place` and `element`: what holds the marker); with anything but None `bytes` is the page
// unchanged.
struct PageRewrite {
    std::string bytes;
    PageReason reason = PageReason::None;
    std::string detail;
    MarkupPart place = MarkupPart::Comment;
    std::string element;
};
PageRewrite RewritePage(std::string_view page, const Project& project, std::size_t entry,
                        std::string_view pagePath);

// The page as a preview of the project shows it: every block between marker pairs gives way to
// what lets the script library render that kind from the menu script file (a placeholder; for
// the style sheet a call of quilso_css()), so the menus show the project as it is now, not as it
// was published. A page without well-formed marker pairs comes back unchanged.
std::string WithLiveMenus(std::string_view page);

// What PublishSite tells its caller while it runs.
struct PublishHooks {
    // Each page's report as soon as it is known, in the order of PublishReport::pages.
    std::function<void(const PageReport&)> pageDone;
    // Runs after a page was read and before its new content replaces it, with the file read:
    // the place where an edit made meanwhile lands (tests make one there).
    std::function<void(const std::string& file)> pageRead;
};

struct PublishCounts {
    std::size_t pages = 0;
    std::size_t byStatus[4] = {0, 0, 0, 0}; // indexed by PageStatus
    std::size_t count(PageStatus status) const { return byStatus[static_cast<int>(status)]; }
};

// Publishes every page of the project whose menu script file is `projectFile`: the pages
// FindEntryPage finds in its folder. Entries whose page is missing or lies outside the folder are
// reported as skipped. File errors of single pages are reported, not thrown. A page changed between its
// reading and its replacement keeps the change and is reported as skipped (ChangedMeanwhile).
PublishCounts PublishSite(const Project& project, const std::string& projectFile, const PublishHooks& hooks);
// The same, with every page's report collected.
PublishReport PublishSite(const Project& project, const std::string& projectFile);

} // namespace quilso
