#include "publish.h"

#include "file_io.h"

#include "menu_markup.h"

#include <algorithm>
#include <filesystem>
#include <set>

namespace quilso {

namespace {

namespace fs = std::filesystem;

constexpr std::string_view BlockKinds[] = {"css", "m", "um", "bc"};

struct Block {
    std::string_view kind;
    std::size_t start; // of the start marker
    std::size_t contentBegin;
    std::size_t contentEnd;
};

struct BlockScan {
    std::vector<Block> blocks; // in page order
    PageReason reason = PageReason::None;
    std::string detail;
};

BlockScan scanBlocks(std::string_view page) {
    BlockScan scan;
    for (std::string_view kind : BlockKinds) {
        const std::string start = StartMarker(kind);
        const std::string end = EndMarker(kind);
        for (std::size_t pos = 0, at; (at = page.find(start, pos)) != std::string_view::npos;) {
            const std::size_t begin = at + start.size();
            const std::size_t close = page.find(end, begin);
            const std::size_t again = page.find(start, begin);
            // A second start before the end would leave the first block without its end:
            // rewriting then would eat whatever lies between them.
            if (close == std::string_view::npos || again < close) {
                scan.reason = PageReason::UnclosedMarker;
                scan.detail = start;
                return scan;
            }
            scan.blocks.push_back({kind, at, begin, close});
            pos = close + end.size();
        }
    }
    std::sort(scan.blocks.begin(), scan.blocks.end(),
              [](const Block& a, const Block& b) { return a.contentBegin < b.contentBegin; });
    for (std::size_t k = 1; k < scan.blocks.size(); ++k) {
        if (scan.blocks[k].start < scan.blocks[k - 1].contentEnd) {
            scan.reason = PageReason::NestedMarkers;
            scan.detail = StartMarker(scan.blocks[k].kind);
            return scan;
        }
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

PageRewrite rewrite(std::string_view page, const Project& project, MenuMarkup& markup, std::size_t entry,
                    std::string_view pagePath) {
    const BlockScan scan = scanBlocks(page);
    if (scan.reason != PageReason::None) return {std::string(page), scan.reason, scan.detail};
    const bool subOwnPlace =
        std::any_of(scan.blocks.begin(), scan.blocks.end(), [](const Block& b) { return b.kind == "um"; });
    markup.setPage(entry, pagePath, subOwnPlace);
    const std::string_view eol = lineEndOf(page, scan.blocks);
    PageRewrite result;
    result.bytes.reserve(page.size() + 4096);
    std::size_t pos = 0;
    for (const Block& block : scan.blocks) {
        result.bytes.append(page.substr(pos, block.contentBegin - pos));
        if (block.kind == "css") {
            result.bytes.append(eol);
            result.bytes += StaticStyleSheet(project.params, eol);
            result.bytes.append(eol);
        } else {
            result.bytes += markup.render(block.kind);
        }
        pos = block.contentEnd;
    }
    result.bytes.append(page.substr(pos));
    return result;
}

std::string joinPath(const std::string& folder, std::string_view name) {
    return folder.empty() ? std::string(name) : folder + "/" + std::string(name);
}

} // namespace

std::size_t PublishReport::count(PageStatus status) const {
    return static_cast<std::size_t>(
        std::count_if(pages.begin(), pages.end(), [&](const PageReport& p) { return p.status == status; }));
}

std::string StartMarker(std::string_view kind) {
    return "<!-- quilso:" + std::string(kind) + " -->";
}

std::string EndMarker(std::string_view kind) {
    return "<!-- /quilso:" + std::string(kind) + " -->";
}

EntryTarget ClassifyEntryFile(std::string_view file) {
    const LinkPath link = SplitLinkPath(file);
    EntryTarget target;
    if (link.unsafe) {
        target.kind = EntryTarget::Unsafe;
        return target;
    }
    if (link.absolute) {
        target.kind = EntryTarget::Absolute;
        return target;
    }
    for (const std::string& segment : link.decoded)
        target.path = joinPath(target.path, segment);
    target.folder = link.folder;
    target.inside = link.ups == 0 && (!link.decoded.empty() || link.folder);
    return target;
}

PageRewrite RewritePage(std::string_view page, const Project& project, std::size_t entry,
                        std::string_view pagePath) {
    MenuMarkup markup(project);
    return rewrite(page, project, markup, entry, pagePath);
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
    fs::path folder = fs::absolute(fs::path(projectFile), ec).parent_path();
    MenuMarkup markup(project);
    std::set<std::string> seen;
    for (std::size_t i = 0; i < markup.size(); ++i) {
        const EntryTarget target = ClassifyEntryFile(markup.entry(i).file);
        if (target.kind != EntryTarget::Relative || !target.inside) continue;
        std::string page = target.path;
        bool found = false;
        if (target.folder || page.empty() || fs::is_directory(folder / page, ec)) {
            for (const char* index : {"index.htm", "index.html"}) {
                const std::string candidate = joinPath(page, index);
                if (fs::is_regular_file(folder / candidate, ec)) {
                    page = candidate;
                    found = true;
                    break;
                }
            }
            if (!found) page += '/';
        } else {
            found = fs::is_regular_file(folder / page, ec);
        }
        // Several entries may name one page: the first one in the tree is its entry.
        if (!seen.insert(page).second) continue;
        PageReport line{page, PageStatus::Skipped, PageReason::NotFound, {}};
        if (!found) {
            done(line);
            continue;
        }
        // A page reached through a link is rewritten where it really lives, not replaced by a
        // file of its own.
        fs::path file = folder / page;
        const fs::path real = fs::canonical(file, ec);
        if (!ec) file = real;
        std::string bytes;
        FileVersion version;
        try {
            bytes = ReadFileBytes(file.string(), version);
        } catch (const FileError& e) {
            line.status = PageStatus::Failed;
            line.reason = PageReason::ReadError;
            line.detail = e.reason();
            done(line);
            continue;
        }
        if (hooks.pageRead) hooks.pageRead(file.string());
        PageRewrite result = rewrite(bytes, project, markup, i, page);
        line.reason = result.reason;
        line.detail = result.detail;
        if (result.reason != PageReason::None) {
            line.status = PageStatus::Skipped;
        } else if (result.bytes == bytes) {
            line.status = PageStatus::Unchanged;
        } else {
            try {
                // An edit made since the page was read is the author's: it wins over the menus.
                WriteFileAtomically(file.string(), result.bytes, &version);
                line.status = PageStatus::Written;
            } catch (const FileError& e) {
                const bool edited = e.problem() == FileProblem::ChangedMeanwhile;
                line.status = edited ? PageStatus::Skipped : PageStatus::Failed;
                line.reason = edited ? PageReason::ChangedMeanwhile : PageReason::WriteError;
                line.detail = edited ? std::string() : e.reason();
            }
        }
        done(line);
    }
    return counts;
}

} // namespace quilso
