// Compressing arbitrary bytes with zlib directly, for test inputs that the
// library would never write (truncated or invalid NBT inside a valid stream).
#pragma once

#include <cstdint>
#include <vector>

namespace rc {

// The bytes in a gzip wrapper (gzip set) or a zlib wrapper.
std::vector<uint8_t> compress(const std::vector<uint8_t> &in, bool gzip);

} // namespace rc
