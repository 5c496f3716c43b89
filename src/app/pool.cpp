// Small-block pool: per-thread free lists of 16-byte size classes.
#include "pool.h"

#include <cstdint>
#include <cstdlib>
#include <new>

namespace pool {
namespace {

constexpr std::size_t kGranule = 16;
constexpr std::size_t kClasses = kLargestPooled / kGranule;
// The header's class of a block that malloc gave.
constexpr std::uint32_t kFromMalloc = 0;

// Sits in front of every block; 16 bytes keep the block aligned to 16.
struct alignas(16) THeader {
  std::uint32_t size_class;  // 1..kClasses, or kFromMalloc
};
static_assert(sizeof(THeader) == kGranule);

struct TFreeBlock {
  TFreeBlock* next;
};

// One thread's pool. Trivially initialized, so a thread's first allocation
// needs no set-up and the pool needs no teardown (its chunks stay until the
// process ends).
struct TThreadPool {
  TFreeBlock* free[kClasses + 1];
  char* carve;      // next unused byte of the current chunk
  char* carve_end;  // end of the current chunk
};
thread_local TThreadPool local_pool;

THeader* header_of(void* block) {
  return static_cast<THeader*>(block) - 1;
}

void* from_malloc(std::size_t size) {
  if (size > SIZE_MAX - sizeof(THeader)) throw std::bad_alloc();
  auto* header = static_cast<THeader*>(std::malloc(sizeof(THeader) + size));
  if (header == nullptr) throw std::bad_alloc();
  header->size_class = kFromMalloc;
  return header + 1;
}

// A new block of one class, cut from the current chunk or a fresh one. The
// rest of a chunk too small for the block is left unused.
void* carve(TThreadPool& p, std::uint32_t size_class) {
  const std::size_t bytes = sizeof(THeader) + size_class * kGranule;
  if (static_cast<std::size_t>(p.carve_end - p.carve) < bytes) {
    auto* chunk = static_cast<char*>(std::aligned_alloc(kGranule, kChunkBytes));
    if (chunk == nullptr) throw std::bad_alloc();
    p.carve = chunk;
    p.carve_end = chunk + kChunkBytes;
  }
  auto* header = reinterpret_cast<THeader*>(p.carve);
  p.carve += bytes;
  header->size_class = size_class;
  return header + 1;
}

}  // namespace

void* allocate(std::size_t size) {
  if (size > kLargestPooled) return from_malloc(size);
  const auto size_class =
      static_cast<std::uint32_t>(size == 0 ? 1 : (size + kGranule - 1) / kGranule);
  TThreadPool& p = local_pool;
  if (TFreeBlock* block = p.free[size_class]) {
    p.free[size_class] = block->next;
    return block;
  }
  return carve(p, size_class);
}

void release(void* block) noexcept {
  if (block == nullptr) return;
  THeader* header = header_of(block);
  if (header->size_class == kFromMalloc) {
    std::free(header);
    return;
  }
  TThreadPool& p = local_pool;
  auto* freed = static_cast<TFreeBlock*>(block);
  freed->next = p.free[header->size_class];
  p.free[header->size_class] = freed;
}

}  // namespace pool
