// The region file's header tables, and the one judgement of whether a chunk's
// bytes may be read: every reader of region files uses inspect_chunk, so none
// of them ever reads outside the file.
#pragma once

#include <cstddef>
#include <cstdint>

namespace region {

constexpr size_t sector_size = 4096;
constexpr size_t header_size = 2 * sector_size; // location and timestamp tables
constexpr unsigned chunk_count = 1024;

enum class chunk_state {
    empty,      // sector number or sector count is 0
    bad_offset, // starts beyond the end of the file
    bad_size,   // length negative, beyond its sectors, or beyond the end of the file
    ok,         // length field, compression byte and L - 1 data bytes lie in the file
};

struct chunk_info {
    chunk_state state;
    uint32_t sector_number;
    uint8_t sector_count;
    int64_t offset;      // sector_number * 4096
    uint64_t capacity;   // sector_count * 4096
    uint32_t timestamp;  // seconds since the Epoch
    int32_t length;      // L, as a signed number (bytes missing at the end of the file read as 0)
    uint8_t compression; // meaningful when state is ok
    const unsigned char *data; // the compression byte, when state is ok
};

// Reads the table entries of chunk index (below chunk_count) from a file of
// size bytes (at least header_size) mapped at map.
chunk_info inspect_chunk(const unsigned char *map, size_t size, unsigned index);

} // namespace region
