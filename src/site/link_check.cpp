#include "link_check.h"

#include "cp1252.h"
#include "page_lookup.h"
#include "site_text.h"
#include "value_helpers.h"

#include <algorithm>
#include <fstream>
#include <map>
#include <set>

namespace quilso {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view PathSeparator = " \x9B "; // " › " in Windows-1252
constexpr std::string_view OutsideMessage = "Datei liegt au\xDF"
                                            "erhalb des Ordners: ";

bool isBlank(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return c == ' ' || c == '\t'; });
}

std::string entryText(std::string_view text) {
    return isBlank(text) ? std::string("(ohne Text)") : std::string(text);
}

char lowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
}

fs::path normalAbsolute(const fs::path& path) {
    std::error_code ignored;
    return fs::absolute(path, ignored).lexically_normal();
}

fs::path sameFile(const fs::path& path) {
    std::error_code ignored;
    const fs::path canonical = fs::weakly_canonical(path, ignored);
    return canonical.empty() ? normalAbsolute(path) : canonical;
}

std::string readPage(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::string bytes;
    char buffer[64 * 1024];
    while (in && bytes.size() < 8 * 1024 * 1024) {
        in.read(buffer, sizeof buffer);
        bytes.append(buffer, static_cast<std::size_t>(in.gcount()));
    }
    return bytes;
}

// The src attribute values of the page's script elements.
std::vector<std::string> scriptSources(std::string_view html) {
    std::string lower(html);
    for (char& c : lower)
        c = lowerAscii(c);
    std::vector<std::string> sources;
    for (std::size_t at = lower.find("<script"); at != std::string::npos;
         at = lower.find("<script", at + 7)) {
        const std::size_t end = lower.find('>', at);
        if (end == std::string::npos) break;
        // Attribute by attribute, so that "data-src" or a src inside another value is not taken.
        std::size_t i = at + 7;
        while (i < end) {
            while (i < end && (lower[i] == ' ' || lower[i] == '\t' || lower[i] == '\n' || lower[i] == '\r' ||
                               lower[i] == '\f' || lower[i] == '/'))
                ++i;
            const std::size_t nameStart = i;
            while (i < end && lower[i] != '=' && lower[i] != ' ' && lower[i] != '\t' && lower[i] != '\n' &&
                   lower[i] != '\r' && lower[i] != '/')
                ++i;
            const std::string name = lower.substr(nameStart, i - nameStart);
            while (i < end && (lower[i] == ' ' || lower[i] == '\t' || lower[i] == '\n' || lower[i] == '\r'))
                ++i;
            std::string value;
            if (i < end && lower[i] == '=') {
                ++i;
                while (i < end &&
                       (lower[i] == ' ' || lower[i] == '\t' || lower[i] == '\n' || lower[i] == '\r'))
                    ++i;
                if (i < lower.size() && (lower[i] == '"' || lower[i] == '\'')) {
                    const char quote = lower[i];
                    const std::size_t close = lower.find(quote, i + 1);
                    if (close == std::string::npos) return sources;
                    value = std::string(html.substr(i + 1, close - i - 1));
                    i = close + 1;
                } else {
                    const std::size_t valueStart = i;
                    while (i < end && lower[i] != ' ' && lower[i] != '\t' && lower[i] != '\n' &&
                           lower[i] != '\r')
                        ++i;
                    value = std::string(html.substr(valueStart, i - valueStart));
                }
            } else if (name.empty()) {
                ++i;
            }
            if (name == "src") sources.push_back(EncodeUtf8(DecodeHtmlReferences(DecodeUtf8(value))));
        }
    }
    return sources;
}

// True when a script element of the page loads the project file. `page` is read; `address` is
// where the browser finds it, against which the page's relative addresses resolve.
bool includesScript(const fs::path& page, const fs::path& address, const fs::path& siteDir,
                    const fs::path& projectFile) {
    const std::string projectName = projectFile.filename().string();
    for (std::string src : scriptSources(readPage(page))) {
        src = PercentDecode(src.substr(0, src.find_first_of("?#")));
        if (src.find("://") != std::string::npos || src.starts_with("//")) {
            // Another host cannot be looked up: its file name is the best evidence there is.
            const std::size_t slash = src.rfind('/');
            if (src.substr(slash + 1) == projectName) return true;
            continue;
        }
        const fs::path target = src.starts_with("/") ? siteDir / src.substr(1) : address.parent_path() / src;
        if (sameFile(target) == projectFile) return true;
    }
    return false;
}

Finding entryFinding(FindingKind kind, long index, const std::string& where, std::string message,
                     const std::string& file) {
    Finding finding{kind, index, where, std::move(message), file, MenuMain, MenuState::Normal, {}};
    return finding;
}

} // namespace

LinkStatus CheckLink(const std::string& file, const fs::path& siteDir, fs::path* resolved) {
    PageLookup page = FindEntryPage(file, siteDir);
    switch (page.result) {
    case PageLookupResult::Empty:
        return LinkStatus::Empty;
    case PageLookupResult::Unsafe:
        return LinkStatus::Unsafe;
    case PageLookupResult::NotCheckable:
        return LinkStatus::NotChecked;
    case PageLookupResult::Found:
        if (resolved) *resolved = std::move(page.real);
        return LinkStatus::Present;
    case PageLookupResult::Missing:
        return LinkStatus::Missing;
    case PageLookupResult::Outside:
        return LinkStatus::Outside;
    }
    return LinkStatus::Missing;
}

std::string EntryPath(const SiteNode* node) {
    std::vector<const SiteNode*> chain;
    for (; node && !node->isRoot(); node = node->parent())
        chain.push_back(node);
    std::string path;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        if (!path.empty()) path += PathSeparator;
        path += entryText((*it)->entry.text);
    }
    return path;
}

std::vector<Finding> CheckSiteLinks(const SiteTree& tree, const CheckOptions& options) {
    const fs::path projectFile = sameFile(options.projectFile);
    const SitePageFinder pages(options.siteDir.empty() ? projectFile.parent_path() : options.siteDir);
    const fs::path& siteDir = pages.root();
    const std::string projectName = StoredFileNameFromUtf8(projectFile.filename().string());

    std::vector<Finding> findings;
    std::set<fs::path> linked;
    std::map<fs::path, bool> scriptChecked;
    std::vector<std::string> where; // menu texts of the current branch
    long index = 0;
    tree.forEachPreorder([&](const SiteNode* node, int depth) {
        where.resize(static_cast<std::size_t>(depth));
        where.push_back(entryText(node->entry.text));
        std::string path;
        for (const std::string& text : where) {
            if (!path.empty()) path += PathSeparator;
            path += text;
        }
        const std::string file = node->entry.file.str();
        if (isBlank(node->entry.text))
            findings.push_back(entryFinding(FindingKind::EmptyText, index, path, "Men\xFCtext fehlt", file));
        const PageLookup page = pages.find(file);
        switch (page.result) {
        case PageLookupResult::Empty:
            findings.push_back(entryFinding(FindingKind::EmptyFile, index, path, "Dateiname fehlt", file));
            break;
        case PageLookupResult::Missing:
            findings.push_back(
                entryFinding(FindingKind::MissingPage, index, path, "Datei nicht gefunden: " + file, file));
            break;
        case PageLookupResult::Outside:
            findings.push_back(entryFinding(FindingKind::PageOutside, index, path,
                                            std::string(OutsideMessage) + file, file));
            break;
        case PageLookupResult::Unsafe:
            findings.push_back(
                entryFinding(FindingKind::UnsafeAddress, index, path, "Unsichere Adresse: " + file, file));
            break;
        case PageLookupResult::Found: {
            linked.insert(page.real);
            if (!IsPageFileName(fs::path(page.relative).filename().string())) break;
            auto [it, fresh] = scriptChecked.emplace(page.real, true);
            if (fresh) it->second = includesScript(page.real, siteDir / page.relative, siteDir, projectFile);
            if (!it->second)
                findings.push_back(entryFinding(FindingKind::MissingScript, index, path,
                                                "Seite bindet " + projectName + " nicht ein: " + file, file));
            break;
        }
        case PageLookupResult::NotCheckable:
            break;
        }
        ++index;
    });

    std::vector<std::pair<std::string, std::string>> unlinked; // (relative UTF-8, stored)
    std::error_code error;
    fs::recursive_directory_iterator it(siteDir, fs::directory_options::skip_permission_denied, error);
    for (; !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
        const std::string name = it->path().filename().string();
        std::error_code ignored;
        if (name.empty() || name[0] == '.') {
            if (it->is_directory(ignored)) it.disable_recursion_pending();
            continue;
        }
        if (it->is_symlink(ignored) && it->is_directory(ignored)) {
            it.disable_recursion_pending();
            continue;
        }
        if (!it->is_regular_file(ignored) || !IsPageFileName(name)) continue;
        const fs::path page = it->path().lexically_normal();
        // A link counts as the page it leads to; one that leads out of the folder is no page of
        // the site at all.
        fs::path real = page;
        if (it->is_symlink(ignored)) {
            PageLookup target = pages.findPath(page.lexically_relative(siteDir).generic_string());
            if (!target.found()) continue;
            real = std::move(target.real);
        }
        if (linked.count(real)) continue;
        std::string relative;
        for (const fs::path& segment : page.lexically_relative(siteDir)) {
            if (!relative.empty()) relative += '/';
            relative += StoredFileNameFromUtf8(segment.string());
        }
        unlinked.emplace_back(page.lexically_relative(siteDir).generic_string(), relative);
    }
    std::sort(unlinked.begin(), unlinked.end());
    for (const auto& [sortKey, relative] : unlinked)
        findings.push_back(entryFinding(FindingKind::UnlinkedPage, -1, "",
                                        "Seite in keinem Men\xFC: " + relative, relative));
    return findings;
}

std::vector<Finding> CheckContrasts(const ProjectParams& params) {
    std::vector<Finding> findings;
    for (int k = 0; k < MenuKindCount; ++k) {
        for (int s = 0; s < MenuStateCount; ++s) {
            const auto state = static_cast<MenuState>(s);
            const MenuContrast contrast = ContrastOf(params.css[k], state);
            if (contrast.sufficient()) continue;
            Finding finding;
            finding.kind = FindingKind::LowContrast;
            finding.where = Cp1252FromUtf8(MenuLabelsUtf8[static_cast<std::size_t>(k)]).value_or("") + ", " +
                            std::string(MenuStateLabels[static_cast<std::size_t>(s)]);
            finding.message = "Kontrast " + FormatRatio(contrast.ratio) + " unter 4,5:1 (Schrift #" +
                              contrast.color + " auf #" + contrast.background + ")";
            finding.menu = static_cast<MenuKind>(k);
            finding.state = state;
            finding.contrast = contrast;
            findings.push_back(std::move(finding));
        }
    }
    return findings;
}

std::vector<Finding> CheckProject(const Project& project, const CheckOptions& options) {
    std::vector<Finding> findings = CheckSiteLinks(project.tree, options);
    std::vector<Finding> contrasts = CheckContrasts(project.params);
    findings.insert(findings.end(), std::make_move_iterator(contrasts.begin()),
                    std::make_move_iterator(contrasts.end()));
    return findings;
}

bool IsBrokenLink(const Finding& finding) {
    return finding.kind == FindingKind::MissingPage || finding.kind == FindingKind::PageOutside ||
           finding.kind == FindingKind::UnsafeAddress;
}

} // namespace quilso
