// Incompressible test data from a fixed seed: the same bytes on every run and every machine.
#pragma once
#include <cstddef>
#include <cstdint>
#include <random>
#include <vector>

// size bytes drawn from std::mt19937 seeded with seed, one draw per byte (its low 8 bits).
inline std::vector<uint8_t> RandomBytes(size_t size, uint32_t seed) {
  std::mt19937 random(seed);
  std::vector<uint8_t> bytes(size);
  for (uint8_t& b : bytes) b = static_cast<uint8_t>(random());
  return bytes;
}
