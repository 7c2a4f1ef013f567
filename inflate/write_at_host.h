// Host builds only: a hook that sees every write of the decoder.
#pragma once
#include <cstdint>

// When set, WriteAt calls it with its arguments before positioning and writing the file.
using WriteAtObserver = void (*)(const uint8_t* buffer, uint32_t offset, uint32_t count);
extern WriteAtObserver writeAtObserver;
