// The two texts of every entry, menu text and file name, in sixteen bytes each: a million entries
// are read, held and written faster the smaller their nodes are. Short texts (the most common
// case) are kept inside; longer ones either in a block of their own or, for a tree read from a
// file, in the tree's text store, which holds them packed one after another.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iosfwd>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quilso {

// The sixteen bytes of a text kept inside, or of one that refers to bytes in a tree's store:
// such a text owns nothing, so its bytes may be copied as they are to wherever the store lives
// on. A large load keeps its texts in this form until it makes the nodes.
struct TextBytes {
    char bytes[16];
};

// Bytes kept at fixed addresses for a tree's lifetime, handed out one after another from large
// blocks. Every block ends in ReadAhead spare bytes, so a text in the store can be read in whole
// blocks of sixteen bytes beyond its end.
class TextStore {
public:
    static constexpr std::size_t ReadAhead = 16;

    TextStore() = default;
    TextStore(const TextStore&) = delete;
    TextStore& operator=(const TextStore&) = delete;
    TextStore(TextStore&& other) noexcept { swap(other); }
    TextStore& operator=(TextStore&& other) noexcept {
        TextStore(std::move(other)).swap(*this);
        return *this;
    }
    ~TextStore() { clear(); }

    // Reserves `size` bytes that stay where they are until clear(); throws std::bad_alloc.
    char* allocate(std::size_t size);
    // A copy of `text` in the store.
    std::string_view keep(std::string_view text);
    // `text` as an entry text: a short one inside, a longer one copied into the store.
    TextBytes keepAsEntryText(std::string_view text);
    // The same, written to the sixteen bytes at `out`.
    void keepAsEntryTextAt(char* out, std::string_view text);
    // Takes over the blocks of `other`, which ends up empty; what was handed out from them stays
    // where it is.
    void adopt(TextStore&& other);
    void clear() noexcept;
    void swap(TextStore& other) noexcept {
        std::swap(blocks_, other.blocks_);
        std::swap(free_, other.free_);
        std::swap(left_, other.left_);
    }

private:
    // The first block is small, so a small tree costs little; the later ones are large blocks.
    static constexpr std::size_t FirstBlockSize = std::size_t(1) << 16;
    static constexpr std::size_t LargeBlock = std::size_t(4) << 20;
    struct Block {
        char* memory;
        std::size_t size; // with the spare bytes at its end
    };
    std::vector<Block> blocks_;
    char* free_ = nullptr;
    std::size_t left_ = 0;
};

class EntryText {
public:
    // The longest text kept inside.
    static constexpr std::size_t InlineCapacity = 15;

    EntryText() noexcept { setInlineSize(0); }
    // Implicit, so that an entry is made from any kind of text as it was from std::string.
    EntryText(std::string_view text) { assignCopy(text); }
    EntryText(const std::string& text) : EntryText(std::string_view(text)) {}
    EntryText(const char* text) : EntryText(std::string_view(text)) {}
    EntryText(const EntryText& other) : EntryText(other.view()) {}
    // A text that lies in a tree's store is copied, since the store stays with its tree; so a
    // move may allocate, and throw, like a copy.
    // NOLINTNEXTLINE(bugprone-exception-escape): see above.
    EntryText(EntryText&& other) noexcept(false);
    EntryText& operator=(const EntryText& other);
    // NOLINTNEXTLINE(bugprone-exception-escape): as for the move constructor.
    EntryText& operator=(EntryText&& other) noexcept(false);
    EntryText& operator=(std::string_view text);
    EntryText& operator=(const std::string& text) { return *this = std::string_view(text); }
    EntryText& operator=(const char* text) { return *this = std::string_view(text); }
    ~EntryText() { release(); }

    std::size_t size() const noexcept {
        return isInline() ? Capacity - static_cast<std::size_t>(bytes_[Capacity]) : heapSize();
    }
    bool empty() const noexcept { return size() == 0; }
    const char* data() const noexcept { return isInline() ? bytes_ : heapData(); }
    std::string_view view() const noexcept { return {data(), size()}; }
    operator std::string_view() const noexcept { return view(); }
    std::string str() const { return std::string(view()); }
    // How many bytes from data() on may be read, at least size(): sixteen-byte scans of the text
    // may read up to there without looking at the end of each block.
    std::size_t readable() const noexcept {
        if (isInline()) return sizeof bytes_;
        const std::size_t size = heapSize();
        // Blocks of their own are allocated in whole sixteens; the store keeps spare bytes at the
        // end of each block.
        return isOwned() ? (size + 15) / 16 * 16 : size + TextStore::ReadAhead;
    }

    friend bool operator==(const EntryText& a, const EntryText& b) noexcept { return a.view() == b.view(); }
    friend bool operator==(const EntryText& a, std::string_view b) noexcept { return a.view() == b; }
    friend bool operator==(const EntryText& a, const std::string& b) noexcept { return a.view() == b; }
    friend bool operator==(const EntryText& a, const char* b) noexcept { return a.view() == b; }
    friend std::string operator+(const EntryText& a, std::string_view b) { return a.str().append(b); }
    friend std::string operator+(const EntryText& a, char b) { return a.str() + b; }
    friend std::string operator+(std::string_view a, const EntryText& b) {
        return std::string(a).append(b.view());
    }

    // The bytes of a text that holds `text` inside, or refers to it where it lies (which must
    // then be in the store of the tree the text will end up in).
    static TextBytes Refer(std::string_view text) noexcept;
    // The same, written to the sixteen bytes at `out`.
    static void ReferAt(char* out, std::string_view text) noexcept;

private:
    friend class SiteTree;
    // Takes over bytes from Refer; this text holds nothing of its own yet.
    void referBytes(const TextBytes& text) noexcept { std::memcpy(bytes_, text.bytes, sizeof bytes_); }
    // Makes this text (holding nothing of its own yet) the entry text of `text`, keeping a long
    // one in `store`.
    void keepIn(TextStore& store, std::string_view text) { store.keepAsEntryTextAt(bytes_, text); }

    // Up to 15 bytes inside; the last byte then tells how many of the 15 are unused, which is
    // zero, a terminating zero byte, when all are. Otherwise the first eight bytes hold the
    // address, the next four the size, and the last byte Heap or Stored.
    static constexpr std::size_t Capacity = InlineCapacity;
    static constexpr unsigned char Heap = 0x80, Stored = 0xC0;

    bool isInline() const noexcept { return static_cast<unsigned char>(bytes_[Capacity]) <= Capacity; }
    bool isOwned() const noexcept { return static_cast<unsigned char>(bytes_[Capacity]) == Heap; }
    const char* heapData() const noexcept {
        const char* p;
        std::memcpy(&p, bytes_, sizeof p);
        return p;
    }
    std::size_t heapSize() const noexcept {
        std::uint32_t n;
        std::memcpy(&n, bytes_ + sizeof(const char*), sizeof n);
        return n;
    }
    void setInlineSize(std::size_t size) noexcept {
        bytes_[size] = '\0';
        bytes_[Capacity] = static_cast<char>(Capacity - size);
    }
    void setHeap(const char* p, std::size_t size, unsigned char kind) noexcept {
        PutAddress(bytes_, p, size, kind);
    }
    // The sixteen bytes of a text that lies elsewhere, at `out`.
    static void PutAddress(char* out, const char* p, std::size_t size, unsigned char kind) noexcept;
    void assignCopy(std::string_view text);
    void release() noexcept;

    char bytes_[Capacity + 1];
};

std::ostream& operator<<(std::ostream& out, const EntryText& text);

// Inline: a large load calls these twice an entry.
inline void EntryText::ReferAt(char* out, std::string_view text) noexcept {
    const std::size_t n = text.size();
    const char* const p = text.data();
    if (n <= Capacity) {
        // Written where the text is to stay, in pieces whose sizes are known here: the bytes of a
        // short text assembled elsewhere and then copied as a whole would wait for the pieces.
        std::uint64_t a, b;
        std::uint32_t c, d;
        if (n >= 8) {
            std::memcpy(&a, p, 8);
            std::memcpy(&b, p + n - 8, 8);
            std::memcpy(out, &a, 8);
            std::memcpy(out + n - 8, &b, 8);
        } else if (n >= 4) {
            std::memcpy(&c, p, 4);
            std::memcpy(&d, p + n - 4, 4);
            std::memcpy(out, &c, 4);
            std::memcpy(out + n - 4, &d, 4);
        } else {
            for (std::size_t i = 0; i < n; ++i)
                out[i] = p[i];
        }
        out[n] = '\0';
        out[Capacity] = static_cast<char>(Capacity - n);
        return;
    }
    PutAddress(out, p, n, Stored);
}

inline void EntryText::PutAddress(char* out, const char* p, std::size_t size, unsigned char kind) noexcept {
    const auto n = static_cast<std::uint32_t>(size);
    std::memcpy(out, &p, sizeof p);
    std::memcpy(out + sizeof p, &n, sizeof n);
    std::memset(out + sizeof p + sizeof n, 0, Capacity - sizeof p - sizeof n);
    out[Capacity] = static_cast<char>(kind);
}

inline TextBytes EntryText::Refer(std::string_view text) noexcept {
    TextBytes out{};
    ReferAt(out.bytes, text);
    return out;
}

inline void TextStore::keepAsEntryTextAt(char* out, std::string_view text) {
    EntryText::ReferAt(out, text.size() > EntryText::InlineCapacity ? keep(text) : text);
}

inline TextBytes TextStore::keepAsEntryText(std::string_view text) {
    TextBytes out{};
    keepAsEntryTextAt(out.bytes, text);
    return out;
}

} // namespace quilso
