#include "site_text.h"

#include "cp1252.h"
#include "value_helpers.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>
#include <unordered_map>

namespace quilso {

namespace {

constexpr char32_t Replacement = 0xFFFD;

bool isAsciiSpace(char32_t c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

char lowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
}

bool startsWithNoCase(std::string_view text, std::size_t at, std::string_view prefix) {
    if (text.size() - at < prefix.size() || at > text.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if (lowerAscii(text[at + i]) != prefix[i]) return false;
    return true;
}

std::size_t findNoCase(std::string_view text, std::string_view needle, std::size_t from) {
    if (needle.empty() || text.size() < needle.size()) return std::string_view::npos;
    for (std::size_t i = from; i + needle.size() <= text.size(); ++i)
        if (lowerAscii(text[i]) == needle[0] && startsWithNoCase(text, i, needle)) return i;
    return std::string_view::npos;
}

// Reads one UTF-8 sequence at `i`; false (and a length of 1) when the byte there does not start
// a well-formed, shortest-form sequence of a scalar value.
bool nextUtf8(std::string_view s, std::size_t i, char32_t& cp, std::size_t& len) {
    const auto b0 = static_cast<unsigned char>(s[i]);
    len = 1;
    cp = b0;
    if (b0 < 0x80) return true;
    std::size_t need;
    char32_t min;
    if ((b0 & 0xE0) == 0xC0) {
        need = 2, cp = b0 & 0x1F, min = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        need = 3, cp = b0 & 0x0F, min = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        need = 4, cp = b0 & 0x07, min = 0x10000;
    } else {
        return false;
    }
    if (i + need > s.size()) return false;
    for (std::size_t k = 1; k < need; ++k) {
        const auto b = static_cast<unsigned char>(s[i + k]);
        if ((b & 0xC0) != 0x80) return false;
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    len = need;
    return true;
}

bool isValidUtf8(std::string_view s) {
    for (std::size_t i = 0; i < s.size();) {
        char32_t cp;
        std::size_t len;
        if (!nextUtf8(s, i, cp, len)) return false;
        i += len;
    }
    return true;
}

void appendPercent(std::string& out, unsigned char b) {
    static const char hex[] = "0123456789ABCDEF";
    out += '%';
    out += hex[b >> 4];
    out += hex[b & 15];
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The character references of HTML 4 and &apos;: what page titles actually carry. The
// Latin-1 names come first, in code order from 160.
const std::unordered_map<std::string_view, char32_t>& namedReferences() {
    static const auto table = [] {
        std::unordered_map<std::string_view, char32_t> map;
        static constexpr std::array<std::string_view, 96> latin1 = {
            "nbsp",   "iexcl",  "cent",   "pound",  "curren", "yen",    "brvbar", "sect",   "uml",
            "copy",   "ordf",   "laquo",  "not",    "shy",    "reg",    "macr",   "deg",    "plusmn",
            "sup2",   "sup3",   "acute",  "micro",  "para",   "middot", "cedil",  "sup1",   "ordm",
            "raquo",  "frac14", "frac12", "frac34", "iquest", "Agrave", "Aacute", "Acirc",  "Atilde",
            "Auml",   "Aring",  "AElig",  "Ccedil", "Egrave", "Eacute", "Ecirc",  "Euml",   "Igrave",
            "Iacute", "Icirc",  "Iuml",   "ETH",    "Ntilde", "Ograve", "Oacute", "Ocirc",  "Otilde",
            "Ouml",   "times",  "Oslash", "Ugrave", "Uacute", "Ucirc",  "Uuml",   "Yacute", "THORN",
            "szlig",  "agrave", "aacute", "acirc",  "atilde", "auml",   "aring",  "aelig",  "ccedil",
            "egrave", "eacute", "ecirc",  "euml",   "igrave", "iacute", "icirc",  "iuml",   "eth",
            "ntilde", "ograve", "oacute", "ocirc",  "otilde", "ouml",   "divide", "oslash", "ugrave",
            "uacute", "ucirc",  "uuml",   "yacute", "thorn",  "yuml"};
        for (std::size_t i = 0; i < latin1.size(); ++i)
            map.emplace(latin1[i], static_cast<char32_t>(160 + i));
        static constexpr std::array<std::string_view, 24> greekUpper = {
            "Alpha", "Beta",  "Gamma",  "Delta",   "Epsilon", "Zeta", "Eta",     "Theta",
            "Iota",  "Kappa", "Lambda", "Mu",      "Nu",      "Xi",   "Omicron", "Pi",
            "Rho",   "Sigma", "Tau",    "Upsilon", "Phi",     "Chi",  "Psi",     "Omega"};
        for (std::size_t i = 0; i < greekUpper.size(); ++i) {
            // U+03A2 is unassigned: the capitals jump from Rho to Sigma.
            const char32_t cp = static_cast<char32_t>(0x391 + i + (i >= 17 ? 1 : 0));
            map.emplace(greekUpper[i], cp);
        }
        static constexpr std::array<std::string_view, 25> greekLower = {
            "alpha", "beta",   "gamma",   "delta", "epsilon", "zeta",    "eta",  "theta", "iota",
            "kappa", "lambda", "mu",      "nu",    "xi",      "omicron", "pi",   "rho",   "sigmaf",
            "sigma", "tau",    "upsilon", "phi",   "chi",     "psi",     "omega"};
        for (std::size_t i = 0; i < greekLower.size(); ++i)
            map.emplace(greekLower[i], static_cast<char32_t>(0x3B1 + i));
        static constexpr std::pair<std::string_view, char32_t> others[] = {
            {"quot", 34},     {"amp", 38},      {"apos", 39},      {"lt", 60},        {"gt", 62},
            {"OElig", 338},   {"oelig", 339},   {"Scaron", 352},   {"scaron", 353},   {"Yuml", 376},
            {"fnof", 402},    {"circ", 710},    {"tilde", 732},    {"thetasym", 977}, {"upsih", 978},
            {"piv", 982},     {"ensp", 8194},   {"emsp", 8195},    {"thinsp", 8201},  {"zwnj", 8204},
            {"zwj", 8205},    {"lrm", 8206},    {"rlm", 8207},     {"ndash", 8211},   {"mdash", 8212},
            {"lsquo", 8216},  {"rsquo", 8217},  {"sbquo", 8218},   {"ldquo", 8220},   {"rdquo", 8221},
            {"bdquo", 8222},  {"dagger", 8224}, {"Dagger", 8225},  {"bull", 8226},    {"hellip", 8230},
            {"permil", 8240}, {"prime", 8242},  {"Prime", 8243},   {"lsaquo", 8249},  {"rsaquo", 8250},
            {"oline", 8254},  {"frasl", 8260},  {"euro", 8364},    {"image", 8465},   {"weierp", 8472},
            {"real", 8476},   {"trade", 8482},  {"alefsym", 8501}, {"larr", 8592},    {"uarr", 8593},
            {"rarr", 8594},   {"darr", 8595},   {"harr", 8596},    {"crarr", 8629},   {"lArr", 8656},
            {"uArr", 8657},   {"rArr", 8658},   {"dArr", 8659},    {"hArr", 8660},    {"forall", 8704},
            {"part", 8706},   {"exist", 8707},  {"empty", 8709},   {"nabla", 8711},   {"isin", 8712},
            {"notin", 8713},  {"ni", 8715},     {"prod", 8719},    {"sum", 8721},     {"minus", 8722},
            {"lowast", 8727}, {"radic", 8730},  {"prop", 8733},    {"infin", 8734},   {"ang", 8736},
            {"and", 8743},    {"or", 8744},     {"cap", 8745},     {"cup", 8746},     {"int", 8747},
            {"there4", 8756}, {"sim", 8764},    {"cong", 8773},    {"asymp", 8776},   {"ne", 8800},
            {"equiv", 8801},  {"le", 8804},     {"ge", 8805},      {"sub", 8834},     {"sup", 8835},
            {"nsub", 8836},   {"sube", 8838},   {"supe", 8839},    {"oplus", 8853},   {"otimes", 8855},
            {"perp", 8869},   {"sdot", 8901},   {"lceil", 8968},   {"rceil", 8969},   {"lfloor", 8970},
            {"rfloor", 8971}, {"lang", 9001},   {"rang", 9002},    {"loz", 9674},     {"spades", 9824},
            {"clubs", 9827},  {"hearts", 9829}, {"diams", 9830}};
        for (const auto& [name, cp] : others)
            map.emplace(name, cp);
        return map;
    }();
    return table;
}

// A numeric reference's value as a browser reads it: 128..159 name the Windows-1252 characters,
// nothing and surrogates become U+FFFD.
char32_t numericReference(std::uint64_t value) {
    if (value == 0 || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return Replacement;
    if (value >= 0x80 && value < 0xA0) return Cp1252ToUnicode(static_cast<unsigned char>(value));
    return static_cast<char32_t>(value);
}

enum class Charset { Unknown, Utf8, Cp1252 };

// The charset a <meta> in the head declares; only the first declaration counts.
Charset declaredCharset(std::string_view head) {
    const std::size_t at = findNoCase(head, "charset", 0);
    if (at == std::string_view::npos) return Charset::Unknown;
    std::size_t i = at + 7;
    while (i < head.size() && (head[i] == ' ' || head[i] == '=' || head[i] == '"' || head[i] == '\''))
        ++i;
    std::string label;
    while (i < head.size() && label.size() < 20 &&
           (std::isalnum(static_cast<unsigned char>(head[i])) || head[i] == '-' || head[i] == '_'))
        label += lowerAscii(head[i++]);
    if (label == "utf-8" || label == "utf8") return Charset::Utf8;
    if (label.empty()) return Charset::Unknown;
    // Latin-1, ASCII and their kin are read as Windows-1252, as browsers do.
    return Charset::Cp1252;
}

std::u32string decodeBytes(std::string_view bytes, Charset charset) {
    if (charset == Charset::Utf8) return DecodeUtf8(bytes);
    std::u32string out;
    out.reserve(bytes.size());
    for (unsigned char b : bytes)
        out += Cp1252ToUnicode(b);
    return out;
}

// One byte of a stored menu text folded for the first level of the German order; may be two
// letters (ß, æ, œ).
std::string_view foldByte(unsigned char b, char& single) {
    if (b >= 'A' && b <= 'Z') {
        single = static_cast<char>(b + 32);
        return {&single, 1};
    }
    switch (b) {
    case 0xC6:
    case 0xE6:
        return "ae";
    case 0x8C:
    case 0x9C:
        return "oe";
    case 0xDE:
    case 0xFE:
        return "th";
    case 0xDF:
        return "ss";
    default:
        break;
    }
    char c = static_cast<char>(b);
    if ((b >= 0xC0 && b <= 0xC5) || (b >= 0xE0 && b <= 0xE5))
        c = 'a';
    else if (b == 0xC7 || b == 0xE7)
        c = 'c';
    else if ((b >= 0xC8 && b <= 0xCB) || (b >= 0xE8 && b <= 0xEB))
        c = 'e';
    else if ((b >= 0xCC && b <= 0xCF) || (b >= 0xEC && b <= 0xEF))
        c = 'i';
    else if (b == 0xD0 || b == 0xF0)
        c = 'd';
    else if (b == 0xD1 || b == 0xF1)
        c = 'n';
    else if ((b >= 0xD2 && b <= 0xD6) || b == 0xD8 || (b >= 0xF2 && b <= 0xF6) || b == 0xF8)
        c = 'o';
    else if ((b >= 0xD9 && b <= 0xDC) || (b >= 0xF9 && b <= 0xFC))
        c = 'u';
    else if (b == 0xDD || b == 0xFD || b == 0xFF || b == 0x9F)
        c = 'y';
    else if (b == 0x8A || b == 0x9A)
        c = 's';
    else if (b == 0x8E || b == 0x9E)
        c = 'z';
    single = c;
    return {&single, 1};
}

} // namespace

std::string StoredTextFromUnicode(std::u32string_view text) {
    const auto isAsciiLetter = [](char32_t c) {
        return (c >= U'a' && c <= U'z') || (c >= U'A' && c <= U'Z');
    };
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char32_t cp = text[i];
        const char32_t next = i + 1 < text.size() ? text[i + 1] : U'\0';
        // What the HTML tokenizer takes for the start of a reference or of markup; anything else
        // it shows as it stands, so texts such as "Tom & Jerry" keep their look.
        if (cp == U'&' && (next == U'#' || isAsciiLetter(next) || (next >= U'0' && next <= U'9'))) {
            out += "&amp;";
        } else if (cp == U'<' && (isAsciiLetter(next) || next == U'/' || next == U'!' || next == U'?')) {
            out += "&lt;";
        } else if (const auto byte = UnicodeToCp1252(cp)) {
            out += *byte;
        } else if (cp >= 0x80 && cp < 0xA0) {
            // A control character a browser does not show; written as a reference it would show
            // the Windows-1252 character of that number instead.
            continue;
        } else {
            out += "&#" + std::to_string(static_cast<unsigned long>(cp)) + ';';
        }
    }
    return out;
}

std::u32string DecodeUtf8(std::string_view utf8) {
    std::u32string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        char32_t cp;
        std::size_t len;
        out += nextUtf8(utf8, i, cp, len) ? cp : Replacement;
        i += len;
    }
    return out;
}

std::string EncodeUtf8(std::u32string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char32_t cp : text) {
        if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = Replacement;
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (cp >> 18));
            out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    return out;
}

std::string DisplayUtf8(std::string_view stored) {
    std::u32string text;
    text.reserve(stored.size());
    for (std::size_t i = 0; i < stored.size();) {
        // Only canonical references of characters the code page lacks: exactly those
        // StoredTextFromUnicode writes, so a typed "&#228;" stays as typed.
        if (stored[i] == '&' && i + 2 < stored.size() && stored[i + 1] == '#' && stored[i + 2] != '0') {
            std::size_t j = i + 2;
            std::uint64_t value = 0;
            while (j < stored.size() && j - i < 10 && stored[j] >= '0' && stored[j] <= '9')
                value = value * 10 + static_cast<unsigned>(stored[j++] - '0');
            const char32_t cp = static_cast<char32_t>(value);
            if (j > i + 2 && j < stored.size() && stored[j] == ';' && value <= 0x10FFFF &&
                !(value >= 0xD800 && value <= 0xDFFF) && !UnicodeToCp1252(cp)) {
                text += cp;
                i = j + 1;
                continue;
            }
        }
        text += Cp1252ToUnicode(static_cast<unsigned char>(stored[i++]));
    }
    return EncodeUtf8(text);
}

std::size_t ReferenceSafeCut(std::string_view stored, std::size_t at) {
    if (at >= stored.size()) return stored.size();
    // The longest reference DisplayUtf8 decodes is "&#" and eight digits and ';'.
    constexpr std::size_t LongestReference = 11;
    const std::size_t from = at > LongestReference ? at - LongestReference : 0;
    const std::size_t amp = stored.substr(from, at - from).rfind('&');
    if (amp == std::string_view::npos) return at;
    const std::string_view open = stored.substr(from + amp, at - from - amp);
    return open.find(';') == std::string_view::npos && from + amp > 0 ? from + amp : at;
}

void ForEachDisplayPiece(std::string_view stored, std::size_t pieceBytes,
                         const std::function<void(std::string_view utf8)>& piece) {
    while (!stored.empty()) {
        const std::size_t cut = ReferenceSafeCut(stored, std::max<std::size_t>(pieceBytes, 16));
        piece(DisplayUtf8(stored.substr(0, cut)));
        stored.remove_prefix(cut);
    }
}

std::string StoredFileNameFromUtf8(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        char32_t cp;
        std::size_t len;
        const bool valid = nextUtf8(utf8, i, cp, len);
        const auto byte = valid ? UnicodeToCp1252(cp) : std::nullopt;
        if (byte && cp >= 0x20 && cp != 0x7F && cp != '%' && cp != '#' && cp != '?' && cp != '\\') {
            out += *byte;
        } else {
            for (std::size_t k = 0; k < len; ++k)
                appendPercent(out, static_cast<unsigned char>(utf8[i + k]));
        }
        i += len;
    }
    return out;
}

std::string Utf8PathFromStoredFileName(std::string_view stored) {
    return PercentDecode(Utf8FromCp1252(stored));
}

std::u32string MenuTextFromFileName(std::u32string_view fileName) {
    const std::size_t slash = fileName.find_last_of(U"/\\");
    std::u32string name(slash == std::u32string_view::npos ? fileName : fileName.substr(slash + 1));
    const std::size_t dot = name.rfind(U'.');
    if (dot != std::u32string::npos) name.resize(dot);
    if (!name.empty() && name[0] >= U'a' && name[0] <= U'z') name[0] -= 32;
    return name;
}

std::u32string DecodeHtmlReferences(std::u32string_view text) {
    std::u32string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        if (text[i] != U'&') {
            out += text[i++];
            continue;
        }
        std::size_t j = i + 1;
        if (j < text.size() && text[j] == U'#') {
            ++j;
            const bool hex = j < text.size() && (text[j] == U'x' || text[j] == U'X');
            if (hex) ++j;
            const std::size_t digitsStart = j;
            std::uint64_t value = 0;
            while (j < text.size()) {
                const char32_t c = text[j];
                int digit = -1;
                if (c >= U'0' && c <= U'9')
                    digit = static_cast<int>(c - U'0');
                else if (hex && c < 128)
                    digit = hexValue(static_cast<char>(c));
                if (digit < 0) break;
                value =
                    std::min<std::uint64_t>(value * (hex ? 16 : 10) + static_cast<unsigned>(digit), 0x110000);
                ++j;
            }
            if (j > digitsStart) {
                out += numericReference(value);
                i = j < text.size() && text[j] == U';' ? j + 1 : j;
                continue;
            }
        } else {
            std::string name;
            while (j < text.size() && j - i <= 10 && text[j] < 128 &&
                   std::isalnum(static_cast<unsigned char>(text[j])))
                name += static_cast<char>(text[j++]);
            if (j < text.size() && text[j] == U';') {
                const auto& table = namedReferences();
                if (const auto it = table.find(name); it != table.end()) {
                    out += it->second;
                    i = j + 1;
                    continue;
                }
            }
        }
        out += text[i++];
    }
    return out;
}

std::optional<std::u32string> PageTitle(std::string_view html) {
    std::size_t pos = 0;
    std::size_t titleStart = std::string_view::npos, titleEnd = std::string_view::npos;
    while ((pos = html.find('<', pos)) != std::string_view::npos) {
        if (html.compare(pos, 4, "<!--") == 0) {
            const std::size_t end = html.find("-->", pos + 4);
            if (end == std::string_view::npos) return std::nullopt;
            pos = end + 3;
            continue;
        }
        // A title in the body (an SVG's) names a drawing, not the page.
        if (startsWithNoCase(html, pos, "<body")) return std::nullopt;
        if (startsWithNoCase(html, pos, "<title") && pos + 6 < html.size() &&
            (html[pos + 6] == '>' || isAsciiSpace(static_cast<unsigned char>(html[pos + 6])))) {
            const std::size_t open = html.find('>', pos);
            if (open == std::string_view::npos) return std::nullopt;
            titleStart = open + 1;
            titleEnd = findNoCase(html, "</title", titleStart);
            if (titleEnd == std::string_view::npos) return std::nullopt;
            break;
        }
        ++pos;
    }
    if (titleStart == std::string_view::npos) return std::nullopt;

    Charset charset = Charset::Unknown;
    std::string_view body = html;
    if (html.substr(0, 3) == "\xEF\xBB\xBF") charset = Charset::Utf8;
    if (charset == Charset::Unknown)
        charset = declaredCharset(html.substr(0, std::max(titleEnd, std::size_t{1024})));
    const std::string_view raw = body.substr(titleStart, titleEnd - titleStart);
    if (charset == Charset::Unknown) charset = isValidUtf8(raw) ? Charset::Utf8 : Charset::Cp1252;

    const std::u32string decoded = DecodeHtmlReferences(decodeBytes(raw, charset));
    std::u32string title;
    title.reserve(decoded.size());
    bool pendingSpace = false;
    for (char32_t c : decoded) {
        if (isAsciiSpace(c)) {
            pendingSpace = !title.empty();
            continue;
        }
        if (pendingSpace) title += U' ';
        pendingSpace = false;
        title += c;
    }
    if (title.empty()) return std::nullopt;
    return title;
}

std::string SortKey(std::string_view utf8) {
    std::string key;
    key.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        char32_t cp;
        std::size_t len;
        if (!nextUtf8(utf8, i, cp, len)) cp = Replacement;
        if (const auto byte = UnicodeToCp1252(cp)) {
            char single;
            key += foldByte(static_cast<unsigned char>(*byte), single);
        } else {
            // UTF-8 lead bytes lie above every folded letter, and keep the code point order.
            key += EncodeUtf8(std::u32string_view(&cp, 1));
        }
        i += len;
    }
    return key;
}

bool MenuTextLess(std::string_view a, std::string_view b) {
    const std::string ka = SortKey(a), kb = SortKey(b);
    if (ka != kb) return ka < kb;
    return a < b;
}

bool IsPageFileName(std::string_view name) {
    const std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || dot == 0) return false;
    std::string ext;
    for (char c : name.substr(dot + 1))
        ext += lowerAscii(c);
    return ext == "htm" || ext == "html" || ext == "shtml" || ext == "shtm" || ext == "php";
}

std::string BrowserTrimmedAddress(std::string_view address) {
    std::string out;
    out.reserve(address.size());
    for (char c : address)
        if (c != '\t' && c != '\n' && c != '\r') out += c;
    const auto kept = [](char c) { return static_cast<unsigned char>(c) > 0x20; };
    const auto first = std::find_if(out.begin(), out.end(), kept);
    const auto last = std::find_if(out.rbegin(), out.rend(), kept).base();
    return first < last ? std::string(first, last) : std::string();
}

bool HasSchemeOrIsRooted(std::string_view address) {
    if (address.empty()) return false;
    if (address[0] == '/' || address[0] == '\\') return true;
    const auto isAlpha = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
    if (!isAlpha(address[0])) return false;
    for (std::size_t i = 1; i < address.size(); ++i) {
        const char c = address[i];
        if (c == ':') return true;
        if (!isAlpha(c) && !(c >= '0' && c <= '9') && c != '+' && c != '-' && c != '.') return false;
    }
    return false;
}

} // namespace quilso
