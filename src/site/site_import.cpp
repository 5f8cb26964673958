#include "site_import.h"

#include "file_io.h"
#include "page_lookup.h"
#include "project.h"
#include "site_text.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <system_error>

namespace quilso {

namespace fs = std::filesystem;

namespace {

std::string lowerAscii(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    return out;
}

// A folder's entry text when it has no index page: its name, first letter a-z upper-cased. No
// extension is cut off: "version 2.0" is a folder, not a file.
std::string folderText(const std::string& name) {
    std::u32string text = DecodeUtf8(name);
    if (!text.empty() && text[0] >= U'a' && text[0] <= U'z') text[0] -= 32;
    return StoredTextFromUnicode(text);
}

std::string textFromFileName(std::string_view utf8Name) {
    return StoredTextFromUnicode(MenuTextFromFileName(DecodeUtf8(utf8Name)));
}

// A relative path (UTF-8, "/" between segments) in the stored form, segment by segment.
std::string storedRelativePath(const fs::path& relative) {
    std::string out;
    for (const fs::path& segment : relative) {
        if (!out.empty()) out += '/';
        out += StoredFileNameFromUtf8(segment.string());
    }
    return out;
}

// A folder's index page is the one a folder address finds: the earlier of the index names wins,
// the others stay ordinary pages. Any case, as the name is stored as it is spelt.
int indexRank(std::string_view name) {
    const std::string lower = lowerAscii(name);
    const auto count = static_cast<int>(std::size(IndexPageNames));
    for (int i = 0; i < count; ++i)
        if (lower == IndexPageNames[i]) return count - i;
    return 0;
}

bool scanFolder(const fs::path& dir, const fs::path& projectDir, const SitePageFinder& pages,
                ImportedFolder& folder, ImportSummary& summary) {
    std::error_code error;
    fs::directory_iterator it(dir, error);
    // An unreadable folder is one without pages; the caller counts it as skipped.
    if (error) return false;
    int bestIndex = 0;
    for (; it != fs::directory_iterator(); it.increment(error)) {
        if (error) break;
        const fs::directory_entry& entry = *it;
        const std::string name = entry.path().filename().string();
        if (name.empty() || name[0] == '.') {
            ++summary.skipped;
            continue;
        }
        std::error_code ignored;
        fs::path real = entry.path();
        if (entry.is_symlink(ignored)) {
            // A link counts by where it leads: out of the folder it is named and never read. A
            // linked folder inside could lead back up the tree; its pages are reached by their
            // own path anyway.
            const fs::path relative = entry.path().lexically_relative(pages.root());
            PageLookup target = pages.findPath(relative.generic_string());
            const bool isFolder = entry.is_directory(ignored);
            if (target.result == PageLookupResult::Outside) {
                summary.outside.push_back(storedRelativePath(relative) + (isFolder ? "/" : ""));
                ++summary.skipped;
                continue;
            }
            if (isFolder) {
                ++summary.skipped;
                continue;
            }
            if (!target.found()) continue;
            real = std::move(target.real);
        }
        if (entry.is_directory(ignored)) {
            ImportedFolder sub;
            sub.name = name;
            if (scanFolder(entry.path(), projectDir, pages, sub, summary)) {
                folder.folders.push_back(std::move(sub));
                ++summary.folders;
            } else {
                ++summary.skipped;
            }
            continue;
        }
        if (!entry.is_regular_file(ignored) || !IsPageFileName(name)) continue;
        ImportedPage page;
        page.path = std::move(real);
        page.file = storedRelativePath(entry.path().lexically_relative(projectDir));
        page.text = textFromFileName(name);
        ++summary.pages;
        const int rank = indexRank(name);
        if (rank > bestIndex) {
            if (folder.index) folder.pages.push_back(std::move(*folder.index));
            folder.index = std::move(page);
            bestIndex = rank;
        } else {
            folder.pages.push_back(std::move(page));
        }
    }
    return folder.index || !folder.pages.empty() || !folder.folders.empty();
}

template <class F> void forEachPage(ImportedFolder& folder, F&& f) {
    if (folder.index) f(*folder.index);
    for (ImportedPage& page : folder.pages)
        f(page);
    for (ImportedFolder& sub : folder.folders)
        forEachPage(sub, f);
}

// The head of a page: read in blocks until the title has ended or the body began, so a large
// page costs no more than a small one.
std::string readHead(const fs::path& path) {
    constexpr std::size_t Block = 16 * 1024;
    constexpr std::size_t Limit = 1024 * 1024;
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (!file) return {};
    std::string head;
    while (head.size() < Limit) {
        const std::size_t old = head.size();
        head.resize(old + Block);
        const std::size_t got = std::fread(head.data() + old, 1, Block, file.get());
        head.resize(old + got);
        if (got < Block) break;
        // Look again only at the new block and the few bytes before it a tag may straddle.
        const std::size_t from = old > 8 ? old - 8 : 0;
        std::string tail = lowerAscii(std::string_view(head).substr(from));
        if (tail.find("</title") != std::string::npos || tail.find("<body") != std::string::npos) break;
    }
    return head;
}

struct SortedItem {
    const std::string* text;
    const std::string* file;
    const ImportedFolder* folder; // nullptr for a page
};

std::string folderEntryText(const ImportedFolder& folder) {
    return folder.index ? folder.index->text : folderText(folder.name);
}

std::vector<SortedItem> sortedItems(const ImportedFolder& folder, std::vector<std::string>& folderTexts);

const std::string& folderEntryFile(const ImportedFolder& folder) {
    if (folder.index) return folder.index->file;
    std::vector<std::string> texts;
    const std::vector<SortedItem> items = sortedItems(folder, texts);
    // A folder is only kept when it has a page somewhere below it.
    return items.front().folder ? folderEntryFile(*items.front().folder) : *items.front().file;
}

// The pages (without the index page) and sub folders of a folder in menu order. The folder
// entries' texts live in `folderTexts`, which must outlive the result.
std::vector<SortedItem> sortedItems(const ImportedFolder& folder, std::vector<std::string>& folderTexts) {
    std::vector<SortedItem> items;
    items.reserve(folder.pages.size() + folder.folders.size());
    folderTexts.clear();
    folderTexts.reserve(folder.folders.size());
    for (const ImportedPage& page : folder.pages)
        items.push_back({&page.text, &page.file, nullptr});
    for (const ImportedFolder& sub : folder.folders) {
        folderTexts.push_back(folderEntryText(sub));
        items.push_back({&folderTexts.back(), &folderEntryFile(sub), &sub});
    }
    std::vector<std::pair<std::string, std::size_t>> keys;
    keys.reserve(items.size());
    for (std::size_t i = 0; i < items.size(); ++i)
        keys.emplace_back(SortKey(*items[i].text), i);
    std::sort(keys.begin(), keys.end(), [&](const auto& a, const auto& b) {
        // Numbers count as numbers: "Ordner2" before "Ordner10".
        if (const int order = strverscmp(a.first.c_str(), b.first.c_str()); order != 0) return order < 0;
        if (a.first != b.first) return a.first < b.first;
        const SortedItem &x = items[a.second], &y = items[b.second];
        if (*x.text != *y.text) return *x.text < *y.text;
        return *x.file < *y.file;
    });
    std::vector<SortedItem> sorted;
    sorted.reserve(items.size());
    for (const auto& key : keys)
        sorted.push_back(items[key.second]);
    return sorted;
}

void addChildren(const ImportedFolder& folder, SiteNode* parent, SiteTree& tree) {
    std::vector<std::string> texts;
    const std::vector<SortedItem> items = sortedItems(folder, texts);
    tree.reserveChildren(parent, items.size() + 1);
    for (const SortedItem& item : items) {
        SiteNode* node = tree.insert(parent, -1, {*item.text, *item.file});
        if (item.folder) addChildren(*item.folder, node, tree);
    }
}

// The path of an address: no scheme and host, no query or fragment, percent escapes decoded.
std::optional<std::string> addressPath(std::string_view address) {
    std::size_t start = 0;
    if (const std::size_t scheme = address.find("://"); scheme != std::string_view::npos) {
        start = address.find('/', scheme + 3);
        if (start == std::string_view::npos) return std::string("/");
    }
    std::string_view path = address.substr(start);
    path = path.substr(0, path.find_first_of("?#"));
    return Utf8PathFromStoredFileName(path); // ASCII in, so only the escapes change
}

std::vector<std::string> splitSegments(std::string_view path) {
    std::vector<std::string> segments;
    std::size_t start = 0;
    while (true) {
        const std::size_t slash = path.find('/', start);
        segments.emplace_back(path.substr(start, slash - start));
        if (slash == std::string_view::npos) break;
        start = slash + 1;
    }
    // "/a/b.htm" gives "", "a", "b.htm": the empty first segment is the root, not a folder.
    if (segments.size() > 1 && segments.front().empty()) segments.erase(segments.begin());
    return segments;
}

ImportedFolder& subFolder(ImportedFolder& folder, const std::string& name, ImportSummary& summary) {
    for (ImportedFolder& sub : folder.folders)
        if (sub.name == name) return sub;
    ImportedFolder sub;
    sub.name = name;
    folder.folders.push_back(std::move(sub));
    ++summary.folders;
    return folder.folders.back();
}

} // namespace

ImportedFolder ScanSiteFolder(const fs::path& siteDir, const fs::path& projectDir, ImportSummary& summary) {
    std::error_code error;
    fs::directory_iterator probe(siteDir, error);
    if (error) throw FileError(siteDir.string(), SystemErrorText(error.value()));
    // Both folders by their real paths, so that the file names relative to the project's folder
    // come out right when either is reached through a link.
    const SitePageFinder pages(siteDir);
    const fs::path& dir = pages.root();
    const fs::path absoluteBase = fs::absolute(projectDir, error).lexically_normal();
    fs::path base = fs::weakly_canonical(absoluteBase, error);
    if (error) base = absoluteBase;
    ImportedFolder root;
    root.name = fs::absolute(siteDir, error).lexically_normal().filename().string();
    scanFolder(dir, base, pages, root, summary);
    std::sort(summary.outside.begin(), summary.outside.end());
    return root;
}

bool ReadPageTitles(ImportedFolder& root, const ImportProgress& progress) {
    std::vector<ImportedPage*> pages;
    forEachPage(root, [&](ImportedPage& page) {
        if (!page.path.empty()) pages.push_back(&page);
    });
    for (std::size_t i = 0; i < pages.size(); ++i) {
        if (progress && i % 64 == 0 && !progress(i, pages.size())) return false;
        if (const auto title = PageTitle(readHead(pages[i]->path))) {
            pages[i]->text = StoredTextFromUnicode(*title);
            pages[i]->titled = true;
        }
    }
    if (progress && !progress(pages.size(), pages.size())) return false;
    return true;
}

ImportedFolder ReadSitemap(const fs::path& sitemap, ImportSummary& summary) {
    return ParseSitemap(ReadFileBytes(sitemap.string()), summary);
}

ImportedFolder ParseSitemap(std::string_view xml, ImportSummary& summary) {
    std::vector<std::vector<std::string>> paths;
    std::size_t pos = 0;
    while ((pos = xml.find("<loc>", pos)) != std::string_view::npos) {
        const std::size_t start = pos + 5;
        const std::size_t end = xml.find("</loc>", start);
        if (end == std::string_view::npos) break;
        pos = end + 6;
        std::u32string text = DecodeHtmlReferences(DecodeUtf8(xml.substr(start, end - start)));
        const auto notSpace = [](char32_t c) { return c > U' '; };
        text.erase(text.begin(), std::find_if(text.begin(), text.end(), notSpace));
        text.erase(std::find_if(text.rbegin(), text.rend(), notSpace).base(), text.end());
        const std::string address = EncodeUtf8(text);
        const auto path = address.empty() ? std::nullopt : addressPath(address);
        if (!path) {
            ++summary.skipped;
            continue;
        }
        std::vector<std::string> segments = splitSegments(*path);
        if (std::find(paths.begin(), paths.end(), segments) != paths.end()) continue;
        paths.push_back(std::move(segments));
    }

    // The common folder: the longest run of leading folder segments all addresses share.
    std::size_t common = paths.empty() ? 0 : paths.front().size() - 1;
    for (const auto& segments : paths) {
        std::size_t same = 0;
        while (same < common && same + 1 < segments.size() && segments[same] == paths.front()[same])
            ++same;
        common = same;
    }

    ImportedFolder root;
    for (const auto& segments : paths) {
        ImportedFolder* folder = &root;
        std::string file;
        for (std::size_t i = common; i + 1 < segments.size(); ++i) {
            folder = &subFolder(*folder, segments[i], summary);
            file += StoredFileNameFromUtf8(segments[i]) + '/';
        }
        const std::string& last = segments.back();
        ImportedPage page;
        page.file = file + StoredFileNameFromUtf8(last);
        if (page.file.empty()) page.file = "./";
        if (!last.empty()) {
            page.text = textFromFileName(last);
        } else {
            page.text = folder == &root ? std::string("Startseite") : folderText(folder->name);
        }
        ++summary.pages;
        if ((last.empty() || indexRank(last) > 0) && !folder->index) {
            folder->index = std::move(page);
        } else {
            folder->pages.push_back(std::move(page));
        }
    }
    return root;
}

void RemoveSharedTitleSuffix(ImportedFolder& root) {
    std::vector<std::string*> titles;
    forEachPage(root, [&](ImportedPage& page) {
        if (page.titled) titles.push_back(&page.text);
    });
    if (titles.size() < 2) return;
    const std::string& first = *titles.front();
    std::size_t best = 0; // length of the longest shared suffix found
    for (std::string_view separator : {" \x96 ", " - ", " | "}) {
        for (std::size_t at = first.find(separator, 1); at != std::string::npos;
             at = first.find(separator, at + 1)) {
            const std::string_view suffix = std::string_view(first).substr(at);
            if (suffix.size() <= best) continue;
            const bool shared = std::all_of(titles.begin(), titles.end(), [&](const std::string* title) {
                return title->size() > suffix.size() && title->ends_with(suffix);
            });
            if (shared) best = suffix.size();
        }
    }
    if (best == 0) return;
    for (std::string* title : titles)
        title->resize(title->size() - best);
}

void BuildImportedTree(const ImportedFolder& root, SiteTree& tree) {
    SiteTree built;
    if (root.index) built.insert(built.root(), -1, {root.index->text, root.index->file});
    addChildren(root, built.root(), built);
    tree.swap(built);
}

std::optional<ImportSummary> ImportSite(const fs::path& source, const fs::path& projectDir, SiteTree& tree,
                                        const ImportProgress& progress) {
    ImportSummary summary;
    std::error_code error;
    ImportedFolder root;
    if (fs::is_regular_file(source, error)) {
        root = ReadSitemap(source, summary);
    } else {
        root = ScanSiteFolder(source, projectDir, summary);
        if (!ReadPageTitles(root, progress)) return std::nullopt;
        RemoveSharedTitleSuffix(root);
    }
    BuildImportedTree(root, tree);
    return summary;
}

} // namespace quilso
