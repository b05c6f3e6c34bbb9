// The one source of randomness of the drive generator. Everything in a generated tree is a pure
// function of the seed: each artist, album and file draws from its own generator keyed by the seed
// and its index, so a file's bytes do not depend on how many threads write or in which order.
#pragma once

#include <cstdint>

namespace deltrix::bench {

// SplitMix64's finaliser: a good 64-bit mix of one value.
inline uint64_t Mix64(uint64_t x) {
  x += 0x9E3779B97F4A7C15ull;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
  return x ^ (x >> 31);
}

// A key for one object: the seed, a salt naming the kind of object, and its index.
inline uint64_t KeyOf(uint64_t seed, uint64_t salt, uint64_t index) {
  return Mix64(Mix64(seed ^ Mix64(salt)) + index);
}

// SplitMix64 generator; small, fast and good enough for test data.
class Rng {
 public:
  explicit Rng(uint64_t seed) : state_(seed) {}

  uint64_t Next() {
    state_ += 0x9E3779B97F4A7C15ull;
    uint64_t z = state_;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  // Uniform in [0, n); n > 0.
  uint32_t Below(uint32_t n) { return static_cast<uint32_t>(((Next() >> 32) * n) >> 32); }
  // Uniform in [lo, hi].
  int Between(int lo, int hi) {
    return lo + static_cast<int>(Below(static_cast<uint32_t>(hi - lo + 1)));
  }
  // True with probability perMille / 1000.
  bool PerMille(uint32_t perMille) { return Below(1000) < perMille; }
  // Uniform in [0, 1).
  double Unit() { return static_cast<double>(Next() >> 11) * (1.0 / 9007199254740992.0); }

 private:
  uint64_t state_;
};

}  // namespace deltrix::bench
