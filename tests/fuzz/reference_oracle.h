// The fuzz target's oracle: the plain reference decoder of the host tests.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

// Decodes data[0..size) with the reference decoder; output receives every byte it produced.
// Returns true when the stream decoded to its final block.
bool ReferenceInflate(const uint8_t* data, size_t size, std::vector<uint8_t>& output);
