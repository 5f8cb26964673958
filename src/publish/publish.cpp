#include "publish.h"

#include "file_io.h"

#include "menu_markup.h"
#include "page_lookup.h"
#include "site_text.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <sys/stat.h>
#include <utility>

namespace quilso {

namespace {

namespace fs = std::filesystem;

constexpr std::string_view BlockKinds[] = {"css", "m", "um", "bc"};

struct Block {
    std::string_view kind;
    std::size_t contentBegin;
    std::size_t contentEnd;
};

struct BlockScan {
    std::vector<Block> blocks; // in page order
    PageReason reason = PageReason::None;
    std::string detail;
    MarkupPart place = MarkupPart::Comment;
    std::string element;
};

struct MarkerComment {
    std::string_view kind;
    bool start;
    std::size_t begin, end;
};

// The marker `text` holds at `at` ("<!-- quilso:m -->", "<!-- /quilso:bc -->"), or nothing.
std::optional<MarkerComment> markerAt(std::string_view text, std::size_t at) {
    struct Marker {
        std::string_view kind;
        bool start;
        std::string text;
    };
    static const std::vector<Marker> markers = [] {
        std::vector<Marker> all;
        for (std::string_view kind : BlockKinds) {
            all.push_back({kind, true, StartMarker(kind)});
            all.push_back({kind, false, EndMarker(kind)});
        }
        return all;
    }();
    for (const Marker& marker : markers)
        if (text.compare(at, marker.text.size(), marker.text) == 0)
            return MarkerComment{marker.kind, marker.start, at, at + marker.text.size()};
    return std::nullopt;
}

// Pairs the markers that stand as comments of the page's markup. Marker text anywhere else
// (inside a script, a style sheet, a text field, a tag, a CDATA section or another comment)
// is not the author's marker, and writing menus there would break the page: the page is left
// alone.
BlockScan scanBlocks(std::string_view page) {
    BlockScan scan;
    std::vector<MarkerComment> markers;
    bool misplaced = false;
    WalkMarkup(page, [&](const MarkupSpan& span) {
        if (misplaced) return;
        const std::string_view text = page.substr(span.begin, span.end - span.begin);
        if (span.part == MarkupPart::Comment) {
            const auto marker = markerAt(text, 0);
            if (marker && marker->end == text.size()) {
                markers.push_back({marker->kind, marker->start, span.begin, span.end});
                return;
            }
        }
        for (std::size_t at = 0; (at = text.find("<!-- ", at)) != std::string_view::npos; ++at) {
            if (const auto marker = markerAt(text, at)) {
                misplaced = true;
                scan.reason = PageReason::MisplacedMarker;
                scan.place = span.part;
                scan.element = std::string(span.element);
                scan.detail = (marker->start ? StartMarker(marker->kind) : EndMarker(marker->kind)) + " " +
                              MarkerPlaceText(scan.place, scan.element);
                return;
            }
        }
    });
    if (misplaced) return scan;
    const MarkerComment* open = nullptr;
    for (const MarkerComment& marker : markers) {
        if (open && marker.start) {
            // A second start before the end would leave the first block without its end:
            // rewriting then would eat whatever lies between them.
            scan.reason = marker.kind == open->kind ? PageReason::UnclosedMarker : PageReason::NestedMarkers;
            scan.detail = StartMarker(marker.kind);
            return scan;
        }
        if (marker.start) {
            open = &marker;
        } else if (open && marker.kind == open->kind) {
            scan.blocks.push_back({open->kind, open->end, marker.begin});
            open = nullptr;
        }
        // An end marker without its start is left where it is.
    }
    if (open) {
        scan.reason = PageReason::UnclosedMarker;
        scan.detail = StartMarker(open->kind);
        return scan;
    }
    if (scan.blocks.empty()) scan.reason = PageReason::NoMarkers;
    return scan;
}

// The page's own line end, so that a written style sheet does not mix two kinds. Only the
// author's bytes count: what an earlier run wrote must not change the answer.
std::string_view lineEndOf(std::string_view page, const std::vector<Block>& blocks) {
    std::size_t from = 0;
    for (std::size_t k = 0; k <= blocks.size(); ++k) {
        const std::size_t to = k < blocks.size() ? blocks[k].contentBegin : page.size();
        const std::size_t lf = page.substr(from, to - from).find('\n');
        if (lf != std::string_view::npos) return from + lf > 0 && page[from + lf - 1] == '\r' ? "\r\n" : "\n";
        if (k < blocks.size()) from = blocks[k].contentEnd;
    }
    return "\n";
}

// Hands the new page to `write` piece by piece: the page's own bytes and the content of each
// block, the menus in pieces of a few kilobytes, so that even a page whose menus hold a branch
// 100,000 levels deep is never held twice.
void produceRewrite(std::string_view page, const BlockScan& scan, const Project& project, MenuMarkup& markup,
                    std::size_t entry, std::string_view pagePath, const PieceSink& write) {
    const bool subOwnPlace =
        std::any_of(scan.blocks.begin(), scan.blocks.end(), [](const Block& b) { return b.kind == "um"; });
    markup.setPage(entry, pagePath, subOwnPlace);
    const std::string_view eol = lineEndOf(page, scan.blocks);
    std::string piece;
    const std::function<void(std::string&)> spill = [&](std::string& out) {
        write(out);
        out.clear();
    };
    std::size_t pos = 0;
    for (const Block& block : scan.blocks) {
        write(page.substr(pos, block.contentBegin - pos));
        if (block.kind == "css") {
            piece.append(eol);
            piece += StaticStyleSheet(project.params, eol);
            piece.append(eol);
        } else {
            markup.render(piece, block.kind, spill);
        }
        spill(piece);
        pos = block.contentEnd;
    }
    write(page.substr(pos));
}

PageRewrite rewrite(std::string_view page, const Project& project, MenuMarkup& markup, std::size_t entry,
                    std::string_view pagePath) {
    const BlockScan scan = scanBlocks(page);
    if (scan.reason != PageReason::None)
        return {std::string(page), scan.reason, scan.detail, scan.place, scan.element};
    PageRewrite result;
    result.bytes.reserve(page.size() + 4096);
    produceRewrite(page, scan, project, markup, entry, pagePath,
                   [&](std::string_view piece) { result.bytes += piece; });
    return result;
}

// Reads, rewrites and replaces one page; `line` names it and receives the outcome. The new page
// is made twice when it differs, once to compare it with the old one and once into the file,
// so that it is never held whole besides the old one.
PageReport publishPage(const fs::path& file, PageReport line, const Project& project, MenuMarkup& markup,
                       std::size_t entry, const PublishHooks& hooks) {
    std::string bytes;
    FileVersion version;
    try {
        bytes = ReadFileBytes(file.string(), version);
    } catch (const FileError& e) {
        line.status = PageStatus::Failed;
        line.reason = PageReason::ReadError;
        line.detail = e.reason();
        return line;
    }
    if (hooks.pageRead) hooks.pageRead(file.string());
    const BlockScan scan = scanBlocks(bytes);
    line.reason = scan.reason;
    line.detail = scan.detail;
    if (scan.reason != PageReason::None) {
        line.status = PageStatus::Skipped;
        return line;
    }
    std::size_t at = 0;
    bool same = true;
    produceRewrite(bytes, scan, project, markup, entry, line.page, [&](std::string_view piece) {
        same = same && piece.size() <= bytes.size() - at && bytes.compare(at, piece.size(), piece) == 0;
        at += piece.size();
    });
    if (same && at == bytes.size()) {
        line.status = PageStatus::Unchanged;
        return line;
    }
    try {
        // An edit made since the page was read is the author's: it wins over the menus.
        WriteFileAtomicallyInPieces(
            file.string(),
            [&](const PieceSink& write) {
                produceRewrite(bytes, scan, project, markup, entry, line.page, write);
            },
            &version);
        line.status = PageStatus::Written;
    } catch (const FileError& e) {
        const bool edited = e.problem() == FileProblem::ChangedMeanwhile;
        line.status = edited ? PageStatus::Skipped : PageStatus::Failed;
        line.reason = edited ? PageReason::ChangedMeanwhile : PageReason::WriteError;
        line.detail = edited ? std::string() : e.reason();
    }
    return line;
}

// The pages met so far, each once. A million names cost little more than their bytes: they lie
// one after the other in one string, found through a table of their offsets. Each slot also holds
// a few bits of the name's hash, so that a probe reads a name only when those match: a lookup in
// a large table then costs one access to memory, not two.
class PageNames {
public:
    // Room for `count` names without growing: each growth reads every name again.
    explicit PageNames(std::size_t count) {
        std::size_t slots = 64;
        while (slots < count * 2)
            slots *= 2;
        slots_.assign(slots, 0);
    }
    // Fetches the slot where `name` would go into the cache ahead of insert, so that the wait
    // for memory overlaps the work done in between.
    void prefetch(std::string_view name) const {
        __builtin_prefetch(&slots_[std::hash<std::string_view>{}(name) & (slots_.size() - 1)]);
    }
    // False when `name` was added before.
    bool insert(std::string_view name) {
        if ((count_ + 1) * 2 > slots_.size()) grow();
        const std::size_t hash = std::hash<std::string_view>{}(name);
        for (std::size_t slot = hash & (slots_.size() - 1);; slot = (slot + 1) & (slots_.size() - 1)) {
            const std::uint64_t entry = slots_[slot];
            if (entry == 0) {
                slots_[slot] = slotFor(bytes_.size(), hash);
                appendLength(name.size());
                bytes_ += name;
                ++count_;
                return true;
            }
            if ((entry & FingerprintMask) == fingerprintOf(hash) && nameAt(entry >> FingerprintBits) == name)
                return false;
        }
    }

private:
    static constexpr int FingerprintBits = 16;
    static constexpr std::uint64_t FingerprintMask = (std::uint64_t(1) << FingerprintBits) - 1;
    static std::uint64_t fingerprintOf(std::size_t hash) {
        return static_cast<std::uint64_t>(hash >> (sizeof(std::size_t) * 8 - FingerprintBits)) &
               FingerprintMask;
    }
    // Offset + 1 above the fingerprint, so that no used slot is 0.
    static std::uint64_t slotFor(std::size_t offset, std::size_t hash) {
        return (static_cast<std::uint64_t>(offset + 1) << FingerprintBits) | fingerprintOf(hash);
    }
    void appendLength(std::size_t length) {
        for (; length >= 0x80; length >>= 7)
            bytes_ += static_cast<char>(0x80 | (length & 0x7F));
        bytes_ += static_cast<char>(length);
    }
    // The name whose length starts at `offsetPlusOne - 1`; `next` receives the offset after it.
    std::string_view nameAt(std::uint64_t offsetPlusOne, std::size_t* next = nullptr) const {
        std::size_t offset = static_cast<std::size_t>(offsetPlusOne - 1);
        std::size_t length = 0;
        for (int shift = 0;; shift += 7) {
            const auto b = static_cast<unsigned char>(bytes_[offset++]);
            length |= static_cast<std::size_t>(b & 0x7F) << shift;
            if (b < 0x80) break;
        }
        if (next) *next = offset + length;
        return std::string_view(bytes_).substr(offset, length);
    }
    // The names are read in the order they lie in, not in the old table's order.
    void grow() {
        slots_.assign(std::max<std::size_t>(64, slots_.size() * 2), 0);
        for (std::size_t offset = 0; offset < bytes_.size();) {
            const std::size_t at = offset;
            const std::size_t hash = std::hash<std::string_view>{}(nameAt(at + 1, &offset));
            std::size_t slot = hash & (slots_.size() - 1);
            while (slots_[slot] != 0)
                slot = (slot + 1) & (slots_.size() - 1);
            slots_[slot] = slotFor(at, hash);
        }
    }

    std::string bytes_;                // each name after its length (seven bits a byte, low bits first)
    std::vector<std::uint64_t> slots_; // see slotFor, 0 for none; a power of 2 of them
    std::size_t count_ = 0;
};

std::string joinPath(const std::string& folder, std::string_view name) {
    return folder.empty() ? std::string(name) : folder + "/" + std::string(name);
}

using FileIdentity = std::pair<dev_t, ino_t>;

// Calls `visit` with every page file under the site folder (as the site's pages are named: no hidden
// names, no folder reached through a link, no file whose link leads out of the folder) that
// holds marker text and is none of `treePages` (sorted), with its path relative to that folder.
// Folder by folder, the files of a folder by name before its sub folders by name; only one
// folder's names are held at a time.
void forEachPageInNoMenu(const SitePageFinder& pages, const std::vector<FileIdentity>& treePages,
                         const std::function<void(const fs::path&, std::string)>& visit) {
    const fs::path& folder = pages.root();
    std::error_code ec;
    std::vector<std::string> pending{std::string()}; // relative folders still to visit, last first
    while (!pending.empty()) {
        const std::string relative = std::move(pending.back());
        pending.pop_back();
        std::vector<std::string> files, folders;
        for (fs::directory_iterator it(folder / relative, ec), end; !ec && it != end; it.increment(ec)) {
            const std::string name = it->path().filename().string();
            std::error_code ignored;
            if (name.empty() || name[0] == '.') continue;
            if (it->is_directory(ignored)) {
                if (!it->is_symlink(ignored)) folders.push_back(name);
            } else if (IsPageFileName(name) && it->is_regular_file(ignored)) {
                files.push_back(name);
            }
        }
        ec.clear();
        std::sort(files.begin(), files.end());
        std::sort(folders.begin(), folders.end());
        for (auto it = folders.rbegin(); it != folders.rend(); ++it)
            pending.push_back(joinPath(relative, *it));
        for (const std::string& name : files) {
            const std::string page = joinPath(relative, name);
            std::error_code error;
            const fs::path real = fs::canonical(folder / page, error);
            if (error) continue;
            if (!pages.contains(real)) continue;
            struct stat info {};
            if (::stat(real.c_str(), &info) != 0 ||
                std::binary_search(treePages.begin(), treePages.end(),
                                   FileIdentity{info.st_dev, info.st_ino}))
                continue;
            // Most pages of a site without a menu entry ask for none: a look for the marker
            // text spares them the whole scan.
            std::string bytes;
            try {
                bytes = ReadFileBytes(real.string());
            } catch (const FileError&) {
                continue;
            }
            if (bytes.find("<!-- quilso:") == std::string::npos &&
                bytes.find("<!-- /quilso:") == std::string::npos)
                continue;
            bytes = std::string();
            visit(real, page);
        }
    }
}

} // namespace

std::size_t PublishReport::count(PageStatus status) const {
    return static_cast<std::size_t>(
        std::count_if(pages.begin(), pages.end(), [&](const PageReport& p) { return p.status == status; }));
}

std::string MarkerPlaceText(MarkupPart place, std::string_view element) {
    switch (place) {
    case MarkupPart::Comment:
        return "in einem anderen Kommentar";
    case MarkupPart::Tag:
        return "im Tag <" + std::string(element) + ">";
    case MarkupPart::RawText:
    case MarkupPart::EscapableRawText:
        return "im Inhalt von <" + std::string(element) + ">";
    case MarkupPart::Cdata:
        return "in einem CDATA-Abschnitt";
    case MarkupPart::Declaration:
        return "in einer Deklaration";
    }
    return {};
}

std::string StartMarker(std::string_view kind) {
    return "<!-- quilso:" + std::string(kind) + " -->";
}

std::string EndMarker(std::string_view kind) {
    return "<!-- /quilso:" + std::string(kind) + " -->";
}

PageRewrite RewritePage(std::string_view page, const Project& project, std::size_t entry,
                        std::string_view pagePath) {
    MenuMarkup markup(project);
    return rewrite(page, project, markup, entry, pagePath);
}

std::string WithLiveMenus(std::string_view page) {
    const BlockScan scan = scanBlocks(page);
    if (scan.reason != PageReason::None) return std::string(page);
    std::string result;
    result.reserve(page.size());
    std::size_t pos = 0;
    for (const Block& block : scan.blocks) {
        result.append(page.substr(pos, block.contentBegin - pos));
        // The library may be loaded later (defer): then its placeholders add the style sheet.
        if (block.kind == "css")
            result += "<script>if (typeof quilso_css === \"function\") quilso_css();</script>";
        else
            result += "<div data-quilso=\"" + std::string(block.kind) + "\"></div>";
        pos = block.contentEnd;
    }
    result.append(page.substr(pos));
    return result;
}

PublishReport PublishSite(const Project& project, const std::string& projectFile) {
    PublishReport report;
    PublishHooks hooks;
    hooks.pageDone = [&](const PageReport& page) { report.pages.push_back(page); };
    PublishSite(project, projectFile, hooks);
    return report;
}

PublishCounts PublishSite(const Project& project, const std::string& projectFile, const PublishHooks& hooks) {
    PublishCounts counts;
    const auto done = [&](const PageReport& page) {
        ++counts.pages;
        ++counts.byStatus[static_cast<int>(page.status)];
        if (hooks.pageDone) hooks.pageDone(page);
    };
    std::error_code ec;
    const SitePageFinder pages(fs::absolute(fs::path(projectFile), ec).parent_path());
    MenuMarkup markup(project);
    PageNames seen(markup.size());
    std::vector<FileIdentity> treePages;
    for (std::size_t i = 0; i < markup.size(); ++i) {
        const PageLookup target = pages.find(markup.entry(i).file);
        if (target.result != PageLookupResult::Found && target.result != PageLookupResult::Missing &&
            target.result != PageLookupResult::Outside)
            continue;
        const std::string& page = target.relative;
        // Several entries may name one page: the first one in the tree is its entry. A page
        // counts by its real path (absolute), so a link inside the folder is not written twice;
        // what is not found counts by its name (relative).
        if (!seen.insert(target.found() ? target.real.native() : page)) continue;
        PageReport line{page,
                        PageStatus::Skipped,
                        target.result == PageLookupResult::Outside ? PageReason::Outside
                                                                   : PageReason::NotFound,
                        {}};
        if (!target.found()) {
            done(line);
            continue;
        }
        // A page reached through a link is rewritten where it really lives, not replaced by a
        // file of its own.
        const fs::path& file = target.real;
        done(publishPage(file, std::move(line), project, markup, i, hooks));
        // After the page was replaced: the new file is the one the folder holds now.
        if (struct stat info{}; ::stat(file.c_str(), &info) == 0)
            treePages.push_back({info.st_dev, info.st_ino});
    }

    // Pages that ask for menus although no entry names them (a thank-you page, an archive) get
    // what the library gives a page outside the tree: the main menu without a current entry.
    std::sort(treePages.begin(), treePages.end());
    forEachPageInNoMenu(pages, treePages, [&](const fs::path& file, std::string page) {
        PageReport line{std::move(page), PageStatus::Skipped, PageReason::None, {}};
        line.inMenu = false;
        line = publishPage(file, std::move(line), project, markup, markup.size(), hooks);
        // Marker text the scan does not take for a block ("<!-- quilso:x -->") asks for nothing.
        if (line.reason != PageReason::NoMarkers) done(line);
    });
    return counts;
}

} // namespace quilso
