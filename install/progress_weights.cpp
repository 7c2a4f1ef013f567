#include "install/progress_weights.h"

void ComputeProgressWeights(ProgressWeights& weights) {
  uint32_t sum = 0;
  for (int i = 0; i < PayloadEntryCount; ++i) {
    weights.cumulativeBefore[i] = sum;
    sum += GetPayloadEntry(i).installedSize;
  }
  weights.cumulativeBefore[PayloadEntryCount] = sum;
  weights.totalInstalledSize = sum;
}
