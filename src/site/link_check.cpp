#include "link_check.h"

#include "cp1252.h"
#include "page_lookup.h"
#include "site_text.h"
#include "value_helpers.h"

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <functional>
#include <optional>
#include <unordered_map>

namespace quilso {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view PathSeparator = " \x9B "; // " › " in Windows-1252
// An entry's place names its last levels, each text cut to a readable length: a finding stays
// short however deep the tree or long its texts.
constexpr std::size_t PathLevels = 3;
constexpr std::size_t PathTextBytes = 48;

constexpr std::string_view OutsideMessage = "Datei liegt au\xDF"
                                            "erhalb des Ordners: ";

bool isBlank(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return c == ' ' || c == '\t'; });
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
    while (in) {
        in.read(buffer, sizeof buffer);
        bytes.append(buffer, static_cast<std::size_t>(in.gcount()));
    }
    return bytes;
}

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

bool isAsciiLetter(char c) {
    c = lowerAscii(c);
    return c >= 'a' && c <= 'z';
}

// True when `html` holds `word` (lower case) at `at`, in any case.
bool hasWordAt(std::string_view html, std::size_t at, std::string_view word) {
    if (at + word.size() > html.size()) return false;
    for (std::size_t k = 0; k < word.size(); ++k)
        if (lowerAscii(html[at + k]) != word[k]) return false;
    return true;
}

// Elements whose content is text up to their end tag, not markup.
constexpr std::string_view TextElements[] = {"script", "style", "textarea", "title"};

// Where the end tag of the text element `name` starts, at or after `from`; npos when it has none.
std::size_t endTagOf(std::string_view html, std::size_t from, std::string_view name) {
    for (std::size_t at = html.find("</", from); at != std::string_view::npos; at = html.find("</", at + 2)) {
        const std::size_t after = at + 2 + name.size();
        if (hasWordAt(html, at + 2, name) &&
            (after == html.size() || isSpace(html[after]) || html[after] == '/' || html[after] == '>'))
            return at;
    }
    return std::string_view::npos;
}

// Calls `visit` with the src attribute of each script element of the page's markup, in order,
// until it returns true, and says whether one did. Comments, the text of script, style, text area
// and title elements and attribute values are not markup, so a tag inside them does not count.
bool anyScriptSource(std::string_view html, const std::function<bool(const std::string&)>& visit) {
    constexpr auto npos = std::string_view::npos;
    for (std::size_t i = html.find('<'); i != npos; i = html.find('<', i)) {
        if (html.compare(i, 4, "<!--") == 0) {
            std::size_t end = i + 4;
            if (html.compare(end, 1, ">") == 0) {
                i = end + 1; // "<!-->": an empty comment
                continue;
            }
            if (html.compare(end, 2, "->") == 0) {
                i = end + 2; // "<!--->"
                continue;
            }
            for (end = html.find("--", end); end != npos; end = html.find("--", end + 1)) {
                if (html.compare(end + 2, 1, ">") == 0) {
                    end += 3;
                    break;
                }
                if (html.compare(end + 2, 2, "!>") == 0) {
                    end += 4;
                    break;
                }
            }
            if (end == npos) return false; // the rest of the page is a comment
            i = end;
            continue;
        }
        const char next = i + 1 < html.size() ? html[i + 1] : '\0';
        if (next == '!' || next == '?' || next == '/') {
            // A doctype, a CDATA section or another bogus comment, or an end tag: up to its '>'.
            const std::size_t end = html.find('>', i + 2);
            if (end == npos) return false;
            i = end + 1;
            continue;
        }
        if (!isAsciiLetter(next)) {
            ++i; // a '<' in the text
            continue;
        }
        std::size_t j = i + 1;
        while (j < html.size() && !isSpace(html[j]) && html[j] != '/' && html[j] != '>')
            ++j;
        // Only short names matter here: a name of megabytes is not copied.
        std::string tag(j - i - 1 <= 8 ? html.substr(i + 1, j - i - 1) : std::string_view());
        for (char& c : tag)
            c = lowerAscii(c);
        std::optional<std::string> src;
        // Attribute by attribute, so that "data-src" or a src inside another value is not taken.
        while (j < html.size() && html[j] != '>') {
            if (isSpace(html[j]) || html[j] == '/') {
                ++j;
                continue;
            }
            const std::size_t nameStart = j++; // a name may start with '='
            while (j < html.size() && !isSpace(html[j]) && html[j] != '/' && html[j] != '>' && html[j] != '=')
                ++j;
            const bool isSrc = j - nameStart == 3 && hasWordAt(html, nameStart, "src");
            while (j < html.size() && isSpace(html[j]))
                ++j;
            if (j >= html.size() || html[j] != '=') continue;
            ++j;
            while (j < html.size() && isSpace(html[j]))
                ++j;
            std::string_view value;
            if (j < html.size() && (html[j] == '"' || html[j] == '\'')) {
                const std::size_t close = html.find(html[j], j + 1);
                if (close == npos) return false;
                value = html.substr(j + 1, close - j - 1);
                j = close + 1;
            } else {
                const std::size_t valueStart = j;
                while (j < html.size() && !isSpace(html[j]) && html[j] != '>')
                    ++j;
                value = html.substr(valueStart, j - valueStart);
            }
            // Of attributes named twice the first counts.
            if (isSrc && !src) src = EncodeUtf8(DecodeHtmlReferences(DecodeUtf8(value)));
        }
        if (j >= html.size()) return false;
        i = j + 1;
        if (tag == "script" && src && visit(*src)) return true;
        if (std::find(std::begin(TextElements), std::end(TextElements), tag) != std::end(TextElements)) {
            i = endTagOf(html, i, tag);
            if (i == npos) return false;
        }
    }
    return false;
}

// True when a script element of the page loads the project file. `page` is read; `address` is
// where the browser finds it, against which the page's relative addresses resolve.
bool includesScript(const fs::path& page, const fs::path& address, const fs::path& siteDir,
                    const fs::path& projectFile) {
    const std::string projectName = projectFile.filename().string();
    return anyScriptSource(readPage(page), [&](const std::string& source) {
        const std::string src = PercentDecode(source.substr(0, source.find_first_of("?#")));
        if (src.find("://") != std::string::npos || src.starts_with("//")) {
            // Another host cannot be looked up: its file name is the best evidence there is.
            const std::size_t slash = src.rfind('/');
            return src.substr(slash + 1) == projectName;
        }
        const fs::path target = src.starts_with("/") ? siteDir / src.substr(1) : address.parent_path() / src;
        return sameFile(target) == projectFile;
    });
}

// The pages entries link to, by a hash of their path, each with whether it loads the project
// file: eight bytes and a flag a page instead of a path object, so that a project of a million
// entries costs little besides its tree. Two pages of a million each share a hash with a chance
// of about one in twenty million; the one then taken for the other would not be reported as in
// no menu, or inherit its script finding.
class LinkedPages {
public:
    static std::uint64_t key(const fs::path& page) { return std::hash<std::string>{}(page.native()); }
    bool contains(const fs::path& page) const { return scripts_.count(key(page)) != 0; }
    // Whether the page loads the project file, looked up once per page.
    bool includesScript(const fs::path& page, const std::function<bool()>& lookUp) {
        auto [it, fresh] = scripts_.emplace(key(page), false);
        if (fresh) it->second = lookUp();
        return it->second;
    }
    void add(const fs::path& page) { scripts_.emplace(key(page), true); }

private:
    std::unordered_map<std::uint64_t, bool> scripts_;
};

// A file name as a message names it: its first 1,000 bytes, then "…". A finding is read by a
// person, and the file field keeps the whole name.
std::string shownFile(std::string_view file) {
    constexpr std::size_t LongestShownFile = 1000;
    if (file.size() <= LongestShownFile) return std::string(file);
    return std::string(file.substr(0, LongestShownFile)) + '\x85';
}

Finding entryFinding(FindingKind kind, const SiteNode* node, long index, std::string message,
                     std::string file) {
    return {kind, index, EntryPath(node), std::move(message), std::move(file), MenuMain, MenuState::Normal,
            {}};
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
    for (; node && !node->isRoot() && chain.size() < PathLevels; node = node->parent())
        chain.push_back(node);
    std::string path = node && !node->isRoot() ? "\x85" : ""; // "…": more levels above
    std::reverse(chain.begin(), chain.end());
    for (const SiteNode* level : chain) {
        if (!path.empty()) path += PathSeparator;
        const std::string_view text = level->entry.text;
        if (isBlank(text)) {
            path += "(ohne Text)";
        } else if (text.size() <= PathTextBytes) {
            path += text;
        } else {
            path += text.substr(0, ReferenceSafeCut(text, PathTextBytes));
            path += '\x85';
        }
    }
    return path;
}

void CheckSiteLinks(const SiteTree& tree, const CheckOptions& options, const FindingSink& report) {
    const fs::path projectFile = sameFile(options.projectFile);
    const SitePageFinder pages(options.siteDir.empty() ? projectFile.parent_path() : options.siteDir);
    const fs::path& siteDir = pages.root();
    const std::string projectName = StoredFileNameFromUtf8(projectFile.filename().string());

    LinkedPages linked;
    long index = 0;
    tree.forEachPreorder([&](const SiteNode* node, int) {
        std::string file = node->entry.file.str();
        // The file name goes into the entry's last finding instead of being copied again: it may
        // be megabytes long.
        const auto found = [&](FindingKind kind, std::string message) {
            report(entryFinding(kind, node, index, std::move(message), std::move(file)));
        };
        if (isBlank(node->entry.text))
            report(entryFinding(FindingKind::EmptyText, node, index, "Men\xFCtext fehlt", file));
        const PageLookup page = pages.find(file);
        switch (page.result) {
        case PageLookupResult::Empty:
            found(FindingKind::EmptyFile, "Dateiname fehlt");
            break;
        case PageLookupResult::Missing:
            found(FindingKind::MissingPage, "Datei nicht gefunden: " + shownFile(file));
            break;
        case PageLookupResult::Outside:
            found(FindingKind::PageOutside, std::string(OutsideMessage) + shownFile(file));
            break;
        case PageLookupResult::Unsafe:
            found(FindingKind::UnsafeAddress, "Unsichere Adresse: " + shownFile(file));
            break;
        case PageLookupResult::Found: {
            if (!IsPageFileName(fs::path(page.relative).filename().string())) {
                linked.add(page.real);
                break;
            }
            if (!linked.includesScript(page.real, [&] {
                    return includesScript(page.real, siteDir / page.relative, siteDir, projectFile);
                }))
                found(FindingKind::MissingScript,
                      "Seite bindet " + projectName + " nicht ein: " + shownFile(file));
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
        if (linked.contains(real)) continue;
        std::string relative;
        for (const fs::path& segment : page.lexically_relative(siteDir)) {
            if (!relative.empty()) relative += '/';
            relative += StoredFileNameFromUtf8(segment.string());
        }
        unlinked.emplace_back(page.lexically_relative(siteDir).generic_string(), relative);
    }
    std::sort(unlinked.begin(), unlinked.end());
    for (const auto& [sortKey, relative] : unlinked)
        report({FindingKind::UnlinkedPage,
                -1,
                "",
                "Seite in keinem Men\xFC: " + relative,
                relative,
                MenuMain,
                MenuState::Normal,
                {}});
}

std::vector<Finding> CheckSiteLinks(const SiteTree& tree, const CheckOptions& options) {
    std::vector<Finding> findings;
    CheckSiteLinks(tree, options, [&](const Finding& finding) { findings.push_back(finding); });
    return findings;
}

std::vector<Finding> CheckContrasts(const ProjectParams& params) {
    std::vector<Finding> findings;
    const auto add = [&](int k, int s, const MenuContrast& contrast, bool insideMain) {
        Finding finding;
        finding.kind = FindingKind::LowContrast;
        finding.where = Cp1252FromUtf8(MenuLabelsUtf8[static_cast<std::size_t>(k)]).value_or("");
        if (insideMain) finding.where += " im " + Cp1252FromUtf8(MenuLabelsUtf8[MenuMain]).value_or("");
        finding.where += ", " + std::string(MenuStateLabels[static_cast<std::size_t>(s)]);
        finding.message = "Kontrast " + FormatRatio(contrast.ratio) + " unter 4,5:1 (Schrift #" +
                          contrast.color + " auf #" + contrast.background + ")";
        finding.menu = static_cast<MenuKind>(k);
        finding.state = static_cast<MenuState>(s);
        finding.contrast = contrast;
        finding.insideMain = insideMain;
        findings.push_back(std::move(finding));
    };
    for (int k = 0; k < MenuKindCount; ++k) {
        for (int s = 0; s < MenuStateCount; ++s) {
            const auto state = static_cast<MenuState>(s);
            const MenuContrast contrast = ContrastOf(params.css[k], state);
            if (!contrast.sufficient()) add(k, s, contrast, false);
            if (k != MenuSub) continue;
            const MenuContrast nested = NestedSubContrastOf(params.css[k], params.css[MenuMain], state);
            const bool same = nested.color == contrast.color && nested.background == contrast.background;
            if (!same && !nested.sufficient()) add(k, s, nested, true);
        }
    }
    return findings;
}

void CheckProject(const Project& project, const CheckOptions& options, const FindingSink& report) {
    CheckSiteLinks(project.tree, options, report);
    for (const Finding& finding : CheckContrasts(project.params))
        report(finding);
}

std::vector<Finding> CheckProject(const Project& project, const CheckOptions& options) {
    std::vector<Finding> findings;
    CheckProject(project, options, [&](const Finding& finding) { findings.push_back(finding); });
    return findings;
}

bool IsBrokenLink(const Finding& finding) {
    return finding.kind == FindingKind::MissingPage || finding.kind == FindingKind::PageOutside ||
           finding.kind == FindingKind::UnsafeAddress;
}

} // namespace quilso
