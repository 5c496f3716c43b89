// Where the random generator's seeds come from: the time of day in seconds,
// as the program always did, or a number the user gave, so that two runs on
// the same input make the same random choices.
#pragma once

#include <ctime>
#include <optional>

class CSeedSource {
 public:
  // Seeds from the clock.
  CSeedSource() = default;
  // Seeds from `seed`: the first seeding gets `seed` itself, each later one
  // the next number, as if a clock ticked once per seeding. So the choices
  // still change from one seeding to the next, as they do over a long run.
  // With a `step` above 1, each seeding gets the number `step` past the one
  // before, so that sources fixed at seed, seed + 1, ... seed + step - 1
  // never give the same number.
  static CSeedSource Fixed(unsigned seed, unsigned step = 1) {
    CSeedSource source;
    source.oFixed = seed;
    source.iStep = step;
    return source;
  }

  // The seed for the next seeding of the generator.
  unsigned Next() {
    if (!oFixed) return static_cast<unsigned>(std::time(nullptr));
    return *oFixed + iStep * iSeedings++;
  }

 private:
  std::optional<unsigned> oFixed;
  unsigned iStep = 1;
  unsigned iSeedings = 0;
};
