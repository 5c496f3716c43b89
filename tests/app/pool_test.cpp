// Tests of the small-block pool: blocks of every size class are aligned and
// do not overlap, even across chunks; freed blocks are used again, also
// when another thread freed them; blocks too large for the pool work alike.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <thread>
#include <utility>
#include <vector>

#include "pool.h"

namespace {

struct TBlock {
  unsigned char* data;
  std::size_t size;
};

// Fills every block with its own byte, then checks that no other block
// wrote over it.
void ExpectBlocksApart(const std::vector<TBlock>& blocks) {
  for (std::size_t i = 0; i < blocks.size(); ++i) {
    std::memset(blocks[i].data, static_cast<int>(i % 251), blocks[i].size);
  }
  for (std::size_t i = 0; i < blocks.size(); ++i) {
    const auto fill = static_cast<unsigned char>(i % 251);
    ASSERT_TRUE(std::all_of(blocks[i].data, blocks[i].data + blocks[i].size,
                            [fill](unsigned char c) { return c == fill; }))
        << "block " << i << " of " << blocks[i].size << " bytes was overwritten";
  }
}

TEST(PoolTest, BlocksOfEverySizeAreAlignedAndApart) {
  std::vector<TBlock> blocks;
  // Past one chunk of small blocks, and sizes on both sides of every class
  // border and of the largest pooled size.
  for (int round = 0; round < 3; ++round) {
    for (std::size_t size = 0; size <= pool::kLargestPooled + 40; ++size) {
      blocks.push_back({static_cast<unsigned char*>(pool::allocate(size)), size});
    }
  }
  for (const TBlock& block : blocks) {
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(block.data) % 16, 0u);
  }
  ExpectBlocksApart(blocks);
  for (const TBlock& block : blocks) pool::release(block.data);
}

TEST(PoolTest, FreedBlocksAreUsedAgain) {
  for (const std::size_t size : {std::size_t{1}, std::size_t{40}, pool::kLargestPooled}) {
    void* first = pool::allocate(size);
    pool::release(first);
    void* second = pool::allocate(size);
    EXPECT_EQ(first, second) << size << " bytes";
    pool::release(second);
  }
  pool::release(nullptr);
}

TEST(PoolTest, BlocksFreedByAnotherThreadServeThatThread) {
  std::vector<void*> made;
  std::thread maker([&made] {
    for (int i = 0; i < 100; ++i) made.push_back(pool::allocate(24));
  });
  maker.join();
  for (void* block : made) pool::release(block);
  // This thread's list of the class now holds the blocks it freed, last first.
  std::vector<void*> taken;
  taken.reserve(made.size());  // before: its own storage would take a block
  for (std::size_t i = 0; i < made.size(); ++i) taken.push_back(pool::allocate(24));
  std::reverse(taken.begin(), taken.end());
  EXPECT_EQ(taken, made);
  for (void* block : taken) pool::release(block);
}

TEST(PoolTest, LargeBlocksComeAndGo) {
  std::vector<TBlock> blocks;
  for (const std::size_t size :
       {pool::kLargestPooled + 1, std::size_t{4096}, pool::kChunkBytes, 4 * pool::kChunkBytes}) {
    blocks.push_back({static_cast<unsigned char*>(pool::allocate(size)), size});
  }
  ExpectBlocksApart(blocks);
  for (const TBlock& block : blocks) pool::release(block.data);
}

}  // namespace
