// The one rule for what page on disk an entry's file name names. The link check, publish, the
// import and the preview all ask here, so that they never disagree about a page: which index
// page a folder address means, what counts as missing, and that nothing outside the site folder
// is ever a page of the site, however the name or a symbolic link tries to get there.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace quilso {

// The index pages a folder address ("shop/", "shop", "./") stands for, the first that exists
// winning.
inline constexpr std::string_view IndexPageNames[] = {"index.htm", "index.html", "index.shtml", "index.shtm",
                                                      "index.php"};

enum class PageLookupResult {
    Empty,        // no file name at all (nothing but white space)
    Unsafe,       // javascript:, vbscript: or data: - never looked up, never a link
    NotCheckable, // a scheme ("https:", "mailto:"), a rooted path ("/x", "//host", "\\host") or a
                  // mere query or fragment: nothing of the site folder to look up
    Found,
    Missing, // no such page; also a folder without an index page, a dangling link, a link loop
    Outside, // the name climbs above the site folder, or a symbolic link on the way leads out of
             // it: not a page of the site, whether or not it exists
};

struct PageLookup {
    PageLookupResult result = PageLookupResult::Empty;
    // Found, Missing and Outside: the page's path relative to the site folder as a browser
    // resolves the address (UTF-8, '/' between folders, no "." segments; a leading "../" for
    // each level it climbs above the folder). For a folder address that found its index page,
    // the index page's path ("shop/index.php"); otherwise a folder keeps its trailing '/'.
    std::string relative;
    // Found only: the page's real path, every symbolic link resolved; always inside the real
    // path of the site folder. The file to read and to write.
    std::filesystem::path real;

    bool found() const { return result == PageLookupResult::Found; }
};

// Looks pages up in one site folder. The folder's real path is found once, so that many lookups
// cost about one file status per folder level of the name they look up.
class SitePageFinder {
public:
    // `siteDir` may be relative or reached through symbolic links; a folder that does not exist
    // finds nothing.
    explicit SitePageFinder(const std::filesystem::path& siteDir);

    // An entry's file name as the project stores it: Windows-1252 bytes, percent escapes for
    // UTF-8 bytes, optionally a query and a fragment, '\' taken as '/' (as a browser does),
    // leading and trailing white space ignored and tabs and line breaks inside dropped.
    // A percent-encoded "." or ".." segment ("%2e%2e/") climbs like the plain one; an escaped
    // "%2F" separates folders, an escaped "%5C" is a backslash in a name.
    PageLookup find(std::string_view file) const;
    // A path already decoded (UTF-8, '/' between segments, "." and ".." allowed) relative to the
    // site folder, as a server receives it; a trailing '/' names a folder. Never Empty, Unsafe or
    // NotCheckable.
    PageLookup findPath(std::string_view relativeUtf8) const;

    // The site folder's real path.
    const std::filesystem::path& root() const { return root_; }
    // True when `real` (a path with every link resolved) is the site folder or lies below it,
    // compared folder by folder: "/site2" is not inside "/site".
    bool contains(const std::filesystem::path& real) const;

private:
    std::filesystem::path root_;
    std::filesystem::file_status rootStatus_;
};

// One lookup of an entry's file name in `siteDir` (see SitePageFinder::find).
PageLookup FindEntryPage(std::string_view file, const std::filesystem::path& siteDir);

} // namespace quilso
