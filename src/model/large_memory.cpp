#include "large_memory.h"

#include <cstdint>
#include <new>
#include <sys/mman.h>

namespace quilso {

namespace {
constexpr std::size_t HugePage = std::size_t(2) << 20;
}

std::size_t LargeBlockSize(std::size_t bytes) {
    return (bytes + HugePage - 1) / HugePage * HugePage;
}

void* AllocateLarge(std::size_t bytes) {
    const std::size_t size = LargeBlockSize(bytes);
    // Over-allocate by one huge page and cut the mapping down to an aligned block of `size`,
    // since only aligned 2 MB ranges can be backed by huge pages.
    void* mapped =
        ::mmap(nullptr, size + HugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED) throw std::bad_alloc();
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

void FreeLarge(void* block, std::size_t bytes) noexcept {
    if (block) ::munmap(block, LargeBlockSize(bytes));
}

} // namespace quilso
