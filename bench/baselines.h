// The limits the library is measured against: the same zlib calls with no
// NBT work around them, and bare allocation of the blocks a tree needs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace bench {

// Inflates gzip/zlib data in 4096-byte steps into a growing buffer, as the
// loader does, and releases it; returns the uncompressed size.
size_t inflate_alone(const uint8_t *data, size_t len);

// Deflates data with the saver's parameters in 4096-byte steps; returns the
// compressed size.
size_t deflate_alone(const uint8_t *data, size_t len, bool gzip);

// Allocates one block of each size, then releases them all.
void malloc_free(const std::vector<size_t> &sizes);

} // namespace bench
