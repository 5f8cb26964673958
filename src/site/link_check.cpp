#include "link_check.h"

#include "cp1252.h"
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

constexpr std::string_view IndexNames[] = {"index.htm", "index.html", "index.shtml", "index.shtm",
                                           "index.php"};

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

// True when a script element of the page loads the project file.
bool includesScript(const fs::path& page, const fs::path& siteDir, const fs::path& projectFile) {
    const std::string projectName = projectFile.filename().string();
    for (std::string src : scriptSources(readPage(page))) {
        src = PercentDecode(src.substr(0, src.find_first_of("?#")));
        if (src.find("://") != std::string::npos || src.starts_with("//")) {
            // Another host cannot be looked up: its file name is the best evidence there is.
            const std::size_t slash = src.rfind('/');
            if (src.substr(slash + 1) == projectName) return true;
            continue;
        }
        const fs::path target = src.starts_with("/") ? siteDir / src.substr(1) : page.parent_path() / src;
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
    if (isBlank(file)) return LinkStatus::Empty;
    if (IsUnsafeAddress(file)) return LinkStatus::Unsafe;
    std::string name = file.substr(0, file.find_first_of("?#"));
    std::replace(name.begin(), name.end(), '\\', '/');
    if (name.empty() || HasSchemeOrIsRooted(name)) return LinkStatus::NotChecked;
    const fs::path path = (siteDir / Utf8PathFromStoredFileName(name)).lexically_normal();
    std::error_code error;
    const fs::file_status status = fs::status(path, error);
    if (fs::is_regular_file(status)) {
        if (resolved) *resolved = path;
        return LinkStatus::Present;
    }
    if (fs::is_directory(status)) {
        for (std::string_view index : IndexNames) {
            const fs::path page = path / index;
            if (fs::is_regular_file(page, error)) {
                if (resolved) *resolved = page;
                return LinkStatus::Present;
            }
        }
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
    const fs::path siteDir =
        normalAbsolute(options.siteDir.empty() ? projectFile.parent_path() : options.siteDir);
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
        fs::path resolved;
        switch (CheckLink(file, siteDir, &resolved)) {
        case LinkStatus::Empty:
            findings.push_back(entryFinding(FindingKind::EmptyFile, index, path, "Dateiname fehlt", file));
            break;
        case LinkStatus::Missing:
            findings.push_back(
                entryFinding(FindingKind::MissingPage, index, path, "Datei nicht gefunden: " + file, file));
            break;
        case LinkStatus::Unsafe:
            findings.push_back(
                entryFinding(FindingKind::UnsafeAddress, index, path, "Unsichere Adresse: " + file, file));
            break;
        case LinkStatus::Present: {
            linked.insert(resolved);
            if (!IsPageFileName(resolved.filename().string())) break;
            auto [it, fresh] = scriptChecked.emplace(resolved, true);
            if (fresh) it->second = includesScript(resolved, siteDir, projectFile);
            if (!it->second)
                findings.push_back(entryFinding(FindingKind::MissingScript, index, path,
                                                "Seite bindet " + projectName + " nicht ein: " + file, file));
            break;
        }
        case LinkStatus::NotChecked:
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
        if (linked.count(page)) continue;
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

std::vector<Finding> CheckProject(const Project& project, const CheckOptions& options) {
    std::vector<Finding> findings = CheckSiteLinks(project.tree, options);
    std::vector<Finding> contrasts = CheckContrasts(project.params);
    findings.insert(findings.end(), std::make_move_iterator(contrasts.begin()),
                    std::make_move_iterator(contrasts.end()));
    return findings;
}

bool IsBrokenLink(const Finding& finding) {
    return finding.kind == FindingKind::MissingPage || finding.kind == FindingKind::UnsafeAddress;
}

} // namespace quilso
