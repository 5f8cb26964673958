#include "large_memory.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

using namespace quilso;

namespace {
constexpr std::size_t MB = std::size_t(1) << 20;

struct Held {
    char* memory;
    std::size_t bytes;
};
} // namespace

// Freed blocks come back for later requests, whole or in parts, and no two blocks in use share
// a byte: each is filled with its own value and checked after all were handed out.
TEST(LargeMemory, KeptBlocksAreHandedOutAgainWithoutOverlap) {
    ReleaseKeptLargeBlocks();
    auto* six = static_cast<char*>(AllocateLarge(6 * MB));
    auto* two = static_cast<char*>(AllocateLarge(2 * MB));
    std::memset(six, 'x', 6 * MB);
    FreeLarge(six, 6 * MB);
    FreeLarge(two, 2 * MB);
    EXPECT_EQ(KeptLargeBytes(), 8 * MB);

    // The same size gets its own block back; a smaller one the front of the smallest that fits.
    std::vector<Held> held;
    held.push_back({static_cast<char*>(AllocateLarge(2 * MB)), 2 * MB});
    EXPECT_EQ(held.back().memory, two);
    held.push_back({static_cast<char*>(AllocateLarge(3 * MB + 1)), 3 * MB + 1});
    EXPECT_EQ(held.back().memory, six);
    EXPECT_EQ(KeptLargeBytes(), 2 * MB);
    held.push_back({static_cast<char*>(AllocateLarge(MB)), MB});
    EXPECT_EQ(held.back().memory, six + 4 * MB);
    EXPECT_EQ(KeptLargeBytes(), 0U);
    held.push_back({static_cast<char*>(AllocateLarge(2 * MB)), 2 * MB}); // a fresh one

    for (std::size_t i = 0; i < held.size(); ++i)
        std::memset(held[i].memory, static_cast<int>('a' + i), held[i].bytes);
    for (std::size_t i = 0; i < held.size(); ++i) {
        const std::vector<char> expected(held[i].bytes, static_cast<char>('a' + i));
        EXPECT_EQ(std::memcmp(held[i].memory, expected.data(), held[i].bytes), 0) << "block " << i;
    }
    for (const Held& h : held)
        FreeLarge(h.memory, h.bytes);
    EXPECT_EQ(KeptLargeBytes(), 10 * MB);
    ReleaseKeptLargeBlocks();
    EXPECT_EQ(KeptLargeBytes(), 0U);
}

// What is kept stays bounded however much is freed; the block freed last is used first.
TEST(LargeMemory, KeepsABoundedAmount) {
    ReleaseKeptLargeBlocks();
    std::vector<void*> blocks;
    for (int i = 0; i < 80; ++i)
        blocks.push_back(AllocateLarge(8 * MB)); // address space only: none is touched
    for (void* block : blocks)
        FreeLarge(block, 8 * MB);
    const std::size_t kept = KeptLargeBytes();
    EXPECT_GT(kept, 0U);
    EXPECT_LE(kept, 256 * MB);
    EXPECT_EQ(AllocateLarge(8 * MB), blocks.back());
    FreeLarge(blocks.back(), 8 * MB);

    // One block larger than all that may be kept goes straight back.
    void* huge = AllocateLarge(300 * MB);
    FreeLarge(huge, 300 * MB);
    EXPECT_EQ(KeptLargeBytes(), kept);
    ReleaseKeptLargeBlocks();
}

#if defined(__SANITIZE_ADDRESS__)
// A kept block is not given back to the system, yet touching it after FreeLarge is still caught.
TEST(LargeMemoryDeathTest, UseOfAKeptBlockIsReported) {
    EXPECT_DEATH(
        {
            auto* block = static_cast<volatile char*>(AllocateLarge(4 * MB));
            FreeLarge(const_cast<char*>(block), 4 * MB);
            block[MB] = 1;
        },
        "use-after-poison");
}
#endif
