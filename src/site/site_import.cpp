#include "site_import.h"

#include "file_io.h"
#include "page_lookup.h"
#include "project.h"
#include "site_text.h"
#include "value_helpers.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <system_error>
#include <unordered_map>

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
    std::string text = name;
    if (!text.empty() && text[0] >= 'a' && text[0] <= 'z') text[0] = static_cast<char>(text[0] - 32);
    return text;
}

std::string textFromFileName(std::string_view utf8Name) {
    return EncodeUtf8(MenuTextFromFileName(DecodeUtf8(utf8Name)));
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
        page.path = real.native();
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

// Calls f for every page, folder by folder in the order they were found.
template <class F> void forEachPage(ImportedFolder& root, F&& f) {
    std::vector<ImportedFolder*> pending{&root};
    while (!pending.empty()) {
        ImportedFolder& folder = *pending.back();
        pending.pop_back();
        if (folder.index) f(*folder.index);
        for (ImportedPage& page : folder.pages)
            f(page);
        for (auto sub = folder.folders.rbegin(); sub != folder.folders.rend(); ++sub)
            pending.push_back(&*sub);
    }
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

// A folder as an entry of its parent's menu: its text, and the page it links to.
struct FolderEntry {
    std::string text;
    const std::string* file = nullptr;
};
using FolderEntries = std::unordered_map<const ImportedFolder*, FolderEntry>;

// One entry of a folder's menu: one of its pages, or a sub folder.
struct MenuItem {
    std::string key; // SortKey of the text
    const std::string* text;
    const std::string* file;
    const ImportedFolder* folder; // nullptr for a page
};

bool menuLess(const MenuItem& a, const MenuItem& b) {
    // Numbers count as numbers: "Ordner2" before "Ordner10".
    if (const int order = strverscmp(a.key.c_str(), b.key.c_str()); order != 0) return order < 0;
    if (a.key != b.key) return a.key < b.key;
    if (*a.text != *b.text) return *a.text < *b.text;
    return *a.file < *b.file;
}

// The pages (without the index page) and sub folders of a folder, not yet in order. The sub
// folders' entries must be in `entries`.
std::vector<MenuItem> menuItems(const ImportedFolder& folder, const FolderEntries& entries) {
    std::vector<MenuItem> items;
    items.reserve(folder.pages.size() + folder.folders.size());
    for (const ImportedPage& page : folder.pages)
        items.push_back({SortKey(page.text), &page.text, &page.file, nullptr});
    for (const ImportedFolder& sub : folder.folders) {
        const FolderEntry& entry = entries.at(&sub);
        items.push_back({SortKey(entry.text), &entry.text, entry.file, &sub});
    }
    return items;
}

// Every folder's entry below the root. A folder without an index page links to the first entry
// of its own menu, which may be a folder again: the folders are taken deepest first, so each is
// looked at once, however long the chain of such folders.
FolderEntries folderEntries(const ImportedFolder& root) {
    std::vector<const ImportedFolder*> preorder;
    std::vector<const ImportedFolder*> pending{&root};
    while (!pending.empty()) {
        const ImportedFolder* folder = pending.back();
        pending.pop_back();
        preorder.push_back(folder);
        for (const ImportedFolder& sub : folder->folders)
            pending.push_back(&sub);
    }
    FolderEntries entries;
    entries.reserve(preorder.size());
    // Every folder comes after its parent in `preorder`, so backwards its sub folders are done.
    for (auto it = preorder.rbegin(); it != preorder.rend(); ++it) {
        const ImportedFolder& folder = **it;
        if (&folder == &root) continue;
        FolderEntry entry;
        if (folder.index) {
            entry.text = folder.index->text;
            entry.file = &folder.index->file;
        } else {
            entry.text = folderText(folder.name);
            // A folder is only kept when it has a page somewhere below it.
            const std::vector<MenuItem> items = menuItems(folder, entries);
            entry.file = std::min_element(items.begin(), items.end(), menuLess)->file;
        }
        entries.emplace(&folder, std::move(entry));
    }
    return entries;
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
    return PercentDecode(path); // UTF-8 in, as the sitemap's own characters are
}

// The number of folder segments two relative paths share at their start ("a/b/c.htm" and
// "a/b/d/e.htm" share two, "a/x.htm" and "a/x.htm/y.htm" none beyond "a").
std::size_t sharedFolders(std::string_view a, std::string_view b) {
    std::size_t shared = 0;
    for (std::size_t i = 0; i < a.size() && i < b.size() && a[i] == b[i]; ++i)
        if (a[i] == '/') ++shared;
    return shared;
}

std::size_t folderCount(std::string_view path) {
    return static_cast<std::size_t>(std::count(path.begin(), path.end(), '/'));
}

// The path of every address of a sitemap, relative to the site's root ("/a/b.htm" is
// "a/b.htm"), in one buffer, in the order of the list: a million addresses cost no million small
// allocations.
struct SitemapPaths {
    struct Listed {
        std::uint64_t start;
        std::uint32_t length;
        std::uint32_t folder = 0; // set by foldersFromPaths
    };
    std::string buffer;
    std::vector<Listed> listed;
    std::size_t common = 0; // leading folder segments all paths share
    std::string_view pathOf(const Listed& item) const {
        return std::string_view(buffer).substr(item.start, item.length);
    }
};

// The text of a <loc>: references decoded, white space at its ends dropped. Most addresses are
// plain ASCII and are taken as they stand.
std::string locText(std::string_view raw) {
    const bool plain = std::all_of(raw.begin(), raw.end(), [](char c) { return c != '&' && c > 0; });
    if (plain) {
        const auto notSpace = [](char c) { return c > ' '; };
        const auto first = std::find_if(raw.begin(), raw.end(), notSpace);
        const auto last = std::find_if(raw.rbegin(), raw.rend(), notSpace).base();
        return first < last ? std::string(first, last) : std::string();
    }
    std::u32string text = DecodeHtmlReferences(DecodeUtf8(raw));
    const auto notSpace = [](char32_t c) { return c > U' '; };
    text.erase(text.begin(), std::find_if(text.begin(), text.end(), notSpace));
    text.erase(std::find_if(text.rbegin(), text.rend(), notSpace).base(), text.end());
    return EncodeUtf8(text);
}

SitemapPaths listAddresses(std::string_view xml, ImportSummary& summary) {
    SitemapPaths paths;
    // Counted first, so the lists are made once in their size: grown by doubling they could take
    // twice the room, and a million addresses would not fit beside the file they come from.
    std::size_t count = 0, bytes = 0;
    for (std::size_t at = 0; (at = xml.find("<loc>", at)) != std::string_view::npos;) {
        const std::size_t end = xml.find("</loc>", at + 5);
        if (end == std::string_view::npos) break;
        ++count;
        // The path is what follows the host, if the address has one.
        const std::string_view address = xml.substr(at + 5, end - at - 5);
        const std::size_t scheme = address.find("://");
        const std::size_t path = scheme == std::string_view::npos ? 0 : address.find('/', scheme + 3);
        bytes += path == std::string_view::npos ? 0 : address.size() - path;
        at = end + 6;
    }
    paths.listed.reserve(count);
    paths.buffer.reserve(bytes);
    std::size_t pos = 0;
    while ((pos = xml.find("<loc>", pos)) != std::string_view::npos) {
        const std::size_t start = pos + 5;
        const std::size_t end = xml.find("</loc>", start);
        if (end == std::string_view::npos) break;
        pos = end + 6;
        const std::string address = locText(xml.substr(start, end - start));
        const std::optional<std::string> path = address.empty() ? std::nullopt : addressPath(address);
        if (!path || path->size() >= std::numeric_limits<std::uint32_t>::max() ||
            paths.listed.size() >= std::numeric_limits<std::uint32_t>::max()) {
            ++summary.skipped;
            continue;
        }
        std::string_view relative = *path;
        if (!relative.empty() && relative.front() == '/') relative.remove_prefix(1);
        const SitemapPaths::Listed item{paths.buffer.size(), static_cast<std::uint32_t>(relative.size())};
        paths.buffer += relative;
        paths.common = paths.listed.empty()
                           ? folderCount(relative)
                           : std::min(paths.common, sharedFolders(paths.pathOf(paths.listed[0]), relative));
        paths.listed.push_back(item);
    }
    return paths;
}

// The folders and pages of the paths, each page once; of a folder's own address and its index
// page the one listed first is its entry. The addresses are grouped by folder through a hash map
// of the folders' paths; only the folders are sorted, by path, which puts every folder's sub
// folders right after it, so one walk down and up makes each folder once. A folder's pages are
// sorted among themselves to find those named twice: work and memory grow with the number of
// addresses, never with its square, and a million addresses are not sorted as a whole.
ImportedFolder foldersFromPaths(SitemapPaths paths, ImportSummary& summary) {
    // The path after the common folders.
    const auto relativeOf = [&](const SitemapPaths::Listed& item) {
        std::string_view path = paths.pathOf(item);
        for (std::size_t skip = 0; skip < paths.common; ++skip)
            path.remove_prefix(path.find('/') + 1);
        return path;
    };
    std::vector<std::string_view> folderPaths; // with their final '/', the root's empty
    {
        std::unordered_map<std::string_view, std::uint32_t> numbers;
        for (SitemapPaths::Listed& item : paths.listed) {
            const std::string_view path = relativeOf(item);
            const std::string_view folder = path.substr(0, path.rfind('/') + 1);
            const auto [it, added] =
                numbers.try_emplace(folder, static_cast<std::uint32_t>(folderPaths.size()));
            if (added) folderPaths.push_back(folder);
            item.folder = it->second;
        }
    }
    // The addresses of each folder side by side, each folder's in the order of the list.
    std::vector<std::uint32_t> groupStart(folderPaths.size() + 1, 0);
    for (const auto& item : paths.listed)
        ++groupStart[item.folder + 1];
    for (std::size_t f = 0; f < folderPaths.size(); ++f)
        groupStart[f + 1] += groupStart[f];
    std::vector<std::uint32_t> grouped(paths.listed.size());
    {
        std::vector<std::uint32_t> next(groupStart.begin(), groupStart.end() - 1);
        for (std::size_t i = 0; i < paths.listed.size(); ++i)
            grouped[next[paths.listed[i].folder]++] = static_cast<std::uint32_t>(i);
    }
    std::vector<std::uint32_t> folderOrder(folderPaths.size());
    for (std::size_t f = 0; f < folderOrder.size(); ++f)
        folderOrder[f] = static_cast<std::uint32_t>(f);
    std::sort(folderOrder.begin(), folderOrder.end(),
              [&](std::uint32_t a, std::uint32_t b) { return folderPaths[a] < folderPaths[b]; });

    // The folders of the path before, from the root down, each with the length of its path (the
    // part after the common folder, UTF-8 and stored).
    struct Open {
        ImportedFolder* folder;
        std::size_t pathLength;
        std::size_t storedLength;
    };
    ImportedFolder root;
    std::vector<Open> open{{&root, 0, 0}};
    // A folder is done when the walk leaves it: its lists get the size they keep.
    const auto close = [&] {
        open.back().folder->pages.shrink_to_fit();
        open.back().folder->folders.shrink_to_fit();
        open.pop_back();
    };
    std::string openPath, openStored;
    std::vector<std::string_view> names;
    for (const std::uint32_t f : folderOrder) {
        const std::string_view path = folderPaths[f];
        while (open.size() > 1 &&
               !path.starts_with(std::string_view(openPath).substr(0, open.back().pathLength)))
            close();
        openPath.resize(open.back().pathLength);
        openStored.resize(open.back().storedLength);
        for (std::size_t slash; (slash = path.find('/', openPath.size())) != std::string_view::npos;) {
            ImportedFolder sub;
            sub.name = std::string(path.substr(openPath.size(), slash - openPath.size()));
            openStored += StoredFileNameFromUtf8(sub.name) + '/';
            openPath = path.substr(0, slash + 1);
            ImportedFolder& parent = *open.back().folder;
            parent.folders.push_back(std::move(sub));
            ++summary.folders;
            open.push_back({&parent.folders.back(), openPath.size(), openStored.size()});
        }
        ImportedFolder& folder = *open.back().folder;
        // The pages' names, in the order of the list; the first index page listed is the entry.
        names.clear();
        for (std::uint32_t at = groupStart[f]; at < groupStart[f + 1]; ++at)
            names.push_back(relativeOf(paths.listed[grouped[at]]).substr(path.size()));
        const auto firstIndex = std::find_if(names.begin(), names.end(), [](std::string_view name) {
            return name.empty() || indexRank(name) > 0;
        });
        const bool hasIndex = firstIndex != names.end();
        const std::string_view indexName = hasIndex ? *firstIndex : std::string_view();
        std::sort(names.begin(), names.end());
        names.erase(std::unique(names.begin(), names.end()), names.end());
        folder.pages.reserve(names.size() - (hasIndex ? 1 : 0));
        for (const std::string_view name : names) {
            ImportedPage page;
            page.file = openStored + StoredFileNameFromUtf8(name);
            if (page.file.empty()) page.file = "./";
            if (!name.empty()) {
                page.text = textFromFileName(name);
            } else {
                page.text = &folder == &root ? std::string("Startseite") : folderText(folder.name);
            }
            ++summary.pages;
            if (hasIndex && name == indexName) {
                folder.index = std::move(page);
            } else {
                folder.pages.push_back(std::move(page));
            }
        }
    }
    while (!open.empty())
        close();
    return root;
}

} // namespace

ImportedFolder::~ImportedFolder() {
    std::vector<ImportedFolder> doomed = std::move(folders);
    while (!doomed.empty()) {
        ImportedFolder last = std::move(doomed.back());
        doomed.pop_back();
        for (ImportedFolder& sub : last.folders)
            doomed.push_back(std::move(sub));
        last.folders.clear(); // what is left of them holds no folders, so nothing nests here
    }
}

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
            pages[i]->text = EncodeUtf8(*title);
            pages[i]->titled = true;
        }
    }
    if (progress && !progress(pages.size(), pages.size())) return false;
    return true;
}

ImportedFolder ReadSitemap(const fs::path& sitemap, ImportSummary& summary) {
    // The file's bytes are let go before the folders are made: a sitemap of a million addresses
    // never holds both at once.
    SitemapPaths paths = listAddresses(ReadFileBytes(sitemap.string()), summary);
    return foldersFromPaths(std::move(paths), summary);
}

ImportedFolder ParseSitemap(std::string_view xml, ImportSummary& summary) {
    return foldersFromPaths(listAddresses(xml, summary), summary);
}

void RemoveSharedTitleSuffix(ImportedFolder& root) {
    std::vector<std::string*> titles;
    forEachPage(root, [&](ImportedPage& page) {
        if (page.titled) titles.push_back(&page.text);
    });
    if (titles.size() < 2) return;
    const std::string& first = *titles.front();
    std::size_t best = 0; // length of the longest shared suffix found
    for (std::string_view separator : {" \xE2\x80\x93 ", " - ", " | "}) {
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

void BuildImportedTree(ImportedFolder&& root, SiteTree& tree) {
    const FolderEntries entries = folderEntries(root);
    SiteTree built;
    // The texts are packed into one store, as a read file's are, not given a block each.
    TextStore texts;
    // A folder without an index page links to a page below it, as may all the folders above it:
    // the page's file name is kept once for them all, or a chain of 30,000 such folders in a
    // 60 KB sitemap would hold 30,000 copies of a 60 KB name.
    std::unordered_map<const std::string*, TextBytes> sharedFiles;
    const auto add = [&](SiteNode* parent, const std::string& text, const std::string& file, bool isFolder) {
        const auto shared = sharedFiles.find(&file);
        TextBytes fileBytes = shared != sharedFiles.end() ? shared->second : texts.keepAsEntryText(file);
        if (isFolder && shared == sharedFiles.end()) sharedFiles.emplace(&file, fileBytes);
        return built.appendStored(parent, texts.keepAsEntryText(StoredTextFromUnicode(DecodeUtf8(text))),
                                  fileBytes);
    };
    if (root.index) add(built.root(), root.index->text, root.index->file, false);
    std::vector<std::pair<const ImportedFolder*, SiteNode*>> pending{{&root, built.root()}};
    while (!pending.empty()) {
        const auto [folder, parent] = pending.back();
        pending.pop_back();
        std::vector<MenuItem> items = menuItems(*folder, entries);
        std::sort(items.begin(), items.end(), menuLess);
        built.reserveChildren(parent, parent->children().size() + items.size());
        for (const MenuItem& item : items) {
            SiteNode* node = add(parent, *item.text, *item.file, item.folder != nullptr);
            if (item.folder) pending.emplace_back(item.folder, node);
        }
        // A folder's pages are let go once their entries are made: every folder's entry, which
        // may name a page deep below it, was made before, so no page is wanted again, and a
        // million pages are never held twice over. The folders are the caller's, handed over.
        auto& done = const_cast<ImportedFolder&>(*folder);
        std::vector<ImportedPage>().swap(done.pages);
        done.index.reset();
    }
    built.adoptTexts(std::move(texts));
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
    BuildImportedTree(std::move(root), tree);
    return summary;
}

} // namespace quilso
