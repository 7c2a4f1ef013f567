// The reference decoder for the fuzz target, in its own translation unit so that it is built
// without the fuzzer's coverage hooks: coverage should steer the inputs through the setup
// decoder, and the hooks in the bit-at-a-time oracle cost more time than the decode itself.
#include "tests/fuzz/reference_oracle.h"

#include "tests/host/inflate_reference.h"

bool ReferenceInflate(const uint8_t* data, size_t size, std::vector<uint8_t>& output) {
  reference::Outcome outcome = reference::Inflate(data, size);
  output = std::move(outcome.output);
  return outcome.ok;
}
