#include "writer.h"

#include "cp1252.h"
#include "large_memory.h"
#include "script_sections.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <limits>
#include <optional>
#include <stdexcept>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace quilso {

namespace {

constexpr char HexDigits[] = "0123456789ABCDEF";
// The longest form one input byte can take: "&nbsp;", "&#228;" or "\u20AC".
constexpr std::size_t MaxBytesPerByte = 6;
constexpr std::size_t MaxNumberBytes = 20;
// Room a cursor needs beyond the longest text it takes, for the sixteen-byte reads of the scan.
constexpr std::size_t PlainScanSlack = 16;
// Room a menu line needs beyond its longest form, for the whole-block writes of the scan and of
// the display numbers.
constexpr std::size_t LineSlack = PlainScanSlack + MaxNumberBytes;

// Raw output position inside a buffer the caller has sized for the worst case. Entry lines are
// built this way because a million of them through std::string::append cost more than the
// file write itself.
struct Cursor {
    char* p;

    void put(char c) { *p++ = c; }
    void put(std::string_view text) {
        std::memcpy(p, text.data(), text.size());
        p += text.size();
    }
    // A fixed-size copy and a move by the length: cheaper than a copy of the length. The line
    // has room for the whole array.
    template <class D> void decimal(const D& d) {
        std::memcpy(p, d.digits, sizeof d.digits);
        p += d.length;
    }
    template <std::size_t N> void literal(const char (&text)[N]) {
        std::memcpy(p, text, N - 1);
        p += N - 1;
    }
    void number(std::uint64_t value) { p = std::to_chars(p, p + MaxNumberBytes, value).ptr; }
    void hex(unsigned value, int digits) {
        for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4)
            *p++ = HexDigits[(value >> shift) & 0xF];
    }
};

void appendNumber(std::string& out, std::size_t value) {
    char digits[MaxNumberBytes];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    out.append(digits, result.ptr);
}

// The escape of one byte that cannot stand for itself inside a string literal.
void putEscapedByte(Cursor& out, unsigned char byte) {
    if (byte == '\\') {
        out.literal("\\\\");
    } else if (byte < 0x80) {
        out.literal("\\x");
        out.hex(byte, 2);
    } else {
        out.literal("\\u");
        out.hex(static_cast<unsigned>(Cp1252ToUnicode(byte)), 4);
    }
}

constexpr bool needsEscape(unsigned char byte, char quote) {
    return byte < 0x20 || byte >= 0x80 || byte == '\\' || byte == static_cast<unsigned char>(quote);
}

// How texts treat each byte, looked up once per byte: a million lines are mostly plain letters.
enum ByteClass : unsigned char { Plain, Space, Special };
using ByteClasses = std::array<ByteClass, 256>;

constexpr ByteClasses EscapeClasses(char quote) {
    ByteClasses classes{};
    for (int b = 0; b < 256; ++b)
        classes[static_cast<std::size_t>(b)] =
            needsEscape(static_cast<unsigned char>(b), quote) ? Special : Plain;
    return classes;
}
constexpr ByteClasses DoubleQuoted = EscapeClasses('"'), SingleQuoted = EscapeClasses('\'');

// A space is plain unless a space precedes it.
constexpr ByteClasses MenuTextClasses(bool isTag) {
    ByteClasses classes{};
    for (int b = 0; b < 256; ++b) {
        const auto c = static_cast<char>(b);
        const bool plain =
            b >= 0x20 && b < 0x80 && c != '"' && c != '\'' && c != '\\' && ((c != '<' && c != '>') || isTag);
        classes[static_cast<std::size_t>(b)] = c == ' ' ? Space : plain ? Plain : Special;
    }
    return classes;
}
constexpr ByteClasses TagTextClasses = MenuTextClasses(true), PlainTextClasses = MenuTextClasses(false);

// What the menu array needs before its first line, one record an entry in display order: the
// node, its depth and the display number of its next sibling (or `count` for a last child); and
// the bytes of all texts and files. One walk over the tree: a node's previous sibling is the
// latest entry seen at the same depth since their parent. The lines are then written from this
// list, whose nodes can be fetched ahead, instead of walking the tree a second time.
struct TreeFacts {
    struct Line {
        const SiteNode* node;
        // Four bytes a number: a tree of four billion entries would not fit into memory anyway.
        std::uint32_t next;
        std::uint32_t depth;
    };
    LargeVector<Line> lines; // in large pages, and taken over by the next save
    std::size_t textBytes = 0;
};

TreeFacts scanTree(const SiteTree& tree) {
    const std::size_t count = tree.size();
    if (count > std::numeric_limits<std::uint32_t>::max()) throw std::length_error("site tree too large");
    TreeFacts facts;
    facts.lines.reserve(count);
    std::vector<std::size_t> latestAtDepth;
    tree.forEachPreorder([&](const SiteNode* node, int depth) {
        const auto d = static_cast<std::size_t>(depth);
        const std::size_t number = facts.lines.size();
        if (latestAtDepth.size() > d) {
            facts.lines[latestAtDepth[d]].next = static_cast<std::uint32_t>(number);
            latestAtDepth.resize(d);
        }
        latestAtDepth.push_back(number);
        facts.lines.push_back({node, static_cast<std::uint32_t>(count), static_cast<std::uint32_t>(depth)});
        facts.textBytes += node->entry.text.size() + node->entry.file.size();
    });
    return facts;
}

// The decimal digits of a display number, kept as text: a line names its own number, its
// parent's and the next one, and counting up in the digits is cheaper than converting each.
struct Decimal {
    char digits[MaxNumberBytes] = {'0'}; // left-aligned; the rest is padding for whole copies
    unsigned length = 1;

    void increment() {
        unsigned i = length;
        while (i > 0 && digits[i - 1] == '9')
            digits[--i] = '0';
        if (i > 0) {
            ++digits[i - 1];
            return;
        }
        // All nines: one digit more.
        std::memmove(digits + 1, digits, length);
        digits[0] = '1';
        ++length;
    }
};

void putLink(Cursor& out, std::size_t number, std::size_t count) {
    if (number >= count)
        out.literal("cs");
    else
        out.number(number);
}

std::optional<std::time_t> sourceDateEpoch() {
    const char* value = std::getenv("SOURCE_DATE_EPOCH");
    if (!value || !*value) return std::nullopt;
    long long seconds = 0;
    const char* end = value + std::char_traits<char>::length(value);
    const auto result = std::from_chars(value, end, seconds);
    if (result.ec != std::errc() || result.ptr != end || seconds < 0) return std::nullopt;
    return static_cast<std::time_t>(seconds);
}

// Writes the first bytes of `text` that stand for themselves to the cursor, sixteen at a time,
// and returns their number; the caller writes the rest from there. `readable` is how many bytes
// from text.data() may be read (a string's whole buffer); only whole blocks of sixteen that lie
// inside it are taken. The cursor has room for sixteen bytes beyond the text. Menu lines are
// mostly letters and digits, which this copies without looking at each.
[[gnu::always_inline]] inline std::size_t putPlainStart(Cursor& out, std::string_view text,
                                                        std::size_t readable, [[maybe_unused]] char quote,
                                                        [[maybe_unused]] bool menuText,
                                                        [[maybe_unused]] bool isTag,
                                                        [[maybe_unused]] bool afterSpace = false) {
    std::size_t i = 0;
#if defined(__SSE2__)
    const std::size_t size = text.size();
    // Signed bytes below 0x20 are the control bytes and all from 0x80 on.
    const __m128i below = _mm_set1_epi8(0x20), backslash = _mm_set1_epi8('\\');
    const __m128i first = _mm_set1_epi8(menuText ? '"' : quote),
                  second = _mm_set1_epi8(menuText ? '\'' : quote);
    const __m128i open = _mm_set1_epi8(menuText && !isTag ? '<' : quote);
    const __m128i close = _mm_set1_epi8(menuText && !isTag ? '>' : quote);
    const __m128i space = _mm_set1_epi8(' ');
    unsigned spaceBefore = afterSpace ? 1u : 0u;
    while (i < size && i + 16 <= readable) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + i));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out.p + i), block);
        const __m128i special = _mm_or_si128(
            _mm_or_si128(_mm_cmplt_epi8(block, below), _mm_cmpeq_epi8(block, backslash)),
            _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(block, first), _mm_cmpeq_epi8(block, second)),
                         _mm_or_si128(_mm_cmpeq_epi8(block, open), _mm_cmpeq_epi8(block, close))));
        unsigned hits = static_cast<unsigned>(_mm_movemask_epi8(special));
        if (menuText) {
            // A space after a space becomes "&nbsp;".
            const auto spaces = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(block, space)));
            hits |= spaces & ((spaces << 1) | spaceBefore);
            spaceBefore = spaces >> 15 & 1u;
        }
        const std::size_t left = size - i;
        if (left < 16) hits &= (1u << left) - 1;
        if (hits != 0) {
            i += static_cast<std::size_t>(std::countr_zero(hits));
            break;
        }
        i = std::min(i + 16, size);
    }
#endif
    out.p += i;
    return i;
}

[[gnu::always_inline]] inline void putJsEscaped(Cursor& out, std::string_view text, char quote,
                                                std::size_t readable) {
    // Built here only for a quote other than the two the file uses.
    const ByteClasses* known = quote == '"' ? &DoubleQuoted : quote == '\'' ? &SingleQuoted : nullptr;
    const ByteClasses& classes = known ? *known : EscapeClasses(quote);
    const std::size_t plain = putPlainStart(out, text, readable, quote, false, false);
    std::size_t start = plain;
    for (std::size_t i = plain; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (classes[byte] == Plain) continue;
        out.put(text.substr(start, i - start));
        putEscapedByte(out, byte);
        start = i + 1;
    }
    if (start < text.size()) out.put(text.substr(start));
}

// `afterSpace`: the text is the part of a longer one that follows a space.
[[gnu::always_inline]] inline void putMenuText(Cursor& out, std::string_view text, bool isTag,
                                               std::size_t readable, bool afterSpace = false) {
    // Character references first, then the literal's escapes; a reference never holds a byte
    // that needs escaping, so each input byte is handled once.
    const ByteClasses& classes = isTag ? TagTextClasses : PlainTextClasses;
    const std::size_t plain = putPlainStart(out, text, readable, '"', true, isTag, afterSpace);
    std::size_t start = plain;
    for (std::size_t i = plain; i < text.size(); ++i) {
        const char c = text[i];
        const auto byte = static_cast<unsigned char>(c);
        const ByteClass kind = classes[byte];
        if (kind == Plain || (kind == Space && (i == 0 ? !afterSpace : text[i - 1] != ' '))) continue;
        out.put(text.substr(start, i - start));
        start = i + 1;
        if (c == ' ') {
            out.literal("&nbsp;");
        } else if (c == '"' || c == '\'' || c == '<' || c == '>' || byte >= 160) {
            out.literal("&#");
            out.number(byte);
            out.put(';');
        } else {
            putEscapedByte(out, byte);
        }
    }
    if (start < text.size()) out.put(text.substr(start));
}

// Runs `fill` on a cursor over `room` bytes appended to `out`, then trims to what it wrote.
template <class F> void appendWith(std::string& out, std::size_t room, F&& fill) {
    const std::size_t old = out.size();
    out.resize(old + room + PlainScanSlack);
    Cursor cursor{out.data() + old};
    fill(cursor);
    out.resize(static_cast<std::size_t>(cursor.p - out.data()));
}

} // namespace

void AppendJsEscaped(std::string& out, std::string_view text, char quote) {
    appendWith(out, text.size() * MaxBytesPerByte,
               [&](Cursor& c) { putJsEscaped(c, text, quote, text.size()); });
}

std::string JsEscape(std::string_view text, char quote) {
    std::string out;
    AppendJsEscaped(out, text, quote);
    return out;
}

void AppendMenuText(std::string& out, std::string_view text, bool isTag) {
    appendWith(out, text.size() * MaxBytesPerByte,
               [&](Cursor& c) { putMenuText(c, text, isTag, text.size()); });
}

void AddCssLine(ScriptBuffer& out, std::string_view css) {
    if (out.plainCss) {
        if (!css.empty()) out.addLine(css);
        return;
    }
    out.text += "  c = c + '";
    AppendJsEscaped(out.text, css, '\'');
    out.text += "';\r\n";
}

void AddLiteralWrite(ScriptBuffer& out, std::string_view css) {
    out.text += "  document.write('";
    AppendJsEscaped(out.text, css, '\'');
    out.text += "');\r\n";
}

void AddBufferWrite(ScriptBuffer& out) {
    if (out.plainCss) return;
    out.addLine("  document.write(c);");
}

void AddResetLine(ScriptBuffer& out) {
    if (out.plainCss) return;
    out.addLine("  c = \"\";");
}

void WriteApplicationHeader(ScriptBuffer& out, const ProgramInfo& program) {
    out.addLine(MenuScriptFirstLine);
    out.addLine("program=quilso");
    out.text += "edition=";
    out.addLine(program.edition);
    out.text += "version=";
    out.addLine(program.version);
    out.addLine("*/");
    out.addLine("");
}

void WriteProjectHeader(ScriptBuffer& out, const std::string& lastSave) {
    out.addLine("/* project");
    out.text += "lastsave=";
    out.addLine(lastSave);
    out.addLine("*/");
    out.addLine("");
}

void WriteOptionsHeader(ScriptBuffer& out, const ProjectOptions& options) {
    out.addLine("/* options");
    out.addLine(options.isTag ? "istag=true" : "istag=false");
    out.addLine("*/");
    out.addLine("");
}

void WriteCssInit(ScriptBuffer& out, const ProjectParams& params) {
    out.addLine("/* CSS-Init */");
    out.addLine("function quilso_css() {");
    out.addLine("  var c;");
    AddLiteralWrite(out, "<style type=\"text/css\">");
    for (int k = 0; k < MenuKindCount; ++k)
        WriteMenuCss(out, params.css[k], static_cast<MenuKind>(k));
    AddLiteralWrite(out, "</style>");
    out.addLine("}");
    out.addLine("");
}

void WriteMenuArray(ScriptBuffer& out, const SiteTree& tree, bool isTag) {
    const std::size_t count = tree.size();
    out.addLine("/* menu */");
    out.text += "var cs = ";
    appendNumber(out.text, count);
    out.addLine(";");
    out.addLine("var ca = new Array(cs);");
    out.addLine("");
    out.addLine("function menuinit()\t{");

    const TreeFacts facts = scanTree(tree);
    const auto& lines = facts.lines;
    // The buffer grows in large steps, each covering at least the worst case of the next line;
    // the zero fill of resize() is cheap next to the page faults the bytes cost anyway.
    // With a sink the buffer only needs room for a spill's worth of lines.
    std::string& text = out.text;
    std::size_t used = text.size();
    const std::size_t estimate = facts.textBytes + count * 56 + 64;
    text.resize(std::max(text.capacity(),
                         used + (out.sink ? std::min(estimate, ScriptBuffer::SpillSize) : estimate)));
    // Display numbers of the current ancestors, innermost last.
    std::vector<Decimal> ancestors;
    Decimal current, following;
    following.increment();
    // Nodes made in another order than the display order lie far apart; each is fetched some
    // lines ahead, and its texts (where they are not kept inside the node) a few lines later.
    constexpr std::size_t NodeAhead = 16, TextAhead = 8;
    for (std::size_t number = 0; number < count; ++number) {
        if (number + NodeAhead < count) __builtin_prefetch(lines[number + NodeAhead].node);
        if (number + TextAhead < count) {
            const SiteEntry& ahead = lines[number + TextAhead].node->entry;
            __builtin_prefetch(ahead.text.data());
            __builtin_prefetch(ahead.file.data());
        }
        const TreeFacts::Line& at = lines[number];
        const SiteEntry& entry = at.node->entry;
        constexpr std::size_t LineFrame = 4 * MaxNumberBytes + 40 + LineSlack;
        const std::size_t worst = (entry.text.size() + entry.file.size()) * MaxBytesPerByte + LineFrame;
        // With a sink a line whose worst case exceeds a spill goes out in parts, each given room
        // for its own worst case only: a text of hundreds of megabytes must not take a buffer six
        // times its size.
        const bool inParts = out.sink && worst > ScriptBuffer::SpillSize;
        const auto makeRoom = [&](std::size_t need) {
            if (text.size() - used < need && out.sink && used > 0) {
                out.sink(std::string_view(text.data(), used));
                used = 0;
            }
            if (text.size() - used < need) text.resize(std::max(text.size() * 3 / 2, used + need));
        };
        makeRoom(inParts ? ScriptBuffer::SpillSize + LineFrame : worst);
        Cursor line{text.data() + used};
        // Writes `piece` part by part through `put(cursor, part, readable, afterSpace)`.
        const auto putInParts = [&](std::string_view piece, std::size_t readable, auto&& put) {
            constexpr std::size_t PartBytes = ScriptBuffer::SpillSize / MaxBytesPerByte;
            for (std::size_t from = 0; from < piece.size(); from += PartBytes) {
                used = static_cast<std::size_t>(line.p - text.data());
                makeRoom(PartBytes * MaxBytesPerByte + LineFrame);
                line.p = text.data() + used;
                put(line, piece.substr(from, PartBytes), readable - from, from > 0 && piece[from - 1] == ' ');
            }
        };
        ancestors.resize(at.depth);
        line.literal("ca[");
        line.decimal(current);
        line.literal("] = new cr(\"");
        if (inParts)
            putInParts(entry.text.view(), entry.text.readable(),
                       [isTag](Cursor& c, std::string_view part, std::size_t readable, bool afterSpace) {
                           putMenuText(c, part, isTag, readable, afterSpace);
                       });
        else
            putMenuText(line, entry.text, isTag, entry.text.readable());
        line.literal("\", \"");
        if (inParts)
            putInParts(entry.file.view(), entry.file.readable(),
                       [](Cursor& c, std::string_view part, std::size_t readable, bool) {
                           putJsEscaped(c, part, '"', readable);
                       });
        else
            putJsEscaped(line, entry.file, '"', entry.file.readable());
        if (inParts) {
            used = static_cast<std::size_t>(line.p - text.data());
            makeRoom(LineFrame);
            line.p = text.data() + used;
        }
        line.literal("\", ");
        // Mostly the next line's number, which is at hand as text.
        if (at.next == number + 1 && at.next < count)
            line.decimal(following);
        else
            putLink(line, at.next, count);
        line.literal(", ");
        if (ancestors.empty())
            line.literal("cs");
        else
            line.decimal(ancestors.back());
        line.literal(", ");
        // In display order a first child directly follows its parent.
        const bool parent = number + 1 < count && lines[number + 1].depth > at.depth;
        if (parent)
            line.decimal(following);
        else
            line.literal("cs");
        line.literal(");\r\n");
        used = static_cast<std::size_t>(line.p - text.data());
        // Only a parent is an ancestor of the lines that follow.
        if (parent) ancestors.push_back(current);
        current = following;
        following.increment();
    }
    text.resize(used);
    out.addLine("}");
    out.addLine("");
}

void AppendLibrary(ScriptBuffer& out, const ProgramInfo& program) {
    for (const std::string& line : program.functionsLines) {
        out.addLine(line);
        out.spillIfFull();
    }
}

namespace {
void WriteSections(ScriptBuffer& out, const Project& project, const ProgramInfo& program,
                   const std::string& lastSave) {
    WriteApplicationHeader(out, program);
    WriteProjectHeader(out, lastSave);
    WriteOptionsHeader(out, project.params.options);
    WriteCssInit(out, project.params);
    WriteMenuArray(out, project.tree, project.params.options.isTag);
    AppendLibrary(out, program);
}
} // namespace

std::string BuildMenuScriptText(const Project& project, const ProgramInfo& program,
                                const std::string& lastSave) {
    ScriptBuffer out;
    // The menu array reserves room for itself; the headers, styles and library lines must not
    // make the buffer grow (and copy the whole array) afterwards.
    std::size_t libraryBytes = 0;
    for (const std::string& line : program.functionsLines)
        libraryBytes += line.size() + 2;
    out.text.reserve(32768 + libraryBytes);
    WriteSections(out, project, program, lastSave);
    return std::move(out.text);
}

void BuildMenuScript(const Project& project, const ProgramInfo& program, const std::string& lastSave,
                     std::vector<std::string>& lines) {
    const std::string text = BuildMenuScriptText(project, program, lastSave);
    // Every generated line is free of CR and LF (they are escaped), so CR LF marks line ends.
    std::size_t start = 0;
    for (std::size_t end = text.find("\r\n"); end != std::string::npos; end = text.find("\r\n", start)) {
        lines.emplace_back(text, start, end - start);
        start = end + 2;
    }
}

namespace {
void WritePieces(const PieceSink& write, const Project& project, const ProgramInfo& program,
                 const std::string& lastSave) {
    ScriptBuffer out;
    out.sink = write;
    out.text.reserve(2 * ScriptBuffer::SpillSize);
    WriteSections(out, project, program, lastSave);
    out.spill();
}
} // namespace

void WriteMenuScript(const std::string& fileName, const Project& project, const ProgramInfo& program) {
    const std::string lastSave = LastSaveStamp();
    WriteFileAtomicallyInPieces(
        fileName, [&](const PieceSink& write) { WritePieces(write, project, program, lastSave); });
}

void WriteMenuScriptTo(const PieceSink& write, const Project& project, const ProgramInfo& program) {
    WritePieces(write, project, program, LastSaveStamp());
}

std::string LastSaveStamp() {
    std::tm parts{};
    if (const auto epoch = sourceDateEpoch()) {
        // Reproducible output must not depend on the time zone of the machine that builds it.
        gmtime_r(&*epoch, &parts);
    } else {
        const std::time_t now = std::time(nullptr);
        localtime_r(&now, &parts);
    }
    char stamp[64];
    const bool midnight = parts.tm_hour == 0 && parts.tm_min == 0 && parts.tm_sec == 0;
    std::strftime(stamp, sizeof stamp, midnight ? "%d.%m.%Y" : "%d.%m.%Y %H:%M:%S", &parts);
    return stamp;
}

} // namespace quilso
