// A site tree made from the pages an author already has: a folder of pages, or a sitemap.
#pragma once

#include "file_io.h"
#include "site_tree.h"

#include <cstddef>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace quilso {

// One page as the import found it.
struct ImportedPage {
    std::string file;    // stored file name, relative to the project's folder, "/" separators
    std::string text;    // menu text as plain text (UTF-8); stored in its HTML form
    bool titled = false; // `text` came from the page's title (and may lose a shared suffix)
    // Where the page is read from (as the file system spells it); empty for a sitemap. Not a
    // std::filesystem::path, which keeps every folder of a deep path as a path of its own.
    std::string path;
};

// One folder: its index page (if any), its other pages and its sub folders with pages.
struct ImportedFolder {
    std::string name; // UTF-8, as the file system or the address spells it
    std::optional<ImportedPage> index;
    std::vector<ImportedPage> pages;
    std::vector<ImportedFolder> folders;

    ImportedFolder() = default;
    ImportedFolder(ImportedFolder&&) noexcept = default;
    ImportedFolder& operator=(ImportedFolder&&) noexcept = default;
    // Takes the folders below apart one at a time: a sitemap address may nest 100,000 of them.
    ~ImportedFolder();
};

struct ImportSummary {
    std::size_t pages = 0;
    std::size_t folders = 0; // sub folders that became entries
    std::size_t skipped = 0; // hidden files and folders, folders without pages, unreadable ones
    // Links whose target lies outside the folder, never read: relative to the folder, stored
    // form, in name order; a folder with a trailing '/'. Counted in `skipped` too.
    std::vector<std::string> outside;
};

// Called while titles are read with the number of pages done and the total; returning false
// stops the import.
using ImportProgress = std::function<bool(std::size_t done, std::size_t total)>;

// Collects the pages under `siteDir` (hidden names and folders without pages left out), with
// file names relative to `projectDir`. Throws FileError when `siteDir` cannot be read.
ImportedFolder ScanSiteFolder(const std::filesystem::path& siteDir, const std::filesystem::path& projectDir,
                              ImportSummary& summary);
// Reads every page's title as its menu text (the text from the file name where there is none).
// False when `progress` asked to stop.
bool ReadPageTitles(ImportedFolder& root, const ImportProgress& progress = {});
// The pages a sitemap lists: paths of its <loc> addresses relative to their common folder,
// texts from the file names, each page once; of a folder's own address and its index page the
// one listed first is the folder's entry. Throws FileError when the file cannot be read.
ImportedFolder ReadSitemap(const std::filesystem::path& sitemap, ImportSummary& summary);
// The same over sitemap text in memory.
ImportedFolder ParseSitemap(std::string_view xml, ImportSummary& summary);

// Removes the suffix that all titles share after " – ", " - " or " | " ("Kontakt – Firma",
// "Produkte – Firma" give "Kontakt", "Produkte"). Needs at least two titles.
void RemoveSharedTitleSuffix(ImportedFolder& root);
// Replaces `tree` by the folder's pages: the root's index page first, then the root's pages and
// sub folders by menu text; a sub folder is an entry for its index page (or its first page in
// menu order, however deep) with the rest below it. The texts are stored so that a browser shows
// them as they are, whether the project's tag option is on or off. Time grows with the number
// of pages and folders (times the logarithm of a folder's size), never with the depth. The
// folder's pages are used up on the way.
void BuildImportedTree(ImportedFolder&& root, SiteTree& tree);

// All steps for a folder or a sitemap file: scan, titles, shared suffix, tree. Nothing when
// `progress` asked to stop; `tree` is then unchanged.
std::optional<ImportSummary> ImportSite(const std::filesystem::path& source,
                                        const std::filesystem::path& projectDir, SiteTree& tree,
                                        const ImportProgress& progress = {});

} // namespace quilso
