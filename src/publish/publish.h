// Static menus for visitors without JavaScript and for search engines: every page of the site
// tree that exists in the project's folder gets its three menus (and, where it asks for it, the
// style sheet) written between marker comments, with its own current entry baked in.
#pragma once

#include "project.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace quilso {

enum class PageStatus { Written, Unchanged, Skipped, Failed };

enum class PageReason {
    None,
    NotFound,       // the entry names a page that does not exist
    Outside,        // the entry's page lies outside the project's folder (a link may lead there)
    NoMarkers,      // the page holds none of the marker comments
    UnclosedMarker, // a start marker without its end marker; detail: the start marker
    NestedMarkers,  // a block starts inside another one; detail: the inner start marker
    ReadError,      // detail: the system's reason
    WriteError,     // detail: the system's reason
};

struct PageReport {
    // Relative to the project's folder, '/' between folders, as on disk (the index page for a
    // folder entry that has one); "../" steps for a page above the folder.
    std::string page;
    PageStatus status = PageStatus::Skipped;
    PageReason reason = PageReason::None;
    std::string detail;
};

struct PublishReport {
    std::vector<PageReport> pages; // in site-tree order, each page once
    std::size_t count(PageStatus status) const;
};

// The start and end marker comment of a block kind ("m", "um", "bc", "css").
std::string StartMarker(std::string_view kind);
std::string EndMarker(std::string_view kind);

// The new bytes of one page whose current entry is `entry` (its number in site-tree order) and
// whose path relative to the project's folder is `pagePath`. Only the bytes between marker
// pairs change. `reason` is None, NoMarkers, UnclosedMarker or NestedMarkers; with anything but
// None `bytes` is the page unchanged.
struct PageRewrite {
    std::string bytes;
    PageReason reason = PageReason::None;
    std::string detail;
};
PageRewrite RewritePage(std::string_view page, const Project& project, std::size_t entry,
                        std::string_view pagePath);

// The page as a preview of the project shows it: every block between marker pairs gives way to
// what lets the script library render that kind from the menu script file (a placeholder; for
// the style sheet a call of quilso_css()), so the menus show the project as it is now, not as it
// was published. A page without well-formed marker pairs comes back unchanged.
std::string WithLiveMenus(std::string_view page);

// Publishes every page of the project whose menu script file is `projectFile`: the pages
// FindEntryPage finds in its folder. Entries whose page is missing or lies outside the folder are
// reported as skipped. File errors of single pages are reported, not thrown.
PublishReport PublishSite(const Project& project, const std::string& projectFile);

} // namespace quilso
