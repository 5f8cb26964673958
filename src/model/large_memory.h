// Memory for the large blocks of a big tree or a big load. Fresh memory costs a page fault per
// 4 kB page when it is first touched, which for a million entries outweighs the work done with
// it; blocks of a few megabytes are therefore asked for in whole 2 MB pages where the system
// offers them, so one fault maps 512 times as much.
#pragma once

#include <cstddef>

namespace quilso {

// The size an allocation of `bytes` is rounded up to by AllocateLarge.
std::size_t LargeBlockSize(std::size_t bytes);
// At least `bytes` of zero-filled memory, aligned for any object; throws std::bad_alloc.
void* AllocateLarge(std::size_t bytes);
// Frees a block from AllocateLarge; `bytes` as passed there.
void FreeLarge(void* block, std::size_t bytes) noexcept;

} // namespace quilso
