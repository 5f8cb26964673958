// Checks a project against the site folder it serves: entries whose page is missing, lies outside
// the folder or whose address is unsafe, pages no entry links to, pages that do not include the menu script
// file, entries without text or file name, and menu colours that are hard to read.
#pragma once

#include "contrast.h"
#include "project.h"

#include <cstddef>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace quilso {

enum class FindingKind {
    EmptyText,
    EmptyFile,
    MissingPage,
    PageOutside, // the entry's page lies outside the site folder: never looked at
    UnsafeAddress,
    MissingScript,
    UnlinkedPage,
    LowContrast
};

struct Finding {
    FindingKind kind;
    // The entry's number in display order (depth first, parents first); -1 when the finding
    // belongs to no entry (an unlinked page, a contrast).
    long entry = -1;
    // Where: the entry's place as EntryPath gives it ("Produkte › Teil A", "… › Teil A › A1 › A1a")
    // for an entry, "Haupt-Menü, Hover/Fokus" for a contrast; stored menu texts, Windows-1252.
    std::string where;
    // The German message, Windows-1252: "Datei nicht gefunden: teil-a.htm".
    std::string message;
    // The entry's file name, or the unlinked page relative to the site folder (stored form).
    std::string file;
    // Contrast findings only.
    MenuKind menu = MenuMain;
    MenuState state = MenuState::Normal;
    MenuContrast contrast;
    bool insideMain = false; // the sub menu as shown inside the main menu's item
};

// What an entry's file name names on disk.
enum class LinkStatus {
    NotChecked, // a full address, a rooted path or a mere fragment: nothing to look up
    Present,
    Missing,
    Outside, // above the site folder, or a symbolic link leads out of it
    Unsafe,
    Empty
};

// Looks the file name up relative to `siteDir` (see FindEntryPage); a folder counts as present
// when it holds an index page. `resolved` receives the page's real path (the index page for a
// folder).
LinkStatus CheckLink(const std::string& file, const std::filesystem::path& siteDir,
                     std::filesystem::path* resolved = nullptr);

struct CheckOptions {
    std::filesystem::path projectFile; // the menu script file the pages must include
    std::filesystem::path siteDir;     // empty: the project file's folder
};

// Receives each finding as soon as it is made; what it is given lives only for the call.
using FindingSink = std::function<void(const Finding&)>;

// Every finding, in this order: per entry in display order (empty text, empty file name, missing
// page, page outside the folder or unsafe address, page without the menu script file), then
// unlinked pages by path, then contrasts by menu and state. The first form hands them on one by
// one, so that a project with a finding for each of a million entries is checked without holding
// them all.
void CheckProject(const Project& project, const CheckOptions& options, const FindingSink& report);
std::vector<Finding> CheckProject(const Project& project, const CheckOptions& options);
// The entry findings and unlinked pages alone.
void CheckSiteLinks(const SiteTree& tree, const CheckOptions& options, const FindingSink& report);
std::vector<Finding> CheckSiteLinks(const SiteTree& tree, const CheckOptions& options);
// The contrast findings alone: every menu and state below the limit; the sub menu also as shown
// inside the main menu, where that pair differs.
std::vector<Finding> CheckContrasts(const ProjectParams& params);

// True for the findings that make a site broken: a missing page, a page outside the folder or an
// unsafe address.
bool IsBrokenLink(const Finding& finding);
// "Produkte › Teil A": the menu texts of the entry's last three levels down to the entry, after
// "… › " when there are more above; "(ohne Text)" for an empty one, and a text longer than 48
// bytes cut and ended with "…". Its length is bounded however deep the tree or long the texts.
std::string EntryPath(const SiteNode* node);

} // namespace quilso
