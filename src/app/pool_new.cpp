// The program's global operator new and delete, served by the small-block
// pool. Linked into the program, the benchmarks and the tests; left out of
// the sanitizer build, whose own allocator checks every block. The forms for
// over-aligned types are not replaced: they stay with the standard library,
// which pairs them among themselves.
#include <new>

#include "pool.h"

void* operator new(std::size_t size) {
  return pool::allocate(size);
}

void* operator new[](std::size_t size) {
  return pool::allocate(size);
}

void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  try {
    return pool::allocate(size);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept {
  return operator new(size, tag);
}

void operator delete(void* block) noexcept {
  pool::release(block);
}

void operator delete[](void* block) noexcept {
  pool::release(block);
}

void operator delete(void* block, std::size_t) noexcept {
  pool::release(block);
}

void operator delete[](void* block, std::size_t) noexcept {
  pool::release(block);
}

void operator delete(void* block, const std::nothrow_t&) noexcept {
  pool::release(block);
}

void operator delete[](void* block, const std::nothrow_t&) noexcept {
  pool::release(block);
}
