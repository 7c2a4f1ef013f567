// The weights behind the copy page's progress bar: each entry counts with its installed size.
#pragma once
#include <cstdint>

#include "install/payload_catalogue.h"

struct ProgressWeights {
  uint32_t totalInstalledSize;  // sum of all installed sizes
  // Element i is the sum of the installed sizes of entries 0 to i - 1; element 0 is 0 and the
  // last element equals totalInstalledSize. The catalogue lives in a 32-bit image, so the sums
  // fit 32 bits.
  uint32_t cumulativeBefore[PayloadEntryCount + 1];
};

// Fills weights from the catalogue, in catalogue order.
void ComputeProgressWeights(ProgressWeights& weights);

// done * 100 / total, rounded down, for done <= total. The product is formed in 64 bits, so the
// result is right for any 32-bit total (a 32-bit product would wrap above 42,949,672 bytes).
// A total of 0 gives 0.
constexpr uint32_t ProgressPercent(uint32_t done, uint32_t total) {
  if (total == 0) return 0;
  return static_cast<uint32_t>(uint64_t{done} * 100u / total);
}
