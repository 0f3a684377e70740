// A small, seeded generator for the tests that feed random input: the same
// seed gives the same inputs on every run.
#pragma once
#include <stdint.h>

struct Rng {
  uint32_t s;
  // A number below n (n > 0).
  uint32_t below(uint32_t n) {
    s ^= s << 13;
    s ^= s >> 17;
    s ^= s << 5;
    return s % n;
  }
};
