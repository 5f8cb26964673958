// The load driver, the block scan, the options block and the menu lines.
#include "reader.h"

#include "reader_internal.h"
#include "value_helpers.h"
#include "writer.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <fcntl.h>
#include <limits>
#include <new>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace quilso {

namespace reader {

namespace {
constexpr Splitter SelectorSplit(" ", ",{");
constexpr Splitter WordSplit(" ", "");
constexpr Splitter OptionSplit("=", " ");
constexpr Splitter MenuLineSplit("()[],", " ;");

std::optional<MenuKind> KindFromSelectorWord(std::string_view word) {
    if (word.size() >= 2 && word[0] == 'b' && word[1] == 'c') return MenuBreadcrumb;
    if (!word.empty() && word[0] == 'm') return MenuMain;
    if (word.size() >= 2 && word[0] == 'u' && word[1] == 'm') return MenuSub;
    return std::nullopt;
}

// Which block a selector line starts, if any.
struct BlockStart {
    BlockKind block;
    MenuKind kind;
};

std::optional<BlockStart> RecogniseSelector(std::string_view css) {
    if (!css.starts_with(".quilso_")) return std::nullopt;
    const auto selector = SplitAtMost<3>(css, SelectorSplit);
    const std::string_view word = selector.piece[0].substr(8);
    switch (selector.count) {
    case 1:
        if (word == "m") return BlockStart{BlockKind::Container, MenuMain};
        if (word == "um") return BlockStart{BlockKind::Container, MenuSub};
        if (word == "bc") return BlockStart{BlockKind::Container, MenuBreadcrumb};
        if (word == "m_div") return BlockStart{BlockKind::OuterBox, MenuMain};
        if (word == "bc_div") return BlockStart{BlockKind::OuterBox, MenuBreadcrumb};
        return std::nullopt;
    case 2:
    case 3: {
        if (selector.piece[1] != "li") return std::nullopt;
        const auto kind = KindFromSelectorWord(word);
        if (!kind) return std::nullopt;
        if (selector.count == 2) return BlockStart{BlockKind::Item, *kind};
        const std::string_view link = selector.piece[2];
        if (link == "a") return BlockStart{BlockKind::Link, *kind};
        // The kind comes from the class, whatever id follows "a#".
        if (link == "a#m_selected" || link == "a#um_selected" || link == "a#bc_selected")
            return BlockStart{BlockKind::SelectedLink, *kind};
        if (link == "a:active") return BlockStart{BlockKind::Hover, *kind};
        return std::nullopt;
    }
    default:
        return std::nullopt;
    }
}

void ReadBlock(ReadContext& ctx, BlockStart start, LineCursor& lines) {
    const std::string_view id = MenuIds[static_cast<std::size_t>(start.kind)];
    switch (start.block) {
    case BlockKind::OuterBox:
        ReadOuterBoxBlock(ctx, start.kind, id, lines);
        break;
    case BlockKind::Container:
        ReadContainerBlock(ctx, start.kind, id, lines);
        break;
    case BlockKind::Item:
        ReadItemBlock(ctx, start.kind, id, lines);
        break;
    case BlockKind::Link:
        ReadLinkBlock(ctx, start.kind, id, lines);
        break;
    case BlockKind::SelectedLink:
        ReadSelectedLinkBlock(ctx, start.kind, id, lines);
        break;
    case BlockKind::Hover:
        ReadHoverBlock(ctx, start.kind, id, lines);
        break;
    }
}

bool HasByte(std::string_view text, char c) {
    return !text.empty() && std::memchr(text.data(), c, text.size()) != nullptr;
}
bool HasEscape(std::string_view text) {
    return HasByte(text, '\\');
}

// Removes the surrounding double quotes; a lone quote counts as both.
std::string_view Unquote(std::string_view piece) {
    if (piece.empty() || piece.front() != '"' || piece.back() != '"') return piece;
    return piece.size() >= 2 ? piece.substr(1, piece.size() - 2) : std::string_view();
}

// A link piece: "cs" is -1; a number other than -1 is kept as it is; anything else fails.
bool ReadLink(std::string_view piece, std::int32_t& link) {
    if (piece == "cs") {
        link = -1;
        return true;
    }
    link = StrToIntDef(piece);
    return link != -1;
}

// The line that opens the options block.
bool IsOptionsLine(std::string_view line) {
    if (!Contains(line, "options")) return false;
    const auto words = SplitAtMost<2>(line, WordSplit);
    return words.count == 2 && words.piece[0] == "/*" && words.piece[1] == "options";
}

// Forgets the hover colours of the project loaded before: a file without a hover block has none.
void ClearHoverColours(ReadContext& ctx) {
    for (MenuStyle& css : ctx.project.params.css) {
        css.colorHover.clear();
        css.backgroundColorHover.clear();
    }
    ctx.observer.readStarted();
}

} // namespace

void ReadBlocks(ReadContext& ctx, std::string_view text) {
    LineCursor lines(text);
    std::string_view line;
    while (lines.next(line)) {
        if (CssTextOf(line, ctx.css)) {
            if (const auto start = RecogniseSelector(Trim(ctx.css))) ReadBlock(ctx, *start, lines);
        } else if (IsOptionsLine(line)) {
            ReadOptions(ctx, lines);
        }
    }
    ctx.observer.blockScanFinished();
}

void ReadOptions(ReadContext& ctx, LineCursor& lines) {
    std::string_view line;
    while (lines.next(line)) {
        if (Contains(line, "*/")) return;
        const auto option = SplitAtMost<2>(line, OptionSplit);
        if (option.count != 2 || option.piece[0] != "istag") continue;
        ctx.project.params.options.isTag = option.piece[1] == "true";
        ctx.observer.optionsRead(ctx.project.params.options.isTag);
    }
}

void MenuTable::finish() {
    const auto n = static_cast<std::int64_t>(size());
    for (auto* links : {&nextSibling, &firstChild})
        for (std::int32_t& link : *links)
            if (link < 0 || link >= n) link = -1;
}

void MenuTable::addParent(std::int32_t link) {
    const auto entry = static_cast<std::int32_t>(size());
    if (entry == 0) firstParent = link;
    if (firstNegative >= 0) return;
    if (link < 0)
        firstNegative = entry;
    else if (link > entry)
        pointingAhead.emplace_back(entry, link);
}

std::int32_t MenuTable::firstTopLevel() const {
    const auto n = static_cast<std::int64_t>(size());
    for (const auto& [entry, link] : pointingAhead)
        if (link >= n) return entry;
    return firstNegative;
}

bool SplitMenuLine(std::string_view line, MenuPieces& out) {
    out.textMayHaveEscape = out.textMayHaveAmpersand = out.fileMayHaveEscape = out.mayHoldBlockWord = true;
    if (!Trim(line).starts_with("ca[")) return false;
    const auto p = SplitAtMost<8>(line, MenuLineSplit);
    if (p.count != 8 || p.piece[0] != "ca" || StrToIntDef(p.piece[1]) == -1) return false;
    const std::string_view constructor = p.piece[2];
    if (!Contains(constructor, "=") || !Contains(constructor, "new") || !Contains(constructor, "cr"))
        return false;
    if (!ReadLink(p.piece[5], out.nextSibling) || !ReadLink(p.piece[6], out.parent) ||
        !ReadLink(p.piece[7], out.firstChild))
        return false;
    out.text = Unquote(p.piece[3]);
    out.file = Unquote(p.piece[4]);
    return true;
}

namespace {
// Reads `expected` at p; literal sizes are known here, so the comparison compiles to a few loads.
template <std::size_t N>
[[gnu::always_inline]] inline bool Literal(const char*& p, const char* end, const char (&expected)[N]) {
    constexpr std::size_t size = N - 1;
    if (static_cast<std::size_t>(end - p) < size || std::memcmp(p, expected, size) != 0) return false;
    p += size;
    return true;
}

// How many of eight bytes are digits before the first that is none (8: all are).
[[gnu::always_inline]] inline int LeadingDigits(std::uint64_t bytes) {
    constexpr std::uint64_t high = 0xF0F0F0F0F0F0F0F0u, three = 0x3030303030303030u;
    // A byte is a digit when its high half is 3, both before and after adding 6 to it. A carry out
    // of a byte only comes from a byte over 0xF9, which is already no digit; it only changes the
    // bytes after it.
    const std::uint64_t other = ((bytes & high) ^ three) | (((bytes + 0x0606060606060606u) & high) ^ three);
    return other == 0 ? 8 : std::countr_zero(other) / 8;
}

// The digits at the start of eight bytes: their count (0 to 8) and, for fewer than eight, their
// value. Neither depends on a branch: in a large file the length of a number, and whether a link
// is a number at all, change from one to the next.
[[gnu::always_inline]] inline int DigitsIn(std::uint64_t bytes, std::uint32_t& value) {
    const int digits = LeadingDigits(bytes);
    // The digits moved to the top of the word, so that the bytes shifted in are leading zeros
    // (none are left for no digits); then pairs, fours and eights of them are combined by
    // multiplication.
    std::uint64_t v = digits == 0 ? 0 : (bytes << (8 * (8 - digits))) & 0x0F0F0F0F0F0F0F0Fu;
    v = (v * 2561) >> 8;
    v = ((v & 0x00FF00FF00FF00FFu) * 6553601) >> 16;
    value = static_cast<std::uint32_t>(((v & 0x0000FFFF0000FFFFu) * 42949672960001u) >> 32);
    return digits;
}

// Up to nine digits (longer numbers take the general way), or "cs" where a link may be none.
[[gnu::always_inline]] inline bool WriterNumber(const char*& at, const char* end, std::int32_t& value,
                                                bool noneAllowed) {
    const char* p = at;
    if constexpr (std::endian::native == std::endian::little) {
        if (end - p >= 8) {
            std::uint64_t bytes;
            std::memcpy(&bytes, p, 8);
            std::uint32_t n = 0;
            const int digits = DigitsIn(bytes, n);
            if (digits < 8) {
                const bool none = noneAllowed && (bytes & 0xFFFF) == ('c' | ('s' << 8));
                value = digits > 0 ? static_cast<std::int32_t>(n) : -1;
                at = p + (digits > 0 ? digits : 2);
                return digits > 0 || none;
            }
        }
    }
    if (noneAllowed && end - p >= 2 && p[0] == 'c' && p[1] == 's') {
        at = p + 2;
        value = -1;
        return true;
    }
    const char* const start = p;
    const char* const limit = end - p > 9 ? p + 9 : end;
    std::uint32_t n = 0;
    for (unsigned digit; p < limit && (digit = static_cast<unsigned char>(*p) - unsigned('0')) < 10; ++p)
        n = n * 10 + digit;
    value = static_cast<std::int32_t>(n);
    at = p;
    return p > start && !(p < end && *p >= '0' && *p <= '9');
}

// A number whose value nothing needs, the entry's own: only whether it is one WriterNumber takes.
[[gnu::always_inline]] inline bool WriterDigits(const char*& at, const char* end) {
    if constexpr (std::endian::native == std::endian::little) {
        if (end - at >= 8) {
            std::uint64_t bytes;
            std::memcpy(&bytes, at, 8);
            const int digits = LeadingDigits(bytes);
            if (digits < 8) {
                at += digits;
                return digits > 0;
            }
        }
    }
    std::int32_t unused = 0;
    return WriterNumber(at, end, unused, false);
}

// A double-quoted text at p, up to the next double quote, which must come before any CR or LF.
// On the way it tells in `out` whether the text holds a backslash or an ampersand, and whether a
// word of the block scan may start in it: a "}", or one of the pairs "*/", "op", "is" that begin
// the others. `begin` is the line's start.
[[gnu::always_inline]] inline bool WriterQuoted(const char*& at, const char* begin, const char* end,
                                                std::string_view& piece, bool& escape, bool& ampersand,
                                                bool& blockWord) {
    if (at == end || *at != '"') return false;
    const char* const text = at + 1;
#if defined(__SSE2__)
    // Sixteen places at a time, each compared with the place after it for the pairs; the last
    // group is taken back to end one place before the line's end, never past it.
    if (end - begin >= 17) {
        const __m128i quote = _mm_set1_epi8('"'), backslash = _mm_set1_epi8('\\'), amp = _mm_set1_epi8('&');
        const __m128i brace = _mm_set1_epi8('}'), star = _mm_set1_epi8('*'), slash = _mm_set1_epi8('/');
        const __m128i o = _mm_set1_epi8('o'), p = _mm_set1_epi8('p'), letterI = _mm_set1_epi8('i'),
                      s = _mm_set1_epi8('s');
        const __m128i cr = _mm_set1_epi8('\r'), lf = _mm_set1_epi8('\n');
        unsigned escapes = 0, ampersands = 0, words = 0;
        for (const char* q = text;; q += 16) {
            const char* load = q;
            unsigned skip = 0;
            const bool last = end - q < 17;
            if (last) {
                if (q >= end - 1) return false;
                load = end - 17;
                skip = static_cast<unsigned>(q - load);
            }
            const __m128i first = _mm_loadu_si128(reinterpret_cast<const __m128i*>(load));
            const __m128i second = _mm_loadu_si128(reinterpret_cast<const __m128i*>(load + 1));
            const auto mask = [skip](__m128i hits) {
                return static_cast<unsigned>(_mm_movemask_epi8(hits)) >> skip;
            };
            const unsigned quotes = mask(_mm_cmpeq_epi8(first, quote));
            // Only the places before the closing quote count.
            const unsigned before = quotes != 0 ? (quotes & (0u - quotes)) - 1 : 0xFFFFu;
            // The text runs from a file's bytes: a line end before the quote ends the line.
            if ((mask(_mm_or_si128(_mm_cmpeq_epi8(first, cr), _mm_cmpeq_epi8(first, lf))) & before) != 0)
                return false;
            escapes |= mask(_mm_cmpeq_epi8(first, backslash)) & before;
            ampersands |= mask(_mm_cmpeq_epi8(first, amp)) & before;
            words |=
                mask(_mm_or_si128(
                    _mm_or_si128(_mm_and_si128(_mm_cmpeq_epi8(first, star), _mm_cmpeq_epi8(second, slash)),
                                 _mm_and_si128(_mm_cmpeq_epi8(first, o), _mm_cmpeq_epi8(second, p))),
                    _mm_or_si128(_mm_and_si128(_mm_cmpeq_epi8(first, letterI), _mm_cmpeq_epi8(second, s)),
                                 _mm_cmpeq_epi8(first, brace)))) &
                before;
            if (quotes != 0) {
                const char* const close = q + std::countr_zero(quotes);
                piece = std::string_view(text, static_cast<std::size_t>(close - text));
                at = close + 1;
                escape = escapes != 0;
                ampersand = ampersands != 0;
                blockWord = blockWord || words != 0;
                return true;
            }
            if (last) return false;
        }
    }
#endif
    const auto* close =
        static_cast<const char*>(std::memchr(text, '"', static_cast<std::size_t>(end - text)));
    if (!close || std::find_if(text, close, [](char c) { return c == '\r' || c == '\n'; }) != close)
        return false;
    piece = std::string_view(text, static_cast<std::size_t>(close - text));
    at = close + 1;
    escape = ampersand = blockWord = true; // not looked at: the caller tests the texts itself
    return true;
}

// Whether a block word starts at text[i], given that text[i] is one of its first letters.
bool BlockWordAt(std::string_view text, std::size_t i) {
    switch (text[i]) {
    case '}':
        return true;
    case '*':
        return text.substr(i + 1, 1) == "/";
    case 'o':
        return text.substr(i, 7) == "options";
    case 'i':
        return text.substr(i, 5) == "istag";
    default:
        return false;
    }
}

// Whether the text holds "}", "*/", "options" or "istag". Sixteen places at a time are tested for
// the first two letters of each word ("}" alone), which menu texts seldom hold; only those places
// are looked at closer.
bool HoldsBlockWord(std::string_view text) {
    const char* const data = text.data();
    const std::size_t size = text.size();
    std::size_t i = 0;
#if defined(__SSE2__)
    const __m128i brace = _mm_set1_epi8('}'), star = _mm_set1_epi8('*'), slash = _mm_set1_epi8('/');
    const __m128i o = _mm_set1_epi8('o'), p = _mm_set1_epi8('p'), letterI = _mm_set1_epi8('i'),
                  s = _mm_set1_epi8('s');
    while (i + 17 <= size) {
        const __m128i first = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i));
        const __m128i second = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i + 1));
        const __m128i pairs = _mm_or_si128(
            _mm_or_si128(_mm_and_si128(_mm_cmpeq_epi8(first, star), _mm_cmpeq_epi8(second, slash)),
                         _mm_and_si128(_mm_cmpeq_epi8(first, o), _mm_cmpeq_epi8(second, p))),
            _mm_or_si128(_mm_and_si128(_mm_cmpeq_epi8(first, letterI), _mm_cmpeq_epi8(second, s)),
                         _mm_cmpeq_epi8(first, brace)));
        for (auto hits = static_cast<unsigned>(_mm_movemask_epi8(pairs)); hits != 0; hits &= hits - 1)
            if (BlockWordAt(text, i + static_cast<std::size_t>(std::countr_zero(hits)))) return true;
        // The last group ends at the last place but one, overlapping the one before it; only the
        // last place is left for the plain loop.
        if (i + 17 == size) {
            i = size - 1;
            break;
        }
        i = i + 33 <= size ? i + 16 : size - 17;
    }
#endif
    for (; i < size; ++i)
        if (BlockWordAt(text, i)) return true;
    return false;
}
} // namespace

namespace {
// A line in the writer's shape from `begin` on, up to `end` at the most; returns where the line
// stops (after its ");"), or nullptr.
[[gnu::always_inline]] inline const char* WriterMenuLine(const char* begin, const char* end,
                                                         MenuPieces& out) {
    const char* p = begin;
    bool unusedAmpersand = false;
    out.mayHoldBlockWord = false;
    const bool read =
        Literal(p, end, "ca[") && WriterDigits(p, end) && Literal(p, end, "] = new cr(") &&
        WriterQuoted(p, begin, end, out.text, out.textMayHaveEscape, out.textMayHaveAmpersand,
                     out.mayHoldBlockWord) &&
        Literal(p, end, ", ") &&
        WriterQuoted(p, begin, end, out.file, out.fileMayHaveEscape, unusedAmpersand, out.mayHoldBlockWord) &&
        Literal(p, end, ", ") && WriterNumber(p, end, out.nextSibling, true) && Literal(p, end, ", ") &&
        WriterNumber(p, end, out.parent, true) && Literal(p, end, ", ") &&
        WriterNumber(p, end, out.firstChild, true) && Literal(p, end, ");");
    return read ? p : nullptr;
}
} // namespace

bool SplitWriterMenuLine(std::string_view line, MenuPieces& out) {
    const char* const end = line.data() + line.size();
    return WriterMenuLine(line.data(), end, out) == end;
}

bool SplitWriterMenuLineAhead(std::string_view ahead, std::size_t maxLine, MenuPieces& out,
                              std::size_t& lineBytes) {
    const char* const begin = ahead.data();
    const char* const end = begin + ahead.size();
    const char* const stop = WriterMenuLine(begin, end, out);
    if (!stop || end - stop < 2 || stop[0] != '\r' || stop[1] != '\n') return false;
    lineBytes = static_cast<std::size_t>(stop - begin);
    return lineBytes <= maxLine;
}

bool ReadMenuLine(std::string_view line, MenuTable& table) {
    MenuPieces pieces;
    return (SplitWriterMenuLine(line, pieces) || SplitMenuLine(line, pieces)) && AddMenuEntry(pieces, table);
}

bool AddMenuEntry(const MenuPieces& pieces, MenuTable& table) {
    if (table.size() >= static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) return false;

    // Most texts hold neither escapes nor references and are copied as they stand. The split of
    // a writer-shaped line knows whether the text holds an ampersand; after the general split it
    // may not, and decoding a text without one leaves it as it is. Whether the texts are markup
    // is known only once the options were read, so they are decoded as markup, which decodes
    // the least; ReadMenuArray decodes the rest where they are not.
    std::string_view text = pieces.text;
    const bool escaped = pieces.textMayHaveEscape && HasEscape(text);
    if (escaped || pieces.textMayHaveAmpersand) {
        if (escaped) {
            table.scratch.clear();
            AppendJsUnescaped(text, table.scratch, BytelessChars::Reference);
            text = table.scratch;
        }
        HtmlDecodeTo(text, table.decodedText, true);
        text = table.decodedText;
        if (!table.referencesLeft && Contains(text, "&#")) table.referencesLeft = true;
    }
    std::string_view file = pieces.file;
    if (pieces.fileMayHaveEscape && HasEscape(file)) {
        table.decodedFile.clear();
        AppendJsUnescaped(file, table.decodedFile);
        file = table.decodedFile;
    }
    if (text.size() + file.size() > std::numeric_limits<std::uint32_t>::max()) return false;
    const auto entry = static_cast<std::int32_t>(table.size());
    if (!table.stream.active || !table.stream.add(entry, text, file, pieces.nextSibling, pieces.firstChild)) {
        if (table.stream.active) {
            if (!table.keepLinks) {
                table.linksLost = true;
                return false;
            }
            table.endStream();
        }
        table.addTexts(text, file);
    }
    table.addParent(pieces.parent);
    if (table.keepLinks || !table.stream.active) {
        table.nextSibling.push_back(pieces.nextSibling);
        table.firstChild.push_back(pieces.firstChild);
    }
    ++table.entryCount;
    return true;
}

bool MenuTable::needsSecondRead() const {
    return !keepLinks && (linksLost || !stream.complete(size(), firstParent));
}

void MenuTable::addTexts(std::string_view text, std::string_view file) {
    Texts& added = texts.emplace_back();
    arena.keepAsEntryTextAt(added.text.bytes, text);
    arena.keepAsEntryTextAt(added.file.bytes, file);
}

void MenuTable::endStream() {
    if (!stream.active) return;
    stream.active = false;
    stream.builder.finish();
    // The walk made the nodes in entry order, so the tree order is the entry order.
    stream.tree.forEachPreorder(
        [&](const SiteNode* node, int) { addTexts(node->entry.text, node->entry.file); });
    stream.tree.clear();
    std::vector<std::int32_t>().swap(stream.resume);
}

bool TreeOrderStream::add(std::int32_t entry, std::string_view text, std::string_view file,
                          std::int32_t nextSibling, std::int32_t firstChild) {
    if (entry != expected) return false;
    // The walk follows what finish() leaves of the links: a negative number is none.
    std::int32_t next = std::max(nextSibling, std::int32_t(-1));
    builder.add(text, file);
    if (firstChild >= 0) {
        resume.push_back(next);
        builder.descend();
        expected = firstChild;
        return true;
    }
    while (next < 0 && !resume.empty()) {
        next = resume.back();
        resume.pop_back();
        builder.ascend();
    }
    expected = next;
    return true;
}

bool TreeOrderStream::complete(std::size_t count, std::int32_t firstParent) const {
    if (!active) return false;
    // What the walk has not yet followed must name no entry: a link past the last entry counts
    // as none only now that their number is known. The first entry is the walk's start only
    // when its parent link names none.
    const auto n = static_cast<std::int64_t>(count);
    const auto none = [n](std::int32_t link) { return link < 0 || link >= n; };
    if (count > 0 && !none(firstParent)) return false;
    return none(expected) && std::all_of(resume.begin(), resume.end(), none);
}

void MenuTable::reserveFor(std::size_t fileSize) {
    // No menu line is shorter than this with its line end; the reservation is address space
    // only until entries are written, so an overestimate costs nothing.
    constexpr std::size_t ShortestLine = 21;
    constexpr std::size_t Cap = std::size_t(1) << 24; // beyond that the tables grow as needed
    const std::size_t most = std::min(fileSize / ShortestLine + 1, Cap);
    texts.reserve(most);
    nextSibling.reserve(most);
    firstChild.reserve(most);
}

bool MattersToBlockScan(std::string_view line, std::string& scratch) {
    return CssTextOf(line, scratch) || HoldsBlockWord(line);
}

namespace {
// Keeps where an accepted menu line stands, or that a menu line was not read; a line the first
// pass stopped at is read again by the second.
void NoteMenuLine(bool accepted, std::size_t lineNumber, MenuTable& table) {
    if (accepted) {
        if (table.firstEntryLines.size() < DroppedLines::MaxListed)
            table.firstEntryLines.push_back(lineNumber);
    } else if (!table.linksLost) {
        table.unreadable.add(lineNumber);
    }
}
} // namespace

bool RecognisesMenuScript(const MenuTable& table, std::string_view blockLines) {
    if (table.headerLine || table.size() > 0) return true;
    LineCursor lines(blockLines);
    std::string css;
    std::string_view line;
    while (lines.next(line)) {
        if (CssTextOf(line, css)) {
            if (RecogniseSelector(Trim(css))) return true;
        } else if (IsOptionsLine(line)) {
            return true;
        }
    }
    return false;
}

void CollectLines(LineCursor& lines, MenuTable& table, std::string& blockLines) {
    std::string scratch;
    std::string_view line;
    MenuPieces pieces;
    for (;;) {
        // Most lines of a large file are menu lines as the writer writes them, ending in CR LF:
        // they are read where they lie, and their end is found on the way.
        std::size_t lineBytes = 0;
        bool writerShaped = SplitWriterMenuLineAhead(lines.ahead(), lines.maxLine(), pieces, lineBytes);
        if (writerShaped) {
            line = lines.ahead().substr(0, lineBytes);
            lines.skip(lineBytes + 2);
        } else if (lines.next(line)) {
            writerShaped = SplitWriterMenuLine(line, pieces);
        } else {
            break;
        }
        const std::size_t lineNumber = ++table.lineCount;
        if (lineNumber == 1) table.headerLine = Trim(line) == MenuScriptFirstLine;
        bool matters;
        if (writerShaped) {
            NoteMenuLine(AddMenuEntry(pieces, table), lineNumber, table);
            // Such a line has no CSS text, and only its two texts can hold a word of the scan:
            // outside them it has none of the words' letters "}*oi", and a word cannot run across
            // a quote. So the stretch from the first text to the end of the second is tested.
            const char* const from = pieces.text.data();
            matters = pieces.mayHoldBlockWord &&
                      HoldsBlockWord(std::string_view(
                          from, static_cast<std::size_t>(pieces.file.data() + pieces.file.size() - from)));
        } else {
            if (SplitMenuLine(line, pieces))
                NoteMenuLine(AddMenuEntry(pieces, table), lineNumber, table);
            else if (Trim(line).starts_with("ca["))
                table.unreadable.add(lineNumber);
            matters = MattersToBlockScan(line, scratch);
        }
        if (table.linksLost) return;
        if (matters) {
            blockLines.append(line);
            blockLines += '\n';
        }
    }
}

namespace {
// The texts were decoded as markup; those of a file whose texts are plain text also get the
// references decoded that stand for characters such as '<'.
void DecodeAsPlainText(SiteTree& tree) {
    std::string decoded;
    std::vector<SiteNode*> open{tree.root()};
    while (!open.empty()) {
        SiteNode* const node = open.back();
        open.pop_back();
        for (int row = 0; row < node->childCount(); ++row)
            open.push_back(node->child(row));
        if (node->isRoot() || !Contains(node->entry.text, "&#")) continue;
        HtmlDecodeTo(node->entry.text, decoded);
        node->entry.text = decoded;
    }
}
} // namespace

void ReadMenuArray(ReadContext& ctx, MenuTable& table) {
    SiteTree rebuilt;
    if (table.stream.complete(table.size(), table.firstParent)) {
        table.stream.builder.finish();
        rebuilt.swap(table.stream.tree);
    } else {
        table.endStream();
        RebuildFromTable(table, rebuilt);
    }
    if (table.referencesLeft && !ctx.project.params.options.isTag) DecodeAsPlainText(rebuilt);
    if (rebuilt.size() < table.size()) {
        // Entries are dropped only when none is top-level, and then all of them.
        table.unplaced.count = table.size() - rebuilt.size();
        if (rebuilt.empty()) table.unplaced.firstLines = table.firstEntryLines;
    }
    ctx.observer.treeAboutToBeRebuilt();
    ctx.project.tree.swap(rebuilt);
    ctx.observer.treeRebuilt();
}

void RebuildFromTable(MenuTable& table, SiteTree& rebuilt) {
    const std::int32_t first = table.firstTopLevel();
    DisplayOrder order;
    if (!DisplayOrderFromLinks(table.nextSibling, table.firstChild, first, order)) {
        table.finish();
        const TreeShape shape = RebuildTreeShape(table.nextSibling, table.firstChild, first);
        LargeVector<std::int32_t>().swap(table.nextSibling);
        LargeVector<std::int32_t>().swap(table.firstChild);
        order = DisplayOrderOf(shape);
    }
    LargeVector<std::int32_t>().swap(table.nextSibling);
    LargeVector<std::int32_t>().swap(table.firstChild);

    CreateNodes(order, table, rebuilt);
}

namespace {
// Everything of a load that changes the project, once all its lines were read.
void ApplyLoad(Project& project, ReadObserver& observer, MenuTable& table, std::string_view blockLines) {
    ReadContext ctx{project, observer, {}};
    ClearHoverColours(ctx);
    ReadBlocks(ctx, blockLines);
    ReadMenuArray(ctx, table);
    std::vector<DroppedLines> dropped;
    for (const DroppedLines* kind : {&table.unreadable, &table.unplaced})
        if (kind->count > 0) dropped.push_back(*kind);
    if (!dropped.empty()) observer.linesDropped(dropped);
}
} // namespace

} // namespace reader

namespace {
// Reads the lines that `open(false)` gives, then applies them. A file in the writer's order gets
// its nodes while it is read; if it turns out to be in another order and it can be read again,
// `open(true)` gives its lines once more from the start, every entry going through the table and
// the rebuild. Otherwise the links of every entry are kept as they are read.
// `fileName`, when given, names a file that is refused unless it is empty or something of a
// menu script was recognised in it.
template <class Open>
void LoadLines(Open&& open, bool canReadAgain, std::size_t fileSize, Project& project, ReadObserver& observer,
               const std::string* fileName) {
    const auto apply = [&](reader::MenuTable& table, std::string_view blockLines) {
        if (fileName && table.lineCount > 0 && !reader::RecognisesMenuScript(table, blockLines))
            throw NotMenuScriptError(*fileName);
        reader::ApplyLoad(project, observer, table, blockLines);
    };
    std::string blockLines;
    {
        reader::MenuTable table;
        // A pass that keeps no links fills no table: the nodes are made as the lines come.
        if (!canReadAgain) table.reserveFor(fileSize);
        table.keepLinks = !canReadAgain;
        reader::LineCursor lines = open(false);
        reader::CollectLines(lines, table, blockLines);
        if (!table.needsSecondRead()) {
            apply(table, blockLines);
            return;
        }
    }
    reader::MenuTable table;
    table.stream.active = false;
    table.reserveFor(fileSize);
    blockLines.clear();
    reader::LineCursor lines = open(true);
    reader::CollectLines(lines, table, blockLines);
    apply(table, blockLines);
}
} // namespace

NotMenuScriptError::NotMenuScriptError(const std::string& fileName)
    : FileError(fileName, "keine Menüskriptdatei"),
      message_("„" + fileName + "“ ist keine Menüskriptdatei.") {}

std::string DescribeDroppedLines(const DroppedLines& dropped) {
    const bool one = dropped.count == 1;
    std::string out = std::to_string(dropped.count);
    switch (dropped.kind) {
    case DroppedKind::UnreadableEntry:
        out += one ? " Menüzeile nicht gelesen (keine gültige Menüzeile)"
                   : " Menüzeilen nicht gelesen (keine gültigen Menüzeilen)";
        break;
    case DroppedKind::UnplacedEntry:
        out += one ? " Eintrag nicht in den Baum übernommen (kein Eintrag der obersten Ebene)"
                   : " Einträge nicht in den Baum übernommen (kein Eintrag der obersten Ebene)";
        break;
    }
    if (!dropped.firstLines.empty()) {
        out += dropped.firstLines.size() == 1 ? ": Zeile " : ": Zeilen ";
        for (std::size_t i = 0; i < dropped.firstLines.size(); ++i)
            out += (i > 0 ? ", " : "") + std::to_string(dropped.firstLines[i]);
        if (dropped.count > dropped.firstLines.size())
            out += " und " + std::to_string(dropped.count - dropped.firstLines.size()) + " weitere";
    }
    return out + ".";
}

void ReadProjectText(std::string_view bytes, Project& project, ReadObserver& observer) {
    LoadLines([bytes](bool) { return reader::LineCursor(bytes); }, true, bytes.size(), project, observer,
              nullptr);
}

void ReadProjectFile(const std::string& fileName, Project& project, ReadObserver& observer, FileKinds kinds) {
    const int fd = OpenForReading(fileName, kinds);
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    try {
        struct stat info {};
        if (::fstat(fd, &info) != 0) throw FileError(fileName, SystemErrorText(errno));
        // The whole file is read before the project changes, so a read error leaves it as it was.
        // Only a regular file can be read twice.
        const bool regular = S_ISREG(info.st_mode);
        LoadLines(
            [&](bool again) {
                if (again && ::lseek(fd, 0, SEEK_SET) != 0) throw FileError(fileName, SystemErrorText(errno));
                return reader::LineCursor(fd, fileName);
            },
            regular, regular ? static_cast<std::size_t>(info.st_size) : 0, project, observer, &fileName);
    } catch (const std::bad_alloc&) {
        throw FileError(fileName, "Nicht genug Arbeitsspeicher", FileProblem::OutOfMemory);
    }
}

} // namespace quilso
