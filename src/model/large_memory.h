// Memory for the large blocks of a big tree or a big load. Fresh memory costs a page fault per
// 4 kB page when it is first touched, which for a million entries outweighs the work done with
// it; blocks of a few megabytes are therefore asked for in whole 2 MB pages where the system
// offers them, so one fault maps 512 times as much. Freed blocks are kept for a while, so that
// the next project read, say after closing one, gets memory that is mapped already.
#pragma once

#include <cstddef>
#include <new>
#include <vector>

namespace quilso {

// The size an allocation of `bytes` is rounded up to by AllocateLarge.
std::size_t LargeBlockSize(std::size_t bytes);
// At least `bytes` of memory, aligned for any object, with undefined contents (a reused block
// holds what it held); throws std::bad_alloc.
void* AllocateLarge(std::size_t bytes);
// Frees a block from AllocateLarge; `bytes` as passed there. The block may be kept for reuse.
void FreeLarge(void* block, std::size_t bytes) noexcept;
// Gives every block kept for reuse back to the system.
void ReleaseKeptLargeBlocks() noexcept;
// The bytes of address space held by blocks kept for reuse.
std::size_t KeptLargeBytes() noexcept;

// An allocator for the large temporary arrays of a big load: from a size of a megabyte on,
// the memory comes from AllocateLarge; smaller arrays come from the heap as usual.
template <class T> struct LargeAllocator {
    using value_type = T;
    static constexpr std::size_t LargeFrom = std::size_t(1) << 20;
    LargeAllocator() = default;
    template <class U> LargeAllocator(const LargeAllocator<U>&) noexcept {}
    T* allocate(std::size_t n) {
        if (n > static_cast<std::size_t>(-1) / sizeof(T)) throw std::bad_array_new_length();
        const std::size_t bytes = n * sizeof(T);
        return static_cast<T*>(bytes >= LargeFrom ? AllocateLarge(bytes) : ::operator new(bytes));
    }
    void deallocate(T* p, std::size_t n) noexcept {
        const std::size_t bytes = n * sizeof(T);
        if (bytes >= LargeFrom)
            FreeLarge(p, bytes);
        else
            ::operator delete(p);
    }
    template <class U> bool operator==(const LargeAllocator<U>&) const noexcept { return true; }
};

template <class T> using LargeVector = std::vector<T, LargeAllocator<T>>;

} // namespace quilso
