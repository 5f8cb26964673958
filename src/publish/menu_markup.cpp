#include "menu_markup.h"

#include "cp1252.h"
#include "project.h"
#include "script_sections.h"
#include "site_text.h"
#include "value_helpers.h"

#include <algorithm>
#include <array>
#include <unordered_map>

namespace quilso {

namespace {

constexpr std::array<std::string_view, 3> Kinds = {"m", "um", "bc"};
// The library's landmark names, written as references so the page's encoding does not matter.
constexpr std::array<std::string_view, 3> Labels = {"Hauptmen&#252;", "Untermen&#252;", "Navigationspfad"};

int kindIndex(std::string_view kind) {
    for (int k = 0; k < 3; ++k)
        if (Kinds[k] == kind) return k;
    return -1;
}

char lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool isAsciiSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

bool hasScheme(std::string_view s) {
    if (s.empty() || !((s[0] >= 'a' && s[0] <= 'z') || (s[0] >= 'A' && s[0] <= 'Z'))) return false;
    for (std::size_t i = 1; i < s.size(); ++i) {
        const char c = s[i];
        if (c == ':') return true;
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                        c == '+' || c == '-' || c == '.';
        if (!ok) return false;
    }
    return false;
}

// A scheme or a leading slash: the same address from every page.
bool isAbsoluteFile(std::string_view file) {
    return !file.empty() && (hasScheme(file) || file[0] == '/' || file[0] == '\\');
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    c = lower(c);
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// Percent escapes name UTF-8 bytes; the rest of the name is Windows-1252 as typed.
std::string decodeSegment(std::string_view raw) {
    return PercentDecode(Utf8FromCp1252(raw));
}

void appendDecimal(std::string& out, unsigned long value) {
    out += std::to_string(value);
}

void appendReference(std::string& out, char32_t code) {
    out += "&#";
    appendDecimal(out, code);
    out += ';';
}

// Line breaks inside a menu become a reference, as the parser would read them (CR LF and CR
// as LF): the menus stay on one line, and nothing they hold can pass for the page's own line
// ends.
bool lineBreak(std::string& out, char c, char& previous) {
    const bool crlf = c == '\n' && previous == '\r';
    previous = c;
    if (c != '\r' && c != '\n') return false;
    if (!crlf) out += "&#10;";
    return true;
}

// Attribute values and plain text from Windows-1252 bytes, as ASCII. A value whose references
// are already written as such keeps its ampersands.
enum class Ampersands { Escape, Keep };
void appendEscaped(std::string& out, std::string_view bytes, Ampersands ampersands = Ampersands::Escape) {
    char previous = 0;
    for (char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (lineBreak(out, c, previous)) continue;
        if (c == '&' && ampersands == Ampersands::Escape)
            out += "&amp;";
        else if (c == '"')
            out += "&quot;";
        else if (c == '<')
            out += "&lt;";
        else if (c == '>')
            out += "&gt;";
        else if (b >= 0x80)
            appendReference(out, Cp1252ToUnicode(b));
        else if (b != 0)
            out += c;
    }
}

// JavaScript's \s: what the library treats as "no visible text".
bool isJsSpace(char32_t c) {
    return c == ' ' || (c >= 0x09 && c <= 0x0D) || c == 0xA0 || c == 0x1680 || (c >= 0x2000 && c <= 0x200A) ||
           c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F || c == 0x3000 || c == 0xFEFF;
}

// The characters of a text run, character references decoded as far as the structured data
// needs them.
void decodeText(std::string_view text, std::u32string& out) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto b = static_cast<unsigned char>(text[i]);
        if (text[i] != '&') {
            if (b != 0) out += Cp1252ToUnicode(b);
            continue;
        }
        const std::size_t semi = text.find(';', i);
        const std::string_view ref =
            semi == std::string_view::npos ? std::string_view() : text.substr(i + 1, semi - i - 1);
        char32_t code = 0;
        if (ref.size() > 1 && ref[0] == '#') {
            const bool hex = lower(ref[1]) == 'x';
            unsigned long value = 0;
            bool ok = ref.size() > (hex ? 2u : 1u);
            for (std::size_t k = hex ? 2 : 1; ok && k < ref.size(); ++k) {
                const int d = hex ? hexValue(ref[k]) : (ref[k] >= '0' && ref[k] <= '9' ? ref[k] - '0' : -1);
                ok = d >= 0 && value < 0x110000;
                value = value * (hex ? 16 : 10) + static_cast<unsigned long>(d);
            }
            if (ok) {
                code = value >= 0x80 && value < 0xA0 ? Cp1252ToUnicode(static_cast<unsigned char>(value))
                       : value == 0 || value >= 0x110000 || (value >= 0xD800 && value < 0xE000)
                           ? U'\uFFFD'
                           : static_cast<char32_t>(value);
            }
        } else {
            static constexpr std::pair<std::string_view, char32_t> named[] = {
                {"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}, {"nbsp", 0xA0}};
            for (const auto& [name, c] : named)
                if (ref == name) code = c;
        }
        if (code == 0) {
            out += U'&';
            continue;
        }
        out += code;
        i = semi;
    }
}

bool isNameChar(char c) {
    return !(isAsciiSpace(c) || c == '/' || c == '>');
}

// The allow list of menu texts with markup, shared with the script library (web/README.md):
// phrasing elements that neither run code nor nest interactive elements, each with the
// attributes it keeps.
bool allowedElement(std::string_view name) {
    static constexpr std::string_view allowed[] = {
        "abbr", "b",      "bdi",    "bdo", "big", "br",   "cite", "code", "data", "del",  "dfn",
        "em",   "font",   "i",      "img", "ins", "kbd",  "mark", "q",    "s",    "samp", "small",
        "span", "strike", "strong", "sub", "sup", "time", "tt",   "u",    "var",  "wbr"};
    return std::find(std::begin(allowed), std::end(allowed), name) != std::end(allowed);
}

bool allowedAttribute(std::string_view element, std::string_view name) {
    static constexpr std::string_view everywhere[] = {"class", "dir", "lang", "style", "title"};
    static constexpr std::pair<std::string_view, std::string_view> own[] = {
        {"img", "src"},      {"img", "alt"},   {"img", "width"},    {"img", "height"},    {"font", "color"},
        {"font", "face"},    {"font", "size"}, {"data", "value"},   {"time", "datetime"}, {"del", "cite"},
        {"del", "datetime"}, {"ins", "cite"},  {"ins", "datetime"}, {"q", "cite"}};
    if (std::find(std::begin(everywhere), std::end(everywhere), name) != std::end(everywhere)) return true;
    return std::find(std::begin(own), std::end(own), std::pair(element, name)) != std::end(own);
}

bool voidElement(std::string_view name) {
    return name == "br" || name == "img" || name == "wbr";
}

// Elements whose content is not text to show: it is skipped up to their end tag.
bool rawTextElement(std::string_view name) {
    static constexpr std::string_view raw[] = {"script",   "style",    "xmp",   "iframe",   "noembed",
                                               "noframes", "textarea", "title", "noscript", "template"};
    return std::find(std::begin(raw), std::end(raw), name) != std::end(raw);
}

struct Attribute {
    std::string name;
    std::string value;
};

// Reads a start tag's attributes from `pos` (after the name) to its '>'; false when the tag
// never ends, which the HTML parser drops.
bool readAttributes(std::string_view html, std::size_t& pos, std::vector<Attribute>& attributes) {
    while (pos < html.size()) {
        const char c = html[pos];
        if (isAsciiSpace(c) || c == '/') {
            ++pos;
            continue;
        }
        if (c == '>') {
            ++pos;
            return true;
        }
        Attribute a;
        while (pos < html.size() && isNameChar(html[pos]) && (html[pos] != '=' || a.name.empty()))
            a.name += lower(html[pos++]);
        while (pos < html.size() && isAsciiSpace(html[pos]))
            ++pos;
        if (pos < html.size() && html[pos] == '=') {
            ++pos;
            while (pos < html.size() && isAsciiSpace(html[pos]))
                ++pos;
            if (pos < html.size() && (html[pos] == '"' || html[pos] == '\'')) {
                const char quote = html[pos++];
                const std::size_t end = html.find(quote, pos);
                if (end == std::string_view::npos) return false;
                a.value = std::string(html.substr(pos, end - pos));
                pos = end + 1;
            } else {
                while (pos < html.size() && !isAsciiSpace(html[pos]) && html[pos] != '>')
                    a.value += html[pos++];
            }
        }
        const bool duplicate = std::any_of(attributes.begin(), attributes.end(),
                                           [&](const Attribute& o) { return o.name == a.name; });
        if (!duplicate) attributes.push_back(std::move(a));
    }
    return false;
}

// Addresses in markup texts: relative ones and http(s) only. The parser decodes references
// before the address is read ("&#106;avascript:" is a scheme); a reference left undecoded here
// before the path could hide one ("javascript&colon;"), so such an address goes too.
bool safeAddress(std::string_view value) {
    std::u32string decoded;
    decodeText(value, decoded);
    std::string narrow;
    for (char32_t c : decoded)
        narrow += c < 0x80 ? static_cast<char>(c) : '?';
    const std::string address = BrowserTrimmedAddress(narrow);
    const std::string_view head = std::string_view(address).substr(0, address.find_first_of("/?#"));
    if (head.find('&') != std::string_view::npos) return false;
    if (!hasScheme(head)) return true;
    std::string scheme(head.substr(0, head.find(':')));
    for (char& c : scheme)
        c = lower(c);
    return scheme == "http" || scheme == "https";
}

bool keptAttribute(std::string_view element, const Attribute& a) {
    if (!allowedAttribute(element, a.name)) return false;
    return (a.name != "src" && a.name != "cite") || safeAddress(a.value);
}

void appendJsonString(std::string& out, const std::u32string& text) {
    static const char hex[] = "0123456789abcdef";
    const auto unit = [&](unsigned v) {
        out += "\\u";
        for (int shift = 12; shift >= 0; shift -= 4)
            out += hex[(v >> shift) & 0xF];
    };
    out += '"';
    for (char32_t c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c == '<' || c == '>' || c == '&' || c == 0x7F) {
            // '<' escaped too: the text must not be able to end the script element.
            unit(static_cast<unsigned>(c));
        } else if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x10000) {
            unit(static_cast<unsigned>(c));
        } else {
            const unsigned v = static_cast<unsigned>(c) - 0x10000;
            unit(0xD800 + (v >> 10));
            unit(0xDC00 + (v & 0x3FF));
        }
    }
    out += '"';
}

std::u32string collapsed(const std::u32string& text) {
    std::u32string out;
    bool space = false;
    for (char32_t c : text) {
        if (isJsSpace(c)) {
            space = !out.empty();
            continue;
        }
        if (space) out += U' ';
        space = false;
        out += c;
    }
    return out;
}

} // namespace

LinkPath SplitLinkPath(std::string_view file) {
    LinkPath link;
    if (IsUnsafeAddress(file)) {
        link.unsafe = true;
        return link;
    }
    if (isAbsoluteFile(file)) {
        link.absolute = true;
        return link;
    }
    std::string path = BrowserTrimmedAddress(file);
    path = path.substr(0, path.find_first_of("?#"));
    std::replace(path.begin(), path.end(), '\\', '/');
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find('/', start);
        if (end == std::string::npos) end = path.size();
        const std::string segment = decodeSegment(path.substr(start, end - start));
        const bool last = end == path.size();
        if (segment == "..") {
            if (link.decoded.empty())
                ++link.ups;
            else
                link.decoded.pop_back();
            link.folder = last;
        } else if (segment == ".") {
            link.folder = last;
        } else if (!segment.empty()) {
            link.decoded.push_back(segment);
            link.folder = false;
        } else {
            link.folder = last && !path.empty();
        }
        start = end + 1;
    }
    return link;
}

LinkText StaticLinkText(std::string_view html) {
    LinkText result;
    std::vector<std::string> open;
    std::size_t pos = 0;
    const auto text = [&](std::string_view run) {
        char previous = 0;
        for (char c : run) {
            const auto b = static_cast<unsigned char>(c);
            if (lineBreak(result.markup, c, previous)) continue;
            if (c == '<')
                result.markup += "&lt;";
            else if (c == '>')
                result.markup += "&gt;";
            else if (b >= 0x80)
                appendReference(result.markup, Cp1252ToUnicode(b));
            else if (b != 0)
                result.markup += c;
        }
        decodeText(run, result.plain);
    };
    const auto isLetter = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
    while (pos < html.size()) {
        const std::size_t lt = html.find('<', pos);
        if (lt == std::string_view::npos) {
            text(html.substr(pos));
            break;
        }
        text(html.substr(pos, lt - pos));
        pos = lt;
        const char next = lt + 1 < html.size() ? html[lt + 1] : '\0';
        if (isLetter(next)) {
            std::size_t p = lt + 1;
            std::string name;
            while (p < html.size() && isNameChar(html[p]))
                name += lower(html[p++]);
            std::vector<Attribute> attributes;
            if (!readAttributes(html, p, attributes)) break; // a tag cut off at the end is dropped
            pos = p;
            if (name == "plaintext") break;
            if (rawTextElement(name)) {
                // Skip to the matching end tag; without one the rest is the element's content.
                std::size_t q = pos;
                for (;;) {
                    q = html.find("</", q);
                    if (q == std::string_view::npos) break;
                    std::size_t n = q + 2;
                    std::string endName;
                    while (n < html.size() && isNameChar(html[n]))
                        endName += lower(html[n++]);
                    if (endName == name) break;
                    q = n;
                }
                if (q == std::string_view::npos) {
                    pos = html.size();
                } else {
                    const std::size_t gt = html.find('>', q);
                    pos = gt == std::string_view::npos ? html.size() : gt + 1;
                }
                continue;
            }
            if (!allowedElement(name)) continue;
            result.markup += '<' + name;
            for (const Attribute& a : attributes) {
                if (!keptAttribute(name, a)) continue;
                result.markup += ' ' + a.name + "=\"";
                appendEscaped(result.markup, a.value, Ampersands::Keep);
                result.markup += '"';
            }
            result.markup += '>';
            if (name == "img")
                result.named = true;
            else if (!voidElement(name))
                open.push_back(name);
        } else if (next == '/' && lt + 2 < html.size() && isLetter(html[lt + 2])) {
            std::size_t p = lt + 2;
            std::string name;
            while (p < html.size() && isNameChar(html[p]))
                name += lower(html[p++]);
            const std::size_t gt = html.find('>', p);
            if (gt == std::string_view::npos) break;
            pos = gt + 1;
            const auto it = std::find(open.rbegin(), open.rend(), name);
            if (it == open.rend()) continue; // an end tag without its start tag is dropped
            const std::size_t keep = static_cast<std::size_t>(open.rend() - it) - 1;
            while (open.size() > keep) {
                result.markup += "</" + open.back() + '>';
                open.pop_back();
            }
        } else if (next == '!' || next == '?' || next == '/') {
            // Comments and other declarations: a comment could swallow the end marker.
            const bool comment = html.substr(lt, 4) == "<!--";
            const std::size_t end = comment ? html.find("-->", lt + 4) : html.find('>', lt + 1);
            pos = end == std::string_view::npos ? html.size() : end + (comment ? 3 : 1);
        } else {
            result.markup += "&lt;";
            decodeText("<", result.plain);
            ++pos;
        }
    }
    while (!open.empty()) {
        result.markup += "</" + open.back() + '>';
        open.pop_back();
    }
    result.plain = collapsed(result.plain);
    if (!result.plain.empty()) result.named = true;
    return result;
}

// An unsafe entry's text stands where its link would be and is styled like it: every rule for
// the links of a menu (the selected one included) also names the span.
std::string withTextOnlyEntries(std::string_view line) {
    if (line.size() < 2 || line.substr(line.size() - 2) != " {") return std::string(line);
    const std::string_view selector = line.substr(0, line.size() - 2);
    const std::size_t at = selector.rfind(" li a");
    if (at == std::string_view::npos) return std::string(line);
    const std::string_view id = selector.substr(at + 5);
    const bool idOnly = !id.empty() && id[0] == '#' && std::all_of(id.begin() + 1, id.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
               c == '-';
    });
    if (!id.empty() && !idOnly) return std::string(line);
    return std::string(selector) + ",\n" + std::string(selector.substr(0, at)) + " li span.quilso_nolink" +
           std::string(id) + " {";
}

// The main menu's rules reach its own items only, as the library writes them: ".quilso_m li a"
// also matched the links of the sub menu inside an item, which then took the main menu's
// colours. Specificity stays as it was.
std::string scopedToOwnItems(std::string_view line) {
    constexpr std::string_view item = ".quilso_m li";
    if (!line.starts_with(item) ||
        (line.size() > item.size() && line[item.size()] != ' ' && line[item.size()] != ','))
        return std::string(line);
    std::string_view rest = line.substr(item.size());
    std::string out = ".quilso_m > li";
    if (rest.starts_with(" a") || rest.starts_with(" span")) out += " >";
    out += rest;
    return out;
}

// The script library's own rules that need no script, as it adds them after the project's
// style sheet (web/quilso_functions.js, OWN_CSS, without the small-screen button's): focus,
// nested levels, small screens with the menus stacked, wrapped and open, and print. A page
// without script would otherwise scroll sideways on a phone.
constexpr std::string_view NoScriptRules =
    "ul.quilso_m li:focus-within, ul.quilso_um li:focus-within, ul.quilso_bc li:focus-within {"
    " overflow: visible; }\n"
    "ul.quilso_m li a:focus, ul.quilso_um li a:focus, ul.quilso_bc li a:focus {"
    " outline: 2px solid; outline-offset: -2px; }\n"
    "ul.quilso_um > li:has(> ul.quilso_um) { position: relative; overflow: visible; }\n"
    "@media (max-width: 599.98px) {\n"
    "  nav.quilso_m_div, nav.quilso_bc_div { float: none; clear: both; width: auto; }\n"
    "  ul.quilso_m, ul.quilso_um, ul.quilso_bc { position: static; left: auto; top: auto; width: auto;"
    " max-width: 100%; box-sizing: border-box; }\n"
    "  ul.quilso_bc { display: flow-root; }\n"
    "  ul.quilso_m li, ul.quilso_um li { float: none; width: auto; height: auto; max-width: 100%;"
    " box-sizing: border-box; }\n"
    "  ul.quilso_bc li { height: auto; max-width: 100%; box-sizing: border-box; }\n"
    "  ul.quilso_m li > nav > ul.quilso_um, ul.quilso_um ul.quilso_um { margin: 0 0 0 1em; }\n"
    "  ul.quilso_m li a, ul.quilso_um li a, ul.quilso_bc li a, ul.quilso_m li span.quilso_nolink,"
    " ul.quilso_um li span.quilso_nolink, ul.quilso_bc li span.quilso_nolink {"
    " white-space: normal; overflow-wrap: break-word; height: auto; max-width: 100%;"
    " box-sizing: border-box; }\n"
    "}\n"
    "@media print {\n"
    "  nav.quilso_m_div { display: none !important; }\n"
    "  nav:has(> ul.quilso_um) { display: none !important; }\n"
    "  nav.quilso_bc_div { float: none; }\n"
    "  ul.quilso_bc li { height: auto; }\n"
    "  ul.quilso_bc li, ul.quilso_bc li a, ul.quilso_bc li span.quilso_nolink {"
    " background: none !important; color: #000 !important; }\n"
    "  ul.quilso_m [aria-current=\"page\"], ul.quilso_um [aria-current=\"page\"],"
    " ul.quilso_bc [aria-current=\"page\"] {"
    " font-weight: bold !important; text-decoration: underline !important; }\n"
    "}\n";

std::string StaticStyleSheet(const ProjectParams& params, std::string_view eol) {
    ScriptBuffer rules;
    rules.plainCss = true;
    for (int k = 0; k < MenuKindCount; ++k)
        WriteMenuCss(rules, params.css[k], static_cast<MenuKind>(k));
    std::string sheet;
    for (std::string_view line : SplitLines(rules.text)) {
        // A rule with text-only entries added spans two lines, each a selector of its own.
        const std::string rule = withTextOnlyEntries(line);
        const std::size_t copy = rule.find('\n');
        sheet += scopedToOwnItems(std::string_view(rule).substr(0, copy));
        if (copy != std::string::npos)
            sheet += '\n' + scopedToOwnItems(std::string_view(rule).substr(copy + 1));
        sheet += '\n';
    }
    sheet += NoScriptRules;
    std::string out = "<style>";
    out += eol;
    for (char c : sheet) {
        const auto b = static_cast<unsigned char>(c);
        if (c == '\n') {
            out += eol;
        } else if (c == '<') {
            // No value can end the style element.
            out += "\\3C ";
        } else if (b >= 0x80) {
            static const char hex[] = "0123456789ABCDEF";
            std::string digits;
            for (char32_t v = Cp1252ToUnicode(b); v; v >>= 4)
                digits.insert(digits.begin(), hex[v & 0xF]);
            out += '\\' + digits + ' ';
        } else {
            out += c;
        }
    }
    out += "</style>";
    return out;
}

MenuMarkup::MenuMarkup(const Project& project)
    : root_(project.tree.root()), isTag_(project.params.options.isTag) {
    nodes_.reserve(project.tree.size());
    project.tree.forEachPreorder([&](const SiteNode* node, int) { nodes_.push_back(node); });
}

void MenuMarkup::setPage(std::size_t current, std::string_view pagePath, bool subOwnPlace) {
    current_ = current < nodes_.size() ? nodes_[current] : nullptr;
    branch_.clear();
    for (const SiteNode* node = current_; node && !node->isRoot(); node = node->parent())
        branch_.push_back(node);
    std::reverse(branch_.begin(), branch_.end());
    // The library links every relative file name through the steps from the page's folder to
    // the menu script file's folder, the name itself as entered.
    pagePrefix_.clear();
    for (std::size_t k = 0, slash; (slash = pagePath.find('/', k)) != std::string_view::npos; k = slash + 1)
        if (slash > k) pagePrefix_ += "../";
    subOwnPlace_ = subOwnPlace;
    std::fill(std::begin(instances_), std::end(instances_), 0);
}

const LinkText& MenuMarkup::textOf(const SiteNode* node) {
    // Pages in tree order show mostly the same entries, so a few thousand texts spare almost
    // every repetition; keeping every text of a large tree would cost more than the tree.
    constexpr std::size_t KeptTexts = 4096;
    const auto it = texts_.find(node);
    if (it != texts_.end()) return it->second;
    if (texts_.size() >= KeptTexts) texts_.clear();
    return texts_.emplace(node, StaticLinkText(HtmlEncode(node->entry.text, isTag_))).first->second;
}

bool MenuMarkup::isTextOnly(const SiteNode* node) {
    return IsUnsafeAddress(node->entry.file);
}

void MenuMarkup::appendHref(std::string& out, const SiteNode* node) const {
    const std::string_view file = node->entry.file;
    if (!isAbsoluteFile(file)) out += pagePrefix_;
    out += file;
}

void MenuMarkup::appendNavStart(std::string& out, int kind, const char* className,
                                std::string_view published) {
    const int instance = ++instances_[kind];
    out += "<nav";
    if (*className) {
        out += " class=\"";
        out += className;
        out += '"';
    }
    out += " aria-label=\"";
    out += Labels[static_cast<std::size_t>(kind)];
    if (instance > 1) out += ' ' + std::to_string(instance);
    out += '"';
    // The library leaves a kind alone that the page already holds.
    if (!published.empty()) {
        out += " data-quilso-published=\"";
        out += published;
        out += '"';
    }
    out += '>';
}

void MenuMarkup::appendLink(std::string& out, const SiteNode* node, int kind) {
    const bool textOnly = isTextOnly(node);
    const bool current = node == current_;
    // A link that could run code is shown as its text only.
    const char* tag = textOnly ? "span" : "a";
    out += '<';
    out += tag;
    if (textOnly) out += " class=\"quilso_nolink\"";
    if (!textOnly) {
        std::string href;
        appendHref(href, node);
        out += " href=\"";
        appendEscaped(out, href);
        out += '"';
    }
    if (current) {
        if (instances_[kind] == 1) {
            out += " id=\"";
            out += Kinds[static_cast<std::size_t>(kind)];
            out += "_selected\"";
        }
        out += " aria-current=\"page\"";
    }
    out += '>';
    const LinkText& text = textOf(node);
    if (text.named)
        out += text.markup;
    else if (!textOnly)
        appendEscaped(out, node->entry.file); // a link without a name is unusable with a screen reader
    out += "</";
    out += tag;
    out += '>';
}

void MenuMarkup::appendItems(std::string& out, const SiteNode* const* first, const SiteNode* const* last,
                             int kind) {
    for (; first != last; ++first) {
        out += "<li>";
        appendLink(out, *first, kind);
        out += "</li>";
        spillIfLarge(out);
    }
}

void MenuMarkup::appendListStart(std::string& out, int kind) {
    out += "<ul class=\"quilso_";
    out += Kinds[static_cast<std::size_t>(kind)];
    out += "\">";
}

// How many levels of the current branch the sub menu shows: the children of the top-level
// entry, and of every deeper entry of the branch as long as it has children.
std::size_t MenuMarkup::subMenuLevels() const {
    if (branch_.empty() || branch_[0]->children().empty()) return 0;
    std::size_t depth = 1;
    while (depth < branch_.size() && !branch_[depth]->children().empty())
        ++depth;
    return depth;
}

// Each level's list goes into the item of its parent: the lists are opened from the top down
// up to the item of the next level's parent, then closed from the bottom up, so that a branch
// 100,000 levels deep is written once, not copied into each level above it.
void MenuMarkup::appendSubMenu(std::string& out, std::string_view published) {
    const std::size_t levels = subMenuLevels();
    if (levels == 0) return;
    appendNavStart(out, 1, "", published);
    std::vector<std::size_t> rest(levels); // per level: the children after the nested item
    for (std::size_t level = 0; level < levels; ++level) {
        const ChildList& children = branch_[level]->children();
        appendListStart(out, 1);
        const ChildList::const_iterator nest =
            level + 1 < levels ? std::find(children.begin(), children.end(), branch_[level + 1])
                               : children.end();
        appendItems(out, children.begin(), nest, 1);
        if (nest == children.end()) {
            out += "</ul>";
            rest[level] = children.size();
            break;
        }
        out += "<li>";
        appendLink(out, *nest, 1);
        rest[level] = static_cast<std::size_t>(nest - children.begin()) + 1;
        spillIfLarge(out);
    }
    for (std::size_t level = levels - 1; level-- > 0;) {
        const ChildList& children = branch_[level]->children();
        out += "</li>";
        appendItems(out, children.begin() + rest[level], children.end(), 1);
        out += "</ul>";
        spillIfLarge(out);
    }
    out += "</nav>";
}

void MenuMarkup::appendMainMenu(std::string& out, std::string_view published) {
    const ChildList& top = root_->children();
    appendNavStart(out, 0, "quilso_m_div", published);
    appendListStart(out, 0);
    const SiteNode* nest = !subOwnPlace_ && subMenuLevels() > 0 ? branch_[0] : nullptr;
    for (const SiteNode* node : top) {
        out += "<li>";
        appendLink(out, node, 0);
        if (node == nest) appendSubMenu(out, {});
        out += "</li>";
        spillIfLarge(out);
    }
    out += "</ul></nav>";
}

void MenuMarkup::appendTrail(std::string& out, std::string_view published) {
    appendNavStart(out, 2, "quilso_bc_div", published);
    appendListStart(out, 2);
    appendItems(out, branch_.data(), branch_.data() + branch_.size(), 2);
    out += "</ul></nav>";
    // The trail once more for search engines, which expect an address on every entry but the
    // last: a text-only ancestor stays in the visible trail only. The current page always has
    // one.
    out += "<script type=\"application/ld+json\">{\"@context\":\"https://schema.org\","
           "\"@type\":\"BreadcrumbList\",\"itemListElement\":[";
    std::size_t position = 0;
    for (const SiteNode* node : branch_) {
        if (isTextOnly(node)) continue;
        if (position) out += ',';
        out += "{\"@type\":\"ListItem\",\"position\":" + std::to_string(++position) + ",\"name\":";
        std::u32string name = textOf(node).plain;
        if (name.empty()) decodeText(node->entry.file, name);
        appendJsonString(out, name);
        out += ",\"item\":";
        std::string href;
        appendHref(href, node);
        std::u32string wide;
        for (char c : href)
            wide += Cp1252ToUnicode(static_cast<unsigned char>(c));
        appendJsonString(out, wide);
        out += '}';
        spillIfLarge(out);
    }
    out += "]}</script>";
}

void MenuMarkup::spillIfLarge(std::string& out) {
    constexpr std::size_t SpillBytes = 1 << 16;
    if (spill_ && *spill_ && out.size() >= SpillBytes) (*spill_)(out);
}

void MenuMarkup::render(std::string& out, std::string_view kind,
                        const std::function<void(std::string&)>& spill) {
    spill_ = &spill;
    const int k = kindIndex(kind);
    if (k == 0 && !root_->children().empty()) appendMainMenu(out, kind);
    if (k == 1 && subMenuLevels() > 0) appendSubMenu(out, kind);
    if (k == 2 && !branch_.empty()) appendTrail(out, kind);
    spill_ = nullptr;
}

} // namespace quilso
