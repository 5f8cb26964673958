// Building blocks of the reader shared by its source files and its tests. Everything here works
// on views into the file's bytes, so a large file is held once and scanned without copies.
#pragma once

#include "file_io.h"
#include "large_memory.h"
#include "project.h"
#include "read_observer.h"
#include "site_tree.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quilso::reader {

// The character classes of one kind of split, looked up once per character: which characters end
// a piece (the separators, CR and LF), which open a quoted run, and which are passed over at the
// start of a piece (the skipped ones, CR and LF).
class Splitter {
public:
    constexpr Splitter(std::string_view separators, std::string_view skipped) {
        for (char c : separators)
            stop_[Index(c)] = Separator;
        stop_[Index('\r')] = stop_[Index('\n')] = Separator;
        // A quote opens a run even where it is also a separator.
        stop_[Index('\'')] = stop_[Index('"')] = Quote;
        for (char c : skipped)
            skip_[Index(c)] = true;
        skip_[Index('\r')] = skip_[Index('\n')] = true;
    }

    // The splitter behind SplitPieces: hands each piece to `f` as a view into `text` and stops
    // early when `f` returns false. Returns the number of pieces handed over.
    template <class F> int forEach(std::string_view text, F&& f) const;

private:
    enum : unsigned char { Ordinary, Separator, Quote };
    static constexpr std::size_t Index(char c) { return static_cast<unsigned char>(c); }
    std::array<unsigned char, 256> stop_{};
    std::array<bool, 256> skip_{};
};

// Codes 0 to 32 count as blank wherever the reader trims.
inline bool IsBlank(char c) {
    return static_cast<unsigned char>(c) <= 32;
}
std::string_view Trim(std::string_view text);
inline bool Contains(std::string_view text, std::string_view part) {
    return text.find(part) != std::string_view::npos;
}

// Splits into at most N views; `count` tells how many pieces there were, capped at N + 1 so that
// "exactly N" is still decidable.
template <std::size_t N> struct Pieces {
    std::array<std::string_view, N> piece{};
    int count = 0;
};
template <std::size_t N> Pieces<N> SplitAtMost(std::string_view text, const Splitter& splitter);

// The CSS text of a script line written into `out`; false (and `out` empty) for other lines.
bool CssTextOf(std::string_view line, std::string& out);
// The text of a single-quoted piece with the JavaScript escapes undone; empty when the piece does
// not start with a single quote.
std::string QuotedText(std::string_view piece);
// What \uHHHH becomes for a character without a Windows-1252 byte: the escape as written (a
// file name, CSS text), or its decimal character reference (a menu text, which the page reads as
// markup; a surrogate pair gives one reference, a lone surrogate that of U+FFFD).
enum class BytelessChars { KeepEscape, Reference };
// Undoes \\, \xHH and \uHHHH.
void AppendJsUnescaped(std::string_view text, std::string& out,
                       BytelessChars byteless = BytelessChars::KeepEscape);

// Walks the lines of bytes in memory or of an open file: lines end at CR LF, a lone CR or a lone
// LF; a final line end does not start another (empty) line. A file is read in blocks, so a large
// one is never held whole; a line is valid until the next call.
class LineCursor {
public:
    explicit LineCursor(std::string_view text) : text_(text), endOfInput_(true) {}
    // Reads from `fd` (not owned); a read error, or a line longer than `maxLine`, throws
    // FileError naming `fileName`.
    LineCursor(int fd, std::string fileName, std::size_t maxLine = MaxLineBytes);
    bool next(std::string_view& line);
    // What was read but not yet handed out as lines, for a caller that finds where a line ends
    // by itself; valid until the next call that moves on.
    std::string_view ahead() const { return text_.substr(pos_); }
    // Moves past the first `bytes` of ahead().
    void skip(std::size_t bytes) {
        pos_ += bytes;
        scanned_ = 0;
    }
    std::size_t maxLine() const { return maxLine_; }

private:
    void readMore();

    std::string_view text_;
    std::size_t pos_ = 0;
    // Bytes after pos_ already searched for a line end: a long line arriving in small pieces
    // (a pipe gives at most 64 KiB a read) is searched once, not once per piece.
    std::size_t scanned_ = 0;
    bool endOfInput_ = false;
    int fd_ = -1;
    std::string fileName_;
    std::unique_ptr<char[]> block_;
    std::size_t capacity_ = 0;
    std::size_t maxLine_ = static_cast<std::size_t>(-1);
};

// What a block reader needs besides the lines.
struct ReadContext {
    Project& project;
    ReadObserver& observer;
    std::string css; // scratch buffer for the CSS text of the current line
    MenuStyle& style(MenuKind kind) { return project.params.css[kind]; }
};

// The block readers: each reads declaration lines up to and including the line that closes its
// block. `id` is the menu's id and not otherwise used.
void ReadOuterBoxBlock(ReadContext& ctx, MenuKind kind, std::string_view id, LineCursor& lines);
void ReadContainerBlock(ReadContext& ctx, MenuKind kind, std::string_view id, LineCursor& lines);
void ReadItemBlock(ReadContext& ctx, MenuKind kind, std::string_view id, LineCursor& lines);
void ReadLinkBlock(ReadContext& ctx, MenuKind kind, std::string_view id, LineCursor& lines);
void ReadSelectedLinkBlock(ReadContext& ctx, MenuKind kind, std::string_view id, LineCursor& lines);
void ReadHoverBlock(ReadContext& ctx, MenuKind kind, std::string_view id, LineCursor& lines);

// Scans every line for rule blocks and the options block.
void ReadBlocks(ReadContext& ctx, std::string_view text);
// Whether the block scan can be affected by the line: lines with CSS text, and lines holding one
// of the words that open or close a block or name an option. The scan over only these lines does
// exactly what the scan over all lines does.
bool MattersToBlockScan(std::string_view line, std::string& scratch);
// Reads the options block after its "/* options" line, up to and including its "*/" line.
void ReadOptions(ReadContext& ctx, LineCursor& lines);

// The nodes of a file whose lines come in the order the tree shows them, made while the lines
// are read: a file as the writer writes it needs neither a table of its texts nor a rebuild.
// Each entry is checked against the walk that takes the tree order from the links (see
// DisplayOrderFromLinks); the first entry the walk would not visit next ends the stream.
struct TreeOrderStream {
    bool active = true;
    SiteTree tree;
    SiteTree::Builder builder{tree};
    std::vector<std::int32_t> resume; // next-sibling links of the open entries, innermost last
    std::int32_t expected = 0;        // the entry the walk visits next; -1: it ended

    // Makes the node of entry `entry` and true, or false when the walk would not visit the
    // entry now; the stream then takes no more entries. Inline, with the reader that calls it
    // for every line.
    inline bool add(std::int32_t entry, std::string_view text, std::string_view file,
                    std::int32_t nextSibling, std::int32_t firstChild);
    // Whether the tree made is the one the rebuild gives for all `count` entries, given the
    // first entry's parent link as read.
    bool complete(std::size_t count, std::int32_t firstParent) const;
};

// The accepted menu lines, in file order: what the tree rebuild and the node creation need.
struct MenuTable {
    struct Texts {
        TextBytes text, file; // inside, or referring to `arena`
    };
    // The texts of the entries that are not in `stream.tree`, which holds the first ones. Texts
    // of up to fifteen bytes are kept here, longer ones in `arena`: making the nodes in another
    // order than the file's then reads one fixed-size record an entry.
    LargeVector<Texts> texts;
    // Link numbers as read, of every entry; -1 stands for "cs". Numbers naming no entry are
    // turned into -1 by finish(), once the number of entries is known.
    LargeVector<std::int32_t> nextSibling, firstChild;
    // Of the parent links only what finds the first top-level entry is kept: the first entry
    // whose link is negative, and the entries before it whose link points past themselves,
    // since such a link names no entry if the file ends before the entry it names.
    std::int32_t firstParent = -1;                                    // the first entry's link
    std::int32_t firstNegative = -1;                                  // the first entry with a negative link
    std::vector<std::pair<std::int32_t, std::int32_t>> pointingAhead; // (entry, link) before that
    // Decoded texts longer than fifteen bytes, packed into large blocks; handed over to the tree
    // the nodes are made in.
    TextStore arena;
    // Reused while decoding, so lines allocate nothing.
    std::string scratch, decodedText, decodedFile;
    // Some text still holds "&#" after decoding it as markup; decoded as plain text, it may change.
    bool referencesLeft = false;
    // What the pass over the lines saw: how many lines, whether the first is the file's first
    // header line, the menu lines it could not read, and where the first entries stand.
    std::size_t lineCount = 0;
    bool headerLine = false;
    DroppedLines unreadable{DroppedKind::UnreadableEntry, 0, {}};
    DroppedLines unplaced{DroppedKind::UnplacedEntry, 0, {}}; // filled by ReadMenuArray
    std::vector<std::size_t> firstEntryLines;
    TreeOrderStream stream;

    // Whether the links of the entries made while reading are kept. A reader that can read the
    // file again does without them: should the stream end, it reads the file once more with
    // every entry going through the table (see needsSecondRead).
    bool keepLinks = true;
    // The stream ended while the links were not kept; no entry was taken since.
    bool linksLost = false;
    std::size_t entryCount = 0;

    std::size_t size() const { return entryCount; }
    // Whether the tree cannot be made from what was kept, and the file must be read again.
    bool needsSecondRead() const;
    // Reserves room for as many entries as a file of that size can hold.
    void reserveFor(std::size_t fileSize);
    // Adds the texts of an entry to `texts`.
    void addTexts(std::string_view text, std::string_view file);
    // Moves the texts of the streamed nodes into `texts` and stops the stream, so that the
    // entries are placed by the rebuild.
    void endStream();
    // Turns every link that names no entry into -1, for the rebuild.
    void finish();
    // Keeps what is needed of the parent link of the entry added next. Inline, with the reader.
    inline void addParent(std::int32_t link);
    // The first entry whose parent link names no entry, or -1.
    std::int32_t firstTopLevel() const;
};

// The pieces of an accepted menu line that the table keeps: texts with their surrounding double
// quotes removed but not yet decoded, and the three links (-1 for "cs").
struct MenuPieces {
    std::string_view text, file;
    std::int32_t nextSibling = -1, parent = -1, firstChild = -1;
    // What the split found out about the texts on its way, so that they need no further scan
    // where it says "no": whether the menu text may hold a backslash or an ampersand, the file
    // name a backslash, and the stretch from the menu text to the end of the file name a word
    // of the block scan. The general split leaves every answer at "maybe".
    bool textMayHaveEscape = true, textMayHaveAmpersand = true, fileMayHaveEscape = true;
    bool mayHoldBlockWord = true;
};
// The general split and tests of a menu line; false when the line is not accepted.
bool SplitMenuLine(std::string_view line, MenuPieces& out);
// The same for a line in exactly the writer's shape, without the general split; false for any
// other line, which then goes through SplitMenuLine.
bool SplitWriterMenuLine(std::string_view line, MenuPieces& out);
// The same for the first line of `ahead`, whose end is not yet known: true only for a line in
// the writer's shape, of at most `maxLine` bytes, that ends in CR LF. Its length without the
// CR LF goes to `lineBytes`.
bool SplitWriterMenuLineAhead(std::string_view ahead, std::size_t maxLine, MenuPieces& out,
                              std::size_t& lineBytes);

// One pass over the lines: every accepted menu line goes into `table`, every line that matters to
// the block scan is appended to `blockLines` (each followed by LF).
void CollectLines(LineCursor& lines, MenuTable& table, std::string& blockLines);
// Whether the lines hold anything of a menu script (see NotMenuScriptError); `blockLines` are
// those CollectLines gathered for the block scan.
bool RecognisesMenuScript(const MenuTable& table, std::string_view blockLines);
// Tries one line; true when it was accepted as the next entry.
bool ReadMenuLine(std::string_view line, MenuTable& table);
// Decodes the texts of an accepted line and appends the entry.
bool AddMenuEntry(const MenuPieces& pieces, MenuTable& table);

// The shape of the rebuilt tree over entry numbers; -1 means none. Top-level entries have parent
// -1 and are chained from `rootFirst`.
struct TreeShape {
    struct Place {
        std::int32_t parent = -1, previous = -1, next = -1, firstChild = -1;
        bool operator==(const Place&) const = default;
    };
    LargeVector<Place> place; // by entry number
    std::int32_t rootFirst = -1;
    std::int32_t rootLast = -1;
};
// Places the entries by their sibling and child links, cycling over them in entry order from the
// first top-level entry; an entry that the links cannot reach is appended at the top level.
// `nextSibling` and `firstChild` hold entry numbers or -1; `first` is the first top-level entry
// (-1: the tree stays empty). `plainSteps` is how many steps the cycle runs as defined before the
// indexed simulation takes over (negative: twice the number of entries); the result is the same.
TreeShape RebuildTreeShape(std::span<const std::int32_t> nextSibling,
                           std::span<const std::int32_t> firstChild, std::int32_t first,
                           std::int64_t plainSteps = -1);
// Entry numbers in display order (parents before their children), with their depths.
struct DisplayOrder {
    LargeVector<std::int32_t> entry, depth;
};
// From this many entries on, the walk takes several subtrees side by side (the result is the
// same); below, the links stay in the cache and one walk is fast enough.
constexpr std::size_t InterleaveWalkFrom = std::size_t(1) << 16;
DisplayOrder DisplayOrderOf(const TreeShape& shape, std::size_t interleaveFrom = InterleaveWalkFrom);
// The display order the rebuild gives, straight from the links, for the common case that they
// form one tree from `first` over all entries; false (the rebuild must run) otherwise. A link
// that names no entry (negative, or past the last) counts as none, as after MenuTable::finish.
bool DisplayOrderFromLinks(std::span<const std::int32_t> nextSibling,
                           std::span<const std::int32_t> firstChild, std::int32_t first, DisplayOrder& out);
// Creates the nodes in `tree` (which must be empty) in the given order; the tree takes over the
// table's texts.
void CreateNodes(const DisplayOrder& display, MenuTable& table, SiteTree& tree);
// Rebuilds the project's tree from the table (or takes the streamed one) and swaps it in,
// telling the observer.
void ReadMenuArray(ReadContext& ctx, MenuTable& table);
// Places all entries of the table, whose stream has ended, by the rebuild into `rebuilt` (empty).
void RebuildFromTable(MenuTable& table, SiteTree& rebuilt);

// ---- template definitions ----

template <class F> int Splitter::forEach(std::string_view text, F&& f) const {
    const char* p = text.data();
    const char* const end = p + text.size();
    int count = 0;
    while (p < end) {
        while (p < end && skip_[Index(*p)])
            ++p;
        const char* const start = p;
        while (p < end) {
            const unsigned char kind = stop_[Index(*p)];
            if (kind == Ordinary) {
                ++p;
            } else if (kind == Quote) {
                // Inside a quoted run only the matching quote ends it; unclosed, it takes the rest.
                const char quote = *p++;
                while (p < end && *p != quote)
                    ++p;
                if (p < end) ++p;
            } else {
                break;
            }
        }
        if (p > start) {
            ++count;
            if (!f(std::string_view(start, static_cast<std::size_t>(p - start)))) return count;
        }
        if (p < end) ++p; // the character that ended the piece
    }
    return count;
}

template <std::size_t N> Pieces<N> SplitAtMost(std::string_view text, const Splitter& splitter) {
    Pieces<N> out;
    splitter.forEach(text, [&](std::string_view piece) {
        if (out.count < static_cast<int>(N)) out.piece[static_cast<std::size_t>(out.count)] = piece;
        ++out.count;
        return out.count <= static_cast<int>(N);
    });
    return out;
}

} // namespace quilso::reader
