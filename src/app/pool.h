// Small-block pool behind the program's operator new and delete.
//
// An evaluation makes and frees a few hundred small objects (terms, rules,
// polylines, names, list nodes), nearly all of them freed before the next
// evaluation starts. The pool serves blocks of up to kLargestPooled bytes
// from per-thread free lists, one per 16-byte size class, carved from chunks
// of kChunkBytes; larger blocks come from malloc. Every block is preceded by
// a 16-byte header naming its size class, so a block can be freed without
// its size, and by any thread (it then joins that thread's lists). Chunks are
// never returned to the system: a thread keeps the blocks its busiest moment
// needed, ready for the next evaluation.
#pragma once

#include <cstddef>

namespace pool {

inline constexpr std::size_t kLargestPooled = 512;
inline constexpr std::size_t kChunkBytes = 64 * 1024;

// A block of at least `size` bytes, aligned to 16; throws std::bad_alloc
// when memory runs out. A size of 0 gives a distinct block too.
void* allocate(std::size_t size);
// Gives back a block from allocate; null is ignored.
void release(void* block) noexcept;

}  // namespace pool
