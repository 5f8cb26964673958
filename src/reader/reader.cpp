// The load driver, the block scan, the options block and the menu lines.
#include "reader.h"

#include "reader_internal.h"
#include "value_helpers.h"

#include <cerrno>
#include <fcntl.h>
#include <limits>
#include <optional>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace quilso {

namespace reader {

namespace {
constexpr CharSet Space(" ");
constexpr CharSet SelectorSkipped(",{");
constexpr CharSet Equals("=");
constexpr CharSet Nothing("");
constexpr CharSet MenuSeparators("()[],");
constexpr CharSet MenuSkipped(" ;");

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
    const auto selector = SplitAtMost<3>(css, Space, SelectorSkipped);
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
    case BlockKind::OuterBox: ReadOuterBoxBlock(ctx, start.kind, id, lines); break;
    case BlockKind::Container: ReadContainerBlock(ctx, start.kind, id, lines); break;
    case BlockKind::Item: ReadItemBlock(ctx, start.kind, id, lines); break;
    case BlockKind::Link: ReadLinkBlock(ctx, start.kind, id, lines); break;
    case BlockKind::SelectedLink: ReadSelectedLinkBlock(ctx, start.kind, id, lines); break;
    case BlockKind::Hover: ReadHoverBlock(ctx, start.kind, id, lines); break;
    }
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

// Forgets the hover colours of the project loaded before: a file without a hover block has none.
void ClearHoverColours(ReadContext& ctx) {
    for (TCSS& css : ctx.project.params.css) {
        css.colorHover.clear();
        css.backgroundColorHover.clear();
    }
    ctx.observer.readStarted();
}

// The whole file in one buffer.
struct FileBytes {
    std::unique_ptr<char[]> data;
    std::size_t size = 0;
    std::string_view view() const { return {data.get(), size}; }
};

FileBytes LoadFile(const std::string& fileName) {
    const auto fail = [&](int error) { return FileError(fileName, std::generic_category().message(error)); };
    const int fd = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) throw fail(errno);
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    struct stat info {};
    if (::fstat(fd, &info) != 0) throw fail(errno);
    FileBytes bytes;
    // One byte beyond the expected size tells a file that grew while being read.
    std::size_t capacity = S_ISREG(info.st_mode) ? static_cast<std::size_t>(info.st_size) + 1 : 65536;
    bytes.data = std::make_unique_for_overwrite<char[]>(capacity);
    for (;;) {
        if (bytes.size == capacity) {
            auto bigger = std::make_unique_for_overwrite<char[]>(capacity * 2);
            std::memcpy(bigger.get(), bytes.data.get(), bytes.size);
            bytes.data = std::move(bigger);
            capacity *= 2;
        }
        const ssize_t got = ::read(fd, bytes.data.get() + bytes.size, capacity - bytes.size);
        if (got < 0) {
            if (errno == EINTR) continue;
            throw fail(errno);
        }
        if (got == 0) break;
        bytes.size += static_cast<std::size_t>(got);
    }
    return bytes;
}
} // namespace

void ReadBlocks(ReadContext& ctx, std::string_view text) {
    LineCursor lines(text);
    std::string_view line;
    while (lines.next(line)) {
        if (CssTextOf(line, ctx.css)) {
            if (const auto start = RecogniseSelector(Trim(ctx.css))) ReadBlock(ctx, *start, lines);
        } else if (Contains(line, "options")) {
            const auto words = SplitAtMost<2>(line, Space, Nothing);
            if (words.count == 2 && words.piece[0] == "/*" && words.piece[1] == "options") ReadOptions(ctx, lines);
        }
    }
    ctx.observer.blockScanFinished();
}

void ReadOptions(ReadContext& ctx, LineCursor& lines) {
    std::string_view line;
    while (lines.next(line)) {
        if (Contains(line, "*/")) return;
        const auto option = SplitAtMost<2>(line, Equals, Space);
        if (option.count != 2 || option.piece[0] != "istag") continue;
        ctx.project.params.options.isTag = option.piece[1] == "true";
        ctx.observer.optionsRead(ctx.project.params.options.isTag);
    }
}

char* TextArena::allocate(std::size_t size) {
    if (size > left_) {
        // Large texts get a block of their own, so the current block's rest is not wasted.
        if (size >= BlockSize / 4) return blocks_.emplace_back(std::make_unique_for_overwrite<char[]>(size)).get();
        free_ = blocks_.emplace_back(std::make_unique_for_overwrite<char[]>(BlockSize)).get();
        left_ = BlockSize;
    }
    char* out = free_;
    free_ += size;
    left_ -= size;
    return out;
}

void MenuTable::finish() {
    const auto n = static_cast<std::int64_t>(size());
    for (auto* links : {&nextSibling, &parent, &firstChild})
        for (std::int32_t& link : *links)
            if (link < 0 || link >= n) link = -1;
}

bool ReadMenuLine(std::string_view line, MenuTable& table) {
    if (!Trim(line).starts_with("ca[")) return false;
    const auto p = SplitAtMost<8>(line, MenuSeparators, MenuSkipped);
    if (p.count != 8 || p.piece[0] != "ca" || StrToIntDef(p.piece[1]) == -1) return false;
    const std::string_view constructor = p.piece[2];
    if (!Contains(constructor, "=") || !Contains(constructor, "new") || !Contains(constructor, "cr")) return false;
    std::int32_t next, parent, child;
    if (!ReadLink(p.piece[5], next) || !ReadLink(p.piece[6], parent) || !ReadLink(p.piece[7], child)) return false;
    if (table.size() >= static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) return false;

    // Most texts hold neither escapes nor references and are copied as they stand.
    std::string decodedText, decodedFile;
    std::string_view text = Unquote(p.piece[3]);
    if (text.find_first_of("\\&") != std::string_view::npos) {
        std::string unescaped;
        AppendJsUnescaped(text, unescaped);
        decodedText = HtmlDecode(unescaped);
        text = decodedText;
    }
    std::string_view file = Unquote(p.piece[4]);
    if (Contains(file, "\\")) {
        AppendJsUnescaped(file, decodedFile);
        file = decodedFile;
    }
    const std::size_t size = text.size() + file.size();
    if (size > std::numeric_limits<std::uint32_t>::max()) return false;
    char* data = table.arena.allocate(size);
    if (!text.empty()) std::memcpy(data, text.data(), text.size());
    if (!file.empty()) std::memcpy(data + text.size(), file.data(), file.size());
    table.texts.push_back({data, static_cast<std::uint32_t>(text.size()), static_cast<std::uint32_t>(file.size())});
    table.nextSibling.push_back(next);
    table.parent.push_back(parent);
    table.firstChild.push_back(child);
    return true;
}

void CollectMenuEntries(std::string_view text, MenuTable& table) {
    LineCursor lines(text);
    std::string_view line;
    while (lines.next(line)) ReadMenuLine(line, table);
}

void ReadMenuArray(ReadContext& ctx, MenuTable& table) {
    table.finish();
    std::int32_t first = -1;
    for (std::size_t i = 0; i < table.size(); ++i) {
        if (table.parent[i] == -1) {
            first = static_cast<std::int32_t>(i);
            break;
        }
    }
    std::vector<std::int32_t>().swap(table.parent);
    TreeShape shape = RebuildTreeShape(table.nextSibling, table.firstChild, first);
    std::vector<std::int32_t>().swap(table.nextSibling);
    std::vector<std::int32_t>().swap(table.firstChild);

    SiteTree rebuilt;
    CreateNodes(shape, table, rebuilt);
    ctx.observer.treeAboutToBeRebuilt();
    ctx.project.tree.swap(rebuilt);
    ctx.observer.treeRebuilt();
}

} // namespace reader

void ReadProjectText(std::string_view bytes, Project& project, ReadObserver& observer) {
    reader::ReadContext ctx{project, observer, {}};
    reader::ClearHoverColours(ctx);
    reader::ReadBlocks(ctx, bytes);
    reader::MenuTable table;
    reader::CollectMenuEntries(bytes, table);
    reader::ReadMenuArray(ctx, table);
}

void ReadProjectFile(const std::string& fileName, Project& project, ReadObserver& observer) {
    reader::FileBytes file = reader::LoadFile(fileName);
    reader::ReadContext ctx{project, observer, {}};
    reader::ClearHoverColours(ctx);
    reader::ReadBlocks(ctx, file.view());
    reader::MenuTable table;
    reader::CollectMenuEntries(file.view(), table);
    // The file's bytes are no longer needed; freeing them before the nodes are made keeps the
    // peak memory of a large load down.
    file = {};
    reader::ReadMenuArray(ctx, table);
}

} // namespace quilso
