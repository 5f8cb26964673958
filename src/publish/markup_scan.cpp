#include "markup_scan.h"

#include <algorithm>

namespace quilso {

namespace {

constexpr std::size_t npos = std::string_view::npos;

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

bool isLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

char lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool sameNoCase(std::string_view a, std::string_view lowerCase) {
    return a.size() == lowerCase.size() &&
           std::equal(a.begin(), a.end(), lowerCase.begin(), [](char x, char y) { return lower(x) == y; });
}

// The lower-case spelling of `name` among `names`, or nothing.
std::string_view oneOf(std::string_view name, std::initializer_list<std::string_view> names) {
    for (std::string_view n : names)
        if (sameNoCase(name, n)) return n;
    return {};
}

// True when `page` holds "</NAME" at `at` followed by what ends a tag name.
bool endTagAt(std::string_view page, std::size_t at, std::string_view name) {
    if (page.compare(at, 2, "</") != 0 || !sameNoCase(page.substr(at + 2, name.size()), name)) return false;
    const std::size_t after = at + 2 + name.size();
    return after < page.size() && (isSpace(page[after]) || page[after] == '/' || page[after] == '>');
}

// The end of a comment that starts at `at` ("<!--"): after "-->" or "--!>"; "<!-->" and
// "<!--->" end at once.
std::size_t commentEnd(std::string_view page, std::size_t at) {
    std::size_t p = at + 4;
    if (page.compare(p, 1, ">") == 0) return p + 1;
    if (page.compare(p, 2, "->") == 0) return p + 2;
    for (;; ++p) {
        p = page.find("--", p);
        if (p == npos) return page.size();
        if (page.compare(p + 2, 1, ">") == 0) return p + 3;
        if (page.compare(p + 2, 2, "!>") == 0) return p + 4;
    }
}

// The end of a tag whose name ends at `p`: after its '>'. A quote opens a value only where a
// value may start; a '>' inside it does not end the tag.
std::size_t tagEnd(std::string_view page, std::size_t p) {
    enum { BeforeName, Name, AfterName, BeforeValue, Unquoted } state = BeforeName;
    for (; p < page.size(); ++p) {
        const char c = page[p];
        if (c == '>') return p + 1;
        switch (state) {
        case BeforeName:
            if (!isSpace(c) && c != '/') state = Name;
            break;
        case Name:
            if (isSpace(c)) state = AfterName;
            if (c == '/') state = BeforeName;
            if (c == '=') state = BeforeValue;
            break;
        case AfterName:
            if (c == '/') state = BeforeName;
            if (c == '=') state = BeforeValue;
            if (!isSpace(c) && c != '/' && c != '=') state = Name;
            break;
        case BeforeValue:
            if (c == '"' || c == '\'') {
                const std::size_t close = page.find(c, p + 1);
                if (close == npos) return page.size();
                p = close;
                state = BeforeName;
            } else if (!isSpace(c)) {
                state = Unquoted;
            }
            break;
        case Unquoted:
            if (isSpace(c)) state = BeforeName;
            break;
        }
    }
    return page.size();
}

// The start of the end tag of a script whose content starts at `p`, or the end of the page.
// Inside "<!--" a nested "<script" hides the next "</script>", as it does for the parser.
std::size_t scriptEnd(std::string_view page, std::size_t p) {
    enum { Data, Escaped, DoubleEscaped } mode = Data;
    int dashes = 0;
    const auto nameEnds = [&](std::size_t at) {
        return at < page.size() && (isSpace(page[at]) || page[at] == '/' || page[at] == '>');
    };
    while (p < page.size()) {
        if (mode == Data) {
            p = page.find('<', p);
            if (p == npos) return page.size();
            if (endTagAt(page, p, "script")) return p;
            if (page.compare(p, 4, "<!--") == 0) {
                mode = Escaped;
                dashes = 2;
                p += 4;
            } else {
                ++p;
            }
            continue;
        }
        p = page.find_first_of("<->", p);
        if (p == npos) return page.size();
        const char c = page[p];
        if (c == '-') {
            ++dashes;
            ++p;
            continue;
        }
        if (c == '>') {
            if (dashes >= 2) mode = Data;
            dashes = 0;
            ++p;
            continue;
        }
        dashes = 0;
        if (mode == Escaped && endTagAt(page, p, "script")) return p;
        if (mode == Escaped && sameNoCase(page.substr(p + 1, 6), "script") && nameEnds(p + 7)) {
            mode = DoubleEscaped;
            p += 7;
        } else if (mode == DoubleEscaped && endTagAt(page, p, "script")) {
            mode = Escaped;
            p += 8;
        } else {
            ++p;
        }
    }
    return page.size();
}

// The start of "</NAME" that ends raw text from `p`, or the end of the page.
std::size_t rawTextEnd(std::string_view page, std::size_t p, std::string_view name) {
    for (;; p += 2) {
        p = page.find("</", p);
        if (p == npos) return page.size();
        if (endTagAt(page, p, name)) return p;
    }
}

} // namespace

void WalkMarkup(std::string_view page, const std::function<void(const MarkupSpan&)>& visit) {
    const std::size_t n = page.size();
    std::size_t p = 0;
    const auto upTo = [&](std::size_t from, std::string_view end) {
        const std::size_t at = page.find(end, from);
        return at == npos ? n : at + end.size();
    };
    while ((p = page.find('<', p)) != npos) {
        const std::size_t at = p;
        const char next = at + 1 < n ? page[at + 1] : '\0';
        if (page.compare(at, 4, "<!--") == 0) {
            p = commentEnd(page, at);
            visit({MarkupPart::Comment, at, p, {}});
        } else if (page.compare(at, 9, "<![CDATA[") == 0) {
            p = upTo(at + 9, "]]>");
            visit({MarkupPart::Cdata, at, p, {}});
        } else if (next == '!' || next == '?' || (next == '/' && at + 2 < n && !isLetter(page[at + 2]))) {
            // "</>" and the like: skipped by the parser up to the next '>'.
            p = upTo(at + 2, ">");
            visit({MarkupPart::Declaration, at, p, {}});
        } else if (isLetter(next) || (next == '/' && at + 2 < n)) {
            // A start tag, or an end tag (its name starts with a letter: the case before took
            // the others).
            const bool endTag = next == '/';
            const std::size_t nameStart = at + (endTag ? 2 : 1);
            std::size_t nameEnd = nameStart;
            while (nameEnd < n && !isSpace(page[nameEnd]) && page[nameEnd] != '/' && page[nameEnd] != '>')
                ++nameEnd;
            const std::string_view name = page.substr(nameStart, nameEnd - nameStart);
            p = tagEnd(page, nameEnd);
            visit({MarkupPart::Tag, at, p, name});
            if (endTag || p == n) continue;
            // A noscript element holds markup here: the static menus are for visitors without
            // script, and with script on its content is never shown.
            std::size_t contentEnd = npos;
            MarkupPart part = MarkupPart::RawText;
            if (sameNoCase(name, "script")) {
                contentEnd = scriptEnd(page, p);
            } else if (sameNoCase(name, "plaintext")) {
                contentEnd = n;
            } else if (const auto raw = oneOf(name, {"style", "xmp", "iframe", "noembed", "noframes"});
                       !raw.empty()) {
                contentEnd = rawTextEnd(page, p, raw);
            } else if (const auto text = oneOf(name, {"textarea", "title"}); !text.empty()) {
                contentEnd = rawTextEnd(page, p, text);
                part = MarkupPart::EscapableRawText;
            }
            if (contentEnd == npos) continue;
            visit({part, p, contentEnd, name});
            p = contentEnd;
        } else {
            ++p;
        }
    }
}

} // namespace quilso
