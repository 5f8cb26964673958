#include "large_memory.h"

#include <algorithm>
#include <cstdint>
#include <mutex>
#include <sys/mman.h>
#include <vector>

// Poisoning marks kept blocks for the address sanitizer; without it the macros do nothing.
#if __has_include(<sanitizer/asan_interface.h>)
#include <sanitizer/asan_interface.h>
#else
#define ASAN_POISON_MEMORY_REGION(addr, size) ((void)(addr), (void)(size))
#define ASAN_UNPOISON_MEMORY_REGION(addr, size) ((void)(addr), (void)(size))
#endif

namespace quilso {

namespace {
constexpr std::size_t HugePage = std::size_t(2) << 20;

void Unmap(void* memory, std::size_t size) {
    ASAN_UNPOISON_MEMORY_REGION(memory, size); // the range may be mapped again for anything
    ::munmap(memory, size);
}

// Freed blocks kept for reuse, up to MostBytes of address space. The pages are marked free to
// the system, which takes them back when memory runs short; until then a reused block costs no
// page fault and no zero fill.
class KeptBlocks {
public:
    static constexpr std::size_t MostBytes = std::size_t(256) << 20;
    static constexpr std::size_t MostBlocks = 256;

    KeptBlocks() { kept_.reserve(MostBlocks); }

    void* take(std::size_t size) {
        std::lock_guard lock(mutex_);
        // The smallest block that is large enough, of those the one freed last, as its pages are
        // the likeliest to be in the cache; of a larger one the front part is used.
        Block* best = nullptr;
        for (Block& block : kept_)
            if (block.size >= size && (!best || block.size <= best->size)) best = &block;
        if (!best) return nullptr;
        char* const memory = best->memory;
        bytes_ -= size;
        if (best->size > size)
            *best = {memory + size, best->size - size};
        else
            kept_.erase(kept_.begin() + (best - kept_.data()));
        ASAN_UNPOISON_MEMORY_REGION(memory, size);
        return memory;
    }

    bool keep(void* memory, std::size_t size) noexcept {
        std::lock_guard lock(mutex_);
        if (size > MostBytes) return false;
        // The blocks kept longest go first.
        std::size_t dropped = 0;
        while (dropped < kept_.size() &&
               (bytes_ + size > MostBytes || kept_.size() - dropped >= MostBlocks)) {
            Unmap(kept_[dropped].memory, kept_[dropped].size);
            bytes_ -= kept_[dropped].size;
            ++dropped;
        }
        kept_.erase(kept_.begin(), kept_.begin() + static_cast<std::ptrdiff_t>(dropped));
#ifdef MADV_FREE
        ::madvise(memory, size, MADV_FREE);
#endif
        // Off limits until handed out again: a use after FreeLarge is still reported.
        ASAN_POISON_MEMORY_REGION(memory, size);
        kept_.push_back({static_cast<char*>(memory), size});
        bytes_ += size;
        return true;
    }

    void release() noexcept {
        std::lock_guard lock(mutex_);
        releaseLocked();
    }

    std::size_t bytes() noexcept {
        std::lock_guard lock(mutex_);
        return bytes_;
    }

private:
    struct Block {
        char* memory;
        std::size_t size;
    };

    void releaseLocked() noexcept {
        for (const Block& block : kept_)
            Unmap(block.memory, block.size);
        kept_.clear();
        bytes_ = 0;
    }

    std::mutex mutex_;
    std::vector<Block> kept_; // oldest first
    std::size_t bytes_ = 0;
};

KeptBlocks& Kept() {
    // Never destroyed: blocks may still be freed while static objects go away.
    static auto* kept = new KeptBlocks;
    return *kept;
}

void* MapLarge(std::size_t size) {
    // Over-allocate by one huge page and cut the mapping down to an aligned block of `size`,
    // since only aligned 2 MB ranges can be backed by huge pages.
    void* mapped =
        ::mmap(nullptr, size + HugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED) return nullptr;
    const auto start = reinterpret_cast<std::uintptr_t>(mapped);
    const std::uintptr_t aligned = (start + HugePage - 1) / HugePage * HugePage;
    if (aligned > start) ::munmap(mapped, aligned - start);
    const std::uintptr_t tail = aligned + size;
    const std::uintptr_t mappedEnd = start + size + HugePage;
    if (mappedEnd > tail) ::munmap(reinterpret_cast<void*>(tail), mappedEnd - tail);
    auto* block = reinterpret_cast<void*>(aligned);
    // Only advice: where huge pages are off or short, the block is backed by small pages.
#ifdef MADV_HUGEPAGE
    ::madvise(block, size, MADV_HUGEPAGE);
#endif
    return block;
}
} // namespace

std::size_t LargeBlockSize(std::size_t bytes) {
    return (bytes + HugePage - 1) / HugePage * HugePage;
}

void* AllocateLarge(std::size_t bytes) {
    const std::size_t size = LargeBlockSize(bytes);
    if (void* block = Kept().take(size)) return block;
    if (void* block = MapLarge(size)) return block;
    throw std::bad_alloc();
}

void FreeLarge(void* block, std::size_t bytes) noexcept {
    if (!block) return;
    const std::size_t size = LargeBlockSize(bytes);
    if (!Kept().keep(block, size)) ::munmap(block, size);
}

void ReleaseKeptLargeBlocks() noexcept {
    Kept().release();
}

std::size_t KeptLargeBytes() noexcept {
    return Kept().bytes();
}

} // namespace quilso
