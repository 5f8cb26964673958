#include "page_lookup.h"

#include "site_text.h"
#include "value_helpers.h"

#include <algorithm>
#include <optional>
#include <system_error>
#include <vector>

namespace quilso {

namespace fs = std::filesystem;

namespace {

// The real path of `path`, links resolved as far as the path exists; empty when a link cannot
// be resolved (it loops, or a folder cannot be read).
fs::path realPathOf(const fs::path& path) {
    std::error_code error;
    fs::path real = fs::weakly_canonical(path, error);
    return error ? fs::path() : real;
}

PageLookup answer(PageLookupResult result, std::string relative, fs::path real = {}) {
    return PageLookup{result, std::move(relative), std::move(real)};
}

// Longer names than this are first walked without being decoded whole: a path on disk holds at
// most 4,096 bytes, and a hostile name of megabytes should cost no copies of itself.
constexpr std::size_t LongestLookedUpName = 16 * 1024;
// No file system here takes a name longer than this many bytes.
constexpr std::size_t LongestFileName = 255;

// The answer for a name over LongestLookedUpName where it is clear without a look on disk: above
// the folder (outside), or holding a segment no file can have (missing). Such a segment is one of
// more than three times LongestFileName bytes without a '%': decoded it is longer still and holds
// no separator. Nothing when the name must be looked up after all (every such segment was left
// by a ".."). The path in the answer is the name's beginning, enough for a report.
std::optional<PageLookup> overlongAnswer(std::string_view name) {
    std::vector<bool> unnamable; // per segment kept so far: whether no file can have it
    std::size_t ups = 0;
    const auto climb = [&] {
        if (unnamable.empty())
            ++ups;
        else
            unnamable.pop_back();
    };
    for (std::size_t start = 0;;) {
        const std::size_t end = name.find_first_of("/\\", start);
        const std::string_view raw = name.substr(start, end - start);
        if (raw.size() > 3 * LongestFileName && raw.find('%') == std::string_view::npos) {
            unnamable.push_back(true);
        } else {
            // A short segment may decode to several, as an escaped "%2F" separates folders.
            const std::string decoded = Utf8PathFromStoredFileName(raw);
            for (std::size_t at = 0;;) {
                const std::size_t slash = decoded.find('/', at);
                const std::string_view part = std::string_view(decoded).substr(at, slash - at);
                if (part == "..")
                    climb();
                else if (!part.empty() && part != ".")
                    unnamable.push_back(part.size() > LongestFileName ||
                                        part.find('\0') != std::string_view::npos);
                if (slash == std::string::npos) break;
                at = slash + 1;
            }
        }
        if (end == std::string_view::npos) break;
        start = end + 1;
    }
    std::string shown = Utf8PathFromStoredFileName(name.substr(0, 1000)) + "\xE2\x80\xA6";
    if (ups > 0) return answer(PageLookupResult::Outside, std::move(shown));
    if (std::find(unnamable.begin(), unnamable.end(), true) != unnamable.end())
        return answer(PageLookupResult::Missing, std::move(shown));
    return std::nullopt;
}

} // namespace

SitePageFinder::SitePageFinder(const fs::path& siteDir) {
    std::error_code error;
    const fs::path absolute = fs::absolute(siteDir, error).lexically_normal();
    root_ = realPathOf(absolute);
    if (root_.empty()) root_ = absolute;
    // "/site/" and "/site" are one folder; the empty last part would spoil the comparison.
    if (!root_.has_filename() && root_.has_relative_path()) root_ = root_.parent_path();
    rootStatus_ = fs::status(root_, error);
}

bool SitePageFinder::contains(const fs::path& real) const {
    auto at = real.begin();
    for (const fs::path& part : root_) {
        if (at == real.end() || *at != part) return false;
        ++at;
    }
    return true;
}

PageLookup SitePageFinder::find(std::string_view file) const {
    // Copied only when a tab or line break must go: a name may be megabytes long.
    std::string trimmed;
    std::string_view address = file;
    if (address.find_first_of("\t\n\r") != std::string_view::npos) {
        trimmed = BrowserTrimmedAddress(file);
        address = trimmed;
    }
    const auto blank = [](char c) { return static_cast<unsigned char>(c) <= 0x20; };
    while (!address.empty() && blank(address.front()))
        address.remove_prefix(1);
    while (!address.empty() && blank(address.back()))
        address.remove_suffix(1);
    if (address.empty()) return answer(PageLookupResult::Empty, {});
    if (IsUnsafeAddress(address)) return answer(PageLookupResult::Unsafe, {});
    const std::string_view name = address.substr(0, address.find_first_of("?#"));
    if (name.empty() || HasSchemeOrIsRooted(name)) return answer(PageLookupResult::NotCheckable, {});
    if (name.size() > LongestLookedUpName) {
        if (const std::optional<PageLookup> overlong = overlongAnswer(name)) return *overlong;
    }
    // Split before decoding: an escaped "%5C" is a backslash in a file's name, not a separator.
    // Each segment is then decoded on its own; "%2e%2e" becomes ".." and climbs as a browser
    // makes it climb. An escaped "%2F" separates folders like the page server's decoded path.
    std::string relative;
    std::size_t start = 0;
    while (true) {
        const std::size_t end = name.find_first_of("/\\", start);
        relative += Utf8PathFromStoredFileName(name.substr(start, end - start));
        if (end == std::string::npos) break;
        relative += '/';
        start = end + 1;
    }
    return findPath(relative);
}

PageLookup SitePageFinder::findPath(std::string_view relativeUtf8) const {
    // The path as the browser resolves it, before anything on disk is asked.
    std::vector<std::string_view> kept;
    std::size_t ups = 0;
    bool folder = false;
    std::size_t start = 0;
    while (true) {
        const std::size_t end = relativeUtf8.find('/', start);
        const std::string_view segment = relativeUtf8.substr(start, end - start);
        const bool last = end == std::string_view::npos;
        if (segment == "..") {
            if (kept.empty())
                ++ups;
            else
                kept.pop_back();
            folder = last;
        } else if (segment == ".") {
            folder = last;
        } else if (segment.empty()) {
            // "a//b" is "a/b"; only a last empty segment, a trailing '/', says "folder".
            folder = last && !relativeUtf8.empty();
        } else {
            kept.push_back(segment);
            folder = false;
        }
        if (last) break;
        start = end + 1;
    }
    // A segment no file can have: no file system here takes a NUL or a name longer than 255
    // bytes. Such a path is never looked up, which also spares a hostile name of megabytes the
    // copies a lookup makes.
    const bool unnamable = std::any_of(kept.begin(), kept.end(), [](std::string_view segment) {
        return segment.size() > 255 || segment.find('\0') != std::string_view::npos;
    });
    std::string relative;
    for (std::size_t i = 0; i < ups; ++i)
        relative += "../";
    for (std::size_t i = 0; i < kept.size(); ++i) {
        if (i > 0) relative += '/';
        relative += kept[i];
    }
    if (folder && !kept.empty()) relative += '/';
    // Above the folder: never looked at, so that no name can probe what lies out there.
    if (ups > 0) return answer(PageLookupResult::Outside, std::move(relative));
    if (unnamable) return answer(PageLookupResult::Missing, std::move(relative));

    // Folder by folder from the real site folder: without a link on the way the path is its own
    // real path, and one status per level is all a lookup costs.
    fs::path path = root_;
    std::error_code error;
    fs::file_status status = rootStatus_;
    bool linked = false;
    for (std::size_t i = 0; i < kept.size() && !linked; ++i) {
        if (!fs::is_directory(status)) return answer(PageLookupResult::Missing, std::move(relative));
        path /= fs::path(kept[i]);
        status = fs::symlink_status(path, error);
        if (fs::is_symlink(status)) {
            linked = true;
            for (std::size_t k = i + 1; k < kept.size(); ++k)
                path /= fs::path(kept[k]);
        } else if (!fs::exists(status)) {
            return answer(PageLookupResult::Missing, std::move(relative));
        }
    }
    if (linked) {
        const fs::path real = realPathOf(path);
        if (real.empty()) return answer(PageLookupResult::Missing, std::move(relative));
        // Outside wins over missing: a link out of the folder is reported as what it is.
        if (!contains(real)) return answer(PageLookupResult::Outside, std::move(relative));
        path = real;
        status = fs::status(path, error);
    }
    if (fs::is_regular_file(status))
        return folder ? answer(PageLookupResult::Missing, std::move(relative))
                      : answer(PageLookupResult::Found, std::move(relative), std::move(path));
    if (!fs::is_directory(status)) return answer(PageLookupResult::Missing, std::move(relative));

    if (!relative.empty() && relative.back() != '/') relative += '/';
    for (std::string_view index : IndexPageNames) {
        fs::path page = path / index;
        const fs::file_status indexStatus = fs::symlink_status(page, error);
        if (!fs::exists(indexStatus)) continue;
        if (fs::is_symlink(indexStatus)) {
            page = realPathOf(page);
            if (page.empty()) continue;
            if (!contains(page)) return answer(PageLookupResult::Outside, relative + std::string(index));
            if (!fs::is_regular_file(page, error)) continue;
        } else if (!fs::is_regular_file(indexStatus)) {
            continue;
        }
        return answer(PageLookupResult::Found, relative + std::string(index), std::move(page));
    }
    return answer(PageLookupResult::Missing, std::move(relative));
}

PageLookup FindEntryPage(std::string_view file, const fs::path& siteDir) {
    return SitePageFinder(siteDir).find(file);
}

} // namespace quilso
