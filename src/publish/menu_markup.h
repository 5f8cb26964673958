// The static HTML of the menus, element for element what the script library renders in the
// browser, but plain ASCII and with links relative to the page that holds it.
#pragma once

#include "project.h"

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace quilso {

// An entry's file name as the page links it and as the file system finds it.
struct LinkPath {
    bool unsafe = false;              // would run code when followed: never a link
    bool absolute = false;            // a scheme or a leading slash: the same from every page
    std::vector<std::string> decoded; // path segments as the file system names them
    bool folder = false;              // written with a trailing '/'
    int ups = 0;                      // folders climbed above the project's folder
};
LinkPath SplitLinkPath(std::string_view file);

// Entry text as the library shows it: `html` is the encoded menu text (Windows-1252); the
// result is ASCII markup whose parse gives the same nodes. Elements that cannot appear in a
// link's text safely are left out, with script and style content.
struct LinkText {
    std::string markup;
    std::u32string plain; // the text a reader sees, for the structured data
    bool named = false;   // has visible text or a picture
};
LinkText StaticLinkText(std::string_view html);

// The project's style sheet as a <style> element, one rule line per line, each ending in `eol`.
std::string StaticStyleSheet(const ProjectParams& params, std::string_view eol);

// One page's menus. Built once per project; `setPage` sets the state of one page. Holds one
// pointer per entry besides a few thousand link texts, so that a large tree costs little more
// than the tree itself.
class MenuMarkup {
public:
    explicit MenuMarkup(const Project& project);

    std::size_t size() const { return nodes_.size(); }
    const SiteEntry& entry(std::size_t i) const { return nodes_[i]->entry; }

    // `current` in site-tree order, size() or more for a page that no entry names (it gets the
    // main menu without a current entry, no sub menu and no trail); `pagePath` relative to the
    // project's folder; `subOwnPlace` when the page holds a sub menu block of its own (the main
    // menu then carries none).
    void setPage(std::size_t current, std::string_view pagePath, bool subOwnPlace);

    // Appends the block content of one kind ("m", "um", "bc") to `out`; nothing when that menu
    // has nothing to show. Later blocks of the same kind on a page give up the id and number
    // their label. With `spill`, `out` is handed to it (which empties it) whenever it holds
    // more than a few kilobytes, so that a menu of any size takes little memory.
    void render(std::string& out, std::string_view kind, const std::function<void(std::string&)>& spill = {});

private:
    const LinkText& textOf(const SiteNode* node);
    static bool isTextOnly(const SiteNode* node);
    void appendHref(std::string& out, const SiteNode* node) const;
    void appendNavStart(std::string& out, int kind, const char* className, std::string_view published);
    void appendListStart(std::string& out, int kind);
    void appendItems(std::string& out, const SiteNode* const* first, const SiteNode* const* last, int kind);
    void appendLink(std::string& out, const SiteNode* node, int kind);
    std::size_t subMenuLevels() const;
    void spillIfLarge(std::string& out);
    void appendSubMenu(std::string& out, std::string_view published);
    void appendMainMenu(std::string& out, std::string_view published);
    void appendTrail(std::string& out, std::string_view published);

    std::vector<const SiteNode*> nodes_; // in site-tree order
    const SiteNode* root_;
    bool isTag_ = false;
    const SiteNode* current_ = nullptr;
    std::vector<const SiteNode*> branch_; // from the top level down to the current entry
    std::string pagePrefix_;              // from the page's folder to the project's folder
    bool subOwnPlace_ = false;
    int instances_[3] = {0, 0, 0};
    std::unordered_map<const SiteNode*, LinkText> texts_;
    const std::function<void(std::string&)>* spill_ = nullptr; // during render
};

} // namespace quilso
