// A random generator of its own for every domain: the numbers it draws are
// exactly those the C library's srand and rand give, but its state belongs
// to one domain, so that domains on different threads draw independently and
// a run's draws do not depend on what else the process draws.
#pragma once

#include <cstdlib>
#include <memory>

class CRandomDraws {
 public:
  // Seeded with 1, as the C library's generator is before any srand.
  CRandomDraws();
  CRandomDraws(CRandomDraws&&) noexcept;
  CRandomDraws& operator=(CRandomDraws&&) noexcept;
  ~CRandomDraws();

  // What srand(seed) does to the C library's generator.
  void Seed(unsigned seed);
  // What rand() gives: a number from 0 to RAND_MAX.
  int Draw();

 private:
  // The state lies on the heap because the generator's bookkeeping points
  // into its own buffer: moving the generator must not move the buffer.
  struct CState;
  std::unique_ptr<CState> pState;
};
