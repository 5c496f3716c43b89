// A random generator of its own for every domain. The C library's rand is
// its random() over a 128-byte state table (the additive feedback generator
// of degree 31); the reentrant forms over a buffer of that size draw the same
// numbers from a state of our own.
#include "random_draws.h"

#include <cstdint>

namespace {

// The size of the C library's own state table, which selects its generator.
constexpr std::size_t kStateBytes = 128;

}  // namespace

struct CRandomDraws::CState {
  random_data data{};
  char buffer[kStateBytes] = {};
};

CRandomDraws::CRandomDraws() : pState(std::make_unique<CState>()) {
  initstate_r(1, pState->buffer, kStateBytes, &pState->data);
}

CRandomDraws::CRandomDraws(CRandomDraws&&) noexcept = default;
CRandomDraws& CRandomDraws::operator=(CRandomDraws&&) noexcept = default;
CRandomDraws::~CRandomDraws() = default;

void CRandomDraws::Seed(unsigned seed) {
  srandom_r(seed, &pState->data);
}

int CRandomDraws::Draw() {
  std::int32_t value = 0;
  random_r(&pState->data, &value);
  return static_cast<int>(value);
}
