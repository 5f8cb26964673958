#include "entry_text.h"

#include "large_memory.h"

#include <algorithm>
#include <limits>
#include <new>
#include <ostream>
#include <stdexcept>

namespace quilso {

char* TextStore::allocate(std::size_t size) {
    if (size > left_) {
        const std::size_t blockSize =
            (blocks_.empty() && size <= FirstBlockSize ? FirstBlockSize : std::max(size, LargeBlock)) +
            ReadAhead;
        blocks_.reserve(blocks_.size() + 1);
        auto* memory = static_cast<char*>(blockSize >= LargeBlock ? AllocateLarge(blockSize)
                                                                  : ::operator new(blockSize));
        blocks_.push_back({memory, blockSize});
        // A text larger than a block gets one of its own; the current block's rest stays in use.
        if (size > LargeBlock) return memory;
        free_ = memory;
        left_ = blockSize - ReadAhead;
    }
    char* out = free_;
    free_ += size;
    left_ -= size;
    return out;
}

std::string_view TextStore::keep(std::string_view text) {
    char* copy = allocate(text.size());
    if (!text.empty()) std::memcpy(copy, text.data(), text.size());
    return {copy, text.size()};
}

void TextStore::adopt(TextStore&& other) {
    if (blocks_.empty()) {
        swap(other);
        return;
    }
    blocks_.reserve(blocks_.size() + other.blocks_.size());
    blocks_.insert(blocks_.end(), other.blocks_.begin(), other.blocks_.end());
    other.blocks_.clear();
    other.free_ = nullptr;
    other.left_ = 0;
}

void TextStore::clear() noexcept {
    for (const Block& block : blocks_) {
        if (block.size >= LargeBlock)
            FreeLarge(block.memory, block.size);
        else
            ::operator delete(block.memory);
    }
    blocks_.clear();
    blocks_.shrink_to_fit();
    free_ = nullptr;
    left_ = 0;
}

// NOLINTNEXTLINE(bugprone-exception-escape): a stored text is copied; see the declaration.
EntryText::EntryText(EntryText&& other) noexcept(false) {
    if (other.isOwned()) {
        std::memcpy(bytes_, other.bytes_, sizeof bytes_);
        other.setInlineSize(0);
    } else {
        assignCopy(other.view());
    }
}

EntryText& EntryText::operator=(const EntryText& other) {
    if (this != &other) *this = other.view();
    return *this;
}

// NOLINTNEXTLINE(bugprone-exception-escape): as for the move constructor.
EntryText& EntryText::operator=(EntryText&& other) noexcept(false) {
    if (this == &other) return *this;
    if (other.isOwned()) {
        release();
        std::memcpy(bytes_, other.bytes_, sizeof bytes_);
        other.setInlineSize(0);
        return *this;
    }
    return *this = other.view();
}

EntryText& EntryText::operator=(std::string_view text) {
    if (text.size() <= Capacity && !isOwned()) {
        // Nothing to give up; memmove, as `text` may lie inside this text.
        if (!text.empty()) std::memmove(bytes_, text.data(), text.size());
        setInlineSize(text.size());
        return *this;
    }
    // The new text is made before the old one is given up: `text` may lie inside it.
    EntryText copy(text);
    release();
    std::memcpy(bytes_, copy.bytes_, sizeof bytes_);
    copy.setInlineSize(0);
    return *this;
}

void EntryText::assignCopy(std::string_view text) {
    if (text.size() <= Capacity) {
        if (!text.empty()) std::memcpy(bytes_, text.data(), text.size());
        setInlineSize(text.size());
        return;
    }
    if (text.size() > std::numeric_limits<std::uint32_t>::max())
        throw std::length_error("entry text too long");
    auto* copy = new char[(text.size() + 15) / 16 * 16];
    std::memcpy(copy, text.data(), text.size());
    setHeap(copy, text.size(), Heap);
}

void EntryText::release() noexcept {
    if (isOwned()) delete[] heapData();
    setInlineSize(0);
}

std::ostream& operator<<(std::ostream& out, const EntryText& text) {
    return out << text.view();
}

} // namespace quilso
